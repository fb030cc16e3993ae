// Private sessions between whole chat sessions over loopback, for what
// only real sockets show: a peer that knows only the original protocol (in
// both roles, refused by Require), the bytes of Off, a relay in the middle
// that changes what passes, and the host's brake on guessing. How two
// channels settle with each other is shown in private_channel_test.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/chat/chat_test_support.h"
#include "core/chat/session.h"

namespace {

using chat_test::Bytes;
using chat_test::ChatEnd;
using chat_test::FreePort;
using chat_test::QuietHost;
using chat_test::RawCaller;
using chat_test::ReceiveAll;
using chat_test::Said;
using chat_test::SayFrame;
using chat_test::SendAll;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr uint16_t kKey = 52917;
const char kMismatch[] = "Your partner's key does not match yours. The connection was closed.\n";

std::string BasicLine(const std::string& name) {
  return "Basic cipher only: " + name +
         "'s program does not offer private sessions. Lines can be read by others on the "
         "network.\n";
}

// The next whole message from fd, or "".
std::string NextFrame(int fd) {
  MessageHeader header;
  std::string body;
  return chat_test::ReceiveMessage(fd, &header, &body) ? Bytes(header, body) : "";
}

std::string TwoFrames(int fd) {
  const std::string first = NextFrame(fd);
  return first + NextFrame(fd);
}

// A header's type is its 26th byte (then three zero bytes).
uint32_t TypeOf(const std::string& frame) { return static_cast<unsigned char>(frame[25]); }

// A program that follows the original protocol to the letter: it reads a
// header, then the body only of the types it knows to carry one ('W', 'B',
// 'S'); any other header is skipped, so one announcing a body would have
// thrown it out of step.
struct OldPeer {
  // The text of the next line; "" at the end.
  std::string NextLine() {
    MessageHeader header;
    while (ReceiveAll(fd, header.Data(), MessageHeader::kSize)) {
      last = header.Type();
      std::string body(header.BodyLength(), '\0');
      if (last != MSG_WELCOME && last != MSG_BUSY && last != MSG_SAY) {
        out_of_step = out_of_step || !body.empty();
      } else if (!body.empty() && !ReceiveAll(fd, &body[0], body.size())) {
        break;
      } else if (last == MSG_SAY) {
        return DecipherBody(BuildCipherTable(kKey),
                            reinterpret_cast<const unsigned char*>(body.data()), body.size());
      }
    }
    return std::string();
  }
  int fd;
  uint32_t last = 0;  // the type of the last header read
  bool out_of_step = false;
};

// A relay between a client and a host on loopback: it passes on every
// whole message, and the host's through `tamper`, which may change, drop,
// hold or add messages.
class Relay {
 public:
  using Tamper = std::function<std::vector<std::string>(const std::string&)>;

  Relay(int host_port, Tamper tamper) : tamper_(std::move(tamper)) {
    thread_ = std::thread([this, host_port] {
      client_ = listener_.Accept();
      host_ = chat_test::ConnectLoopback(host_port);
      if (client_ < 0 || host_ < 0) return;
      std::thread back([this] { Pump(client_, host_, false); });
      Pump(host_, client_, true);
      back.join();
    });
  }
  ~Relay() {
    for (int fd : {listener_.fd, client_.load(), host_.load()}) ::shutdown(fd, SHUT_RDWR);
    thread_.join();
    ::close(client_);
    ::close(host_);
  }
  int Port() const { return listener_.port; }

 private:
  void Pump(int from, int to, bool tampered) {
    for (std::string frame; !(frame = NextFrame(from)).empty();) {
      for (const std::string& out : tampered ? tamper_(frame) : std::vector<std::string>{frame}) {
        SendAll(to, out);
      }
    }
    ::shutdown(to, SHUT_RDWR);
    ::shutdown(from, SHUT_RDWR);
  }

