// Two private-channel state machines, a client and a host, wired to each
// other in memory: what they negotiate, and what they make of changed,
// replayed, reflected and malformed messages. Peers of the original
// protocol are shown over loopback in private_session_test.

#include "core/crypto/private_channel.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "core/crypto/crypto_init.h"

namespace {

using Clock = PrivateChannel::Clock;
using E = ChannelEvent;
using Events = std::vector<ChannelEvent>;
using Lines = std::vector<std::string>;

struct Frame {
  MessageHeader header;
  std::string body;
};

Frame MakeFrame(const std::string& name, uint32_t type, const std::string& body) {
  return Frame{MessageHeader(name, type, static_cast<uint32_t>(body.size())), body};
}

// One end of the conversation. Basic lines travel as 'S' frames with the
// plain line as body; the basic cipher itself is the session's business
// and not under test here.
struct Side {
  Side(ChannelRole role, PrivateMode mode, uint16_t key = 7, const std::string& passphrase = "")
      : name(role == ChannelRole::kClient ? "Guest" : "Host"),
        channel(role, mode, key, passphrase, name) {
    Queue(channel.OfferFrame());
  }

  void Start(Clock::time_point now) { Absorb(channel.Start(now)); }
  void Type(const std::string& line) { Absorb(channel.Seal(line)); }
  void Tick(Clock::time_point now) { Absorb(channel.Tick(now)); }
  void Receive(const Frame& frame, Clock::time_point now) {
    Absorb(channel.OnMessage(frame.header, frame.body, now));
    if (pass_through && frame.header.Type() == MSG_SAY) basic_lines.push_back(frame.body);
  }
  // Cuts a channel's write into frames as a reader would.
  void Queue(const std::string& wire) {
    for (size_t at = 0; at < wire.size();) {
      Frame frame;
      ASSERT_GE(wire.size() - at, MessageHeader::kSize);
      std::copy(wire.begin() + at, wire.begin() + at + MessageHeader::kSize, frame.header.Data());
      at += MessageHeader::kSize;
      frame.body = wire.substr(at, frame.header.BodyLength());
      at += frame.body.size();
      outbox.push_back(frame);
    }
  }
  void Absorb(const ChannelStep& step) {
    if (step.event != E::kNone) events.push_back(step.event);
    EXPECT_FALSE(closed && (!step.wire.empty() || !step.basic_lines.empty()));
    closed = closed || step.close;
    pass_through = step.pass_through;
    wire_written += step.wire;
    Queue(step.wire);
    for (const std::string& line : step.basic_lines) {
      outbox.push_back(MakeFrame(name, MSG_SAY, line));
    }
    private_lines.insert(private_lines.end(), step.lines.begin(), step.lines.end());
  }

  std::string name;
  PrivateChannel channel;
  bool closed = false;
  bool pass_through = false;
  std::deque<Frame> outbox;
  Events events;
  Lines private_lines, basic_lines;
  std::string wire_written;
};

class PrivateChannelTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(InitCrypto()); }

  const Clock::time_point t0_ = Clock::time_point() + std::chrono::hours(1);

  // Delivers queued frames both ways until both are quiet. What a side wrote
  // before it closed still arrives; a side that closed reads nothing more.
  static void Pump(Side& a, Side& b, Clock::time_point now) {
    for (int rounds = 0; rounds < 100000 && (!a.outbox.empty() || !b.outbox.empty()); ++rounds) {
      for (Side* from : {&a, &b}) {
        Side& to = from == &a ? b : a;
        if (from->outbox.empty()) continue;
        if (!to.closed) to.Receive(from->outbox.front(), now);
        from->outbox.pop_front();
      }
    }
  }
  // The sign-on and greeting are done: both sides start their wait.
  void Greet(Side& client, Side& host) {
    host.Start(t0_);
    client.Start(t0_);
    Pump(client, host, t0_);
  }
};

