// Two chat engines (and hand-made callers) conversing over loopback in one
// process.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "core/chat/chat_test_support.h"

namespace {

using chat_test::ChatEnd;
using chat_test::FreePort;
using chat_test::RawCaller;

constexpr uint16_t kKey = 52917;

std::string Line(const std::string& name, const std::string& text) {
  return name + " Says>\n" + text + "\n\n";
}

// A host with a caller already in conversation.
class ConversationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = FreePort();
    ASSERT_TRUE(host_.Host(port_)) << host_.reporter.Conversation();
    ASSERT_EQ(guest_.Connect(port_), 0) << guest_.reporter.Events();
    ASSERT_TRUE(host_.reporter.WaitForConversation("Guest has established a connection\n"));
    ASSERT_TRUE(ChatEnd::WaitUntil(host_.settings.LineBusy, 1));
  }

  int port_ = 0;
  ChatEnd host_{"Hostess"};
  ChatEnd guest_{"Guest"};
};

TEST_F(ConversationTest, HostingAndGreetingAreReported) {
  const std::string host_text = host_.reporter.Conversation();
  EXPECT_EQ(host_text.rfind("Initializing Quillo services...\nOpening Quillo server on host ", 0),
            0u);
  EXPECT_NE(host_text.find(" at: "), std::string::npos);
  EXPECT_NE(host_text.find("Listening on port " + std::to_string(port_) + "\n\n"),
            std::string::npos);
  EXPECT_NE(host_text.find("Connecting Quillo client 127.0.0.1 at: "), std::string::npos);
  EXPECT_EQ(host_.reporter.Status(), "Hosting Quillo Session\n");
  EXPECT_GE(host_.reporter.Sounds(), 1u);  // the new connection
  EXPECT_FALSE(host_.settings.HostAddress.empty());
  EXPECT_FALSE(host_.settings.HostStartTime.empty());

  // No greeting was configured: the host's own, with a line end each side,
  // shown after one more line end.
  EXPECT_EQ(guest_.reporter.Conversation(), "\n\nWelcome to the Hostess chat session\n");
  EXPECT_EQ(guest_.reporter.Events(), "");
  EXPECT_EQ(guest_.settings.LineBusy.load(), 1);
  EXPECT_EQ(guest_.settings.Hosting.load(), 0);
  EXPECT_EQ(guest_.settings.PeerName.Get(), "Hostess");
  EXPECT_EQ(host_.settings.PeerName.Get(), "Guest");
  // Counted once the greeting returns, a moment after the talker starts.
  EXPECT_TRUE(ChatEnd::WaitUntil(host_.settings.ConnectionCount, 1));
}

TEST_F(ConversationTest, LinesTravelBothWaysUnderTheSendersName) {
  ASSERT_TRUE(guest_.Send("hello host\n"));
  EXPECT_TRUE(host_.reporter.WaitForConversation(Line("Guest", "hello host")));
  EXPECT_NE(guest_.reporter.Conversation().find(Line("Guest", "hello host")), std::string::npos);

  ASSERT_TRUE(host_.Send("two\nlines\n"));
  EXPECT_TRUE(guest_.reporter.WaitForConversation(Line("Hostess", "two\nlines")));
  // Only one final line end is dropped.
  ASSERT_TRUE(host_.Send("gap\n\n"));
  EXPECT_TRUE(guest_.reporter.WaitForConversation(Line("Hostess", "gap\n")));
  // 8-bit text passes unchanged.
  ASSERT_TRUE(guest_.Send("caf\xe9 \xff"));
  EXPECT_TRUE(host_.reporter.WaitForConversation(Line("Guest", "caf\xe9 \xff")));
  // Each received line is announced once with its sender; one's own lines
  // are not.
  // (The announcement follows the conversation line, so it is waited for.)
  EXPECT_TRUE(host_.reporter.WaitForArrivals("Guest:caf\xe9 \xff\n"));
  EXPECT_EQ(host_.reporter.Arrivals(), "Guest:hello host\nGuest:caf\xe9 \xff\n");
  EXPECT_TRUE(guest_.reporter.WaitForArrivals("Hostess:gap\n\n"));
  EXPECT_EQ(guest_.reporter.Arrivals(), "Hostess:two\nlines\nHostess:gap\n\n");
}

