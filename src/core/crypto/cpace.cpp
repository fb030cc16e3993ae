#include "core/crypto/cpace.h"

#include <sodium.h>

namespace {

const char kDsi[] = "CPaceRistretto255";
const char kIskDsi[] = "CPaceRistretto255_ISK";
const char kSidOutputPrefix[] = "CPaceSidOutput";
const char kMacPrefix[] = "CPaceMac";
// SHA-512 consumes 128-byte blocks; the padding fills the first one.
constexpr size_t kHashBlockSize = 128;

// LEB128 of n into out (at most 10 bytes); returns the byte count.
size_t EncodeLength(size_t n, unsigned char out[10]) {
  size_t used = 0;
  do {
    unsigned char b = static_cast<unsigned char>(n & 0x7f);
    n >>= 7;
    if (n != 0) b |= 0x80;
    out[used++] = b;
  } while (n != 0);
  return used;
}

void HashPrependLen(crypto_hash_sha512_state* state, const unsigned char* data, size_t size) {
  unsigned char length[10];
  crypto_hash_sha512_update(state, length, EncodeLength(size, length));
  crypto_hash_sha512_update(state, data, size);
}

void HashPrependLen(crypto_hash_sha512_state* state, const std::string& data) {
  HashPrependLen(state, reinterpret_cast<const unsigned char*>(data.data()), data.size());
}

void HashBytes(crypto_hash_sha512_state* state, const std::string& data) {
  crypto_hash_sha512_update(state, reinterpret_cast<const unsigned char*>(data.data()),
                            data.size());
}

const unsigned char* Bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

}  // namespace

std::string CpacePrependLen(const std::string& data) {
  unsigned char length[10];
  const size_t used = EncodeLength(data.size(), length);
  return std::string(reinterpret_cast<const char*>(length), used) + data;
}

std::string CpaceLvCat(std::initializer_list<std::string> parts) {
  std::string out;
  for (const std::string& part : parts) out += CpacePrependLen(part);
  return out;
}

std::string CpaceTranscriptIr(const std::string& ya, const std::string& ada, const std::string& yb,
                              const std::string& adb) {
  return CpaceLvCat({ya, ada}) + CpaceLvCat({yb, adb});
}

void CpaceGeneratorHash(const unsigned char* prs, size_t prs_size, const std::string& ci,
                        const std::string& sid, unsigned char hash[kCpaceHashSize]) {
  const std::string dsi(kDsi);
  unsigned char length[10];
  const size_t prs_field = EncodeLength(prs_size, length) + prs_size;
  const size_t dsi_field = CpacePrependLen(dsi).size();
  const size_t used = prs_field + dsi_field + 1;
  const size_t zpad = kHashBlockSize > used ? kHashBlockSize - used : 0;
  static const unsigned char kZeros[kHashBlockSize] = {};

  crypto_hash_sha512_state state;
  crypto_hash_sha512_init(&state);
  HashPrependLen(&state, dsi);
  HashPrependLen(&state, prs, prs_size);
  HashPrependLen(&state, kZeros, zpad);
  HashPrependLen(&state, ci);
  HashPrependLen(&state, sid);
  crypto_hash_sha512_final(&state, hash);
  // The state has seen the PRS.
  sodium_memzero(&state, sizeof state);
}

void CpaceCalculateGenerator(const unsigned char* prs, size_t prs_size, const std::string& ci,
                             const std::string& sid, unsigned char g[kCpaceElementSize]) {
  unsigned char hash[kCpaceHashSize];
  CpaceGeneratorHash(prs, prs_size, ci, sid, hash);
  crypto_core_ristretto255_from_hash(g, hash);
  sodium_memzero(hash, sizeof hash);
}

void CpaceSampleScalar(unsigned char y[kCpaceScalarSize]) {
  crypto_core_ristretto255_scalar_random(y);
}

bool CpaceScalarMult(const unsigned char y[kCpaceScalarSize],
                     const unsigned char g[kCpaceElementSize],
                     unsigned char out[kCpaceElementSize]) {
  return crypto_scalarmult_ristretto255(out, y, g) == 0;
}

bool CpaceScalarMultVfy(const unsigned char y[kCpaceScalarSize], const std::string& x,
                        unsigned char k[kCpaceElementSize]) {
  // libsodium refuses both an undecodable element and an identity result.
  if (x.size() != kCpaceElementSize || crypto_scalarmult_ristretto255(k, y, Bytes(x)) != 0) {
    sodium_memzero(k, kCpaceElementSize);
    return false;
  }
  return true;
}

void CpaceIsk(const std::string& sid, const unsigned char k[kCpaceElementSize],
              const std::string& transcript, unsigned char isk[kCpaceHashSize]) {
  crypto_hash_sha512_state state;
  crypto_hash_sha512_init(&state);
  HashPrependLen(&state, std::string(kIskDsi));
  HashPrependLen(&state, sid);
  HashPrependLen(&state, k, kCpaceElementSize);
  HashBytes(&state, transcript);
  crypto_hash_sha512_final(&state, isk);
  sodium_memzero(&state, sizeof state);
}

void CpaceSidOutput(const std::string& transcript, unsigned char out[kCpaceHashSize]) {
  crypto_hash_sha512_state state;
  crypto_hash_sha512_init(&state);
  HashBytes(&state, kSidOutputPrefix);
  HashBytes(&state, transcript);
  crypto_hash_sha512_final(&state, out);
}

void CpaceMacKey(const std::string& sid, const unsigned char isk[kCpaceHashSize],
                 unsigned char mac_key[kCpaceHashSize]) {
  crypto_hash_sha512_state state;
  crypto_hash_sha512_init(&state);
  HashBytes(&state, kMacPrefix);
  HashBytes(&state, sid);
  crypto_hash_sha512_update(&state, isk, kCpaceHashSize);
  crypto_hash_sha512_final(&state, mac_key);
  sodium_memzero(&state, sizeof state);
}

void CpaceConfirmationTag(const unsigned char mac_key[kCpaceHashSize], const std::string& y,
                          const std::string& ad, unsigned char tag[kCpaceTagSize]) {
  // The one-shot crypto_auth_hmacsha512 takes a 32-byte key only; the
  // streaming form takes the whole 64-byte mac key.
  crypto_auth_hmacsha512_state state;
  crypto_auth_hmacsha512_init(&state, mac_key, kCpaceHashSize);
  const std::string message = CpaceLvCat({y, ad});
  crypto_auth_hmacsha512_update(&state, Bytes(message), message.size());
  crypto_auth_hmacsha512_final(&state, tag);
  sodium_memzero(&state, sizeof state);
}

bool CpaceTagsEqual(const unsigned char a[kCpaceTagSize], const unsigned char b[kCpaceTagSize]) {
  return crypto_verify_64(a, b) == 0;
}
