// Two chat sessions (and hand-made callers) conversing over loopback in one
// process: the session's commands, its workers and what both sides see, and
// the faults that once wedged a session.

#include "core/chat/session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/chat/chat_test_support.h"
#include "core/net/name_lookup.h"
#include "core/settings/config_commit.h"
#include "core/settings/program_settings.h"
#include "core/settings/settings_parts.h"

namespace {

using chat_test::ChatEnd;
using chat_test::FreePort;
using chat_test::QuietHost;
using chat_test::RawCaller;
using chat_test::Said;
using chat_test::SendAll;
using std::chrono::milliseconds;
using std::chrono::seconds;
using std::chrono::steady_clock;
using Lines = std::vector<std::string>;

const char kShutdown[] = "All Quillo services have been shutdown\n";

// Runs step and expects it to take less than a second.
template <typename Step>
void Quickly(Step step) {
  const auto start = steady_clock::now();
  step();
  EXPECT_LT(steady_clock::now() - start, milliseconds(1000));
}

// The line that announced the private session, with its line end.
std::string PrivacyLine(const std::string& text) {
  const size_t at = text.find("Private session with ");
  return at == std::string::npos ? std::string() : text.substr(at, text.find('\n', at) + 1 - at);
}

// A host, whose name does not resolve, on any free port, with a caller
// already in (private) conversation.
class ConversationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_.snapshot.host_name = "no-such-host.invalid";
    ASSERT_TRUE(host_.Host(0)) << host_.reporter.Conversation();
    port_ = host_.session.ListeningPort();
    ASSERT_EQ(guest_.Connect(port_), 0) << guest_.reporter.Events();
    ASSERT_TRUE(host_.WaitState(SessionState::kHostingBusy));
    ASSERT_TRUE(host_.reporter.WaitForConversation("Private session with Guest. "));
    ASSERT_TRUE(guest_.reporter.WaitForConversation("Private session with Hostess. "));
    // The status bar hears of it just after the line is shown.
    ASSERT_TRUE(qtest::WaitUntil([&] { return guest_.reporter.Privacy() == "Private session\n"; }));
  }

  int port_ = 0;
  ChatEnd host_{"Hostess"};
  ChatEnd guest_{"Guest"};
};

TEST_F(ConversationTest, LinesTravelBothWaysUnderTheSendersName) {
  EXPECT_EQ(guest_.session.PeerName() + host_.session.PeerName(), "HostessGuest");
  const Lines stats = guest_.session.StatsLines();
  EXPECT_EQ(stats[1] + "|" + stats[4] + "|" + stats.back(),
            "You are configured as Quillo client|IP Address: 127.0.0.1|Privacy: private session");
  // Nothing to send keeps the input and sends nothing.
  EXPECT_FALSE(guest_.Send(""));
  EXPECT_FALSE(guest_.Send("\n"));
  EXPECT_EQ(guest_.reporter.Messages(), "");
  ASSERT_TRUE(guest_.Send("hello host\n"));
  EXPECT_TRUE(host_.reporter.WaitForConversation(Said("Guest", "hello host")));
  EXPECT_NE(guest_.reporter.Conversation().find(Said("Guest", "hello host")), std::string::npos);
  ASSERT_TRUE(host_.Send("two\nlines\n"));
  ASSERT_TRUE(host_.Send("gap\n\n"));  // only one final line end is dropped
  EXPECT_TRUE(guest_.reporter.WaitForConversation(Said("Hostess", "gap\n")));
  ASSERT_TRUE(guest_.Send("caf\xe9 \xff"));  // 8-bit text passes unchanged
  // Flush tells when the queue has reached the connection: the share, the
  // confirmation and the two lines.
  EXPECT_TRUE(guest_.session.Flush(5000));
  EXPECT_EQ(guest_.session.LinesWritten(), 4u);
  // Each received line is announced once with its sender (after its
  // conversation line); one's own lines are not.
  EXPECT_TRUE(host_.reporter.WaitForArrivals("Guest:caf\xe9 \xff\n"));
  EXPECT_NE(host_.reporter.Conversation().find(Said("Guest", "caf\xe9 \xff")), std::string::npos);
  EXPECT_EQ(host_.reporter.Arrivals(), "Guest:hello host\nGuest:caf\xe9 \xff\n");
  EXPECT_TRUE(guest_.reporter.WaitForArrivals("Hostess:gap\n\n"));
  EXPECT_EQ(guest_.reporter.Arrivals(), "Hostess:two\nlines\nHostess:gap\n\n");
  EXPECT_EQ(RecordingReporter::Count(host_.reporter.Conversation(), " Says>"), 4);
}