TEST_F(ConversationTest, ActivitySoundOnlyWhileMinimised) {
  const size_t before = guest_.reporter.Sounds();
  ASSERT_TRUE(host_.Send("one"));
  // The talker asks about the window after showing the line.
  ASSERT_TRUE(guest_.reporter.WaitForQueries(1));
  ASSERT_TRUE(guest_.reporter.WaitForConversation(Line("Hostess", "one")));
  guest_.reporter.SetMinimised(true);
  ASSERT_TRUE(host_.Send("two"));
  ASSERT_TRUE(guest_.reporter.WaitForSounds(before + 1));
  ASSERT_TRUE(guest_.reporter.WaitForQueries(2));
  EXPECT_EQ(guest_.reporter.Sounds(), before + 1) << guest_.reporter.Conversation();
}

TEST_F(ConversationTest, NothingToSendKeepsTheInput) {
  EXPECT_FALSE(guest_.Send(""));
  EXPECT_FALSE(guest_.Send("\n"));
  EXPECT_EQ(guest_.reporter.Messages(), "");
  ASSERT_TRUE(guest_.Send("after"));
  EXPECT_TRUE(host_.reporter.WaitForConversation(Line("Guest", "after")));
  EXPECT_EQ(RecordingReporter::Count(host_.reporter.Conversation(), " Says>"), 1);
}

TEST_F(ConversationTest, ASecondCallerIsToldTheLineIsBusy) {
  host_.settings.GreetingText.Set("Welcome to the Hostess Quillo session");
  ChatEnd second("Second");
  EXPECT_EQ(second.Connect(port_), -1);
  EXPECT_EQ(second.reporter.Conversation(),
            "\nWelcome to the Hostess Quillo session\n"
            "Hostess Quillo line is currently busy.\nSigning off...\n");
  EXPECT_EQ(second.settings.LineBusy.load(), 0);
  EXPECT_TRUE(host_.reporter.WaitForConversation("Second has requested a connection\n\n"));
  EXPECT_EQ(host_.settings.ConnectionCount.load(), 1);
  // The conversation goes on.
  ASSERT_TRUE(guest_.Send("still here"));
  EXPECT_TRUE(host_.reporter.WaitForConversation(Line("Guest", "still here")));
}

