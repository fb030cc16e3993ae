// The GUI's reporter: order across threads, one append per run of the same
// window, nothing after Close().
#include "gui/frame/gui_reporter.h"

#include <sstream>
#include <thread>
#include <vector>

#include "gui/support/gui_test_main.h"

namespace {

// Lines from two workers wait for the event loop and come as one append,
// each worker's in its order; announcements are never joined. A program
// message comes after the lines before it; Close drops what is queued and
// what comes later.
TEST(GuiReporterTest, LinesFromAnyThreadComeInOrderOneAppendPerWindowRunUntilClose) {
  std::vector<std::string> seen;  // "c:", "e:", "s:", "a:" (sender:line) or "m:" and the text
  auto to = [&seen](const char* kind) {
    return [&seen, kind](const std::string& t) { seen.push_back(kind + t); };
  };
  auto reporter = GuiReporter::Create(
      {to("c:"), to("e:"), to("s:"),
       [&](const std::string& a, const std::string& b, const std::string& c) {
         seen.push_back("m:" + a + b + c);
       },
       [&](const std::string& sender, const std::string& line) {
         seen.push_back("a:" + sender + ":" + line);
       },
       nullptr},
      "");
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
  reporter->EventLine("e1\n");
  reporter->EventLine("e2\n");
  reporter->StatusText("busy");
  reporter->ChatLineArrived("Ann", "one");
  reporter->ChatLineArrived("Ann", "two");
  reporter->ConversationLine("d\n");
  EXPECT_TRUE(seen.empty()) << "delivered outside the event loop";
  PumpEvents();
  reporter->ConversationLine("before\n");
  reporter->ProgramMessage("You are not connected", " ", "x");
  reporter->ConversationLine("queued\n");
  reporter->Close();
  reporter->EventLine("late\n");
  PumpEvents();
  std::istringstream lines(seen.empty() ? "" : seen[0].substr(2));
  int next[2] = {0, 0};
  for (std::string line; std::getline(lines, line);) {
    const int w = line[0] == '1';
    ASSERT_EQ(std::to_string(w) + ":" + std::to_string(next[w]++), line);
  }
  EXPECT_EQ(2 * kLines, next[0] + next[1]);  // neither goes past its last line
  EXPECT_EQ(std::vector<std::string>(seen.begin() + 1, seen.end()),
            (std::vector<std::string>{"e:e1\ne2\n", "s:busy", "a:Ann:one", "a:Ann:two", "c:d\n",
                                      "c:before\n", "m:You are not connected x"}));
}

}  // namespace