TEST_F(ConversationTest, ActivitySoundOnlyWhileMinimised) {
  ASSERT_TRUE(host_.Send("one"));
  ASSERT_TRUE(guest_.reporter.WaitForQueries(1));
  ASSERT_TRUE(guest_.reporter.WaitForConversation(Said("Hostess", "one")));
  EXPECT_EQ(guest_.reporter.Sounds(), 0u);
  guest_.reporter.SetMinimised(true);
  ASSERT_TRUE(host_.Send("two"));
  EXPECT_TRUE(guest_.reporter.WaitForSounds(1));
  // The switch works live, for the running conversation.
  guest_.session.SetAudioEnabled(false);
  ASSERT_TRUE(host_.Send("three"));
  ASSERT_TRUE(guest_.reporter.WaitForConversation(Said("Hostess", "three")));
  ASSERT_TRUE(guest_.reporter.WaitForQueries(2));
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_EQ(guest_.reporter.Sounds(), 1u);
}

TEST_F(ConversationTest, GuestSignsOffAndTheLineIsFree) {
  const auto start = steady_clock::now();
  guest_.session.End(nullptr);
  EXPECT_LT(steady_clock::now() - start, milliseconds(1000));
  const std::string guest_text = guest_.reporter.Conversation();
  EXPECT_EQ(guest_text, "\n\nWelcome to the Hostess chat session\n" + PrivacyLine(guest_text) +
                            "Hostess has been disconnected\n" + kShutdown);
  EXPECT_EQ(guest_.reporter.Status(), kShutdown);
  EXPECT_EQ(guest_.reporter.Privacy(), "Private session\n\n");  // cleared
  EXPECT_EQ(guest_.session.State(), SessionState::kIdle);
  ASSERT_TRUE(
      host_.reporter.WaitForConversation("Guest has signed off\nGuest has been disconnected\n"));
  ASSERT_TRUE(host_.WaitState(SessionState::kHostingFree));
  EXPECT_FALSE(host_.Send("anyone?"));
  EXPECT_EQ(host_.reporter.Messages(), "You are not connected to any Quillo services\n  ");
}

// Hosting works though the machine's name does not resolve: stats show an
// address and the port the listener has, not the 0 asked.
TEST_F(ConversationTest, HostEndsAndHostsAgainOnTheSameListener) {
  const Lines stats = host_.session.StatsLines();
  EXPECT_GT(stats[1].size(), std::string("IP Address: ").size());
  EXPECT_NE(std::find(stats.begin(), stats.end(), "Port Number: " + std::to_string(port_)),
            stats.end());
  host_.session.End([] { return true; });
  const std::string host_text = host_.reporter.Conversation();
  EXPECT_EQ(host_text.rfind("Initializing Quillo services...\nOpening Quillo server on host ", 0),
            0u);
  EXPECT_EQ(host_text.find("Could not"), std::string::npos);
  EXPECT_NE(host_text.find("Guest has established a connection\n"), std::string::npos);
  EXPECT_EQ(host_.reporter.Status().rfind("Hosting Quillo Session\n", 0), 0u);
  // One verification code on both sides.
  const std::string code = PrivacyLine(host_text).substr(std::strlen("Private session with Guest"));
  EXPECT_EQ(code.size(), std::strlen(". Verification code: NNNN NNNN\n"));
  EXPECT_NE(guest_.reporter.Conversation().find("Private session with Hostess" + code),
            std::string::npos);
  EXPECT_NE(host_text.find("Guest has been disconnected\nQuillo server open on host "),
            std::string::npos);
  EXPECT_EQ(RecordingReporter::Count(host_text, "Listening on port " + std::to_string(port_)), 2);
  EXPECT_EQ(host_.session.State(), SessionState::kHostingFree);
  ASSERT_TRUE(guest_.reporter.WaitForConversation(
      "Hostess has signed off\nHostess has been disconnected\n"));
  ASSERT_TRUE(guest_.WaitState(SessionState::kIdle));
  // (The next caller's conversation is SessionStopTest's.) This time the
  // host stops for good. The line is free while the user thinks about the
  // answer; a caller greeted meanwhile is signed off too, and then the port
  // is free.
  ChatEnd late("Late");
  host_.session.End([&] {
    EXPECT_EQ(late.Connect(port_), 0);
    EXPECT_TRUE(host_.WaitState(SessionState::kHostingBusy));
    return false;
  });
  EXPECT_EQ(host_.session.State(), SessionState::kIdle);
  EXPECT_TRUE(late.reporter.WaitForConversation("Hostess has signed off\n"));
  EXPECT_EQ(ChatEnd("Later").Connect(port_), -1);
}

