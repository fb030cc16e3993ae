// A thousand whole sessions in a row leave no descriptor and no thread
// behind: every worker is joined and every connection closed.

#include <gtest/gtest.h>

#include <string>

#include "core/chat/chat_test_support.h"

namespace {

using chat_test::ChatEnd;
using chat_test::CountEntries;

TEST(SessionRoundsTest, AThousandSessionsLeaveNothingBehind) {
  int descriptors = 0;
  int threads = 0;
  // Counted after the first round: the runtime (a sanitizer, the
  // resolver) may start helpers of its own on first use.
  for (int round = 0; round <= 1000; ++round) {
    if (round == 1) {
      descriptors = CountEntries("fd");
      threads = CountEntries("task");
    }
    ChatEnd host("Hostess");
    ChatEnd guest("Guest");
    ASSERT_TRUE(host.Host(chat_test::FreePort())) << round;
    ASSERT_EQ(guest.Connect(host.session.ListeningPort()), 0) << round;
    const std::string line = "round " + std::to_string(round);
    ASSERT_TRUE(guest.Send(line));
    ASSERT_TRUE(host.reporter.WaitForConversation("Guest Says>\n" + line + "\n\n")) << round;
    ASSERT_TRUE(host.Send("back"));
    ASSERT_TRUE(guest.reporter.WaitForConversation("Hostess Says>\nback\n\n")) << round;
    guest.session.End(nullptr);
    host.session.End([] { return false; });
    guest.session.Close();
    host.session.Close();
  }
  EXPECT_EQ(CountEntries("fd"), descriptors);
  EXPECT_EQ(CountEntries("task"), threads);
}

}  // namespace
