// Two chat sessions (and hand-made callers) conversing over loopback in one
// process: the session's commands, its workers and what both sides see.

#include "core/chat/session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/chat/chat_test_support.h"
#include "core/net/name_lookup.h"
#include "support/loopback_v6.h"

namespace {

using chat_test::ChatEnd;
using chat_test::FreePort;
using chat_test::QuietHost;
using chat_test::RawCaller;
using chat_test::Said;
using std::chrono::milliseconds;
using std::chrono::steady_clock;
using Lines = std::vector<std::string>;

const char kShutdown[] = "All Quillo services have been shutdown\n";
const char kUnknownHost[] =
    "Could not resolve server's Internet Address\nNo DNS entry exists or hostname is not valid\n";

// The line that announced the private session, with its line end.
std::string PrivacyLine(const std::string& text) {
  const size_t at = text.find("Private session with ");
  return at == std::string::npos ? std::string() : text.substr(at, text.find('\n', at) + 1 - at);
}

// A host with a caller already in (private) conversation.
class ConversationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.Host(port_)) << host_.reporter.Conversation();
    ASSERT_EQ(guest_.Connect(port_), 0) << guest_.reporter.Events();
    ASSERT_TRUE(host_.WaitState(SessionState::kHostingBusy));
    ASSERT_TRUE(host_.reporter.WaitForConversation("Private session with Guest. "));
    ASSERT_TRUE(guest_.reporter.WaitForConversation("Private session with Hostess. "));
  }

  int port_ = FreePort();
  ChatEnd host_{"Hostess"};
  ChatEnd guest_{"Guest"};
};

TEST_F(ConversationTest, HostingAndGreetingAreReported) {
  const std::string host_text = host_.reporter.Conversation();
  EXPECT_EQ(host_text.rfind("Initializing Quillo services...\nOpening Quillo server on host ", 0),
            0u);
  EXPECT_NE(host_text.find("Listening on port " + std::to_string(port_) + "\n\n"),
            std::string::npos);
  EXPECT_NE(host_text.find("Connecting Quillo client 127.0.0.1 at: "), std::string::npos);
  EXPECT_NE(host_text.find("Guest has established a connection\n"), std::string::npos);
  EXPECT_TRUE(host_.reporter.WaitForSounds(1));  // the new connection
  // No greeting was configured: the host's own, with a line end each side;
  // then the private session, with one code for both.
  const std::string code = PrivacyLine(host_text).substr(std::strlen("Private session with Guest"));
  ASSERT_EQ(code.size(), std::strlen(". Verification code: NNNN NNNN\n"));
  EXPECT_EQ(guest_.reporter.Conversation(),
            "\n\nWelcome to the Hostess chat session\nPrivate session with Hostess" + code);
  EXPECT_EQ(host_.reporter.Status(), "Hosting Quillo Session\n");
  EXPECT_TRUE(host_.reporter.WaitForPrivacy("Private session\n"));
  EXPECT_TRUE(guest_.reporter.WaitForPrivacy("Private session\n"));
  EXPECT_EQ(guest_.reporter.Events(), "");
  EXPECT_EQ(guest_.session.State(), SessionState::kConnectedAsClient);
  EXPECT_EQ(guest_.session.PeerName() + host_.session.PeerName(), "HostessGuest");
}