// A type this program does not know, with a body: the body is read and
// dropped, so the line after it is read from its own header. The name shown
// is the one in the header, not the peer's. (The reader's limit on bodies
// is ChatConnectTest's.)
TEST(ChatWireTest, UnknownTypesAreSkippedWithTheirBodiesAndHugeLinesCutOff) {
  const int port = FreePort();
  ChatEnd host("Hostess");
  ASSERT_TRUE(host.Host(port));
  RawCaller raw(port);
  std::string greeting;
  ASSERT_EQ(raw.SignOn("Raw", &greeting), static_cast<uint32_t>(MSG_WELCOME));
  EXPECT_EQ(greeting, "Hostess:\nWelcome to the Hostess chat session\n");
  ASSERT_TRUE(raw.SendHeader("Raw", 'X', 40));
  ASSERT_TRUE(SendAll(raw.Fd(), std::string(40, 'S')));
  ASSERT_TRUE(raw.SendHeader("Raw", MSG_WELCOME, 3));
  ASSERT_TRUE(SendAll(raw.Fd(), "abc"));
  ASSERT_TRUE(SendAll(raw.Fd(), chat_test::SayFrame("Other", "made it")));
  EXPECT_TRUE(host.reporter.WaitForConversation(Said("Other", "made it")));
  EXPECT_EQ(host.session.PeerName(), "Raw");
}

// A partner's busy reply ends the conversation once: its text, and no
// second ending read from the closed socket after it.
TEST(ChatWireTest, ABusyReplyEndsTheConversationOnce) {
  const int port = FreePort();
  ChatEnd host("Hostess");
  ASSERT_TRUE(host.Host(port));
  RawCaller raw(port);
  ASSERT_EQ(raw.SignOn("Raw"), static_cast<uint32_t>(MSG_WELCOME));
  ASSERT_TRUE(raw.SendHeader("Raw", MSG_BUSY, 0));
  EXPECT_TRUE(host.reporter.WaitForConversation("Raw Quillo line is currently busy.\n"));
  EXPECT_TRUE(host.WaitState(SessionState::kHostingFree));
  ChatEnd next("Next");  // by its greeting, a second ending would have shown
  ASSERT_EQ(next.Connect(port), 0);
  EXPECT_EQ(RecordingReporter::Count(host.reporter.Conversation(), "disconnected"), 0);
}

TEST(ChatConnectTest, NobodyListeningUnknownHostOrAnOversizedGreeting) {
  ChatEnd guest("Guest");
  EXPECT_EQ(guest.Connect(FreePort()), -1);
  EXPECT_EQ(guest.reporter.Events() + guest.reporter.Conversation(),
            "Could not connect to the Quillo line \nThe Quillo server is not online\n");
  ChatEnd lost("Lost");
  EXPECT_EQ(lost.Connect(FreePort(), "no-such-host.invalid"), -1);
  EXPECT_EQ(lost.reporter.Events(),
            "Could not resolve server's Internet Address\nNo DNS entry exists or hostname is not "
            "valid\n");
  // A greeting one byte over the body limit is a broken connection.
  QuietHost fake;
  std::thread fake_host([&fake] {
    const int caller = fake.Accept();
    MessageHeader signon;
    ::recv(caller, signon.Data(), MessageHeader::kSize, MSG_WAITALL);
    const MessageHeader reply("Fake", MSG_WELCOME, kMaxBodyLength + 1);
    ::send(caller, reply.Data(), MessageHeader::kSize, MSG_NOSIGNAL);
    char c;
    ::recv(caller, &c, 1, 0);  // until the client gives up
    ::close(caller);
  });
  ChatEnd greeted("Greeted");
  EXPECT_EQ(greeted.Connect(fake.port), -1);
  fake_host.join();
  EXPECT_EQ(greeted.reporter.Events(), "Socket exception: Receive error\n");
}

