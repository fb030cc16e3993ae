#ifndef QUILLO_CORE_CRYPTO_PRIVATE_CHANNEL_H
#define QUILLO_CORE_CRYPTO_PRIVATE_CHANNEL_H

// One side's negotiation and protection of a private session, as a state
// machine without sockets, threads or clocks of its own: the session feeds
// it what arrives, the lines the user sends and the time, and writes what it
// hands back.
//
// The exchange, after the sign-on and greeting of the original protocol:
//   client: 'C' 'V'                 host: 'W' greeting 'V'
//   each side, on the partner's 'V': 'P' (version 1, CPace share)
//   each side, on the partner's 'P': 'K' (confirmation tag, stream header)
//   each side, on a good 'K':        private; every line goes as 'E'
// 'V' never has a body, so a program that knows only the original protocol
// skips it; it never sees a body it does not expect, because nothing with a
// body is sent before the partner's 'V' arrived. When the first message
// after the greeting (host: after the 'C') is not 'V', or none comes within
// 3 s, the partner is such a program and the session keeps the basic cipher.
//
// Thread rules: the object is not thread-safe. One thread at a time calls
// it; the session serialises the calls (the reader's messages, the user's
// lines and the timer) under its own lock or on one thread.
//
// Secrets: the CPace scalar, K, ISK, mac key and stream keys live only inside
// the object, in memory wiped with sodium_memzero as soon as they are no
// longer needed, when the session closes and at destruction. Nothing secret
// leaves through a returned value; the verification code is public (derived
// from sid_output, which an eavesdropper can compute too).

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/chat/message_header.h"

// Message types a private session adds to the chat line.
enum PrivateMessageType : uint32_t {
  MSG_OFFER = 'V',        // "I offer private sessions"; never with a body
  MSG_SHARE = 'P',        // version byte 1, then the 32-byte CPace share
  MSG_KEY_CONFIRM = 'K',  // 64-byte confirmation tag, then the sender's 24-byte stream header
  MSG_SEALED = 'E',       // one line sealed in the sender's stream
};

// The PrivateSessions setting.
enum class PrivateMode {
  kOff,      // send exactly the original protocol's bytes; never offer
  kPrefer,   // offer; fall back to the basic cipher with a partner that does not
  kRequire,  // offer; refuse a partner that does not complete a private session
};
// "Off", "Prefer", "Require" (as written in the settings file, any case).
bool ParsePrivateMode(const std::string& text, PrivateMode* mode);
const char* PrivateModeName(PrivateMode mode);

// The CPace initiator is the client, the responder the host.
enum class ChannelRole { kClient, kHost };

// What the channel is doing.
enum class ChannelState {
  kNegotiating,  // lines are held until the outcome is known
  kBasic,        // the original protocol: plain 'S' lines with the basic cipher
  kPrivate,      // every line travels as 'E'
  kClosed,       // the session must end; the channel does nothing more
};

// Outcomes the session shows to the person; each is reported once.
enum class ChannelEvent {
  kNone,
  kPrivate,           // private session established; VerificationCode() is set
  kBasic,             // the partner does not offer private sessions (old program,
                      // its 'V' lost, or private sessions off there)
  kBasicOff,          // private sessions are off here; nothing was offered
  kRequireRefused,    // Require, and the partner did not complete a private session
  kKeyMismatch,       // the partner's confirmation tag is wrong: other key or passphrase
  kHandshakeFailed,   // a share that does not decode, a malformed or misplaced
                      // handshake message, or a handshake that stalled
  kIntegrityFailure,  // a sealed line failed to open (changed, replayed, reordered),
                      // or a handshake message arrived inside the private session
  kPlainLineDropped,  // the first plain 'S' inside a private session was dropped
};

// The result of one call. `close` is true exactly for the events that end
// the session (kRequireRefused, kKeyMismatch, kHandshakeFailed,
// kIntegrityFailure); the session then sends nothing more from this step
// and closes the connection.
struct ChannelStep {
  ChannelEvent event = ChannelEvent::kNone;
  bool close = false;
  // The message given to OnMessage is not the channel's: the session handles
  // it exactly as the original protocol does ('S' deciphered with the basic
  // cipher, 'D' signs off, unknown types skipped).
  bool pass_through = false;
  // Whole frames (header and body) to write now, in this order, in one
  // write. Headers carry the own name the channel was made with.
  std::string wire;
  // Held lines now due as basic 'S' messages, in order: the session applies
  // the basic cipher and sends them as it does today.
  std::vector<std::string> basic_lines;
  // The partner's lines opened from 'E' messages, in order, as the user
  // typed them (before any cipher).
  std::vector<std::string> lines;
};

