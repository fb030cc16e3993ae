// The GUI's reporter: order across threads, one append per burst, nothing
// after Close().
#include "gui/frame/gui_reporter.h"

#include <sstream>
#include <thread>
#include <vector>

#include "gui/support/gui_test_main.h"

namespace {

// Every delivery as "c:", "e:", "s:", "a:" (sender:line) or "m:" and its text.
struct Recorder {
  std::vector<std::string> seen;

  GuiReporter::Sinks Sinks() {
    auto to = [this](const char* kind) {
      return [this, kind](const std::string& t) { seen.push_back(kind + t); };
    };
    return {to("c:"),
            to("e:"),
            to("s:"),
            [this](const std::string& a, const std::string& b, const std::string& c) {
              seen.push_back("m:" + a + b + c);
            },
            [this](const std::string& sender, const std::string& line) {
              seen.push_back("a:" + sender + ":" + line);
            },
            nullptr};
  }
};

// A burst becomes one append per run of the same window, in order;
// announcements are never joined. A program message comes after the lines
// before it; Close drops what is queued and what comes later.
TEST(GuiReporterTest, ABurstBecomesOneAppendPerWindowRunAndCloseDropsTheRest) {
  Recorder r;
  auto reporter = GuiReporter::Create(r.Sinks(), "");
  for (const char* line : {"a\n", "b\n"}) reporter->ConversationLine(line);
  reporter->EventLine("e1\n");
  reporter->EventLine("e2\n");
  reporter->StatusText("busy");
  reporter->ConversationLine("c\n");
  reporter->ChatLineArrived("Ann", "one");
  reporter->ChatLineArrived("Ann", "two");
  reporter->ConversationLine("d\n");
  EXPECT_TRUE(r.seen.empty()) << "delivered outside the event loop";
  PumpEvents();
  reporter->ConversationLine("before\n");
  reporter->ProgramMessage("You are not connected", " ", "x");
  reporter->ConversationLine("queued\n");
  reporter->Close();
  reporter->EventLine("late\n");
  PumpEvents();
  EXPECT_EQ(r.seen, (std::vector<std::string>{"c:a\nb\n", "e:e1\ne2\n", "s:busy", "c:c\n",
                                              "a:Ann:one", "a:Ann:two", "c:d\n", "c:before\n",
                                              "m:You are not connected x"}));
}

TEST(GuiReporterTest, LinesFromWorkerThreadsKeepEachThreadsOrder) {
  Recorder r;
  auto reporter = GuiReporter::Create(r.Sinks(), "");
  constexpr int kLines = 2000;
  std::vector<std::thread> workers;
  for (int w = 0; w < 2; ++w) {
    workers.emplace_back([&, w] {
      for (int i = 0; i < kLines; ++i) {
        reporter->ConversationLine(std::to_string(w) + ":" + std::to_string(i) + "\n");
      }
    });
  }
  for (auto& worker : workers) worker.join();  // the queue does not need the loop
  PumpEvents();
  std::string all;
  for (const std::string& part : r.seen) all += part.substr(2);
  std::istringstream lines(all);
  int next[2] = {0, 0};
  for (std::string line; std::getline(lines, line);) {
    const int w = line[0] - '0';
    ASSERT_EQ(std::to_string(w) + ":" + std::to_string(next[w]++), line);
  }
  EXPECT_EQ(kLines, next[0]);
  EXPECT_EQ(kLines, next[1]);
  EXPECT_LT(r.seen.size(), static_cast<size_t>(2 * kLines));
}

}  // namespace
