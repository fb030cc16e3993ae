// Private sessions beside the basic cipher, in one process without
// sockets: the whole handshake between a client and a host channel (median
// and 99th percentile), and one line sealed and opened, for 20-byte and
// 4 KiB lines, against the basic cipher enciphering and deciphering the same
// line the way the session does today (table built per message).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "core/chat/cipher_table.h"
#include "core/crypto/crypto_init.h"
#include "core/crypto/private_channel.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Frame {
  MessageHeader header;
  std::string body;
};

std::vector<Frame> Split(const std::string& wire) {
  std::vector<Frame> frames;
  size_t at = 0;
  while (at + MessageHeader::kSize <= wire.size()) {
    Frame frame;
    std::copy(wire.begin() + at, wire.begin() + at + MessageHeader::kSize, frame.header.Data());
    at += MessageHeader::kSize;
    frame.body = wire.substr(at, frame.header.BodyLength());
    at += frame.body.size();
    frames.push_back(frame);
  }
  return frames;
}

// Feeds each side's output to the other until both are quiet.
void Pump(PrivateChannel& client, PrivateChannel& host, std::string to_host, std::string to_client,
          Clock::time_point now) {
  while (!to_host.empty() || !to_client.empty()) {
    std::string next_to_client, next_to_host;
    for (const Frame& f : Split(to_host))
      next_to_client += host.OnMessage(f.header, f.body, now).wire;
    for (const Frame& f : Split(to_client))
      next_to_host += client.OnMessage(f.header, f.body, now).wire;
    to_host.swap(next_to_host);
    to_client.swap(next_to_client);
  }
}

struct Figures {
  double median_us;
  double p99_us;
};

Figures Summarise(std::vector<double>& samples) {
  std::sort(samples.begin(), samples.end());
  return {samples[samples.size() / 2], samples[samples.size() * 99 / 100]};
}

template <typename Fn>
Figures Time(int rounds, Fn fn) {
  std::vector<double> samples;
  samples.reserve(rounds);
  for (int i = 0; i < rounds; ++i) {
    const Clock::time_point start = Clock::now();
    fn();
    samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  return Summarise(samples);
}

bool Handshake() {
  const Clock::time_point now = Clock::now();
  PrivateChannel client(ChannelRole::kClient, PrivateMode::kPrefer, 52917, "passphrase", "Guest");
  PrivateChannel host(ChannelRole::kHost, PrivateMode::kPrefer, 52917, "passphrase", "Host");
  const std::string to_host = client.OfferFrame();
  const std::string to_client = host.OfferFrame();
  host.Start(now);
  client.Start(now);
  Pump(client, host, to_host, to_client, now);
  return client.State() == ChannelState::kPrivate && host.State() == ChannelState::kPrivate;
}

void Lines(const char* label, size_t length, int rounds) {
  std::string line(length, 'x');
  for (size_t i = 0; i < length; ++i) line[i] = static_cast<char>('a' + i % 26);

  const uint16_t key = 52917;
  bool basic_ok = true;
  const Figures basic = Time(rounds, [&] {
    std::string body;
    EncipherLine(BuildCipherTable(key), line, &body);
    const std::string text = DecipherBody(
        BuildCipherTable(key), reinterpret_cast<const unsigned char*>(body.data()), body.size());
    basic_ok = basic_ok && text == line;
  });

  const Clock::time_point now = Clock::now();
  PrivateChannel client(ChannelRole::kClient, PrivateMode::kPrefer, key, "", "Guest");
  PrivateChannel host(ChannelRole::kHost, PrivateMode::kPrefer, key, "", "Host");
  const std::string to_host = client.OfferFrame(), to_client = host.OfferFrame();
  host.Start(now);
  client.Start(now);
  Pump(client, host, to_host, to_client, now);
  bool private_ok = client.State() == ChannelState::kPrivate;
  const Figures sealed = Time(rounds, [&] {
    const std::vector<Frame> frames = Split(client.Seal(line).wire);
    const ChannelStep step = host.OnMessage(frames[0].header, frames[0].body, now);
    private_ok = private_ok && step.lines.size() == 1 && step.lines[0] == line;
  });

  std::printf(
      "%-14s basic  median %8.2f us  p99 %8.2f us | private median %8.2f us  p99 %8.2f us | "
      "ratio %.2fx%s\n",
      label, basic.median_us, basic.p99_us, sealed.median_us, sealed.p99_us,
      sealed.median_us / basic.median_us, basic_ok && private_ok ? "" : "  (LINES WRONG)");
}

}  // namespace

int main() {
  if (!InitCrypto()) {
    std::printf("libsodium could not be initialised\n");
    return 1;
  }
  // The basic cipher has no handshake; its set-up per message is building
  // the table, shown beside the handshake for scale.
  const Figures table = Time(2000, [] {
    volatile uint16_t sink = BuildCipherTable(52917).entries[200];
    (void)sink;
  });
  bool all_private = true;
  const Figures handshake = Time(1000, [&] { all_private = Handshake() && all_private; });
  std::printf(
      "handshake      median %8.1f us  p99 %8.1f us (both sides, in memory)%s | basic table "
      "build median %.2f us\n",
      handshake.median_us, handshake.p99_us, all_private ? "" : "  (NOT PRIVATE)", table.median_us);
  Lines("20-byte lines", 20, 20000);
  Lines("4 KiB lines", 4096, 2000);
  return 0;
}
