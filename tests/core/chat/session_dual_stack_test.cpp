// Sessions over both address families: one host on a dual-stack listener,
// callers over ::1 and 127.0.0.1, a name with addresses of both families,
// and a first address that does not answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/chat/chat_test_support.h"
#include "core/chat/session.h"
#include "core/net/name_lookup.h"
#include "support/loopback_v6.h"

namespace {

using chat_test::ChatEnd;
using chat_test::FreePort;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

std::string Line(const std::string& name, const std::string& text) {
  return name + " Says>\n" + text + "\n\n";
}

StreamEndpoint At(const std::string& text, int port) {
  StreamEndpoint endpoint;
  EXPECT_TRUE(ParseNumericEndpoint(text, port, &endpoint)) << text;
  return endpoint;
}

// A resolver that knows one list of addresses for every name, and counts
// the names it was asked.
NameResolver Knowing(std::vector<StreamEndpoint> answer, std::shared_ptr<int> asked) {
  return [answer, asked](const std::string&, int, std::vector<StreamEndpoint>* found) {
    ++*asked;
    *found = answer;
    return !answer.empty();
  };
}

class DualStackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QUILLO_SKIP_WITHOUT_IPV6_LOOPBACK();
    port_ = FreePort();
    ASSERT_TRUE(host_.Host(port_)) << host_.reporter.Conversation();
  }

  // A guest calls (resolving through resolver when given), the two trade a
  // line each way, the guest signs off; the address the host saw.
  void Converse(const std::string& address, int count, const NameResolver& resolver = {}) {
    ChatEnd guest("Guest");
    if (resolver) guest.session.SetNameResolver(resolver);
    ASSERT_EQ(guest.Connect(port_, address), 0) << guest.reporter.Events();
    ASSERT_TRUE(host_.reporter.WaitForConversation("Guest has established a connection\n", count));
    ASSERT_TRUE(guest.Send("over " + address));
    EXPECT_TRUE(host_.reporter.WaitForConversation(Line("Guest", "over " + address)));
    ASSERT_TRUE(host_.WaitState(SessionState::kHostingBusy));
    ASSERT_TRUE(host_.Send("back " + address));
    EXPECT_TRUE(guest.reporter.WaitForConversation(Line("Hostess", "back " + address)));
    // Stats shows the address as typed.
    const std::vector<std::string> stats = guest.session.StatsLines();
    EXPECT_NE(std::find(stats.begin(), stats.end(), "IP Address: " + address), stats.end());
    guest.session.End(nullptr);
    ASSERT_TRUE(host_.reporter.WaitForConversation("Guest has been disconnected\n", count));
    ASSERT_TRUE(host_.WaitState(SessionState::kHostingFree));
  }

  int Announced(const std::string& address) {
    return RecordingReporter::Count(host_.reporter.Conversation(),
                                    "Connecting Quillo client " + address + " at: ");
  }

  int port_ = 0;
  ChatEnd host_{"Hostess"};
};

TEST_F(DualStackTest, OneHostTalksWithCallersOfEitherFamily) {
  Converse("::1", 1);
  EXPECT_EQ(Announced("::1"), 1);
  // An IPv4 caller reaches the same listener and is shown dotted, not as
  // the IPv4-mapped address the listener sees.
  Converse("127.0.0.1", 2);
  EXPECT_EQ(Announced("127.0.0.1"), 1);
  EXPECT_EQ(Announced("::ffff:"), 0);
  Converse("0:0:0:0:0:0:0:1", 3);
  EXPECT_EQ(Announced("::1"), 2);
}

TEST_F(DualStackTest, ANameWithBothFamiliesIsCalledAtItsFirstAddress) {
  auto asked = std::make_shared<int>(0);
  Converse("both.test", 1, Knowing({At("::1", port_), At("127.0.0.1", port_)}, asked));
  EXPECT_EQ(Announced("::1"), 1);
  Converse("both.test", 2, Knowing({At("127.0.0.1", port_), At("::1", port_)}, asked));
  EXPECT_EQ(Announced("127.0.0.1"), 1);
  EXPECT_EQ(*asked, 2);
}

TEST_F(DualStackTest, AnAddressThatDoesNotAnswerFallsThroughToTheNext) {
  auto asked = std::make_shared<int>(0);
  const int closed = FreePort();
  Converse("moved.test", 1, Knowing({At("::1", closed), At("127.0.0.1", port_)}, asked));
  EXPECT_EQ(Announced("127.0.0.1"), 1);
  Converse("moved.test", 2, Knowing({At("127.0.0.1", closed), At("::1", port_)}, asked));
  EXPECT_EQ(Announced("::1"), 1);
}