TEST_F(ConversationTest, GuestSignsOffAndTheNextCallerIsGreeted) {
  guest_.reporter.SetMinimised(true);
  const auto start = std::chrono::steady_clock::now();
  EndSession(guest_.settings, guest_.reporter, nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
  EXPECT_EQ(guest_.reporter.Conversation(),
            "\n\nWelcome to the Hostess chat session\n"
            "Hostess has been disconnected\n"
            "All Quillo services have been shutdown\n");
  EXPECT_EQ(guest_.reporter.Status(), "All Quillo services have been shutdown\n");
  EXPECT_EQ(guest_.settings.LineBusy.load(), 0);
  EXPECT_EQ(guest_.settings.PeerSocket.load(), kInvalidSocket);

  ASSERT_TRUE(host_.reporter.WaitForConversation("Guest has been disconnected\n"));
  EXPECT_NE(
      host_.reporter.Conversation().find("Guest has signed off\nGuest has been disconnected\n"),
      std::string::npos);
  ASSERT_TRUE(ChatEnd::WaitUntil(host_.settings.LineBusy, 0));
  EXPECT_EQ(host_.settings.Hosting.load(), 1);
  EXPECT_FALSE(host_.Send("anyone?"));
  EXPECT_EQ(host_.reporter.Messages(), "You are not connected to any Quillo services\n  ");

  ChatEnd next("Next");
  ASSERT_EQ(next.Connect(port_), 0);
  EXPECT_TRUE(host_.reporter.WaitForConversation("Next has established a connection\n"));
  ASSERT_TRUE(next.Send("hi"));
  EXPECT_TRUE(host_.reporter.WaitForConversation(Line("Next", "hi")));
  EXPECT_TRUE(ChatEnd::WaitUntil(host_.settings.ConnectionCount, 2));
}

TEST_F(ConversationTest, HostEndsAndHostsAgainOnTheSameListener) {
  bool asked = false;
  EndSession(host_.settings, host_.reporter, [&] {
    asked = true;
    return true;
  });
  EXPECT_TRUE(asked);
  const std::string host_text = host_.reporter.Conversation();
  EXPECT_NE(host_text.find("Guest has been disconnected\nQuillo server open on host " +
                           host_.settings.HostAddress + " at: "),
            std::string::npos);
  EXPECT_NE(host_text.find("Listening on port " + std::to_string(port_) + "\n\n"),
            host_text.rfind("Listening on port "));
  EXPECT_EQ(host_text.find("All Quillo services"), std::string::npos);
  EXPECT_EQ(host_.settings.Hosting.load(), 1);
  EXPECT_EQ(host_.settings.LineBusy.load(), 0);

  ASSERT_TRUE(guest_.reporter.WaitForConversation("Hostess has been disconnected\n"));
  EXPECT_NE(guest_.reporter.Conversation().find("Hostess has signed off\nHostess has been "
                                                "disconnected\n"),
            std::string::npos);
  ASSERT_TRUE(ChatEnd::WaitUntil(guest_.settings.LineBusy, 0));

  ChatEnd next("Next");
  ASSERT_EQ(next.Connect(port_), 0);
  ASSERT_TRUE(next.Send("again"));
  EXPECT_TRUE(host_.reporter.WaitForConversation(Line("Next", "again")));

  // This time the host stops for good: the caller is signed off and the
  // port is free.
  EndSession(host_.settings, host_.reporter, [] { return false; });
  EXPECT_TRUE(next.reporter.WaitForConversation("Hostess has signed off\n"));
  EXPECT_EQ(host_.settings.Hosting.load(), 0);
  EXPECT_EQ(host_.settings.ServerThread, nullptr);
  EXPECT_EQ(host_.settings.TalkerThread.load(), nullptr);
  EXPECT_EQ(host_.settings.ChatSocket.MainHandle(), kInvalidSocket);
  EXPECT_EQ(ChatEnd("Late").Connect(port_), -1);
}

TEST_F(ConversationTest, ThousandLinesArriveCompleteAndInOrder) {
  for (int i = 0; i < 1000; ++i) ASSERT_TRUE(guest_.Send("line " + std::to_string(i)));
  ASSERT_TRUE(host_.reporter.WaitForConversation(Line("Guest", "line 999")));
  const std::string text = host_.reporter.Conversation();
  size_t at = 0;
  for (int i = 0; i < 1000; ++i) {
    at = text.find(Line("Guest", "line " + std::to_string(i)), at);
    ASSERT_NE(at, std::string::npos) << i;
  }
  EXPECT_EQ(RecordingReporter::Count(text, " Says>"), 1000);
}

TEST(ChatKeyTest, WrongKeyShowsTheNameAndWhatHappensToMatch) {
  const int port = FreePort();
  ChatEnd host("Hostess", 0xA001);
  ChatEnd guest("Guest", kKey);
  ASSERT_TRUE(host.Host(port));
  ASSERT_EQ(guest.Connect(port), 0);
  const std::string line = "secret words";
  ASSERT_TRUE(guest.Send(line));
  std::string body;
  EncipherLine(BuildCipherTable(kKey), line, &body);
  const std::string shown = DecipherBody(
      BuildCipherTable(0xA001), reinterpret_cast<const unsigned char*>(body.data()), body.size());
  EXPECT_LT(shown.size(), line.size());
  EXPECT_TRUE(host.reporter.WaitForConversation(Line("Guest", shown)));
}

TEST(ChatWireTest, UnknownTypesAreSkippedAndNamesCutAt24) {
  const int port = FreePort();
  ChatEnd host("Hostess");
  ASSERT_TRUE(host.Host(port));
  RawCaller raw(port);
  ASSERT_TRUE(raw.Connected());
  ASSERT_TRUE(raw.SendHeader("Raw", MSG_CONNECT, 0));
  MessageHeader reply;
  std::string greeting;
  ASSERT_TRUE(raw.ReceiveMessage(&reply, &greeting));
  EXPECT_EQ(reply.Type(), static_cast<uint32_t>(MSG_WELCOME));
  EXPECT_EQ(reply.SenderName(), "Hostess");
  EXPECT_EQ(greeting, "\nWelcome to the Hostess chat session\n");

  // Had the host read 40 body bytes here, it would swallow the next
  // header and the line after it.
  ASSERT_TRUE(raw.SendHeader("Raw", 'X', 40));
  ASSERT_TRUE(raw.SendHeader("Raw", MSG_WELCOME, 40));
  // The name shown is the one in the header, not the peer's.
  ASSERT_TRUE(raw.SendLine("Other", kKey, "made it"));
  EXPECT_TRUE(host.reporter.WaitForConversation(Line("Other", "made it")));
  EXPECT_EQ(host.settings.PeerName.Get(), "Raw");

  // A sign-on whose name fills all 33 bytes: the name is cut at 24.
  raw.Close();
  ASSERT_TRUE(host.reporter.WaitForConversation("Raw has been disconnected\n"));
  // The line is freed just after that report; a caller before then is busy.
  ASSERT_TRUE(ChatEnd::WaitUntil(host.settings.LineBusy, 0));
  RawCaller unterminated(port);
  MessageHeader signon;
  std::memset(signon.Data(), 'n', MessageHeader::kSize);
  ASSERT_TRUE(unterminated.SendBytes(signon.Data(), MessageHeader::kSize));
  EXPECT_TRUE(
      host.reporter.WaitForConversation(std::string(24, 'n') + " has established a connection\n"));
}

TEST(ChatHostileCallerTest, HostSurvivesBrokenCallers) {
  const int port = FreePort();
  ChatEnd host("Hostess");
  host.settings.SignOnTimeoutMilliseconds = 300;
  ASSERT_TRUE(host.Host(port));
  const std::string failed =
      "Could not established a connection to \nSocket exception: Receive "
      "error\n";
  {
    RawCaller gone(port);  // connects and closes at once
  }
  ASSERT_TRUE(host.reporter.WaitForConversation(failed, 1));

  RawCaller silent(port);  // connects and says nothing
  ASSERT_TRUE(host.reporter.WaitForConversation(failed, 2));
  EXPECT_TRUE(silent.ClosedByPeer());

  RawCaller partial(port);  // a partial sign-on, then nothing
  ASSERT_TRUE(partial.SendBytes("Half", 4));
  ASSERT_TRUE(host.reporter.WaitForConversation(
      "Could not established a connection to Half\nSocket exception: Receive error\n"));

  RawCaller huge(port);  // signs on, then announces a 4 GiB line
  ASSERT_TRUE(huge.SendHeader("Huge", MSG_CONNECT, 0));
  MessageHeader reply;
  std::string greeting;
  ASSERT_TRUE(huge.ReceiveMessage(&reply, &greeting));
  ASSERT_TRUE(ChatEnd::WaitUntil(host.settings.LineBusy, 1));
  ASSERT_TRUE(huge.SendHeader("Huge", MSG_SAY, 0xFFFFFFFFu));
  ASSERT_TRUE(host.reporter.WaitForConversation("Huge has been disconnected\n", 2));
  ASSERT_TRUE(ChatEnd::WaitUntil(host.settings.LineBusy, 0));
  EXPECT_TRUE(huge.ClosedByPeer());

  EXPECT_EQ(host.settings.Hosting.load(), 1);
  // Counted once each greeting returns, which may be after its talker ended.
  EXPECT_TRUE(ChatEnd::WaitUntil(host.settings.ConnectionCount, 4));
  ChatEnd guest("Guest");
  ASSERT_EQ(guest.Connect(port), 0);
  ASSERT_TRUE(guest.Send("fine"));
  EXPECT_TRUE(host.reporter.WaitForConversation(Line("Guest", "fine")));

  // While the line is busy, a silent caller is dropped after the limit too.
  RawCaller silent_busy(port);
  EXPECT_TRUE(silent_busy.ClosedByPeer());
  ASSERT_TRUE(guest.Send("still fine"));
  EXPECT_TRUE(host.reporter.WaitForConversation(Line("Guest", "still fine")));
}

TEST(ChatStopTest, EndDoesNotWaitForASilentCaller) {
  const int port = FreePort();
  ChatEnd host("Hostess");  // the full sign-on limit
  ASSERT_TRUE(host.Host(port));
  RawCaller silent(port);
  ASSERT_TRUE(host.reporter.WaitForConversation("Connecting Quillo client "));
  const auto start = std::chrono::steady_clock::now();
  EndSession(host.settings, host.reporter, [] { return false; });
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
  EXPECT_TRUE(silent.ClosedByPeer());
  // Nothing from the cancelled server after the end.
  const std::string text = host.reporter.Conversation();
  EXPECT_EQ(text.substr(text.size() - 39), "All Quillo services have been shutdown\n");
  EXPECT_EQ(text.find("Could not established"), std::string::npos);
}

TEST(ChatStopTest, CallerGreetedWhileTheQuestionIsOpenIsSignedOffToo) {
  const int port = FreePort();
  ChatEnd host("Hostess");
  ChatEnd guest("Guest");
  ChatEnd late("Late");
  ASSERT_TRUE(host.Host(port));
  ASSERT_EQ(guest.Connect(port), 0);
  ASSERT_TRUE(ChatEnd::WaitUntil(host.settings.LineBusy, 1));
  EndSession(host.settings, host.reporter, [&] {
    // The line is free while the user thinks about the answer.
    EXPECT_EQ(late.Connect(port), 0);
    EXPECT_TRUE(ChatEnd::WaitUntil(host.settings.LineBusy, 1));
    return false;
  });
  EXPECT_EQ(host.settings.TalkerThread.load(), nullptr);
  EXPECT_EQ(host.settings.LineBusy.load(), 0);
  EXPECT_EQ(host.settings.PeerSocket.load(), kInvalidSocket);
  EXPECT_TRUE(late.reporter.WaitForConversation("Hostess has signed off\n"));
  EXPECT_TRUE(guest.reporter.WaitForConversation("Hostess has signed off\n"));
}

TEST(ChatStopTest, CancelledConnectDeliversNothing) {
  const int port = FreePort();
  const int listener = qtest::BoundSocket(port);
  ASSERT_GE(listener, 0);
  ASSERT_EQ(::listen(listener, 1), 0);  // accepts in the backlog, never answers
  ChatEnd guest("Guest");
  guest.settings.ConnectAddress = "127.0.0.1";
  guest.settings.QuilloPortNumber = port;
  Thread* thread = StartClientConnection(guest.settings, guest.reporter);
  ASSERT_NE(thread, nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // blocked in the receive
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(guest.settings.ClientConnectTask.CancelThread(thread), 0);
  EXPECT_EQ(guest.settings.ClientConnectTask.JoinThread(thread), 0);
  guest.settings.ClientConnectTask.DestroyThread(thread, true);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
  ::close(listener);
  EXPECT_EQ(guest.reporter.Events(), "");
  EXPECT_EQ(guest.reporter.Conversation(), "");
  EXPECT_EQ(guest.settings.LineBusy.load(), 0);
  EXPECT_EQ(guest.settings.ChatSocket.MainHandle(), kInvalidSocket);
}

TEST(ChatConnectTest, NobodyListeningOrUnknownHost) {
  ChatEnd guest("Guest");
  EXPECT_EQ(guest.Connect(FreePort()), -1);
  EXPECT_EQ(guest.reporter.Events(),
            "Could not connect to the Quillo line \nThe Quillo server is not online\n");
  EXPECT_EQ(guest.reporter.Conversation(), "");
  EXPECT_EQ(guest.settings.LineBusy.load(), 0);
  EXPECT_EQ(guest.settings.ChatSocket.MainHandle(), kInvalidSocket);
  ChatEnd lost("Lost");
  EXPECT_EQ(lost.Connect(FreePort(), "no-such-host.invalid"), -1);
  EXPECT_EQ(lost.reporter.Events(),
            "Could not resolve server's Internet Address\n"
            "No DNS entry exists or hostname is not valid\n");
}

TEST(ChatConnectTest, OversizedGreetingIsABrokenConnection) {
  const int port = FreePort();
  const int listener = qtest::BoundSocket(port);
  ASSERT_GE(listener, 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  std::thread fake_host([listener] {
    const int caller = ::accept(listener, nullptr, nullptr);
    MessageHeader signon;
    ::recv(caller, signon.Data(), MessageHeader::kSize, MSG_WAITALL);
    const MessageHeader reply("Fake", MSG_WELCOME, kMaxBodyLength + 1);
    ::send(caller, reply.Data(), MessageHeader::kSize, MSG_NOSIGNAL);
    char c;
    ::recv(caller, &c, 1, 0);  // until the client gives up
    ::close(caller);
  });
  ChatEnd guest("Guest");
  EXPECT_EQ(guest.Connect(port), -1);
  fake_host.join();
  ::close(listener);
  EXPECT_EQ(guest.reporter.Events(), "Socket exception: Receive error\n");
  EXPECT_EQ(guest.settings.LineBusy.load(), 0);
}

TEST(ChatCommandTest, ChecksFollowTheSessionState) {
  ChatEnd end("Quillo");
  RecordingReporter& r = end.reporter;
  ProgramSettings& s = end.settings;
  EXPECT_TRUE(CheckHostCommand(s, r));
  EXPECT_TRUE(CheckConnectCommand(s, r));
  EXPECT_FALSE(SendChatLine(s, r, "x"));
  EXPECT_FALSE(CheckInvitationCommand(s, r));
  EXPECT_EQ(r.Messages(),
            "You are not connected to any Quillo services\n  "
            "You are not currently hosting a Quillo session\n  ");
  s.Hosting = 1;
  EXPECT_FALSE(CheckHostCommand(s, r));
  EXPECT_FALSE(CheckConnectCommand(s, r));
  s.Hosting = 0;
  s.LineBusy = 1;
  EXPECT_FALSE(CheckHostCommand(s, r));
  s.LineBusy = 0;
  EXPECT_NE(r.Messages().find("You are currently hosting a Quillo session\n  You must end this "
                              "host session before connecting\n  You are currently connected to "
                              "a Quillo server\n  "),
            std::string::npos);

  EXPECT_TRUE(ScreenNameIsDefault(s));
  AcceptScreenName(s, std::string(30, 'a'), true);
  EXPECT_EQ(s.ScreenName, std::string(24, 'a'));
  EXPECT_EQ(s.GreetingText.Get(), "Welcome to the " + std::string(24, 'a') + " chat session");
  AcceptScreenName(s, "Bo", false);
  EXPECT_EQ(s.ScreenName, "Bo");
  EXPECT_EQ(s.GreetingText.Get(), "Welcome to the " + std::string(24, 'a') + " chat session");
  EXPECT_FALSE(ScreenNameIsDefault(s));

  // Idle, End only reports the shutdown and asks nothing.
  bool asked = false;
  EndSession(s, r, [&] { return asked = true; });
  EXPECT_FALSE(asked);
  EXPECT_EQ(r.Conversation(), "All Quillo services have been shutdown\n");
  EXPECT_EQ(r.Status(), "All Quillo services have been shutdown\n");
}

TEST(ChatCommandTest, SendOnALostConnectionKeepsTheInput) {
  ChatEnd end("Ann");
  end.settings.LineBusy = 1;  // the talker has not noticed yet
  EXPECT_FALSE(end.Send("lost"));
  EXPECT_EQ(end.reporter.Conversation(),
            "Could not send message header to server\nSocket exception: Transmit error\n");
  end.settings.LineBusy = 0;
}

TEST(ChatCommandTest, HostOnATakenPortIsReported) {
  const int port = FreePort();
  ChatEnd first("First");
  ASSERT_TRUE(first.Host(port));
  ChatEnd second("Second");
  EXPECT_FALSE(second.Host(port));
  EXPECT_EQ(second.reporter.Conversation(),
            "Initializing Quillo services...\nCould not initialize the Quillo server\n"
            "Socket exception: Could not bind socket\n");
  EXPECT_EQ(second.settings.ServerThread, nullptr);
}

TEST(ChatReportTest, StatisticsFollowTheSession) {
  ProgramSettings s;
  using Lines = std::vector<std::string>;
  EXPECT_EQ(StatsLines(s), (Lines{"You are not hosting any Quillo sessions",
                                  "You are not connected to any Quillo services"}));
  s.HostAddress = "10.0.0.7";
  s.HostStartTime = "Dec 05, 2026 07:48:06";
  s.QuilloPortNumber = 4000;
  s.EncryptionKey = 1234;
  s.LineBusy = 1;
  EXPECT_EQ(
      StatsLines(s),
      (Lines{"You are not hosting any Quillo sessions", "You are configured as Quillo client", "",
             "You are connected to a Quillo server", "IP Address: 10.0.0.7", "Port Number: 4000",
             "Encryption Key: 1234", "", "Quillo session started at: Dec 05, 2026 07:48:06"}));
  s.Hosting = 1;
  s.LineBusy = 0;
  const Lines server = {"You are configured as Quillo server", "IP Address: 10.0.0.7",
                        "Port Number: 4000", "Encryption Key: 1234", ""};
  Lines expected = server;
  expected.push_back("Currently no Quillo clients are connected");
  EXPECT_EQ(StatsLines(s), expected);
  s.LineBusy = 1;
  s.ConnectionCount = 1;
  expected = server;
  expected.insert(expected.end(), {"Currently 1 Quillo client is connected",
                                   "Quillo session started at: Dec 05, 2026 07:48:06"});
  EXPECT_EQ(StatsLines(s), expected);
  s.ConnectionCount = 3;
  EXPECT_EQ(StatsLines(s)[5], "Currently 3 Quillo clients are connected");
}

TEST(ChatReportTest, InvitationText) {
  ProgramSettings s;
  s.ScreenName = "Ann";
  s.HostAddress = "10.0.0.7";
  s.QuilloPortNumber = 4000;
  s.EncryptionKey = 1234;
  EXPECT_EQ(InvitationLines(s, "Dec 05, 2026 07:48:06"),
            (std::vector<std::string>{
                "Dec 05, 2026 07:48:06", "", "This is an invitation to join the Ann Quillo session",
                "The Ann Quillo line is open at:", "", "Internet Address: 10.0.0.7",
                "Port Number: 4000", "Encryption Key: 1234", ""}));
}

}  // namespace
