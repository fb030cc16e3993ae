// The ways a hurried user or a hostile partner could wedge a session, each
// driven on loopback: the session must refuse, stay responsive and keep
// every partner's lines.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/chat/chat_test_support.h"
#include "core/chat/session.h"
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
using std::chrono::milliseconds;
using std::chrono::seconds;
using std::chrono::steady_clock;

// Runs step and expects it to take less than a second.
template <typename Step>
void Quickly(Step step) {
  const auto start = steady_clock::now();
  step();
  EXPECT_LT(steady_clock::now() - start, milliseconds(1000));
}

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
      fields.Key = std::to_string(1000 + i % 50);
      fields.Port = std::to_string(port + 1 + i % 3);
      fields.Greeting = "Hello " + std::to_string(i);
      fields.EnableAudio = i % 2 == 0;
      CommitConfig(fields, settings);
      host.SetAudioEnabled(fields.EnableAudio);
      (void)host.StatsLines();
      (void)host.InvitationLines("now");
    }
  });
  for (int i = 0; i < 50; ++i) {
    ASSERT_TRUE(host.Send("from host " + std::to_string(i)));
    ASSERT_TRUE(guest.Send("from guest " + std::to_string(i)));
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
    std::unique_lock<std::mutex> hold(lock_);
    ended_.wait_for(hold, seconds(10), [&] { return released_; });
  }
  void Release() {
    std::lock_guard<std::mutex> hold(lock_);
    released_ = true;
    ended_.notify_all();
  }

 private:
  std::mutex lock_;
  std::condition_variable ended_;
  bool released_ = false;
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
  for (int i = 0; i < 100; ++i) {
    ASSERT_TRUE(partner.ReceiveMessage(&header, &body)) << i;
    ASSERT_EQ(header.Type(), static_cast<uint32_t>(MSG_SAY)) << i;
    EXPECT_EQ(DecipherBody(table, reinterpret_cast<const unsigned char*>(body.data()), body.size()),
              line(i));
  }
  ASSERT_TRUE(partner.ReceiveMessage(&header, &body));
  EXPECT_EQ(header.Type(), static_cast<uint32_t>(MSG_SIGNOFF));
  EXPECT_TRUE(partner.ClosedByPeer());
}

// The machine's name need not resolve: hosting works and shows an address.
// Stats and the invitation name the port the listener has, whatever the
// settings say later.
TEST(SessionAddressTest, HostingWorksWhenTheHostNameDoesNotResolve) {
  ChatEnd host("Hostess");
  host.snapshot.host_name = "no-such-host.invalid";
  ASSERT_TRUE(host.Host(0)) << host.reporter.Conversation();  // any free port
  const int port = host.session.ListeningPort();
  ASSERT_GT(port, 0);
  host.snapshot.port = 4000;
  const std::string address = host.session.StatsLines()[1];
  EXPECT_GT(address.size(), std::string("IP Address: ").size());
  EXPECT_EQ(host.reporter.Conversation().find("Could not"), std::string::npos);
  // TheShownPortIsTheOneListenedOn
  EXPECT_EQ(host.session.StatsLines()[2], "Port Number: " + std::to_string(port));
  EXPECT_EQ(host.session.InvitationLines("now")[6], "Port Number: " + std::to_string(port));
  EXPECT_EQ(ChatEnd("Guest").Connect(port), 0);
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
    half.SendBytes("Ha", 2);
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
  ASSERT_TRUE(stalled.SendBytes("Half a header", 13));
  auto start = steady_clock::now();
  ChatEnd guest("Guest");
  ASSERT_EQ(guest.Connect(port), 0);
  EXPECT_LT(steady_clock::now() - start, seconds(5));
  // On the busy line too.
  RawCaller stalled_busy(port);
  ASSERT_TRUE(stalled_busy.SendBytes("Half", 4));
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
  ASSERT_TRUE(staller.SendBytes("ab", 2));
  EXPECT_TRUE(host.reporter.WaitForConversation("Staller has been disconnected\n"));
  EXPECT_TRUE(host.WaitState(SessionState::kHostingFree));
}

}  // namespace
