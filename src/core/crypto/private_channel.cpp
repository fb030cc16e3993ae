#include "core/crypto/private_channel.h"

#include <sodium.h>
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "core/crypto/cpace.h"

namespace {

const char kChannelIdentifier[] = "quillo private v1";
const char kClientToHost[] = "quillo c2h";
const char kHostToClient[] = "quillo h2c";
constexpr unsigned char kShareVersion = 1;
constexpr size_t kShareBodySize = 1 + kCpaceElementSize;
constexpr size_t kStreamHeaderSize = crypto_secretstream_xchacha20poly1305_HEADERBYTES;
constexpr size_t kConfirmBodySize = kCpaceTagSize + kStreamHeaderSize;
constexpr size_t kStreamKeySize = crypto_secretstream_xchacha20poly1305_KEYBYTES;
constexpr size_t kSealOverhead = crypto_secretstream_xchacha20poly1305_ABYTES;

bool IsHandshakeType(uint32_t type) {
  return type == MSG_OFFER || type == MSG_SHARE || type == MSG_KEY_CONFIRM || type == MSG_SEALED;
}

const unsigned char* Bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

// One direction's stream key: keyed BLAKE2b of the direction's label.
void StreamKey(const unsigned char isk[kCpaceHashSize], const char* label,
               unsigned char key[kStreamKeySize]) {
  const std::string text(label);
  crypto_generichash(key, kStreamKeySize, Bytes(text), text.size(), isk, kCpaceHashSize);
}

}  // namespace

struct PrivateChannel::Secrets {
  unsigned char generator[kCpaceElementSize];
  unsigned char scalar[kCpaceScalarSize];
  unsigned char partner_tag[kCpaceTagSize];
  unsigned char pull_key[kStreamKeySize];
  crypto_secretstream_xchacha20poly1305_state push;
  crypto_secretstream_xchacha20poly1305_state pull;
};

bool ParsePrivateMode(const std::string& text, PrivateMode* mode) {
  static const PrivateMode kModes[] = {PrivateMode::kOff, PrivateMode::kPrefer,
                                       PrivateMode::kRequire};
  for (PrivateMode m : kModes) {
    if (strcasecmp(text.c_str(), PrivateModeName(m)) == 0) {
      *mode = m;
      return true;
    }
  }
  return false;
}

const char* PrivateModeName(PrivateMode mode) {
  switch (mode) {
    case PrivateMode::kOff:
      return "Off";
    case PrivateMode::kPrefer:
      return "Prefer";
    case PrivateMode::kRequire:
      return "Require";
  }
  return "Prefer";
}

std::string VerificationCodeText(const unsigned char* sid_output) {
  const uint32_t value = (static_cast<uint32_t>(sid_output[0]) << 24) |
                         (static_cast<uint32_t>(sid_output[1]) << 16) |
                         (static_cast<uint32_t>(sid_output[2]) << 8) | sid_output[3];
  const uint32_t code = value % 100000000u;
  char text[16];
  std::snprintf(text, sizeof text, "%04u %04u", static_cast<unsigned>(code / 10000),
                static_cast<unsigned>(code % 10000));
  return text;
}

PrivateChannel::PrivateChannel(ChannelRole role, PrivateMode mode, uint16_t key,
                               const std::string& passphrase, const std::string& own_name)
    : role_(role), mode_(mode), own_name_(own_name) {
  if (mode_ == PrivateMode::kOff) return;
  secrets_.reset(new Secrets());
  // PRS = decimal key [0 passphrase], built in a buffer of its final size
  // so no reallocation leaves a copy behind.
  const std::string key_text = std::to_string(key);
  const size_t size = key_text.size() + (passphrase.empty() ? 0 : 1 + passphrase.size());
  std::vector<unsigned char> prs(size, 0);
  std::copy(key_text.begin(), key_text.end(), prs.begin());
  if (!passphrase.empty()) {
    std::copy(passphrase.begin(), passphrase.end(), prs.begin() + key_text.size() + 1);
  }
  CpaceCalculateGenerator(prs.data(), prs.size(), kChannelIdentifier, "", secrets_->generator);
  sodium_memzero(prs.data(), prs.size());
}

