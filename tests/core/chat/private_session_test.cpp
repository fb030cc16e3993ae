// Private sessions between whole chat sessions over loopback: two programs
// that both offer them, a peer that knows only the original protocol (in
// both roles), the settings that turn them off or make them compulsory,
// wrong keys, a relay in the middle that changes what passes, and the
// host's brake on guessing.

#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/chat/chat_test_support.h"
#include "core/chat/session.h"
#include "core/crypto/crypto_init.h"
#include "core/crypto/private_channel.h"

namespace {

using chat_test::ChatEnd;
using chat_test::FreePort;
using chat_test::RawCaller;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr uint16_t kKey = 52917;
const char kMismatch[] = "Your partner's key does not match yours. The connection was closed.\n";
const char kIntegrity[] = "A message failed its integrity check. The connection was closed.\n";

std::string Line(const std::string& name, const std::string& text) {
  return name + " Says>\n" + text + "\n\n";
}

std::string BasicLine(const std::string& name) {
  return "Basic cipher only: " + name +
         "'s program does not offer private sessions. Lines can be read by others on the "
         "network.\n";
}

// The code shown after "Verification code: ", or empty.
std::string CodeShown(const std::string& text) {
  std::smatch match;
  static const std::regex kCode("Verification code: ([0-9]{4} [0-9]{4})\n");
  return std::regex_search(text, match, kCode) ? match[1].str() : std::string();
}

std::string Bytes(const MessageHeader& header, const std::string& body = std::string()) {
  return std::string(reinterpret_cast<const char*>(header.Data()), MessageHeader::kSize) + body;
}

std::string SayFrame(const std::string& name, const std::string& line) {
  std::string body;
  EncipherLine(BuildCipherTable(kKey), line, &body);
  return Bytes(MessageHeader(name, MSG_SAY, static_cast<uint32_t>(body.size())), body);
}

// Receives exactly n bytes with a ten-second limit per receive.
bool ReceiveAll(int fd, void* bytes, size_t n) {
  size_t got = 0;
  while (got < n) {
    pollfd wait{fd, POLLIN, 0};
    if (::poll(&wait, 1, 10000) <= 0) return false;
    const ssize_t r = ::recv(fd, static_cast<char*>(bytes) + got, n - got, 0);
    if (r <= 0) return false;
    got += static_cast<size_t>(r);
  }
  return true;
}

bool SendAll(int fd, const std::string& bytes) {
  return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

// A program that follows the original protocol to the letter: it reads a
// header, then the body only of the types it knows to carry one; any other
// header is skipped without reading further. Every header it reads is
// kept, so a test can tell whether it was ever thrown out of step.
class OldPeer {
 public:
  explicit OldPeer(int fd) : fd_(fd) {}

  // Reads the next message the old program would see; false at the end.
  bool Next(MessageHeader* header, std::string* body) {
    if (!ReceiveAll(fd_, header->Data(), MessageHeader::kSize)) return false;
    headers_.push_back(*header);
    const uint32_t type = header->Type();
    body->clear();
    if (type != MSG_WELCOME && type != MSG_BUSY && type != MSG_SAY) return true;
    body->assign(header->BodyLength(), '\0');
    return body->empty() || ReceiveAll(fd_, &(*body)[0], body->size());
  }
  // Reads until a line arrives; its text, or "" at the end.
  std::string NextLine() {
    MessageHeader header;
    std::string body;
    while (Next(&header, &body)) {
      if (header.Type() == MSG_SAY) {
        return DecipherBody(BuildCipherTable(kKey),
                            reinterpret_cast<const unsigned char*>(body.data()), body.size());
      }
    }
    return std::string();
  }
  // True when every header was one of the original five or announced no
  // body: nothing ever put this reader out of step.
  bool NeverSawAnUnexpectedBody() const {
    static const std::set<uint32_t> kKnown = {MSG_CONNECT, MSG_WELCOME, MSG_BUSY, MSG_SAY,
                                              MSG_SIGNOFF};
    for (const MessageHeader& header : headers_) {
      if (kKnown.count(header.Type()) == 0 && header.BodyLength() != 0) return false;
    }
    return !headers_.empty();
  }

 private:
  int fd_;
  std::vector<MessageHeader> headers_;
};

// A relay between a client and a host on loopback that sees every whole
// message and may change, drop, hold or add messages on the way.
class Relay {
 public:
  enum Direction { kToHost, kToClient };
  // Returns what to pass on for one message (header and body bytes).
  using Tamper = std::function<std::vector<std::string>(Direction, const std::string&)>;

  Relay(int host_port, Tamper tamper) : host_port_(host_port), tamper_(std::move(tamper)) {
    listener_ = qtest::BoundSocket(0);
    ::listen(listener_, 1);
    port_ = qtest::LocalPort(listener_);
    thread_ = std::thread([this] { Run(); });
  }
  ~Relay() {
    stop_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    {
      std::lock_guard<std::mutex> hold(lock_);
      for (int fd : fds_) ::shutdown(fd, SHUT_RDWR);
    }
    thread_.join();
    for (std::thread& pump : pumps_) pump.join();
    for (int fd : fds_) ::close(fd);
    ::close(listener_);
  }
  int Port() const { return port_; }

 private:
  void Run() {
    pollfd wait{listener_, POLLIN, 0};
    if (::poll(&wait, 1, 10000) <= 0 || stop_) return;
    const int client = ::accept(listener_, nullptr, nullptr);
    if (client < 0) return;
    const int host = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(host_port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    {
      std::lock_guard<std::mutex> hold(lock_);
      fds_ = {client, host};
      if (stop_) return;
    }
    if (::connect(host, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return;
    pumps_.emplace_back([this, client, host] { Pump(client, host, kToHost); });
    Pump(host, client, kToClient);
  }
  void Pump(int from, int to, Direction direction) {
    for (;;) {
      MessageHeader header;
      if (!ReceiveAll(from, header.Data(), MessageHeader::kSize)) break;
      std::string body(header.BodyLength(), '\0');
      if (!body.empty() && !ReceiveAll(from, &body[0], body.size())) break;
      for (const std::string& out : tamper_(direction, Bytes(header, body))) {
        if (!SendAll(to, out)) break;
      }
    }
    ::shutdown(to, SHUT_RDWR);
    ::shutdown(from, SHUT_RDWR);
  }

  const int host_port_;
  Tamper tamper_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::vector<int> fds_;
  std::vector<std::thread> pumps_;
  std::thread thread_;
};

uint32_t TypeOf(const std::string& frame) {
  MessageHeader header;
  std::memcpy(header.Data(), frame.data(), MessageHeader::kSize);
  return header.Type();
}

class PrivateSessionTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(InitCrypto()); }
};

TEST_F(PrivateSessionTest, TwoNewProgramsTalkPrivatelyBothWaysInOrder) {
  const int port = FreePort();
  ChatEnd host("Hostess");
  ChatEnd guest("Guest");
  host.snapshot.passphrase = "correct horse";
  guest.snapshot.passphrase = "correct horse";
  ASSERT_TRUE(host.Host(port));
  ASSERT_EQ(guest.Connect(port), 0);
  ASSERT_TRUE(host.WaitState(SessionState::kHostingBusy));
  // Lines typed at once are held and leave in order once the mode is known.
  auto text = [](int i) {
    return i % 3 == 0 ? "line " + std::to_string(i) + "\nsecond row"
                      : "caf\xc3\xa9 \xe2\x82\xac " + std::to_string(i);
  };
  std::thread host_sends([&] {
    for (int i = 0; i < 1000; ++i) ASSERT_TRUE(host.Send(text(i)));
  });
  for (int i = 0; i < 1000; ++i) ASSERT_TRUE(guest.Send(text(i)));
  host_sends.join();
  ASSERT_TRUE(host.reporter.WaitForConversation(Line("Guest", text(999))));
  ASSERT_TRUE(guest.reporter.WaitForConversation(Line("Hostess", text(999))));
  for (ChatEnd* end : {&host, &guest}) {
    const std::string shown = end->reporter.Conversation();
    const std::string partner = end == &host ? "Guest" : "Hostess";
    size_t at = shown.find("Private session with " + partner + ". Verification code: ");
    ASSERT_NE(at, std::string::npos) << shown.substr(0, 400);
    for (int i = 0; i < 1000; ++i) {
      at = shown.find(Line(partner, text(i)), at);
      ASSERT_NE(at, std::string::npos) << i;
    }
    EXPECT_EQ(RecordingReporter::Count(shown, partner + " Says>"), 1000);
    EXPECT_EQ(end->session.StatsLines().back(), "Privacy: private session");
  }
  const std::string code = CodeShown(host.reporter.Conversation());
  EXPECT_FALSE(code.empty());
  EXPECT_EQ(code, CodeShown(guest.reporter.Conversation()));
  // Nothing of the passphrase reaches a window.
  EXPECT_EQ(host.reporter.Conversation().find("horse"), std::string::npos);
  EXPECT_EQ(guest.reporter.Events().find("horse"), std::string::npos);
}

// A host that offers, and a caller that knows only the original protocol.
TEST_F(PrivateSessionTest, OldCallerGetsTheBasicCipherAndNoBodyItDoesNotExpect) {
  const int port = FreePort();
  ChatEnd host("Hostess");
  ASSERT_TRUE(host.Host(port));
  RawCaller raw(port);
  ASSERT_TRUE(raw.SendHeader("Oldie", MSG_CONNECT, 0));
  OldPeer old(raw.Fd());
  MessageHeader header;
  std::string body;
  ASSERT_TRUE(old.Next(&header, &body));
  EXPECT_EQ(header.Type(), static_cast<uint32_t>(MSG_WELCOME));
  ASSERT_TRUE(host.WaitState(SessionState::kHostingBusy));
  // The host's line waits for the outcome; the caller's first line settles it.
  ASSERT_TRUE(host.Send("held for a moment"));
  ASSERT_TRUE(raw.SendLine("Oldie", kKey, "hello from the past"));
  ASSERT_TRUE(host.reporter.WaitForConversation(BasicLine("Oldie")));
  ASSERT_TRUE(host.reporter.WaitForConversation(Line("Oldie", "hello from the past")));
  EXPECT_EQ(old.NextLine(), "held for a moment");
  ASSERT_TRUE(host.Send("and now at once"));
  EXPECT_EQ(old.NextLine(), "and now at once");
  EXPECT_TRUE(old.NeverSawAnUnexpectedBody());
  EXPECT_EQ(host.session.StatsLines().back(), "Privacy: basic cipher (not private)");
}

// A caller that offers, and a host that knows only the original protocol.
TEST_F(PrivateSessionTest, OldHostGetsTheBasicCipherAndNoBodyItDoesNotExpect) {
  const int port = FreePort();
  const int listener = qtest::BoundSocket(port);
  ASSERT_GE(listener, 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  ChatEnd guest("Guest");
  guest.snapshot.port = port;
  ASSERT_TRUE(guest.session.Connect("127.0.0.1", guest.snapshot));
  pollfd wait{listener, POLLIN, 0};
  ASSERT_EQ(::poll(&wait, 1, 10000), 1);
  const int fd = ::accept(listener, nullptr, nullptr);
  ::close(listener);
  OldPeer old(fd);
  MessageHeader header;
  std::string body;
  ASSERT_TRUE(old.Next(&header, &body));
  EXPECT_EQ(header.Type(), static_cast<uint32_t>(MSG_CONNECT));
  const std::string greeting = "Welcome, whoever you are";
  ASSERT_TRUE(SendAll(fd, Bytes(MessageHeader("Oldhost", MSG_WELCOME, greeting.size()), greeting)));
  ASSERT_TRUE(guest.WaitState(SessionState::kConnectedAsClient));
  ASSERT_TRUE(guest.session.JoinConnect());
  // Nothing comes from the old host: after the wait the held line leaves.
  ASSERT_TRUE(guest.Send("patience"));
  EXPECT_EQ(old.NextLine(), "patience");
  EXPECT_TRUE(guest.reporter.WaitForConversation(BasicLine("Oldhost")));
  ASSERT_TRUE(SendAll(fd, SayFrame("Oldhost", "reply")));
  EXPECT_TRUE(guest.reporter.WaitForConversation(Line("Oldhost", "reply")));
  guest.session.End(nullptr);
  MessageHeader last;
  while (old.Next(&last, &body)) {
  }
  EXPECT_EQ(last.Type(), static_cast<uint32_t>(MSG_SIGNOFF));
  EXPECT_TRUE(old.NeverSawAnUnexpectedBody());
  ::close(fd);
}

// Off on either side: exactly the original protocol's bytes leave it.
TEST_F(PrivateSessionTest, OffSendsTodaysBytes) {
  {  // An Off host answers a sign-on with the greeting alone, lines at once.
    const int port = FreePort();
    ChatEnd host("Hostess");
    host.snapshot.private_mode = PrivateMode::kOff;
    host.snapshot.greeting = "Hi";
    ASSERT_TRUE(host.Host(port));
    RawCaller raw(port);
    ASSERT_TRUE(raw.SendHeader("Raw", MSG_CONNECT, 0));
    ASSERT_TRUE(host.WaitState(SessionState::kHostingBusy));
    ASSERT_TRUE(host.Send("plain"));
    const std::string expected =
        Bytes(MessageHeader("Hostess", MSG_WELCOME, 2), "Hi") + SayFrame("Hostess", "plain");
    std::string got(expected.size(), '\0');
    ASSERT_TRUE(ReceiveAll(raw.Fd(), &got[0], got.size()));
    EXPECT_EQ(got, expected);
  }
  {  // An Off caller signs on with 'C' alone.
    const int port = FreePort();
    const int listener = qtest::BoundSocket(port);
    ASSERT_EQ(::listen(listener, 1), 0);
    ChatEnd guest("Guest");
    guest.snapshot.private_mode = PrivateMode::kOff;
    guest.snapshot.port = port;
    ASSERT_TRUE(guest.session.Connect("127.0.0.1", guest.snapshot));
    pollfd wait{listener, POLLIN, 0};
    ASSERT_EQ(::poll(&wait, 1, 10000), 1);
    const int fd = ::accept(listener, nullptr, nullptr);
    ::close(listener);
    ASSERT_TRUE(SendAll(fd, Bytes(MessageHeader("Host", MSG_WELCOME, 2), "Hi")));
    ASSERT_TRUE(guest.WaitState(SessionState::kConnectedAsClient));
    ASSERT_TRUE(guest.session.JoinConnect());
    ASSERT_TRUE(guest.Send("plain"));
    const std::string expected =
        Bytes(MessageHeader("Guest", MSG_CONNECT, 0)) + SayFrame("Guest", "plain");
    std::string got(expected.size(), '\0');
    ASSERT_TRUE(ReceiveAll(fd, &got[0], got.size()));
    EXPECT_EQ(got, expected);
    guest.session.Close();
    ::close(fd);
  }
}

// A program with private sessions off talks to one that prefers them.
TEST_F(PrivateSessionTest, OffMeetsPreferInBasicMode) {
  for (bool host_off : {true, false}) {
    const int port = FreePort();
    ChatEnd host("Hostess");
    ChatEnd guest("Guest");
    (host_off ? host : guest).snapshot.private_mode = PrivateMode::kOff;
    ASSERT_TRUE(host.Host(port));
    ASSERT_EQ(guest.Connect(port), 0);
    ASSERT_TRUE(host.WaitState(SessionState::kHostingBusy));
    ASSERT_TRUE(guest.Send("to host"));
    ASSERT_TRUE(host.Send("to guest"));
    ASSERT_TRUE(host.reporter.WaitForConversation(Line("Guest", "to host")));
    ASSERT_TRUE(guest.reporter.WaitForConversation(Line("Hostess", "to guest")));
    ChatEnd& prefer = host_off ? guest : host;
    EXPECT_TRUE(prefer.reporter.WaitForConversation(BasicLine(host_off ? "Hostess" : "Guest")));
    for (ChatEnd* end : {&host, &guest}) {
      EXPECT_EQ(end->reporter.Conversation().find("Private session"), std::string::npos);
      EXPECT_EQ(end->session.StatsLines().back(), "Privacy: basic cipher (not private)");
    }
  }
}

TEST_F(PrivateSessionTest, RequireRefusesAnOldPeer) {
  const int port = FreePort();
  ChatEnd host("Hostess");
  host.snapshot.private_mode = PrivateMode::kRequire;
  ASSERT_TRUE(host.Host(port));
  RawCaller raw(port);
  MessageHeader reply;
  std::string greeting;
  ASSERT_TRUE(raw.SignOn("Oldie", &reply, &greeting));
  ASSERT_TRUE(host.WaitState(SessionState::kHostingBusy));
  ASSERT_TRUE(host.Send("never sent"));
  ASSERT_TRUE(raw.SendLine("Oldie", kKey, "hello"));
  EXPECT_TRUE(host.reporter.WaitForConversation(
      "Oldie did not set up a private session, and this program is set to require one. The "
      "connection was closed.\n"));
  EXPECT_TRUE(host.WaitState(SessionState::kHostingFree));
  EXPECT_EQ(host.reporter.Conversation().find(Line("Oldie", "hello")), std::string::npos);
  // The old peer saw the greeting and the bodiless offer, nothing more.
  OldPeer old(raw.Fd());
  EXPECT_EQ(old.NextLine(), "");
  EXPECT_TRUE(old.NeverSawAnUnexpectedBody());
}

TEST_F(PrivateSessionTest, WrongKeyOrPassphraseEndsBothSides) {
  for (bool by_passphrase : {false, true}) {
    const int port = FreePort();
    ChatEnd host("Hostess");
    ChatEnd guest("Guest", by_passphrase ? kKey : kKey + 1);
    if (by_passphrase) guest.snapshot.passphrase = "not the same";
    ASSERT_TRUE(host.Host(port));
    // The check may end the conversation before Connect looks, and a
    // line typed meanwhile may find nobody to take it: neither is asked.
    guest.Connect(port);
    guest.session.Send("never shown");
    EXPECT_TRUE(host.reporter.WaitForConversation(kMismatch));
    EXPECT_TRUE(guest.reporter.WaitForConversation(kMismatch));
    EXPECT_TRUE(host.reporter.WaitForConversation(
        "A caller from 127.0.0.1 failed the key check (1 so far)\n"));
    EXPECT_TRUE(guest.WaitState(SessionState::kIdle));
    EXPECT_EQ(guest.session.LastEnd(), ConversationEnd::kBroken);
    EXPECT_TRUE(host.WaitState(SessionState::kHostingFree));
    EXPECT_EQ(host.reporter.Conversation().find("never shown"), std::string::npos);
  }
}

// A relay between two new programs, changing the host's sealed lines.
class RelayTest : public PrivateSessionTest {
 protected:
  // Connects the guest through a relay that applies tamper to the
  // messages the host sends, and waits for the private session.
  void Start(std::function<std::vector<std::string>(const std::string&)> tamper,
             bool expect_private = true) {
    ASSERT_TRUE(host_.Host(port_));
    relay_ = std::make_unique<Relay>(port_, [tamper](Relay::Direction d, const std::string& f) {
      return d == Relay::kToClient ? tamper(f) : std::vector<std::string>{f};
    });
    ASSERT_EQ(guest_.Connect(relay_->Port()), 0);
    if (expect_private) {
      ASSERT_TRUE(guest_.reporter.WaitForConversation("Private session with Hostess"));
    }
  }

  int port_ = FreePort();
  ChatEnd host_{"Hostess"};
  ChatEnd guest_{"Guest"};
  std::unique_ptr<Relay> relay_;
};

TEST_F(RelayTest, AChangedReplayedOrReorderedLineEndsTheSession) {
  enum Fault { kFlip, kReplay, kReorder };
  for (Fault fault : {kFlip, kReplay, kReorder}) {
    SCOPED_TRACE(fault);
    ChatEnd host("Hostess");
    ChatEnd guest("Guest");
    const int port = FreePort();
    int sealed = 0;
    std::string kept;
    // The first line passes untouched; the second is changed, repeated, or
    // held back to follow the third.
    Relay relay(port, [&](Relay::Direction d, const std::string& frame) {
      std::vector<std::string> out{frame};
      if (d != Relay::kToClient || TypeOf(frame) != MSG_SEALED) return out;
      ++sealed;
      if (fault == kFlip && sealed == 2) out[0].back() ^= 0x01;
      if (fault == kReplay && sealed == 2) out.push_back(frame);
      if (fault == kReorder && sealed == 2) {
        kept = frame;
        out.clear();
      }
      if (fault == kReorder && sealed == 3) out.push_back(kept);
      return out;
    });
    ASSERT_TRUE(host.Host(port));
    ASSERT_EQ(guest.Connect(relay.Port()), 0);
    ASSERT_TRUE(guest.reporter.WaitForConversation("Private session with Hostess"));
    for (const char* text : {"one", "two", "three"}) ASSERT_TRUE(host.Send(text));
    EXPECT_TRUE(guest.reporter.WaitForConversation(kIntegrity));
    EXPECT_TRUE(guest.reporter.WaitForConversation(Line("Hostess", "one")));
    const std::string shown = guest.reporter.Conversation();
    EXPECT_EQ(shown.find(Line("Hostess", "three")), std::string::npos);
    if (fault != kReplay) {
      EXPECT_EQ(shown.find(Line("Hostess", "two")), std::string::npos);
    }
    EXPECT_TRUE(guest.WaitState(SessionState::kIdle));
    EXPECT_EQ(guest.session.LastEnd(), ConversationEnd::kBroken);
    EXPECT_TRUE(host.reporter.WaitForConversation("Guest has been disconnected\n"));
    guest.session.Close();
    host.session.Close();
  }
}

TEST_F(RelayTest, AnInjectedPlainLineIsDroppedWithOneWarning) {
  bool injected = false;
  Start([&](const std::string& frame) {
    std::vector<std::string> out{frame};
    if (TypeOf(frame) == MSG_SEALED && !injected) {
      injected = true;
      out.insert(out.begin(), {SayFrame("Hostess", "forged"), SayFrame("Hostess", "forged")});
    }
    return out;
  });
  ASSERT_TRUE(host_.Send("real"));
  ASSERT_TRUE(host_.Send("also real"));
  ASSERT_TRUE(guest_.reporter.WaitForConversation(Line("Hostess", "also real")));
  const std::string shown = guest_.reporter.Conversation();
  EXPECT_EQ(RecordingReporter::Count(shown, "sent a line without protection"), 1);
  EXPECT_EQ(shown.find("forged"), std::string::npos);
  EXPECT_LT(shown.find("sent a line without protection"), shown.find(Line("Hostess", "real")));
}

TEST_F(RelayTest, ADroppedOfferShowsTheBasicCipherLine) {
  Start(
      [](const std::string& frame) {
        return TypeOf(frame) == MSG_OFFER ? std::vector<std::string>{}
                                          : std::vector<std::string>{frame};
      },
      false);
  EXPECT_TRUE(guest_.reporter.WaitForConversation(BasicLine("Hostess")));
  ASSERT_TRUE(guest_.Send("readable"));
  EXPECT_TRUE(host_.reporter.WaitForConversation(Line("Guest", "readable")));
  EXPECT_TRUE(host_.reporter.WaitForConversation(BasicLine("Guest")));
  EXPECT_EQ(guest_.reporter.Conversation().find("Private session"), std::string::npos);
}

// After each failed key check the host answers the next sign-on later:
// the base delay after the first failure, twice that after the second; a
// good private session resets it, so the failure after that waits the base
// delay again.
TEST_F(PrivateSessionTest, HostSlowsDownGuessing) {
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
    // The check may fail before Connect has looked: do not ask how it went.
    wrong.Connect(port);
    EXPECT_TRUE(wrong.reporter.WaitForConversation(kMismatch));
    EXPECT_TRUE(host.reporter.WaitForConversation("A caller from 127.0.0.1 failed the key check (" +
                                                  std::to_string(++failures) + " so far)\n"));
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
  // The second guesser waited the base delay; the caller after it waits
  // twice that. Its private session resets the brake, so after the third
  // failure the wait is the base delay again, not four times it.
  EXPECT_GE(call(guess()), 2 * base - slack);
  const auto waited = call(guess());
  EXPECT_GE(waited, base - slack);
  EXPECT_LT(waited, 4 * base - slack);
}

}  // namespace
