// Sessions over both address families: one host on a dual-stack listener,
// callers over ::1 and 127.0.0.1 (shown dotted, not IPv4-mapped), a name with
// addresses of both families and a first address that does not answer. How
// typed addresses read is shown by stream_connect_test.
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

// A name with both families is called at its first address; an address
// that does not answer falls through to the next.
TEST(DualStackTest, ANameIsCalledAtTheFirstAddressThatAnswers) {
  if (!qtest::HaveIpv6Loopback()) GTEST_SKIP() << "no ::1 here";
  const int port = FreePort(), closed = FreePort();
  ChatEnd host("Hostess");
  ASSERT_TRUE(host.Host(port)) << host.reporter.Conversation();
  int calls = 0;
  // A guest calls a name that resolves to `found` (numeric addresses each
  // with its port), the two trade a line each way, the guest signs off; how
  // often the host has announced a caller from `shown`.
  auto converse = [&](const std::string& address, const std::string& shown,
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
    EXPECT_EQ(guest.Connect(port, address), 0) << guest.reporter.Events();
    const std::string call = address + " #" + std::to_string(++calls);
    EXPECT_TRUE(guest.Send("over " + call));
    EXPECT_TRUE(host.reporter.WaitForConversation(Said("Guest", "over " + call)));
    EXPECT_TRUE(host.WaitState(SessionState::kHostingBusy));
    EXPECT_TRUE(host.Send("back " + call));
    EXPECT_TRUE(guest.reporter.WaitForConversation(Said("Hostess", "back " + call)));
    // Stats shows the address as typed.
    const std::vector<std::string> stats = guest.session.StatsLines();
    EXPECT_NE(std::find(stats.begin(), stats.end(), "IP Address: " + address), stats.end());
    guest.session.End(nullptr);
    EXPECT_TRUE(host.reporter.WaitForConversation("Guest has been disconnected\n", calls));
    EXPECT_TRUE(host.WaitState(SessionState::kHostingFree));
    return RecordingReporter::Count(host.reporter.Conversation(),
                                    "Connecting Quillo client " + shown + " at: ");
  };
  EXPECT_EQ(converse("both.test", "::1", {{"::1", port}, {"127.0.0.1", port}}), 1);
  EXPECT_EQ(converse("both.test", "127.0.0.1", {{"127.0.0.1", port}, {"::1", port}}), 1);
  EXPECT_EQ(converse("moved.test", "127.0.0.1", {{"::1", closed}, {"127.0.0.1", port}}), 2);
  EXPECT_EQ(converse("moved.test", "::1", {{"127.0.0.1", closed}, {"::1", port}}), 2);
}

}  // namespace