PrivateChannel::~PrivateChannel() { ReleaseSecrets(); }

void PrivateChannel::ReleaseSecrets() {
  if (!secrets_) return;
  sodium_memzero(secrets_.get(), sizeof(Secrets));
  secrets_.reset();
}

std::string PrivateChannel::OfferFrame() const {
  if (mode_ == PrivateMode::kOff) return std::string();
  std::string wire;
  AppendFrame(MSG_OFFER, std::string(), &wire);
  return wire;
}

std::string PrivateChannel::OwnAd() const {
  const MessageHeader header(own_name_, MSG_SHARE, kShareBodySize);
  return std::string(reinterpret_cast<const char*>(header.Data()), MessageHeader::kNameSize);
}

void PrivateChannel::AppendFrame(uint32_t type, const std::string& body, std::string* wire) const {
  const MessageHeader header(own_name_, type, static_cast<uint32_t>(body.size()));
  wire->append(reinterpret_cast<const char*>(header.Data()), MessageHeader::kSize);
  wire->append(body);
}

ChannelStep PrivateChannel::Start(Clock::time_point now) {
  ChannelStep step;
  Begin(now, &step);
  return step;
}

void PrivateChannel::Begin(Clock::time_point now, ChannelStep* step) {
  if (phase_ != Phase::kIdle) return;
  phase_ = Phase::kAwaitOffer;
  if (mode_ == PrivateMode::kOff) {
    GoBasic(ChannelEvent::kBasicOff, step);
    return;
  }
  deadline_ = now + kOfferWait;
}

ChannelStep PrivateChannel::OnMessage(const MessageHeader& header, const std::string& body,
                                      Clock::time_point now) {
  ChannelStep step;
  Begin(now, &step);
  const uint32_t type = header.Type();
  if (state_ == ChannelState::kClosed) return step;
  if (state_ == ChannelState::kBasic) {
    step.pass_through = true;
    return step;
  }
  if (state_ == ChannelState::kPrivate) {
    if (type == MSG_SEALED) {
      OnSealed(body, &step);
    } else if (type == MSG_SAY) {
      OnPlainLine(&step);
    } else if (IsHandshakeType(type)) {
      Close(ChannelEvent::kIntegrityFailure, &step);
    } else {
      step.pass_through = true;
    }
    return step;
  }
  switch (phase_) {
    case Phase::kAwaitOffer:
      // The first message after the greeting decides.
      if (type == MSG_OFFER) {
        OnOffer(body, now, &step);
      } else {
        GoBasic(ChannelEvent::kBasic, &step);
        step.pass_through = !step.close;
      }
      break;
    case Phase::kAwaitShare:
      if (type == MSG_SHARE) {
        OnShare(header, body, &step);
      } else if (type == MSG_SAY) {
        // Our 'V' reached the partner too late: it went on with the basic
        // cipher and never sends its share.
        GoBasic(ChannelEvent::kBasic, &step);
        step.pass_through = !step.close;
      } else if (IsHandshakeType(type)) {
        Close(ChannelEvent::kHandshakeFailed, &step);
      } else {
        step.pass_through = true;
      }
      break;
    case Phase::kAwaitConfirm:
      if (type == MSG_KEY_CONFIRM) {
        OnConfirm(body, &step);
      } else if (type == MSG_SAY) {
        // The partner sent its share, so it never sends plain lines again.
        OnPlainLine(&step);
      } else if (IsHandshakeType(type)) {
        Close(ChannelEvent::kHandshakeFailed, &step);
      } else {
        step.pass_through = true;
      }
      break;
    case Phase::kIdle:
    case Phase::kDone:
      break;
  }
  return step;
}

void PrivateChannel::OnOffer(const std::string& body, Clock::time_point now, ChannelStep* step) {
  Secrets& s = *secrets_;
  unsigned char share[kCpaceElementSize];
  CpaceSampleScalar(s.scalar);
  if (!body.empty() || !CpaceScalarMult(s.scalar, s.generator, share)) {
    Close(ChannelEvent::kHandshakeFailed, step);
    return;
  }
  sodium_memzero(s.generator, sizeof s.generator);
  own_share_.assign(reinterpret_cast<const char*>(share), sizeof share);
  AppendFrame(MSG_SHARE, std::string(1, static_cast<char>(kShareVersion)) + own_share_,
              &step->wire);
  phase_ = Phase::kAwaitShare;
  deadline_ = now + kShareWait;
}