// Commands are refused, with the program's box, where the state does not
// allow them. Stats and the invitation give every address the host has
// (their wording is the window tests'); a second host on the port is told
// why it failed.
TEST(ChatCommandTest, ChecksFollowTheSessionState) {
  ChatEnd end("Quillo", 1234);
  ChatSession& s = end.session;
  EXPECT_TRUE(s.CheckHost() && s.CheckConnect() && !s.Send("x") && !s.CheckInvitation());
  EXPECT_EQ(end.reporter.Messages(),
            "You are not connected to any Quillo services\n  "
            "You are not currently hosting a Quillo session\n  ");
  EXPECT_EQ(s.StatsLines()[0], "You are not hosting any Quillo sessions");
  // Idle, End only reports the shutdown and asks nothing.
  s.End([] {
    ADD_FAILURE();
    return true;
  });
  EXPECT_EQ(end.reporter.Conversation() + end.reporter.Status(),
            std::string(kShutdown) + kShutdown);
  end.snapshot.host_name = "ann.test";
  s.SetPartnerAddressSource([](const std::string& name) {
    return PartnerAddresses{name == "ann.test" ? "192.0.2.10" : "", {"2001:db8::5", "2001:db8::7"}};
  });
  const int port = FreePort();
  ASSERT_TRUE(end.Host(port));
  EXPECT_FALSE(s.CheckHost() || s.CheckConnect() || !s.CheckInvitation());
  EXPECT_NE(end.reporter.Messages().find("You are currently hosting a Quillo session\n  You must "
                                         "end this host session before connecting\n  "),
            std::string::npos);
  EXPECT_EQ(s.StatsLines(), (Lines{"You are configured as Quillo server", "IP Address: 192.0.2.10",
                                   "IPv6 Address: 2001:db8::5", "IPv6 Address: 2001:db8::7",
                                   "Port Number: " + std::to_string(port), "Encryption Key: 1234",
                                   "", "Currently no Quillo clients are connected"}));
  EXPECT_EQ(s.InvitationLines("now")[7], "IPv6 Address: 2001:db8::7");
  ChatEnd second("Second");
  EXPECT_FALSE(second.Host(port));
  EXPECT_EQ(second.reporter.Conversation(),
            "Initializing Quillo services...\nCould not initialize the Quillo server\n"
            "Socket exception: Could not bind socket\n");
  EXPECT_EQ(second.session.State(), SessionState::kIdle);
}

// The ways a hurried user or a hostile partner could wedge a session: the
// session must refuse, stay responsive and keep every partner's lines.

// Host pressed while a Connect waits, Connect while hosting: both refused
// with the program's boxes, and neither disturbs the other's descriptors.
TEST(SessionOverlapTest, HostAndConnectNeverOverlap) {
  QuietHost silent;  // a connect to it waits for the reply
  ChatEnd user("User");
  user.snapshot.port = silent.port;
  ASSERT_TRUE(user.session.Connect("127.0.0.1", user.snapshot));
  user.snapshot.port = FreePort();
  EXPECT_FALSE(user.session.Host(user.snapshot));
  EXPECT_FALSE(user.session.Connect("127.0.0.1", user.snapshot));
  EXPECT_EQ(user.reporter.Messages(),
            "You are currently connected to a Quillo server\n  "
            "You must end this host session before connecting\n  ");
  EXPECT_EQ(user.session.State(), SessionState::kConnecting);
  user.session.CancelConnect();
  const int port = FreePort();
  ASSERT_TRUE(user.Host(port));
  EXPECT_FALSE(user.session.Connect("127.0.0.1", user.snapshot));
  EXPECT_EQ(user.session.State(), SessionState::kHostingFree);
  // The listener is untouched: a caller is answered, End is quick, the
  // port is free again and Host works on it at once.
  ChatEnd guest("Guest");
  ASSERT_EQ(guest.Connect(port), 0);
  Quickly([&] { user.session.End([] { return false; }); });
  ASSERT_TRUE(user.Host(port)) << user.reporter.Conversation();
  EXPECT_EQ(user.reporter.Conversation().find("Could not bind socket"), std::string::npos);
}

