// The real quillo-term in a tmux window on a private server, against the
// engine in this process: keys typed with send-keys, the screen read back
// with capture-pane, each run's exit status echoed by the shell after it.
// Loopback only; every command and wait has a limit.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/chat/chat_test_support.h"

namespace {

using chat_test::ChatEnd;
using chat_test::FreePort;

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

// Makes fd 3 a FIFO named "in" that never ends (the shell holds it open
// for writing too): an input that is no terminal, written to by the test.
const std::string kOpenInput = "mkfifo in && exec 3<>in; ";

std::string Said(const std::string& name, const std::string& text) {
  return name + " Says>\n" + text + "\n\n";
}

// One tmux server of the test's own (its socket named after this process),
// one 100x40 window running a shell script in a working directory that
// holds the given settings file, with HOME there and QUILLO unset; $Q
// names the program.
class TmuxWindow {
 public:
  TmuxWindow(const qtest::ScratchDir& dir, const std::string& settings, const std::string& script)
      : tmux_("tmux -L quillo-term-test-" + std::to_string(::getpid()) + " -f /dev/null") {
    qtest::WriteBytes(dir.File("quillo.ini"), settings);
    const std::string setup = "cd " + Quote(dir.Path()) + " && export HOME=" + Quote(dir.Path()) +
                              " Q=" + Quote(std::string(QUILLO_BINARY_DIR) + "/quillo-term") +
                              " && unset QUILLO; ";
    RunShell(tmux_ + " new-session -d -s main -x 100 -y 40 " +
             Quote(setup + script + "; sleep 60"));
  }
  ~TmuxWindow() { RunShell(tmux_ + " kill-server"); }

  void Type(const std::string& text) { RunShell(tmux_ + " send-keys -t main -l " + Quote(text)); }
  void Press(const std::string& key) { RunShell(tmux_ + " send-keys -t main " + key); }
  std::string Screen() { return RunShell(tmux_ + " capture-pane -p -S -200 -t main"); }

  // Waits for text on the screen (after the text after), or for the last
  // line that holds text (capture-pane drops trailing blanks) to be text.
  testing::AssertionResult WaitScreen(const std::string& text, bool last_line = false,
                                      const std::string& after = "") {
    auto shown = [&] {
      if (last_line)
        return RunShell(tmux_ + " capture-pane -p -t main | grep . | tail -n 1") == text + "\n";
      const std::string screen = Screen();
      const size_t from = screen.find(after);
      return from != std::string::npos && screen.find(text, from) != std::string::npos;
    };
    if (qtest::WaitUntil(shown, std::chrono::seconds(15))) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "no \"" << text << "\" in\n" << Screen();
  }

 private:
  std::string tmux_;
};

class TermProgramTest : public testing::Test {
 protected:
  void SetUp() override {
    if (RunShell("command -v tmux").empty()) GTEST_SKIP() << "tmux is not installed";
  }
  std::string Address() { return "127.0.0.1:" + std::to_string(port_); }