// How two new programs settle with each mode, key and passphrase on each
// side. A different key or passphrase gives different tags: both see the
// mismatch and no line is ever opened. A line typed early is held, then
// sent first; a private line is nowhere on the wire in plain text.
TEST_F(PrivateChannelTest, ModesKeysAndPassphrasesDecideTheOutcome) {
  using M = PrivateMode;
  struct Case {
    M client, host;
    Events client_events, host_events;
    uint16_t host_key;
    const char* client_pass;
    const char* host_pass;
  };
  const Case cases[] = {
      {M::kPrefer, M::kPrefer, {E::kPrivate}, {E::kPrivate}, 1111, "", ""},
      {M::kRequire, M::kPrefer, {E::kPrivate}, {E::kPrivate}, 1111, "apple", "apple"},
      {M::kOff, M::kPrefer, {E::kBasicOff}, {E::kBasic}, 1111, "", ""},
      {M::kPrefer, M::kOff, {E::kBasic}, {E::kBasicOff}, 1111, "", ""},
      {M::kOff, M::kOff, {E::kBasicOff}, {E::kBasicOff}, 1111, "", ""},
      {M::kRequire, M::kOff, {E::kRequireRefused}, {E::kBasicOff}, 1111, "", ""},
      {M::kOff, M::kRequire, {E::kBasicOff}, {E::kRequireRefused}, 1111, "", ""},
      {M::kPrefer, M::kPrefer, {E::kKeyMismatch}, {E::kKeyMismatch}, 1112, "", ""},
      {M::kPrefer, M::kPrefer, {E::kKeyMismatch}, {E::kKeyMismatch}, 1111, "apple", "apples"},
      {M::kPrefer, M::kPrefer, {E::kKeyMismatch}, {E::kKeyMismatch}, 1111, "apple", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    Side client(ChannelRole::kClient, c.client, 1111, c.client_pass);
    Side host(ChannelRole::kHost, c.host, c.host_key, c.host_pass);
    client.Type("hello");
    Greet(client, host);
    // An Off side sends nothing, so its partner waits out the 3 s.
    client.Tick(t0_ + PrivateChannel::kOfferWait);
    host.Tick(t0_ + PrivateChannel::kOfferWait);
    host.Type("hi");
    Pump(client, host, t0_);
    EXPECT_EQ(client.events, c.client_events);
    EXPECT_EQ(host.events, c.host_events);
    // Off writes exactly the original protocol: nothing of its own.
    EXPECT_TRUE(c.client != M::kOff || client.wire_written.empty());
    EXPECT_TRUE(c.host != M::kOff || host.wire_written.empty());
    const bool open =
        c.client_events[0] == E::kPrivate || c.client_events[0] == E::kBasic ||
        (c.client_events[0] == E::kBasicOff && c.host_events[0] != E::kRequireRefused);
    EXPECT_EQ(client.closed || host.closed, !open);
    if (!open) {
      EXPECT_TRUE(host.private_lines.empty() && host.basic_lines.empty());
      EXPECT_EQ(client.channel.VerificationCode(), "");
      continue;
    }
    const bool is_private = c.client_events[0] == E::kPrivate;
    EXPECT_EQ(is_private ? host.private_lines : host.basic_lines, Lines{"hello"});
    EXPECT_EQ(is_private ? client.private_lines : client.basic_lines, Lines{"hi"});
    EXPECT_EQ(client.channel.VerificationCode().size(), is_private ? 9u : 0u);
    EXPECT_EQ(client.channel.VerificationCode(), host.channel.VerificationCode());
    EXPECT_EQ(client.wire_written.find("hello"), std::string::npos);
  }
}

// Every change to the stream of sealed lines ends the session at the
// receiver, and nothing from the changed message onwards is shown; so does
// a line sent back to its sender (the two directions are separate streams).
TEST_F(PrivateChannelTest, ChangedReplayedReorderedOrReflectedLinesEndTheSession) {
  enum class Fault { kFlipBit, kReplay, kReorder, kTruncate, kReflect };
  for (Fault fault :
       {Fault::kFlipBit, Fault::kReplay, Fault::kReorder, Fault::kTruncate, Fault::kReflect}) {
    SCOPED_TRACE(static_cast<int>(fault));
    Side client(ChannelRole::kClient, PrivateMode::kPrefer);
    Side host(ChannelRole::kHost, PrivateMode::kPrefer);
    Greet(client, host);
    ASSERT_EQ(host.events, Events{E::kPrivate});
    for (const char* line : {"one", "two", "three"}) client.Type(line);
    ASSERT_EQ(client.outbox.size(), 3u);
    Frame& second = client.outbox[1];
    if (fault == Fault::kFlipBit) second.body[second.body.size() / 2] ^= 0x04;
    if (fault == Fault::kReplay) client.outbox[2] = second = client.outbox[0];
    if (fault == Fault::kReorder) std::swap(second, client.outbox[2]);
    if (fault == Fault::kTruncate) second.body.resize(10);
    if (fault == Fault::kReflect) {
      client.Receive(client.outbox.front(), t0_);
      EXPECT_EQ(client.events, (Events{E::kPrivate, E::kIntegrityFailure}));
      EXPECT_TRUE(client.private_lines.empty() && client.closed);
      continue;
    }
    Pump(client, host, t0_);
    EXPECT_EQ(host.events, (Events{E::kPrivate, E::kIntegrityFailure}));
    EXPECT_EQ(host.private_lines, Lines{"one"});
    EXPECT_TRUE(host.closed);
  }
}

// Handshake messages that are malformed or out of place end the session at
// the receiver before anything is trusted.
TEST_F(PrivateChannelTest, MalformedHandshakeMessagesEndTheSession) {
  const std::string v1(1, '\x01');
  struct Case {
    const char* what;
    uint32_t type;
    std::string body;
  };
  const Case cases[] = {
      {"offer with a body", MSG_OFFER, "x"},
      {"share of version 2", MSG_SHARE, std::string(1, '\x02') + std::string(32, '\x01')},
      {"share too short", MSG_SHARE, v1 + std::string(31, '\x01')},
      {"identity share", MSG_SHARE, v1 + std::string(32, '\0')},
      {"undecodable share", MSG_SHARE, v1 + v1 + std::string(31, '\xff')},
      {"confirmation before the share", MSG_KEY_CONFIRM, std::string(88, '\0')},
      {"sealed line before the share", MSG_SEALED, std::string(40, '\0')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Side host(ChannelRole::kHost, PrivateMode::kPrefer);
    host.Start(t0_);
    if (c.type != MSG_OFFER) host.Receive(MakeFrame("Guest", MSG_OFFER, ""), t0_);
    host.Receive(MakeFrame("Guest", c.type, c.body), t0_);
    EXPECT_EQ(host.events.back(), E::kHandshakeFailed);
    EXPECT_TRUE(host.closed);
  }
}

TEST(VerificationCodeTest, FirstFourBytesBigEndianModuloTenToTheEight) {
  const unsigned char small[4] = {0, 0, 0, 7};
  const unsigned char large[4] = {0xff, 0xff, 0xff, 0xff};  // 4294967295
  EXPECT_EQ(VerificationCodeText(small), "0000 0007");
  EXPECT_EQ(VerificationCodeText(large), "9496 7295");
}

}  // namespace