class PrivateChannel {
 public:
  using Clock = std::chrono::steady_clock;
  // How long the partner's 'V' is awaited after the greeting.
  static constexpr std::chrono::milliseconds kOfferWait{3000};
  // How long the partner's share and confirmation are awaited after its
  // 'V'. A partner whose own wait ran out before our 'V' arrived went on
  // with the basic cipher and never sends a share.
  static constexpr std::chrono::milliseconds kShareWait{3000};

  // own_name is the screen name the session writes into every header; the
  // 25 name bytes of the own 'P' header are this side's CPace AD, so the
  // session must send the channel's frames unchanged. key and passphrase
  // make the password: the key's decimal text, and when the passphrase is
  // not empty, a zero byte and the passphrase. Neither is kept. InitCrypto()
  // must have succeeded unless mode is kOff.
  PrivateChannel(ChannelRole role, PrivateMode mode, uint16_t key, const std::string& passphrase,
                 const std::string& own_name);
  ~PrivateChannel();
  PrivateChannel(const PrivateChannel&) = delete;
  PrivateChannel& operator=(const PrivateChannel&) = delete;

  // The 'V' frame to append to the sign-on ('C') or to the greeting ('W' and
  // its text) in the same write; empty with kOff. Never sent after 'B'.
  std::string OfferFrame() const;

  // The greeting exchange is over (client: the greeting was read; host: the
  // greeting was written): the wait for the partner's 'V' starts at now.
  // With kOff the channel turns basic at once (event kBasicOff). A message
  // that arrives before Start starts the wait itself.
  ChannelStep Start(Clock::time_point now);

  // One message read from the partner: its header and its whole body.
  ChannelStep OnMessage(const MessageHeader& header, const std::string& body,
                        Clock::time_point now);

  // A line the user sends (without the trailing newline). Sealed into
  // step.wire when private, returned in step.basic_lines when basic, held
  // while negotiating, dropped when closed.
  ChannelStep Seal(const std::string& line);

  // The time passed: ends the wait for 'V' or a stalled handshake.
  ChannelStep Tick(Clock::time_point now);
  // When Tick next has work to do; Clock::time_point::max() when never.
  Clock::time_point Deadline() const;

  ChannelState State() const { return state_; }
  // "NNNN NNNN" while the session is private, else empty.
  std::string VerificationCode() const;

 private:
  // Where the handshake stands; meaningful while the state is kNegotiating.
  enum class Phase { kIdle, kAwaitOffer, kAwaitShare, kAwaitConfirm, kDone };
  struct Secrets;

  void Begin(Clock::time_point now, ChannelStep* step);
  void OnOffer(const std::string& body, Clock::time_point now, ChannelStep* step);
  void OnShare(const MessageHeader& header, const std::string& body, ChannelStep* step);
  void OnConfirm(const std::string& body, ChannelStep* step);
  void OnSealed(const std::string& body, ChannelStep* step);
  void OnPlainLine(ChannelStep* step);
  void GoBasic(ChannelEvent event, ChannelStep* step);
  void GoPrivate(ChannelStep* step);
  void Close(ChannelEvent event, ChannelStep* step);
  void ReleaseSecrets();
  void AppendFrame(uint32_t type, const std::string& body, std::string* wire) const;
  void SealLine(const std::string& line, std::string* wire);
  std::string OwnAd() const;

  const ChannelRole role_;
  const PrivateMode mode_;
  const std::string own_name_;
  // Wiped and freed when the session turns basic, closes or is destroyed;
  // null with kOff.
  std::unique_ptr<Secrets> secrets_;
  ChannelState state_ = ChannelState::kNegotiating;
  Phase phase_ = Phase::kIdle;
  Clock::time_point deadline_ = Clock::time_point::max();
  std::vector<std::string> held_;  // lines typed while negotiating
  std::string own_share_;          // public
  std::string verification_code_;  // computed with ISK, shown only once confirmed
  bool warned_plain_ = false;
};

// The verification code two people compare: the first four bytes of
// sid_output as a big-endian number, modulo 100,000,000, as "NNNN NNNN".
std::string VerificationCodeText(const unsigned char* sid_output);

#endif  // QUILLO_CORE_CRYPTO_PRIVATE_CHANNEL_H