  qtest::ScratchDir dir_;
  const int port_ = FreePort();
  ChatEnd ann_{"Ann", 4242};
};

TEST_F(TermProgramTest, PromptArrivalsGoAboveTheLineBeingTyped) {
  ASSERT_TRUE(ann_.Host(port_));
  // The terminal's settings before and after are compared by the shell.
  TmuxWindow window(dir_, "ScreenName=Bob\r\nEncryptionKey=4242\r\n",
                    "stty -g > before; \"$Q\" connect " + Address() +
                        "; echo EXIT=$?; stty -g > after; "
                        "cmp -s before after && echo TERMINAL-RESTORED");
  ASSERT_TRUE(ann_.reporter.WaitForConversation("Bob has established a connection\n"));
  ASSERT_TRUE(window.WaitScreen("Welcome to the Ann"));
  ASSERT_TRUE(window.WaitScreen(">", true));

  window.Type("half typed words");
  ASSERT_TRUE(window.WaitScreen("> half typed words", true));
  ASSERT_TRUE(ann_.Send("arrival one"));
  ASSERT_TRUE(ann_.Send("arrival two\nwith a second row"));
  ASSERT_TRUE(window.WaitScreen("          with a second row"));
  // The arrivals sit above the prompt, which still holds the typed text.
  EXPECT_TRUE(window.WaitScreen("> half typed words", true));
  EXPECT_TRUE(window.WaitScreen("Ann Says> arrival two", false, "Ann Says> arrival one"));

  // Typing goes on where it stopped; the whole line is sent.
  window.Type(" and more");
  window.Press("Enter");
  EXPECT_TRUE(ann_.reporter.WaitForConversation(Said("Bob", "half typed words and more")));
  EXPECT_TRUE(window.WaitScreen("Bob Says> half typed words and more"));

  // /save keeps the conversation as the desktop program saves it.
  window.Type("/save talk.txt");
  window.Press("Enter");
  ASSERT_TRUE(window.WaitScreen("Saved talk.txt"));
  EXPECT_NE(qtest::ReadBytes(dir_.File("talk.txt")).find(Said("Ann", "arrival one")),
            std::string::npos);
  // Ctrl-D signs off and quits, and the terminal is as it was.
  window.Press("C-d");
  EXPECT_TRUE(ann_.reporter.WaitForConversation("Bob has signed off\n"));
  EXPECT_TRUE(window.WaitScreen("EXIT=0"));
  EXPECT_TRUE(window.WaitScreen("TERMINAL-RESTORED"));
}

// Piped lines go out as typed (a carriage return before the line end
// dropped, blank lines skipped, a last line without its line end whole)
// and the end of the input signs off. The address is recorded with the key
// typed: the same text later calls the same line with the same key.
TEST_F(TermProgramTest, PipedInputIsSentInOrderAndTheLineIsRemembered) {
  ASSERT_TRUE(ann_.Host(port_));
  const std::string connect = "| \"$Q\" connect " + Address();
  TmuxWindow window(dir_, "ScreenName=Bob\r\nEnableAudio=FALSE\r\n",
                    "printf 'one\\r\\n/two is not a command\\n\\nthree without a line end' " +
                        connect + " --key 4242; echo FIRST=$?; until [ -e go ]; do sleep 0.05; " +
                        "done; echo 'by the stored key' " + connect + "; echo SECOND=$?");
  // The second call waits until the host has taken the first one's sign-off;
  // a host still busy with it would turn the caller away.
  ASSERT_TRUE(window.WaitScreen("FIRST=0"));
  ASSERT_TRUE(ann_.WaitState(SessionState::kHostingFree));
  qtest::WriteBytes(dir_.File("go"), "");
  ASSERT_TRUE(window.WaitScreen("SECOND=0"));
  EXPECT_TRUE(ann_.reporter.WaitForConversation(Said("Bob", "one") +
                                                Said("Bob", "/two is not a command") +
                                                Said("Bob", "three without a line end")));
  EXPECT_TRUE(ann_.reporter.WaitForConversation(Said("Bob", "by the stored key")));
}

// A partner who signs off ends the host with 0, one who breaks off with 1.
TEST_F(TermProgramTest, HostOnceTakesOnePartnerAndEndsWhenItLeaves) {
  const int second = FreePort();
  TmuxWindow window(dir_, "EnableAudio=FALSE\r\n",
                    kOpenInput + "\"$Q\" host --port " + std::to_string(port_) +
                        " --once --name Cay --key 4242 <&3; echo FIRST=$?; \"$Q\" host --port " +
                        std::to_string(second) + " --once <&3; echo SECOND=$?");
  ASSERT_TRUE(window.WaitScreen("Listening on port " + std::to_string(port_)));
  ChatEnd bob("Bob", 4242);
  ASSERT_EQ(bob.Connect(port_), 0) << bob.reporter.Events();
  EXPECT_TRUE(bob.reporter.WaitForConversation("Welcome to the Cay chat session"));
  ASSERT_TRUE(bob.Send("hello Cay"));
  EXPECT_TRUE(window.WaitScreen("Bob Says> hello Cay"));
  RunShell("echo 'hello Bob' > " + Quote(dir_.File("in")));
  EXPECT_TRUE(bob.reporter.WaitForConversation(Said("Cay", "hello Bob")));
  bob.session.End(nullptr);
  EXPECT_TRUE(window.WaitScreen("FIRST=0"));

  ASSERT_TRUE(window.WaitScreen("Listening on port " + std::to_string(second)));
  {
    chat_test::RawCaller caller(second);
    ASSERT_TRUE(caller.SendHeader("Mallory", MSG_CONNECT, 0));
    ASSERT_TRUE(window.WaitScreen("Mallory has established a connection"));
  }  // gone without a sign-off
  EXPECT_TRUE(window.WaitScreen("SECOND=1"));
}

// Nobody listening and a partner with another key end a caller with 1,
// bad arguments with 2 and the usage; SIGINT signs off and ends with 0.
// (The shell ignores SIGINT so that it lives on to echo the status.)
TEST_F(TermProgramTest, FailuresAndSignalsEndWithTheirStatus) {
  const std::string connect = "\"$Q\" connect " + Address() + " <&3";
  TmuxWindow window(dir_, "ScreenName=Bob\r\nEncryptionKey=1111\r\n",
                    "trap '' INT; " + kOpenInput + connect + "; echo NOBODY=$?; " +
                        "\"$Q\" host --port x; echo BAD=$?; \"$Q\" </dev/null; echo NONE=$?; " +
                        "read go; " + connect + "; echo KEY=$?; " + connect +
                        " --key 4242 --name Cy; echo INT=$?");
  ASSERT_TRUE(window.WaitScreen("NONE=2"));
  for (const char* shown :
       {"The Quillo server is not online", "NOBODY=1", "Usage: quillo", "BAD=2"})
    EXPECT_TRUE(window.WaitScreen(shown));
  ASSERT_TRUE(ann_.Host(port_));
  window.Press("Enter");
  ASSERT_TRUE(window.WaitScreen("KEY=1"));
  EXPECT_TRUE(window.WaitScreen("Your partner's key does not match yours."));
  ASSERT_TRUE(window.WaitScreen("Welcome to the Ann", false, "KEY=1"));
  window.Press("C-c");
  EXPECT_TRUE(window.WaitScreen("INT=0"));
  EXPECT_TRUE(ann_.reporter.WaitForConversation("Cy has signed off\n"));
}

}  // namespace
