// quillo-term at a real prompt: a tmux window on a private server, keys
// typed with send-keys while the partner's lines arrive, and the screen
// read back with capture-pane. Every command and wait has a limit.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "core/chat/chat_test_support.h"
#include "term/term_process.h"

namespace {

using chat_test::ChatEnd;

// Runs a command through the shell with a time limit; its output.
std::string RunShell(const std::string& command) {
  std::string output;
  FILE* pipe = ::popen(("timeout 10 " + command + " 2>&1").c_str(), "r");
  char buffer[4096];
  for (size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    output.append(buffer, n);
  }
  if (pipe) ::pclose(pipe);
  return output;
}

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// One tmux server of the test's own (its socket named after this
// process), one 100x30 window running a shell command.
class TmuxWindow {
 public:
  explicit TmuxWindow(const std::string& command)
      : tmux_("tmux -L quillo-term-test-" + std::to_string(::getpid()) + " -f /dev/null") {
    RunShell(tmux_ + " new-session -d -s main -x 100 -y 30 " + Quote(command));
  }
  ~TmuxWindow() { RunShell(tmux_ + " kill-server"); }

  void Type(const std::string& text) { RunShell(tmux_ + " send-keys -t main -l " + Quote(text)); }
  void Press(const std::string& key) { RunShell(tmux_ + " send-keys -t main " + key); }
  std::string Screen() { return RunShell(tmux_ + " capture-pane -p -t main"); }

  // The last line that holds text, without its trailing blanks.
  std::string LastLine() {
    std::string last;
    std::istringstream split(Screen());
    for (std::string line; std::getline(split, line);) {
      line.erase(line.find_last_not_of(' ') + 1);
      if (!line.empty()) last = line;
    }
    return last;
  }
  // Where text is on the screen, counted in characters from the top left.
  size_t Where(const std::string& text) { return Screen().find(text); }
  bool WaitScreen(const std::string& text) {
    return qtest::WaitUntil([&] { return Screen().find(text) != std::string::npos; },
                            std::chrono::seconds(15));
  }

 private:
  std::string tmux_;
};

TEST(TermPrompt, ArrivalsGoAboveTheLineBeingTyped) {
  if (RunShell("command -v tmux").empty()) GTEST_SKIP() << "tmux is not installed";
  qtest::ScratchDir dir;
  qtest::WriteBytes(dir.File("quillo.ini"), "ScreenName=Bob\r\nEncryptionKey=4242\r\n");
  ChatEnd ann("Ann", 4242);
  const int port = chat_test::FreePort();
  ASSERT_TRUE(ann.Host(port));

  // The terminal's settings before and after are compared by the shell.
  const std::string program =
      Quote(term_test::TermProgram()) + " connect 127.0.0.1:" + std::to_string(port);
  TmuxWindow window("cd " + Quote(dir.Path()) + " && stty -g > before && env -u QUILLO HOME=" +
                    Quote(dir.Path()) + " " + program + "; echo EXIT=$?; stty -g > after; " +
                    "cmp -s before after && echo TERMINAL-RESTORED; sleep 30");
  ASSERT_TRUE(ann.reporter.WaitForConversation("Bob has established a connection\n"))
      << window.Screen();
  ASSERT_TRUE(window.WaitScreen("Welcome to the Ann")) << window.Screen();
  ASSERT_TRUE(qtest::WaitUntil([&] { return window.LastLine() == ">"; })) << window.Screen();

  window.Type("half typed words");
  ASSERT_TRUE(qtest::WaitUntil([&] { return window.LastLine() == "> half typed words"; }))
      << window.Screen();
  ASSERT_TRUE(ann.Send("arrival one"));
  ASSERT_TRUE(ann.Send("arrival two\nwith a second row"));
  ASSERT_TRUE(window.WaitScreen("          with a second row")) << window.Screen();
  // The arrivals sit above the prompt, which still holds the typed text.
  EXPECT_EQ(window.LastLine(), "> half typed words") << window.Screen();
  EXPECT_LT(window.Where("Ann Says> arrival one"), window.Where("Ann Says> arrival two"));

  // Typing goes on where it stopped; the whole line is sent.
  window.Type(" and more");
  window.Press("Enter");
  EXPECT_TRUE(ann.reporter.WaitForConversation("Bob Says>\nhalf typed words and more\n\n"));
  EXPECT_TRUE(window.WaitScreen("Bob Says> half typed words and more")) << window.Screen();

  window.Type("/save talk.txt");
  window.Press("Enter");
  ASSERT_TRUE(window.WaitScreen("Saved talk.txt")) << window.Screen();
  // The file holds the conversation as the desktop program saves it.
  const std::string saved = qtest::ReadBytes(dir.File("talk.txt"));
  EXPECT_NE(saved.find("Ann Says>\narrival two\nwith a second row\n\n"), std::string::npos)
      << saved;

  // Ctrl-D signs off and quits, and the terminal is as it was.
  window.Press("C-d");
  EXPECT_TRUE(ann.reporter.WaitForConversation("Bob has signed off\n"));
  EXPECT_TRUE(window.WaitScreen("EXIT=0")) << window.Screen();
  EXPECT_TRUE(window.WaitScreen("TERMINAL-RESTORED")) << window.Screen();
}

}  // namespace
