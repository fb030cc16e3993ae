// The GUI's reporter: order across threads, one append per burst, nothing
// after Close().
#include "gui/frame/gui_reporter.h"

#include <atomic>
#include <sstream>
#include <thread>
#include <vector>

#include "gui/support/gui_test_main.h"

namespace {

struct Recorder {
  std::vector<std::string> conversation;
  std::vector<std::string> event;
  std::vector<std::string> status;
  std::vector<std::string> order;     // "c", "e", "s" or "a" per delivery
  std::vector<std::string> arrivals;  // "sender:line"

  GuiReporter::Sinks Sinks() {
    return {[this](const std::string& t) { conversation.push_back(t), order.push_back("c"); },
            [this](const std::string& t) { event.push_back(t), order.push_back("e"); },
            [this](const std::string& t) { status.push_back(t), order.push_back("s"); },
            nullptr,
            [this](const std::string& sender, const std::string& line) {
              arrivals.push_back(sender + ":" + line), order.push_back("a");
            },
            nullptr};
  }
};

std::string Joined(const std::vector<std::string>& parts) {
  std::string all;
  for (const auto& part : parts) all += part;
  return all;
}

TEST(GuiReporterTest, ABurstBecomesOneAppendPerWindowRunInOrder) {
  Recorder seen;
  auto reporter = GuiReporter::Create(seen.Sinks(), "");
  reporter->ConversationLine("a\n");
  reporter->ConversationLine("b\n");
  reporter->EventLine("e1\n");
  reporter->EventLine("e2\n");
  reporter->StatusText("busy");
  reporter->ConversationLine("c\n");
  // Announcements are never joined and stay behind the line they follow.
  reporter->ChatLineArrived("Ann", "one");
  reporter->ChatLineArrived("Ann", "two");
  reporter->ConversationLine("d\n");
  EXPECT_TRUE(seen.order.empty()) << "delivered outside the event loop";
  PumpEvents();
  EXPECT_EQ((std::vector<std::string>{"a\nb\n", "c\n", "d\n"}), seen.conversation);
  EXPECT_EQ(std::vector<std::string>{"e1\ne2\n"}, seen.event);
  EXPECT_EQ(std::vector<std::string>{"busy"}, seen.status);
  EXPECT_EQ((std::vector<std::string>{"Ann:one", "Ann:two"}), seen.arrivals);
  EXPECT_EQ((std::vector<std::string>{"c", "e", "s", "c", "a", "a", "c"}), seen.order);
}

TEST(GuiReporterTest, LinesFromWorkerThreadsKeepEachThreadsOrder) {
  Recorder seen;
  auto reporter = GuiReporter::Create(seen.Sinks(), "");
  constexpr int kLines = 2000;
  std::vector<std::thread> workers;
  for (int w = 0; w < 2; ++w) {
    workers.emplace_back([&, w] {
      for (int i = 0; i < kLines; ++i) {
        reporter->ConversationLine(std::to_string(w) + ":" + std::to_string(i) + "\n");
      }
    });
  }
  std::atomic<bool> joined{false};
  std::thread joiner([&] {
    for (auto& worker : workers) worker.join();
    joined = true;
  });
  ASSERT_TRUE(PumpUntil([&] { return joined.load(); }));
  joiner.join();
  PumpEvents();
  std::istringstream lines(Joined(seen.conversation));
  int next[2] = {0, 0};
  for (std::string line; std::getline(lines, line);) {
    const int w = line[0] - '0';
    ASSERT_EQ(std::to_string(w) + ":" + std::to_string(next[w]++), line);
  }
  EXPECT_EQ(kLines, next[0]);
  EXPECT_EQ(kLines, next[1]);
  EXPECT_LT(seen.conversation.size(), static_cast<size_t>(2 * kLines));
}

TEST(GuiReporterTest, AProgramMessageComesAfterTheLinesBeforeItAndCloseDropsTheRest) {
  Recorder seen;
  std::vector<std::string> shown;
  GuiReporter::Sinks sinks = seen.Sinks();
  sinks.message = [&](const std::string& a, const std::string& b, const std::string& c) {
    shown.push_back(Joined(seen.conversation) + "|" + a + b + c);
  };
  auto reporter = GuiReporter::Create(sinks, "");
  reporter->ConversationLine("before\n");
  reporter->ProgramMessage("You are not connected", " ", "x");
  EXPECT_EQ(std::vector<std::string>{"before\n|You are not connected x"}, shown);
  // Close drops what is queued and what comes later.
  reporter->ConversationLine("queued\n");
  reporter->Close();
  reporter->EventLine("late\n");
  PumpEvents();
  EXPECT_EQ(std::vector<std::string>{"before\n"}, seen.conversation);
  EXPECT_TRUE(seen.event.empty());
}

}  // namespace