// Config commits while lines flow both ways: the workers read only their
// snapshot (ThreadSanitizer watches this test).
TEST(SessionSnapshotTest, ConfigDuringAConversationChangesTheNextSessionOnly) {
  ProgramSettings settings;
  settings.SettingsFilePath = ::testing::TempDir() + "quillo_snapshot_test.ini";
  settings.ScreenName = "Hostess";
  const int port = FreePort();
  settings.QuilloPortNumber = port;
  RecordingReporter host_reporter;
  ChatSession host(host_reporter);
  ASSERT_TRUE(host.Host(SessionSnapshotOf(settings)));
  ChatEnd guest("Guest");
  ASSERT_EQ(guest.Connect(port), 0);
  ASSERT_TRUE(qtest::WaitUntil([&] { return host.State() == SessionState::kHostingBusy; }));
  std::atomic<bool> done{false};
  std::thread config([&] {
    for (int i = 0; !done.load(); ++i) {
      ConfigFields fields = ConfigFields::From(settings);
      fields.ScreenName = "Renamed" + std::to_string(i % 7);
      fields.Port = std::to_string(port + 1 + i % 3);
      fields.EnableAudio = i % 2 == 0;
      CommitConfig(fields, settings);
      host.SetAudioEnabled(fields.EnableAudio);
      (void)host.InvitationLines("now");
    }
  });
  for (int i = 0; i < 50; ++i) {
    ASSERT_TRUE(host.Send("from host " + std::to_string(i)) &&
                guest.Send("from guest " + std::to_string(i)));
  }
  EXPECT_TRUE(guest.reporter.WaitForConversation(Said("Hostess", "from host 49")));
  EXPECT_TRUE(host_reporter.WaitForConversation(Said("Guest", "from guest 49")));
  done = true;
  config.join();
  EXPECT_EQ(host.StatsLines()[2], "Port Number: " + std::to_string(port));
  EXPECT_EQ(host.InvitationLines("now")[2],
            "This is an invitation to join the Hostess Quillo session");
  host.Close();
  // The next session takes the committed values.
  EXPECT_EQ(SessionSnapshotOf(settings).screen_name, settings.ScreenName);
  ::unlink(settings.SettingsFilePath.c_str());
}

// A partner that stops reading: Send queues and returns, End still wins.
TEST(SessionSendTest, AStuckPartnerNeverBlocksSendOrEnd) {
  const int port = FreePort();
  ChatEnd host("Hostess");
  ASSERT_TRUE(host.Host(port));
  RawCaller stuck(port);  // signs on, then never reads again
  ASSERT_EQ(stuck.SignOn("Stuck"), static_cast<uint32_t>(MSG_WELCOME));
  ASSERT_TRUE(host.WaitState(SessionState::kHostingBusy));
  auto sending = std::async(std::launch::async, [&] {
    for (int i = 0; i < 300; ++i) {
      if (!host.Send(std::string(20000, 'a' + i % 26))) return false;
    }
    return true;
  });
  ASSERT_EQ(sending.wait_for(seconds(20)), std::future_status::ready) << "Send blocked";
  EXPECT_TRUE(sending.get());
  EXPECT_FALSE(host.session.Flush(100));  // the partner holds the rest
  EXPECT_LT(host.session.LinesWritten(), 300u);
  Quickly([&] { host.session.End([] { return false; }); });
  EXPECT_EQ(host.session.State(), SessionState::kIdle);
}