TEST(PartnerAddressTest, StatsAndTheInvitationGiveEveryAddress) {
  QUILLO_SKIP_WITHOUT_IPV6_LOOPBACK();
  const std::vector<std::string> ipv6 = {"2001:db8::5", "2001:db8:1::7"};
  struct Case {
    std::vector<std::string> ipv6;
    std::vector<std::string> shown;
  };
  const Case cases[] = {
      {ipv6, {"IPv6 Address: 2001:db8::5", "IPv6 Address: 2001:db8:1::7"}},
      {{}, {}},  // the lines of an IPv4-only host, unchanged
  };
  for (const Case& c : cases) {
    ChatEnd host("Hostess");
    std::string asked_for = "<not asked>";
    host.snapshot.host_name = "hostess.test";
    host.session.SetPartnerAddressSource([&asked_for, &c](const std::string& name) {
      asked_for = name;
      return PartnerAddresses{"192.0.2.10", c.ipv6};
    });
    const int port = FreePort();
    ASSERT_TRUE(host.Host(port));
    EXPECT_EQ(asked_for, "hostess.test");
    const std::string port_line = "Port Number: " + std::to_string(port);
    std::vector<std::string> stats = {"You are configured as Quillo server",
                                      "IP Address: 192.0.2.10"};
    stats.insert(stats.end(), c.shown.begin(), c.shown.end());
    stats.insert(stats.end(), {port_line, "Encryption Key: 52917", "",
                               "Currently no Quillo clients are connected"});
    EXPECT_EQ(host.session.StatsLines(), stats);
    std::vector<std::string> invitation = {
        "Sunday",
        "",
        "This is an invitation to join the Hostess Quillo session",
        "The Hostess Quillo line is open at:",
        "",
        "Internet Address: 192.0.2.10"};
    invitation.insert(invitation.end(), c.shown.begin(), c.shown.end());
    invitation.insert(invitation.end(), {port_line, "Encryption Key: 52917", ""});
    EXPECT_EQ(host.session.InvitationLines("Sunday"), invitation);
    host.session.Close();
  }
}

TEST(ConnectLookupTest, CancelEndsAConnectWhoseNameLookupHangs) {
  // The resolver's state is shared with the lookup's helper thread, which
  // is released only after the session has let go of it.
  struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    bool asked = false;
  };
  auto gate = std::make_shared<Gate>();
  ChatEnd guest("Guest");
  guest.session.SetNameResolver(
      [gate](const std::string&, int, std::vector<StreamEndpoint>* found) {
        std::unique_lock<std::mutex> hold(gate->mutex);
        gate->asked = true;
        gate->changed.notify_all();
        gate->changed.wait(hold, [&] { return gate->open; });
        found->clear();
        return false;
      });
  guest.snapshot.port = FreePort();
  ASSERT_TRUE(guest.session.Connect("slow.test", guest.snapshot));
  {
    std::unique_lock<std::mutex> hold(gate->mutex);
    ASSERT_TRUE(
        gate->changed.wait_for(hold, std::chrono::seconds(10), [&] { return gate->asked; }));
  }
  EXPECT_EQ(guest.session.State(), SessionState::kConnecting);
  const auto start = steady_clock::now();
  guest.session.CancelConnect();
  EXPECT_LT(steady_clock::now() - start, milliseconds(1000));
  EXPECT_EQ(guest.session.State(), SessionState::kIdle);
  EXPECT_EQ(guest.reporter.Events(), "");
  {
    std::lock_guard<std::mutex> hold(gate->mutex);
    gate->open = true;
    gate->changed.notify_all();
  }
  // A lookup that gives up by its deadline reads as an unknown name.
  auto never = std::make_shared<Gate>();
  ChatEnd late("Late");
  late.session.SetNameResolver([never](const std::string&, int, std::vector<StreamEndpoint>*) {
    std::unique_lock<std::mutex> hold(never->mutex);
    never->changed.wait_for(hold, std::chrono::seconds(5), [&] { return never->open; });
    return false;
  });
  late.snapshot.connect_total_ms = 200;
  EXPECT_EQ(late.Connect(FreePort(), "slow.test"), -1);
  EXPECT_EQ(late.reporter.Events(),
            "Could not resolve server's Internet Address\n"
            "No DNS entry exists or hostname is not valid\n");
  std::lock_guard<std::mutex> hold(never->mutex);
  never->open = true;
  never->changed.notify_all();
}

}  // namespace