TEST_F(ConversationTest, LinesTravelBothWaysUnderTheSendersName) {
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

TEST_F(ConversationTest, GuestSignsOffAndTheNextCallerIsGreeted) {
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
  ChatEnd next("Next");
  ASSERT_EQ(next.Connect(port_), 0);
  ASSERT_TRUE(next.Send("hi"));
  EXPECT_TRUE(host_.reporter.WaitForConversation(Said("Next", "hi")));
}

TEST_F(ConversationTest, HostEndsAndHostsAgainOnTheSameListener) {
  bool asked = false;
  host_.session.End([&] { return asked = true; });
  EXPECT_TRUE(asked);
  const std::string host_text = host_.reporter.Conversation();
  EXPECT_NE(host_text.find("Guest has been disconnected\nQuillo server open on host "),
            std::string::npos);
  EXPECT_NE(host_text.find("Listening on port " + std::to_string(port_) + "\n\n"),
            host_text.rfind("Listening on port "));
  EXPECT_EQ(host_text.find("All Quillo services"), std::string::npos);
  EXPECT_EQ(host_.session.State(), SessionState::kHostingFree);
  ASSERT_TRUE(guest_.reporter.WaitForConversation(
      "Hostess has signed off\nHostess has been disconnected\n"));
  ASSERT_TRUE(guest_.WaitState(SessionState::kIdle));
  ChatEnd next("Next");
  ASSERT_EQ(next.Connect(port_), 0);
  ASSERT_TRUE(next.Send("again"));
  EXPECT_TRUE(host_.reporter.WaitForConversation(Said("Next", "again")));
  // This time the host stops for good: the caller is signed off and the
  // port is free.
  host_.session.End([] { return false; });
  EXPECT_TRUE(next.reporter.WaitForConversation("Hostess has signed off\n"));
  EXPECT_EQ(host_.session.State(), SessionState::kIdle);
  EXPECT_EQ(ChatEnd("Late").Connect(port_), -1);
}

// A type this program does not know, with a body: the body is read and
// dropped, so the line after it is read from its own header. The name shown
// is the one in the header, not the peer's. A partner announcing a 4 GiB
// line is cut off.
TEST(ChatWireTest, UnknownTypesAreSkippedWithTheirBodiesAndHugeLinesCutOff) {
  const int port = FreePort();
  ChatEnd host("Hostess");
  ASSERT_TRUE(host.Host(port));
  RawCaller raw(port);
  std::string greeting;
  ASSERT_EQ(raw.SignOn("Raw", &greeting), static_cast<uint32_t>(MSG_WELCOME));
  EXPECT_EQ(greeting, "Hostess:\nWelcome to the Hostess chat session\n");
  ASSERT_TRUE(raw.SendHeader("Raw", 'X', 40));
  ASSERT_TRUE(raw.SendBytes(std::string(40, 'S').data(), 40));
  ASSERT_TRUE(raw.SendHeader("Raw", MSG_WELCOME, 3));
  ASSERT_TRUE(raw.SendBytes("abc", 3));
  ASSERT_TRUE(raw.SendLine("Other", 52917, "made it"));
  EXPECT_TRUE(host.reporter.WaitForConversation(Said("Other", "made it")));
  EXPECT_EQ(host.session.PeerName(), "Raw");
  ASSERT_TRUE(raw.SendHeader("Raw", MSG_SAY, 0xFFFFFFFFu));
  EXPECT_TRUE(host.reporter.WaitForConversation("Raw has been disconnected\n"));
  EXPECT_TRUE(raw.ClosedByPeer());
}

TEST(ChatStopTest, CallerGreetedWhileTheQuestionIsOpenIsSignedOffToo) {
  const int port = FreePort();
  ChatEnd host("Hostess");
  ChatEnd guest("Guest");
  ChatEnd late("Late");
  ASSERT_TRUE(host.Host(port));
  ASSERT_EQ(guest.Connect(port), 0);
  ASSERT_TRUE(host.WaitState(SessionState::kHostingBusy));
  host.session.End([&] {
    // The line is free while the user thinks about the answer.
    EXPECT_EQ(late.Connect(port), 0);
    EXPECT_TRUE(host.WaitState(SessionState::kHostingBusy));
    return false;
  });
  EXPECT_EQ(host.session.State(), SessionState::kIdle);
  EXPECT_TRUE(late.reporter.WaitForConversation("Hostess has signed off\n"));
  EXPECT_TRUE(guest.reporter.WaitForConversation("Hostess has signed off\n"));
}

TEST(ChatConnectTest, NobodyListeningUnknownHostOrAnOversizedGreeting) {
  ChatEnd guest("Guest");
  EXPECT_EQ(guest.Connect(FreePort()), -1);
  EXPECT_EQ(guest.reporter.Events(),
            "Could not connect to the Quillo line \nThe Quillo server is not online\n");
  EXPECT_EQ(guest.reporter.Conversation(), "");
  EXPECT_EQ(guest.session.State(), SessionState::kIdle);
  ChatEnd lost("Lost");
  EXPECT_EQ(lost.Connect(FreePort(), "no-such-host.invalid"), -1);
  EXPECT_EQ(lost.reporter.Events(), kUnknownHost);
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
  EXPECT_EQ(greeted.session.State(), SessionState::kIdle);
}

TEST(ChatCommandTest, ChecksFollowTheSessionState) {
  ChatEnd end("Quillo");
  ChatSession& s = end.session;
  EXPECT_TRUE(s.CheckHost() && s.CheckConnect());
  EXPECT_FALSE(s.Send("x"));
  EXPECT_FALSE(s.CheckInvitation());
  EXPECT_EQ(end.reporter.Messages(),
            "You are not connected to any Quillo services\n  "
            "You are not currently hosting a Quillo session\n  ");
  // Idle, End only reports the shutdown and asks nothing.
  bool asked = false;
  s.End([&] { return asked = true; });
  EXPECT_FALSE(asked);
  EXPECT_EQ(end.reporter.Conversation() + end.reporter.Status(),
            std::string(kShutdown) + kShutdown);
  const int port = FreePort();
  ASSERT_TRUE(end.Host(port));
  EXPECT_FALSE(s.CheckHost());
  EXPECT_FALSE(s.CheckConnect());
  EXPECT_TRUE(s.CheckInvitation());
  EXPECT_NE(end.reporter.Messages().find("You are currently hosting a Quillo session\n  You must "
                                         "end this host session before connecting\n  "),
            std::string::npos);
  // A second host on the same port is told why it failed.
  ChatEnd second("Second");
  EXPECT_FALSE(second.Host(port));
  EXPECT_EQ(second.reporter.Conversation(),
            "Initializing Quillo services...\nCould not initialize the Quillo server\n"
            "Socket exception: Could not bind socket\n");
  EXPECT_EQ(second.session.State(), SessionState::kIdle);
}

// Stats and the invitation give every address the host has, its port and
// key; the caller's give the host it called and the session's privacy.
TEST(ChatReportTest, StatisticsAndInvitationFollowTheSession) {
  for (const Lines& ipv6 : {Lines{"2001:db8::5", "2001:db8:1::7"}, Lines{}}) {
    ChatEnd host("Ann", 1234);
    EXPECT_EQ(host.session.StatsLines(), (Lines{"You are not hosting any Quillo sessions",
                                                "You are not connected to any Quillo services"}));
    std::string asked_for = "<not asked>";
    host.snapshot.host_name = "ann.test";
    host.session.SetPartnerAddressSource([&asked_for, &ipv6](const std::string& name) {
      asked_for = name;
      return PartnerAddresses{"192.0.2.10", ipv6};
    });
    const int port = FreePort();
    ASSERT_TRUE(host.Host(port));
    EXPECT_EQ(asked_for, "ann.test");
    Lines shown;
    for (const std::string& address : ipv6) shown.push_back("IPv6 Address: " + address);
    const std::string port_line = "Port Number: " + std::to_string(port);
    Lines stats = {"You are configured as Quillo server", "IP Address: 192.0.2.10"};
    stats.insert(stats.end(), shown.begin(), shown.end());
    stats.insert(stats.end(), {port_line, "Encryption Key: 1234", "",
                               "Currently no Quillo clients are connected"});
    EXPECT_EQ(host.session.StatsLines(), stats);
    Lines invitation = {"Dec 05, 2026 07:48:06",
                        "",
                        "This is an invitation to join the Ann Quillo session",
                        "The Ann Quillo line is open at:",
                        "",
                        "Internet Address: 192.0.2.10"};
    invitation.insert(invitation.end(), shown.begin(), shown.end());
    invitation.insert(invitation.end(), {port_line, "Encryption Key: 1234", ""});
    EXPECT_EQ(host.session.InvitationLines("Dec 05, 2026 07:48:06"), invitation);
    if (!ipv6.empty()) continue;
    ChatEnd guest("Bob", 1234);
    ASSERT_EQ(guest.Connect(port), 0);
    ASSERT_TRUE(guest.reporter.WaitForConversation("Private session with Ann"));
    ASSERT_TRUE(host.reporter.WaitForConversation("Private session with Bob"));
    stats = guest.session.StatsLines();
    ASSERT_EQ(stats.size(), 10u);
    EXPECT_EQ(stats[1], "You are configured as Quillo client");
    EXPECT_EQ(stats[4], "IP Address: 127.0.0.1");
    EXPECT_EQ(stats[5], port_line);
    EXPECT_EQ(stats[8].rfind("Quillo session started at: ", 0), 0u);
    EXPECT_EQ(stats[9], "Privacy: private session");
    EXPECT_EQ(host.session.StatsLines().back(), "Privacy: private session");
  }
}

// One host on a dual-stack listener: a caller over either family (an IPv4
// one shown dotted, not as the mapped address the listener sees), a name
// called at its first address that answers; Stats shows the address as typed.
TEST(DualStackTest, OneHostTalksWithCallersOfEitherFamily) {
  QUILLO_SKIP_WITHOUT_IPV6_LOOPBACK();
  const int port = FreePort();
  const int closed = FreePort();
  ChatEnd host("Hostess");
  ASSERT_TRUE(host.Host(port));
  struct Case {
    const char* address;
    const char* shown;
    std::vector<std::pair<const char*, int>> found;
  };
  const Case cases[] = {{"::1", "::1", {}},
                        {"127.0.0.1", "127.0.0.1", {}},
                        {"0:0:0:0:0:0:0:1", "::1", {}},
                        {"both.test", "127.0.0.1", {{"127.0.0.1", port}, {"::1", port}}},
                        {"moved.test", "::1", {{"127.0.0.1", closed}, {"::1", port}}}};
  int calls = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    ChatEnd guest("Guest");
    std::vector<StreamEndpoint> endpoints(c.found.size());
    for (size_t i = 0; i < c.found.size(); ++i) {
      ASSERT_TRUE(ParseNumericEndpoint(c.found[i].first, c.found[i].second, &endpoints[i]));
    }
    guest.session.SetNameResolver(
        [endpoints](const std::string&, int, std::vector<StreamEndpoint>* out) {
          *out = endpoints;
          return true;
        });
    ASSERT_EQ(guest.Connect(port, c.address), 0) << guest.reporter.Events();
    ASSERT_TRUE(guest.Send("over"));
    EXPECT_TRUE(host.reporter.WaitForConversation(Said("Guest", "over"), ++calls));
    const Lines stats = guest.session.StatsLines();
    EXPECT_EQ(stats[4], "IP Address: " + std::string(c.address));
    const std::string text = host.reporter.Conversation();
    const size_t last = text.rfind("Connecting Quillo client ");
    EXPECT_EQ(text.find("Connecting Quillo client " + std::string(c.shown) + " at: ", last), last);
    guest.session.End(nullptr);
    EXPECT_TRUE(host.reporter.WaitForConversation("Guest has been disconnected\n", calls));
    EXPECT_TRUE(host.WaitState(SessionState::kHostingFree));
  }
  EXPECT_EQ(host.reporter.Conversation().find("::ffff:"), std::string::npos);
}

}  // namespace
