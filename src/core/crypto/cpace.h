#ifndef QUILLO_CORE_CRYPTO_CPACE_H
#define QUILLO_CORE_CRYPTO_CPACE_H

// CPace, the balanced password-authenticated key exchange of the CFRG draft,
// with the cipher suite ristretto255 + SHA-512, in the initiator-responder
// setting, plus the draft's explicit key confirmation and sid_output.
//
// Two parties holding the same password-related string (PRS) each send one
// share; both arrive at the same intermediate session key (ISK) exactly when
// PRS, CI, sid and both views of the transcript agree. An eavesdropper
// learns nothing that lets it test passwords offline; an active attacker
// gets one guess per run.
//
// Secrets (PRS, scalars, K, ISK, mac keys) are passed in and out through
// caller-owned fixed-size arrays, never through strings that could be
// copied or reallocated behind the caller's back; every temporary the
// functions make of them is wiped before returning. Public values (shares,
// associated data, CI, sid, transcripts) are std::string.
//
// All functions are pure and may be called from any thread once
// InitCrypto() succeeded.

#include <cstddef>
#include <initializer_list>
#include <string>

constexpr size_t kCpaceElementSize = 32;  // encoded ristretto255 element
constexpr size_t kCpaceScalarSize = 32;   // little-endian scalar
constexpr size_t kCpaceHashSize = 64;     // SHA-512: ISK, sid_output, mac key
constexpr size_t kCpaceTagSize = 64;      // HMAC-SHA-512 confirmation tag

// The LEB128 length of data followed by data.
std::string CpacePrependLen(const std::string& data);
// prepend_len of each part, concatenated.
std::string CpaceLvCat(std::initializer_list<std::string> parts);
// lv_cat(Ya, ADa) || lv_cat(Yb, ADb): the initiator's message first.
std::string CpaceTranscriptIr(const std::string& ya, const std::string& ada, const std::string& yb,
                              const std::string& adb);

// SHA-512 of generator_string(DSI, PRS, CI, sid, 128), fed to the hash
// piece by piece so the PRS is never copied into a larger buffer.
void CpaceGeneratorHash(const unsigned char* prs, size_t prs_size, const std::string& ci,
                        const std::string& sid, unsigned char hash[kCpaceHashSize]);
// The encoded generator g = element_derivation(generator hash).
void CpaceCalculateGenerator(const unsigned char* prs, size_t prs_size, const std::string& ci,
                             const std::string& sid, unsigned char g[kCpaceElementSize]);

// A uniformly random scalar in 1 .. order-1.
void CpaceSampleScalar(unsigned char y[kCpaceScalarSize]);
// The share Y = y * g. Returns false only when the result is the identity,
// which a valid generator and a scalar from CpaceSampleScalar never give.
bool CpaceScalarMult(const unsigned char y[kCpaceScalarSize],
                     const unsigned char g[kCpaceElementSize],
                     unsigned char out[kCpaceElementSize]);
// K = y * X for a share X received from the partner. Returns false - the
// run must be aborted - when X does not decode to a group element or K is
// the identity; *k is then all zero.
bool CpaceScalarMultVfy(const unsigned char y[kCpaceScalarSize], const std::string& x,
                        unsigned char k[kCpaceElementSize]);

// ISK = SHA-512(lv_cat(DSI || "_ISK", sid, K) || transcript).
void CpaceIsk(const std::string& sid, const unsigned char k[kCpaceElementSize],
              const std::string& transcript, unsigned char isk[kCpaceHashSize]);
// sid_output = SHA-512("CPaceSidOutput" || transcript); public.
void CpaceSidOutput(const std::string& transcript, unsigned char out[kCpaceHashSize]);

// Key confirmation: mac_key = SHA-512("CPaceMac" || sid || ISK) and the tag
// a party sends over its own message, HMAC-SHA-512(mac_key, lv_cat(Y, AD)).
void CpaceMacKey(const std::string& sid, const unsigned char isk[kCpaceHashSize],
                 unsigned char mac_key[kCpaceHashSize]);
void CpaceConfirmationTag(const unsigned char mac_key[kCpaceHashSize], const std::string& y,
                          const std::string& ad, unsigned char tag[kCpaceTagSize]);
// Compares tags in constant time.
bool CpaceTagsEqual(const unsigned char a[kCpaceTagSize], const unsigned char b[kCpaceTagSize]);

#endif  // QUILLO_CORE_CRYPTO_CPACE_H
