// Private sessions beside the basic cipher, in one process without
// sockets: the whole handshake between a client and a host channel (median
// and 99th percentile), and one line sealed and opened, for 20-byte and
// 4 KiB lines, against the basic cipher enciphering and deciphering the same
// line the way the session does today (table built per message).

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "core/chat/cipher_table.h"
#include "core/crypto/crypto_init.h"
#include "core/crypto/private_channel.h"

namespace {

using bench::Clock;
using bench::Figures;
using bench::TimeEach;

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

// A client and a host channel through their whole handshake; whether both
// ended private.
bool Handshake(PrivateChannel& client, PrivateChannel& host, Clock::time_point now) {
  const std::string to_host = client.OfferFrame();
  const std::string to_client = host.OfferFrame();
  host.Start(now);
  client.Start(now);
  Pump(client, host, to_host, to_client, now);
  return client.State() == ChannelState::kPrivate && host.State() == ChannelState::kPrivate;
}

bool Handshake(const std::string& passphrase) {
  PrivateChannel client(ChannelRole::kClient, PrivateMode::kPrefer, 52917, passphrase, "Guest");
  PrivateChannel host(ChannelRole::kHost, PrivateMode::kPrefer, 52917, passphrase, "Host");
  return Handshake(client, host, Clock::now());
}

void Lines(const char* label, size_t length, int rounds) {
  const std::string line = bench::TestLine(length);
  const uint16_t key = 52917;
  bool basic_ok = true;
  const Figures basic = TimeEach(rounds, [&] {
    std::string body;
    EncipherLine(BuildCipherTable(key), line, &body);
    const std::string text = DecipherBody(
        BuildCipherTable(key), reinterpret_cast<const unsigned char*>(body.data()), body.size());
    basic_ok = basic_ok && text == line;
  });

  const Clock::time_point now = Clock::now();
  PrivateChannel client(ChannelRole::kClient, PrivateMode::kPrefer, key, "", "Guest");
  PrivateChannel host(ChannelRole::kHost, PrivateMode::kPrefer, key, "", "Host");
  bool private_ok = Handshake(client, host, now);
  const Figures sealed = TimeEach(rounds, [&] {
    const std::vector<Frame> frames = Split(client.Seal(line).wire);
    const ChannelStep step = host.OnMessage(frames[0].header, frames[0].body, now);
    private_ok = private_ok && step.lines.size() == 1 && step.lines[0] == line;
  });

  std::printf(
      "%-14s basic  median %8.2f us  p99 %8.2f us | private median %8.2f us  p99 %8.2f us | "
      "ratio %.2fx%s\n",
      label, basic.median, basic.p99, sealed.median, sealed.p99, sealed.median / basic.median,
      basic_ok && private_ok ? "" : "  (LINES WRONG)");
}

}  // namespace

int main() {
  if (!InitCrypto()) {
    std::printf("libsodium could not be initialised\n");
    return 1;
  }
  // The basic cipher has no handshake; its set-up per message is building
  // the table, shown beside the handshake for scale.
  const Figures table = TimeEach(2000, [] {
    volatile uint16_t sink = BuildCipherTable(52917).entries[200];
    (void)sink;
  });
  bool all_private = true;
  const Figures handshake =
      TimeEach(1000, [&] { all_private = Handshake("passphrase") && all_private; });
  std::printf(
      "handshake      median %8.1f us  p99 %8.1f us (both sides, in memory)%s | basic table "
      "build median %.2f us\n",
      handshake.median, handshake.p99, all_private ? "" : "  (NOT PRIVATE)", table.median);
  Lines("20-byte lines", 20, 20000);
  Lines("4 KiB lines", 4096, 2000);
  return 0;
}