void PrivateChannel::OnShare(const MessageHeader& header, const std::string& body,
                             ChannelStep* step) {
  if (body.size() != kShareBodySize || static_cast<unsigned char>(body[0]) != kShareVersion) {
    Close(ChannelEvent::kHandshakeFailed, step);
    return;
  }
  Secrets& s = *secrets_;
  const std::string partner_share = body.substr(1);
  const std::string partner_ad(reinterpret_cast<const char*>(header.Data()),
                               MessageHeader::kNameSize);
  const std::string own_ad = OwnAd();
  unsigned char k[kCpaceElementSize];
  const bool valid = CpaceScalarMultVfy(s.scalar, partner_share, k);
  sodium_memzero(s.scalar, sizeof s.scalar);
  if (!valid) {
    Close(ChannelEvent::kHandshakeFailed, step);
    return;
  }
  const bool client = role_ == ChannelRole::kClient;
  const std::string transcript =
      client ? CpaceTranscriptIr(own_share_, own_ad, partner_share, partner_ad)
             : CpaceTranscriptIr(partner_share, partner_ad, own_share_, own_ad);
  unsigned char isk[kCpaceHashSize];
  CpaceIsk("", k, transcript, isk);
  sodium_memzero(k, sizeof k);
  unsigned char sid_output[kCpaceHashSize];
  CpaceSidOutput(transcript, sid_output);
  verification_code_ = VerificationCodeText(sid_output);

  unsigned char mac_key[kCpaceHashSize];
  CpaceMacKey("", isk, mac_key);
  unsigned char own_tag[kCpaceTagSize];
  CpaceConfirmationTag(mac_key, own_share_, own_ad, own_tag);
  CpaceConfirmationTag(mac_key, partner_share, partner_ad, s.partner_tag);
  sodium_memzero(mac_key, sizeof mac_key);

  unsigned char push_key[kStreamKeySize];
  StreamKey(isk, client ? kClientToHost : kHostToClient, push_key);
  StreamKey(isk, client ? kHostToClient : kClientToHost, s.pull_key);
  sodium_memzero(isk, sizeof isk);
  unsigned char stream_header[kStreamHeaderSize];
  crypto_secretstream_xchacha20poly1305_init_push(&s.push, stream_header, push_key);
  sodium_memzero(push_key, sizeof push_key);

  std::string confirm(reinterpret_cast<const char*>(own_tag), sizeof own_tag);
  confirm.append(reinterpret_cast<const char*>(stream_header), sizeof stream_header);
  AppendFrame(MSG_KEY_CONFIRM, confirm, &step->wire);
  phase_ = Phase::kAwaitConfirm;
}

void PrivateChannel::OnConfirm(const std::string& body, ChannelStep* step) {
  if (body.size() != kConfirmBodySize) {
    Close(ChannelEvent::kHandshakeFailed, step);
    return;
  }
  Secrets& s = *secrets_;
  const bool match = CpaceTagsEqual(Bytes(body), s.partner_tag);
  sodium_memzero(s.partner_tag, sizeof s.partner_tag);
  if (!match) {
    Close(ChannelEvent::kKeyMismatch, step);
    return;
  }
  const int opened = crypto_secretstream_xchacha20poly1305_init_pull(
      &s.pull, Bytes(body) + kCpaceTagSize, s.pull_key);
  sodium_memzero(s.pull_key, sizeof s.pull_key);
  if (opened != 0) {
    Close(ChannelEvent::kHandshakeFailed, step);
    return;
  }
  GoPrivate(step);
}