  Tamper tamper_;
  QuietHost listener_;
  std::atomic<int> client_{-1}, host_{-1};
  std::thread thread_;
};

// A host that offers, and a caller that knows only the original protocol:
// the basic cipher, or with Require the door.
TEST(PrivateSessionTest, OldCallerGetsTheBasicCipherAndNoBodyItDoesNotExpect) {
  for (PrivateMode mode : {PrivateMode::kPrefer, PrivateMode::kRequire}) {
    const int port = FreePort();
    ChatEnd host("Hostess");
    host.snapshot.private_mode = mode;
    ASSERT_TRUE(host.Host(port));
    RawCaller raw(port);
    ASSERT_EQ(raw.SignOn("Oldie"), static_cast<uint32_t>(MSG_WELCOME));
    OldPeer old{raw.Fd()};
    ASSERT_TRUE(host.WaitState(SessionState::kHostingBusy));
    // The host's line waits for the outcome; the caller's first line settles it.
    ASSERT_TRUE(host.Send("held for a moment"));
    ASSERT_TRUE(SendAll(raw.Fd(), SayFrame("Oldie", "hello from the past")));
    if (mode == PrivateMode::kRequire) {  // RequireRefusesAnOldPeer
      EXPECT_TRUE(host.reporter.WaitForConversation(
          "Oldie did not set up a private session, and this program is set to require one. The "
          "connection was closed.\n"));
      EXPECT_TRUE(host.WaitState(SessionState::kHostingFree));
      EXPECT_EQ(host.reporter.Conversation().find("hello from the past"), std::string::npos);
      // The old peer saw the greeting and the bodiless offer, nothing more.
      EXPECT_EQ(old.NextLine(), "");
      EXPECT_EQ(old.last, static_cast<uint32_t>(MSG_OFFER));
      EXPECT_FALSE(old.out_of_step);
      continue;
    }
    ASSERT_TRUE(host.reporter.WaitForConversation(BasicLine("Oldie")));
    ASSERT_TRUE(host.reporter.WaitForConversation(Said("Oldie", "hello from the past")));
    EXPECT_EQ(old.NextLine(), "held for a moment");
    ASSERT_TRUE(host.Send("and now at once"));
    EXPECT_EQ(old.NextLine(), "and now at once");
    EXPECT_FALSE(old.out_of_step);
    EXPECT_EQ(host.session.StatsLines().back(), "Privacy: basic cipher (not private)");
    EXPECT_EQ(host.reporter.Privacy(), "Basic cipher (not private)\n");
  }
}

// A caller that offers, and a host that knows only the original protocol;
// and an Off caller, which sends exactly the original protocol's bytes
// with the key of its settings.
TEST(PrivateSessionTest, OldHostGetsTheBasicCipherAndNoBodyItDoesNotExpect) {
  for (PrivateMode mode : {PrivateMode::kPrefer, PrivateMode::kOff}) {
    const uint16_t key = mode == PrivateMode::kOff ? 0xA001 : kKey;
    QuietHost old_host;  // greets as a program of the original protocol
    ChatEnd guest("Guest", key);
    guest.snapshot.private_mode = mode;
    guest.snapshot.port = old_host.port;
    ASSERT_TRUE(guest.session.Connect("127.0.0.1", guest.snapshot));
    const int fd = old_host.Accept();
    ASSERT_TRUE(SendAll(fd, Bytes(MessageHeader("Oldhost", MSG_WELCOME, 2), "Hi")));
    ASSERT_TRUE(guest.WaitState(SessionState::kConnectedAsClient) && guest.session.JoinConnect());
    ASSERT_TRUE(guest.Send("patience"));
    if (mode == PrivateMode::kOff) {  // OffSendsTodaysBytes: 'C' alone, the line at once
      EXPECT_EQ(TwoFrames(fd),
                Bytes(MessageHeader("Guest", MSG_CONNECT, 0)) + SayFrame("Guest", "patience", key));
      guest.session.Close();
      ::close(fd);
      continue;
    }
    // Nothing comes from the old host: after the wait the held line leaves.
    OldPeer old{fd};
    EXPECT_EQ(old.NextLine(), "patience");
    EXPECT_TRUE(guest.reporter.WaitForConversation(BasicLine("Oldhost")));
    ASSERT_TRUE(SendAll(fd, SayFrame("Oldhost", "reply")));
    EXPECT_TRUE(guest.reporter.WaitForConversation(Said("Oldhost", "reply")));
    guest.session.End(nullptr);
    EXPECT_EQ(old.NextLine(), "");
    EXPECT_EQ(old.last, static_cast<uint32_t>(MSG_SIGNOFF));
    EXPECT_FALSE(old.out_of_step);
    ::close(fd);
  }
}

// An Off host answers a sign-on with the greeting alone and sends lines at
// once, with the key of its settings; a line comes in with that key.
TEST(PrivateSessionTest, OffSendsTodaysBytes) {
  const uint16_t key = 0xA001;
  const int port = FreePort();
  ChatEnd host("Hostess", key);
  host.snapshot.private_mode = PrivateMode::kOff;
  host.snapshot.greeting = "Hi";
  ASSERT_TRUE(host.Host(port));
  RawCaller raw(port);
  ASSERT_TRUE(raw.SendHeader("Raw", MSG_CONNECT, 0));
  ASSERT_TRUE(host.WaitState(SessionState::kHostingBusy));
  ASSERT_TRUE(host.Send("plain"));
  EXPECT_EQ(TwoFrames(raw.Fd()), Bytes(MessageHeader("Hostess", MSG_WELCOME, 2), "Hi") +
                                     SayFrame("Hostess", "plain", key));
  ASSERT_TRUE(SendAll(raw.Fd(), SayFrame("Raw", "in", key)));
  EXPECT_TRUE(host.reporter.WaitForConversation(Said("Raw", "in")));
  EXPECT_EQ(host.reporter.Conversation().find("Basic cipher"), std::string::npos);
}

// A relay between two new programs changes what the host sends: its second
// sealed line flipped (repeats and reordering are shown on the channel
// alone); two plain lines injected before the first; its offer dropped.
// Each is seen.
TEST(PrivateSessionTest, ATamperingRelayIsSeen) {
  enum class Cut { kFlip, kInjectPlain, kDropOffer };
  for (Cut cut : {Cut::kFlip, Cut::kInjectPlain, Cut::kDropOffer}) {
    SCOPED_TRACE(static_cast<int>(cut));
    ChatEnd host("Hostess");
    ChatEnd guest("Guest");
    const int port = FreePort();
    int sealed = 0;
    Relay relay(port, [&](const std::string& frame) {
      std::vector<std::string> out{frame};
      if (cut == Cut::kDropOffer && TypeOf(frame) == MSG_OFFER) out.clear();
      if (TypeOf(frame) != MSG_SEALED) return out;
      ++sealed;
      if (cut == Cut::kFlip && sealed == 2) out[0].back() ^= 0x01;
      if (cut == Cut::kInjectPlain && sealed == 1) {
        out.insert(out.begin(), {SayFrame("Hostess", "forged"), SayFrame("Hostess", "forged")});
      }
      return out;
    });
    ASSERT_TRUE(host.Host(port));
    ASSERT_EQ(guest.Connect(relay.Port()), 0);
    ASSERT_TRUE(host.WaitState(SessionState::kHostingBusy));  // it may greet before it notes it
    for (const char* text : {"one", "two", "three"}) ASSERT_TRUE(host.Send(text));
    if (cut == Cut::kInjectPlain || cut == Cut::kDropOffer) {
      ASSERT_TRUE(guest.reporter.WaitForConversation(Said("Hostess", "three")));
      const std::string shown = guest.reporter.Conversation();
      EXPECT_EQ(shown.find("forged"), std::string::npos);
      if (cut == Cut::kInjectPlain) {
        EXPECT_EQ(RecordingReporter::Count(shown, "sent a line without protection"), 1);
        EXPECT_LT(shown.find("sent a line without protection"), shown.find(Said("Hostess", "one")));
        EXPECT_EQ(guest.reporter.Privacy(), "Private session\nPrivate session\n");
        continue;
      }
      EXPECT_NE(shown.find(BasicLine("Hostess")), std::string::npos);
      EXPECT_EQ(shown.find("Private session"), std::string::npos);
      ASSERT_TRUE(guest.Send("readable"));
      EXPECT_TRUE(host.reporter.WaitForConversation(Said("Guest", "readable")));
      EXPECT_TRUE(host.reporter.WaitForConversation(BasicLine("Guest")));
      continue;
    }
    EXPECT_TRUE(guest.reporter.WaitForConversation(
        "A message failed its integrity check. The connection was closed.\n"));
    EXPECT_TRUE(guest.reporter.WaitForConversation(Said("Hostess", "one")));
    const std::string shown = guest.reporter.Conversation();
    EXPECT_EQ(shown.find(Said("Hostess", "three")), std::string::npos);
    EXPECT_EQ(shown.find(Said("Hostess", "two")), std::string::npos);
    EXPECT_TRUE(guest.WaitState(SessionState::kIdle));
    EXPECT_EQ(guest.session.LastEnd(), ConversationEnd::kBroken);
    EXPECT_TRUE(host.reporter.WaitForConversation("Guest has been disconnected\n"));
  }
}

// After each failed key check the host answers the next sign-on later:
// the base delay after the first failure, twice that after the second; a
// good private session resets it, so the failure after that waits the base
// delay again. Both sides of a failed check see the mismatch.
TEST(PrivateSessionTest, HostSlowsDownGuessing) {
  const int port = FreePort();
  ChatEnd host("Hostess");
  const milliseconds base(200);
  const milliseconds slack(50);  // the test sees a failure a little after the host
  host.snapshot.guess_delay_ms = base.count();
  ASSERT_TRUE(host.Host(port));
  int failures = 0;
  int calls = 0;
  // A caller with the wrong key; returns when the host has counted it.
  auto guess = [&] {
    ChatEnd wrong("Guesser", static_cast<uint16_t>(kKey + 1));
    wrong.Connect(port);                // may fail before Connect has looked
    wrong.session.Send("never shown");  // may find nobody to take it
    EXPECT_TRUE(wrong.reporter.WaitForConversation(kMismatch));
    EXPECT_TRUE(host.reporter.WaitForConversation(kMismatch, failures + 1));
    EXPECT_TRUE(host.reporter.WaitForConversation("A caller from 127.0.0.1 failed the key check (" +
                                                  std::to_string(++failures) + " so far)\n"));
    EXPECT_TRUE(wrong.WaitState(SessionState::kIdle));
    EXPECT_EQ(wrong.session.LastEnd(), ConversationEnd::kBroken);
    EXPECT_TRUE(host.WaitState(SessionState::kHostingFree));
    return steady_clock::now();
  };
  // A caller with the right key; how long its greeting took after `from`.
  auto call = [&](steady_clock::time_point from) {
    ChatEnd next("Next");
    EXPECT_EQ(next.Connect(port), 0);
    const auto waited = steady_clock::now() - from;
    EXPECT_TRUE(next.reporter.WaitForConversation("Private session with Hostess"));
    EXPECT_TRUE(host.reporter.WaitForConversation("Private session with Next", ++calls));
    next.session.End(nullptr);
    EXPECT_TRUE(host.WaitState(SessionState::kHostingFree));
    return waited;
  };
  guess();
  EXPECT_GE(call(guess()), 2 * base - slack);
  const auto waited = call(guess());
  EXPECT_GE(waited, base - slack);
  EXPECT_LT(waited, 4 * base - slack);
  EXPECT_EQ(host.reporter.Conversation().find("never shown"), std::string::npos);
}

}  // namespace
