// Sessions over both address families: one host on a dual-stack listener,
// callers over ::1 and 127.0.0.1 (an IPv4 caller shown dotted, not as the
// IPv4-mapped address the listener sees), a name with addresses of both
// families and a first address that does not answer. How typed addresses
// read is shown by stream_connect_test.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/chat/chat_test_support.h"
#include "core/chat/session.h"
#include "core/net/name_lookup.h"
#include "support/loopback_port.h"

namespace {

using chat_test::ChatEnd;
using chat_test::FreePort;
using chat_test::Said;

class DualStackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!qtest::HaveIpv6Loopback()) GTEST_SKIP() << "no ::1 here";
    port_ = FreePort();
    ASSERT_TRUE(host_.Host(port_)) << host_.reporter.Conversation();
  }

  // A guest calls a name that resolves to `found` (numeric addresses each
  // with its port), the two trade a line each way, the guest signs
  // off; how often the host has announced a caller from `shown`.
  int Converse(const std::string& address, const std::string& shown,
               std::vector<std::pair<std::string, int>> found) {
    ChatEnd guest("Guest");
    std::vector<StreamEndpoint> endpoints(found.size());
    for (size_t i = 0; i < found.size(); ++i) {
      EXPECT_TRUE(ParseNumericEndpoint(found[i].first, found[i].second, &endpoints[i]));
    }
    guest.session.SetNameResolver(
        [endpoints](const std::string&, int, std::vector<StreamEndpoint>* out) {
          *out = endpoints;
          return true;
        });
    EXPECT_EQ(guest.Connect(port_, address), 0) << guest.reporter.Events();
    const std::string call = address + " #" + std::to_string(++calls_);
    EXPECT_TRUE(guest.Send("over " + call));
    EXPECT_TRUE(host_.reporter.WaitForConversation(Said("Guest", "over " + call)));
    EXPECT_TRUE(host_.WaitState(SessionState::kHostingBusy));
    EXPECT_TRUE(host_.Send("back " + call));
    EXPECT_TRUE(guest.reporter.WaitForConversation(Said("Hostess", "back " + call)));
    // Stats shows the address as typed.
    const std::vector<std::string> stats = guest.session.StatsLines();
    EXPECT_NE(std::find(stats.begin(), stats.end(), "IP Address: " + address), stats.end());
    guest.session.End(nullptr);
    EXPECT_TRUE(host_.reporter.WaitForConversation("Guest has been disconnected\n", calls_));
    EXPECT_TRUE(host_.WaitState(SessionState::kHostingFree));
    return RecordingReporter::Count(host_.reporter.Conversation(),
                                    "Connecting Quillo client " + shown + " at: ");
  }

  int port_ = 0;
  int calls_ = 0;
  ChatEnd host_{"Hostess"};
};

// A name with both families is called at its first address; an address
// that does not answer falls through to the next.
TEST_F(DualStackTest, ANameIsCalledAtTheFirstAddressThatAnswers) {
  const int closed = FreePort();
  EXPECT_EQ(Converse("both.test", "::1", {{"::1", port_}, {"127.0.0.1", port_}}), 1);
  EXPECT_EQ(Converse("both.test", "127.0.0.1", {{"127.0.0.1", port_}, {"::1", port_}}), 1);
  EXPECT_EQ(Converse("moved.test", "127.0.0.1", {{"::1", closed}, {"127.0.0.1", port_}}), 2);
  EXPECT_EQ(Converse("moved.test", "::1", {{"127.0.0.1", closed}, {"::1", port_}}), 2);
}

}  // namespace