void PrivateChannel::OnSealed(const std::string& body, ChannelStep* step) {
  if (body.size() < kSealOverhead) {
    Close(ChannelEvent::kIntegrityFailure, step);
    return;
  }
  std::string line(body.size() - kSealOverhead, '\0');
  unsigned long long line_size = 0;
  unsigned char tag = 0;
  if (crypto_secretstream_xchacha20poly1305_pull(
          &secrets_->pull, reinterpret_cast<unsigned char*>(&line[0]), &line_size, &tag,
          Bytes(body), body.size(), nullptr, 0) != 0 ||
      tag != crypto_secretstream_xchacha20poly1305_TAG_MESSAGE) {
    Close(ChannelEvent::kIntegrityFailure, step);
    return;
  }
  line.resize(static_cast<size_t>(line_size));
  step->lines.push_back(std::move(line));
}

void PrivateChannel::OnPlainLine(ChannelStep* step) {
  if (warned_plain_) return;
  warned_plain_ = true;
  step->event = ChannelEvent::kPlainLineDropped;
}

void PrivateChannel::GoBasic(ChannelEvent event, ChannelStep* step) {
  if (mode_ == PrivateMode::kRequire) {
    Close(ChannelEvent::kRequireRefused, step);
    return;
  }
  ReleaseSecrets();
  state_ = ChannelState::kBasic;
  phase_ = Phase::kDone;
  deadline_ = Clock::time_point::max();
  step->event = event;
  for (std::string& line : held_) step->basic_lines.push_back(std::move(line));
  held_.clear();
}

void PrivateChannel::GoPrivate(ChannelStep* step) {
  state_ = ChannelState::kPrivate;
  phase_ = Phase::kDone;
  deadline_ = Clock::time_point::max();
  step->event = ChannelEvent::kPrivate;
  for (const std::string& line : held_) SealLine(line, &step->wire);
  held_.clear();
}

void PrivateChannel::Close(ChannelEvent event, ChannelStep* step) {
  ReleaseSecrets();
  state_ = ChannelState::kClosed;
  phase_ = Phase::kDone;
  deadline_ = Clock::time_point::max();
  held_.clear();
  step->event = event;
  step->close = true;
  step->wire.clear();
  step->basic_lines.clear();
}

// Sealed straight behind its header in the outgoing bytes: a 4 KiB line
// is copied once less, which is a measurable part of a private line's cost.
void PrivateChannel::SealLine(const std::string& line, std::string* wire) {
  const size_t body_size = line.size() + kSealOverhead;
  const MessageHeader header(own_name_, MSG_SEALED, static_cast<uint32_t>(body_size));
  const size_t at = wire->size();
  wire->resize(at + MessageHeader::kSize + body_size);
  unsigned char* out = reinterpret_cast<unsigned char*>(&(*wire)[at]);
  std::copy(header.Data(), header.Data() + MessageHeader::kSize, out);
  crypto_secretstream_xchacha20poly1305_push(&secrets_->push, out + MessageHeader::kSize, nullptr,
                                             Bytes(line), line.size(), nullptr, 0,
                                             crypto_secretstream_xchacha20poly1305_TAG_MESSAGE);
}

ChannelStep PrivateChannel::Seal(const std::string& line) {
  ChannelStep step;
  switch (state_) {
    case ChannelState::kNegotiating:
      held_.push_back(line);
      break;
    case ChannelState::kBasic:
      step.basic_lines.push_back(line);
      break;
    case ChannelState::kPrivate:
      SealLine(line, &step.wire);
      break;
    case ChannelState::kClosed:
      break;
  }
  return step;
}

ChannelStep PrivateChannel::Tick(Clock::time_point now) {
  ChannelStep step;
  if (state_ != ChannelState::kNegotiating || now < deadline_) return step;
  if (phase_ == Phase::kAwaitConfirm) {
    // The partner sent its share, so it was committed; a confirmation that
    // never comes is a broken handshake, not an old program.
    Close(ChannelEvent::kHandshakeFailed, &step);
  } else {
    GoBasic(ChannelEvent::kBasic, &step);
  }
  return step;
}

PrivateChannel::Clock::time_point PrivateChannel::Deadline() const { return deadline_; }

std::string PrivateChannel::VerificationCode() const {
  return state_ == ChannelState::kPrivate ? verification_code_ : std::string();
}