// A line bigger than the partner accepts is refused before anything is
// sent, the input stays, and the conversation goes on.
TEST(SessionSendTest, ALineThePartnerWouldRefuseIsKeptAndTheLineStaysUp) {
  const int port = FreePort();
  ChatEnd host("Hostess");
  ChatEnd guest("Guest");
  ASSERT_TRUE(host.Host(port));
  ASSERT_EQ(guest.Connect(port), 0);
  EXPECT_FALSE(guest.Send(std::string(600000, 'x')));
  EXPECT_NE(guest.reporter.Conversation().find("This line is 600000 characters long; a Quillo "
                                               "line takes at most 524288\nCould not send "
                                               "message\n"),
            std::string::npos);
  for (const std::string& line : {std::string(ChatSession::kMaxLineBytes, 'y'), std::string("z")}) {
    ASSERT_TRUE(guest.Send(line));
    EXPECT_TRUE(host.reporter.WaitForConversation(Said("Guest", line)));
  }
  EXPECT_EQ(host.reporter.Conversation().find("has been disconnected"), std::string::npos);
}

// Closing or cancelling while a Connect waits for the host or for a name
// lookup that hangs: quick, nothing reported, nothing used after it is
// gone (AddressSanitizer watches this test).
TEST(SessionStopTest, ClosingDuringAConnectWaitIsQuickAndClean) {
  QuietHost silent;
  auto lookup = std::make_shared<std::promise<void>>();
  const std::shared_future<void> released = lookup->get_future().share();
  for (int round = 0; round < 4; ++round) {
    Quickly([&] {
      ChatEnd user("User");
      user.snapshot.port = silent.port;
      if (round >= 2) {
        user.session.SetNameResolver(
            [released](const std::string&, int, std::vector<StreamEndpoint>*) {
              released.wait_for(seconds(20));
              return false;
            });
      }
      ASSERT_TRUE(user.session.Connect(round >= 2 ? "slow.test" : "127.0.0.1", user.snapshot));
      std::this_thread::sleep_for(milliseconds(50));
      EXPECT_EQ(user.session.State(), SessionState::kConnecting);
      round % 2 == 0 ? user.session.Close() : user.session.CancelConnect();
      EXPECT_EQ(user.reporter.Events() + user.reporter.Conversation(), "");
      EXPECT_EQ(user.session.State(), SessionState::kIdle);
    });
  }
  lookup->set_value();
}

// A reporter whose activity sound lasts until the test lets it end, like a
// user's own long sound file.
class LongSoundReporter : public RecordingReporter {
 public:
  void PlayActivitySound() override {
    RecordingReporter::PlayActivitySound();
    ended_.wait_for(seconds(10));
  }
  void Release() { release_.set_value(); }

 private:
  std::promise<void> release_;
  std::shared_future<void> ended_ = release_.get_future().share();
};

// A long activity sound holds no worker: End is quick and the next caller's
// lines all arrive.
TEST(SessionStopTest, ALongActivitySoundHoldsNeitherEndNorTheNextCaller) {
  LongSoundReporter reporter;
  ChatSession host(reporter);
  SessionSnapshot snapshot;
  snapshot.screen_name = "Hostess";
  snapshot.port = FreePort();
  ASSERT_TRUE(host.Host(snapshot));
  {
    ChatEnd first("First");
    ASSERT_EQ(first.Connect(snapshot.port), 0);
    ASSERT_TRUE(reporter.WaitForSounds(1));  // playing now
    Quickly([&] { host.End([] { return true; }); });
  }
  ChatEnd next("Next");
  ASSERT_EQ(next.Connect(snapshot.port), 0);
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(next.Send("line " + std::to_string(i)));
  EXPECT_TRUE(reporter.WaitForConversation(Said("Next", "line 19")));
  EXPECT_EQ(RecordingReporter::Count(reporter.Conversation(), "Next Says>"), 20);
  reporter.Release();
  host.Close();
}

