// A client and a host private channel wired to each other, driven by a
// script from the fuzzer's bytes: deliver, drop or corrupt the next message
// either way, inject a message of any type and body, type lines, start, let
// time pass. Whatever the network does, a closed channel emits nothing and
// every line a channel opens is the next line its partner typed.
#include <algorithm>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "core/crypto/crypto_init.h"
#include "core/crypto/private_channel.h"

namespace {

using Clock = PrivateChannel::Clock;

struct Frame {
  MessageHeader header;
  std::string body;
};

// The fuzzer's bytes read front to back; zeros once they run out.
struct Input {
  uint8_t Byte() { return at < size ? data[at++] : 0; }
  std::string Bytes(size_t n) {
    n = std::min(n, size - at);
    at += n;
    return std::string(reinterpret_cast<const char*>(data + at - n), n);
  }
  const uint8_t* data;
  size_t size;
  size_t at = 0;
};

struct Side {
  Side(ChannelRole role, PrivateMode mode, uint16_t key, const std::string& pass, const char* name)
      : channel(role, mode, key, pass, name), name(name) {
    Queue(channel.OfferFrame());
  }

  void Absorb(const ChannelStep& step) {
    if ((closed && (!step.wire.empty() || !step.basic_lines.empty() || !step.lines.empty())) ||
        (step.close && channel.State() != ChannelState::kClosed)) {
      std::abort();
    }
    closed = closed || step.close;
    Queue(step.wire);
    for (const std::string& line : step.basic_lines) {
      outbox.push_back(
          Frame{MessageHeader(name, MSG_SAY, static_cast<uint32_t>(line.size())), line});
    }
    for (const std::string& line : step.lines) opened.push_back(line);
  }

  void Queue(const std::string& wire) {
    size_t at = 0;
    while (at < wire.size()) {
      if (wire.size() - at < MessageHeader::kSize) std::abort();
      Frame frame;
      std::copy(wire.begin() + at, wire.begin() + at + MessageHeader::kSize, frame.header.Data());
      at += MessageHeader::kSize;
      if (wire.size() - at < frame.header.BodyLength()) std::abort();
      frame.body = wire.substr(at, frame.header.BodyLength());
      at += frame.body.size();
      outbox.push_back(frame);
    }
  }

  void Receive(const MessageHeader& header, const std::string& body, Clock::time_point now) {
    Absorb(channel.OnMessage(header, body, now));
  }

  PrivateChannel channel;
  const char* name;
  bool closed = false;
  std::deque<Frame> outbox;
  std::vector<std::string> typed, opened;
};

const uint32_t kTypes[] = {MSG_OFFER,   MSG_SHARE, MSG_KEY_CONFIRM, MSG_SEALED, MSG_SAY,
                           MSG_SIGNOFF, 'Z'};

void Deliver(Side& from, Side& to, Input& in, int how, Clock::time_point now) {
  if (from.outbox.empty()) return;
  Frame frame = from.outbox.front();
  from.outbox.pop_front();
  if (how == 1) return;  // dropped
  if (how == 2) {
    const size_t total = MessageHeader::kSize + frame.body.size();
    const size_t bit = (static_cast<size_t>(in.Byte()) << 8 | in.Byte()) % (8 * total);
    unsigned char* target =
        bit / 8 < MessageHeader::kSize
            ? frame.header.Data() + bit / 8
            : reinterpret_cast<unsigned char*>(&frame.body[bit / 8 - MessageHeader::kSize]);
    *target ^= static_cast<unsigned char>(1u << (bit % 8));
    // A reader would take the announced length; keep the frame whole.
    if (frame.header.BodyLength() != frame.body.size()) return;
  }
  to.Receive(frame.header, frame.body, now);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!InitCrypto()) std::abort();
  Input in{data, size};
  const uint8_t setup = in.Byte();
  const PrivateMode modes[] = {PrivateMode::kPrefer, PrivateMode::kRequire, PrivateMode::kOff,
                               PrivateMode::kPrefer};
  const bool same_key = (setup & 0x10) == 0;
  Side client(ChannelRole::kClient, modes[setup & 3], 1000, "pass", "Guest");
  Side host(ChannelRole::kHost, modes[(setup >> 2) & 3], same_key ? 1000 : 1001, "pass", "Host");
  Clock::time_point now = Clock::time_point() + std::chrono::hours(1);

  while (in.at < in.size) {
    const uint8_t op = in.Byte();
    Side& a = (op & 0x80) ? host : client;
    Side& b = (op & 0x80) ? client : host;
    switch (op & 7) {
      case 0:
      case 1:
      case 2:  // deliver, drop, corrupt
        Deliver(a, b, in, op & 3, now);
        break;
      case 3: {  // injected
        const uint32_t type = kTypes[in.Byte() % (sizeof kTypes / sizeof kTypes[0])];
        const std::string body = in.Bytes(in.Byte());
        b.Receive(MessageHeader(in.Bytes(in.Byte() % 26), type, uint32_t(body.size())), body, now);
        break;
      }
      case 4:
        a.typed.push_back(in.Bytes(in.Byte() % 64));
        a.Absorb(a.channel.Seal(a.typed.back()));
        break;
      case 5:
        a.Absorb(a.channel.Start(now));
        break;
      case 6:
        now += std::chrono::milliseconds(in.Byte() * 50);
        a.Absorb(a.channel.Tick(now));
        break;
      default:
        // Everything queued both ways, as an undisturbed network would.
        while (!a.outbox.empty() || !b.outbox.empty()) {
          Deliver(a, b, in, 0, now);
          Deliver(b, a, in, 0, now);
        }
        break;
    }
  }
  // Opened lines are exactly the partner's typed lines, from the start.
  for (Side* s : {&client, &host}) {
    const Side& partner = s == &client ? host : client;
    if (s->opened.size() > partner.typed.size() ||
        !std::equal(s->opened.begin(), s->opened.end(), partner.typed.begin())) {
      std::abort();
    }
  }
  return 0;
}