// Whatever End does, the partner reads only whole messages, in order, and
// the sign-off comes last.
TEST(SessionWireTest, EveryMessageReachesTheWireWholeAndInOrder) {
  const int port = FreePort();
  ChatEnd host("Hostess");
  host.snapshot.private_mode = PrivateMode::kOff;
  ASSERT_TRUE(host.Host(port));
  RawCaller partner(port);
  ASSERT_EQ(partner.SignOn("Partner"), static_cast<uint32_t>(MSG_WELCOME));
  ASSERT_TRUE(host.WaitState(SessionState::kHostingBusy));
  auto line = [](int i) { return std::to_string(i) + std::string(3000, '.'); };
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(host.Send(line(i)));
  ASSERT_TRUE(host.session.Flush(10000));
  host.session.End([] { return false; });
  const CipherTable table = BuildCipherTable(52917);
  MessageHeader header;
  std::string body;
  for (int i = 0; i <= 100; ++i) {
    ASSERT_TRUE(chat_test::ReceiveMessage(partner.Fd(), &header, &body)) << i;
    ASSERT_EQ(header.Type(), static_cast<uint32_t>(i < 100 ? MSG_SAY : MSG_SIGNOFF)) << i;
    const auto* bytes = reinterpret_cast<const unsigned char*>(body.data());
    EXPECT_EQ(DecipherBody(table, bytes, body.size()), i < 100 ? line(i) : "");
  }
  EXPECT_TRUE(partner.ClosedByPeer());
}

// Failed sign-ons, probes and earlier partners are not partners now.
TEST(SessionReportTest, StatsCountsExactlyThePartnerOnTheLine) {
  const int port = FreePort();
  ChatEnd host("Hostess");
  host.snapshot.sign_on_timeout_ms = 200;
  ASSERT_TRUE(host.Host(port));
  const std::string failed = "Could not established a connection to ";
  const std::string receive_error = "\nSocket exception: Receive error\n";
  { RawCaller probe(port); }
  ASSERT_TRUE(host.reporter.WaitForConversation(failed + receive_error));
  {
    RawCaller half(port);
    SendAll(half.Fd(), "Ha");
    EXPECT_TRUE(half.ClosedByPeer());
  }
  ASSERT_TRUE(host.reporter.WaitForConversation(failed + "Ha" + receive_error));
  {
    ChatEnd earlier("Earlier");
    ASSERT_EQ(earlier.Connect(port), 0);
    earlier.session.End(nullptr);
  }
  ASSERT_TRUE(host.WaitState(SessionState::kHostingFree));
  ChatEnd guest("Guest");
  ASSERT_EQ(guest.Connect(port), 0);
  ASSERT_TRUE(host.WaitState(SessionState::kHostingBusy));
  EXPECT_EQ(host.session.StatsLines()[5], "Currently 1 Quillo client is connected");
}

// A caller that stalls in its sign-on holds nobody else, nor End; a
// partner that stops in mid-message loses the line after the bound.
TEST(SessionStallTest, SilentCallersAndStalledBodiesHoldNobody) {
  const int port = FreePort();
  ChatEnd host("Hostess");  // the full 30 s sign-on limit
  host.snapshot.body_timeout_ms = 300;
  ASSERT_TRUE(host.Host(port));
  RawCaller stalled(port);
  ASSERT_TRUE(SendAll(stalled.Fd(), "Half a header"));
  auto start = steady_clock::now();
  ChatEnd guest("Guest");
  ASSERT_EQ(guest.Connect(port), 0);
  EXPECT_LT(steady_clock::now() - start, seconds(5));
  // On the busy line too.
  RawCaller stalled_busy(port);
  ASSERT_TRUE(SendAll(stalled_busy.Fd(), "Half"));
  start = steady_clock::now();
  ChatEnd second("Second");
  EXPECT_EQ(second.Connect(port), -1);
  EXPECT_NE(second.reporter.Conversation().find("line is currently busy"), std::string::npos);
  EXPECT_LT(steady_clock::now() - start, seconds(5));
  Quickly([&] { host.session.End([] { return true; }); });
  // The partner announces a line and stops sending it.
  RawCaller staller(port);
  ASSERT_EQ(staller.SignOn("Staller"), static_cast<uint32_t>(MSG_WELCOME));
  ASSERT_TRUE(host.WaitState(SessionState::kHostingBusy));
  ASSERT_TRUE(staller.SendHeader("Staller", MSG_SAY, 100));
  ASSERT_TRUE(SendAll(staller.Fd(), "ab"));
  EXPECT_TRUE(host.reporter.WaitForConversation("Staller has been disconnected\n"));
  EXPECT_TRUE(host.WaitState(SessionState::kHostingFree));
}

}  // namespace
