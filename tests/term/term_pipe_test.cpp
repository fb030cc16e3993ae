// The real quillo-term on pipes against the engine in this process: one
// scenario of each kind (a caller's input and exit status, a one-partner
// host, a failed connection, a broken one, a signal, bad arguments).
// Loopback only; every wait has a limit.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "core/chat/chat_test_support.h"
#include "term/term_process.h"

namespace {

using chat_test::ChatEnd;
using chat_test::FreePort;
using term_test::TermProcess;

constexpr uint16_t kKey = 4242;

std::string Said(const std::string& name, const std::string& text) {
  return name + " Says>\n" + text + "\n\n";
}

class TermPipeTest : public ::testing::Test {
 protected:
  // A settings file in a working directory of its own, as a person keeps one.
  std::string Workdir(const std::string& name, const std::string& settings) {
    const std::string path = dir_.File(name);
    std::filesystem::create_directories(path);
    qtest::WriteBytes(path + "/quillo.ini", settings);
    return path;
  }
  std::string Address() { return "127.0.0.1:" + std::to_string(port_); }

  qtest::ScratchDir dir_;
  const int port_ = FreePort();
  ChatEnd ann_{"Ann", kKey};
};

// Each input line goes out as typed (blank ones skipped), the partner's
// lines are printed under its name, the end of the input signs off. The
// address is recorded with the key typed: the same text later calls the
// same line with the same key.
TEST_F(TermPipeTest, ConnectSendsTheInputPrintsThePartnerAndRemembersTheLine) {
  ASSERT_TRUE(ann_.Host(port_));
  const std::string bob_dir = Workdir("bob", "ScreenName=Bob\r\nEnableAudio=FALSE\r\n");
  {
    TermProcess bob(bob_dir, {"connect", Address(), "--key", std::to_string(kKey)});
    ASSERT_TRUE(ann_.WaitState(SessionState::kHostingBusy));
    ASSERT_TRUE(ann_.Send("first row\nsecond row"));
    EXPECT_TRUE(bob.WaitOutput("Ann Says> first row\n          second row\n")) << bob.Output();
    ASSERT_TRUE(bob.Write("one\n/two is not a command\n\nthree without a line end"));
    bob.CloseInput();
    EXPECT_EQ(bob.WaitExit(), 0) << bob.Output() << bob.Errors();
  }
  ASSERT_TRUE(ann_.reporter.WaitForConversation("Bob has signed off\n"));
  const std::string shown = ann_.reporter.Conversation();
  const size_t one = shown.find(Said("Bob", "one"));
  const size_t two = shown.find(Said("Bob", "/two is not a command"));
  const size_t three = shown.find(Said("Bob", "three without a line end"));
  ASSERT_NE(three, std::string::npos) << shown;
  EXPECT_LT(one, two);
  EXPECT_LT(two, three);

  TermProcess again(bob_dir, {"connect", Address()});
  ASSERT_TRUE(again.Write("by the stored key\n"));
  again.CloseInput();
  EXPECT_EQ(again.WaitExit(), 0) << again.Errors();
  EXPECT_TRUE(ann_.reporter.WaitForConversation(Said("Bob", "by the stored key")));
}

// A partner who signs off ends the host with 0, one who breaks off with 1.
TEST_F(TermPipeTest, HostOnceTakesOnePartnerAndEndsWhenItLeaves) {
  TermProcess host(Workdir("host", "EnableAudio=FALSE\r\n"),
                   {"host", "--port", std::to_string(port_), "--once", "--name", "Cay", "--key",
                    std::to_string(kKey)});
  ASSERT_TRUE(host.WaitOutput("Listening on port " + std::to_string(port_) + "\n"));
  ChatEnd bob("Bob", kKey);
  ASSERT_EQ(bob.Connect(port_), 0) << bob.reporter.Events();
  EXPECT_TRUE(bob.reporter.WaitForConversation("Welcome to the Cay chat session"));
  ASSERT_TRUE(bob.Send("hello Cay"));
  EXPECT_TRUE(host.WaitOutput("Bob Says> hello Cay\n")) << host.Output();
  ASSERT_TRUE(host.Write("hello Bob\n"));
  EXPECT_TRUE(bob.reporter.WaitForConversation(Said("Cay", "hello Bob")));
  bob.session.End(nullptr);
  EXPECT_EQ(host.WaitExit(), 0) << host.Output() << host.Errors();

  const int port = FreePort();
  TermProcess again(Workdir("host", ""), {"host", "--port", std::to_string(port), "--once"});
  ASSERT_TRUE(again.WaitOutput("Listening on port"));
  {
    chat_test::RawCaller caller(port);
    ASSERT_TRUE(caller.SendHeader("Mallory", MSG_CONNECT, 0));
    ASSERT_TRUE(again.WaitOutput("Mallory has established a connection\n"));
  }  // gone without a sign-off
  EXPECT_EQ(again.WaitExit(), 1) << again.Output();
}

// Nobody listening, and a partner with another key, end a caller with 1.
TEST_F(TermPipeTest, AFailedOrBrokenConnectionEndsWithStatusOne) {
  const std::string bob_dir = Workdir("bob", "ScreenName=Bob\r\nEncryptionKey=1111\r\n");
  {
    TermProcess bob(bob_dir, {"connect", Address()});
    EXPECT_EQ(bob.WaitExit(), 1);
    EXPECT_NE(bob.Errors().find("The Quillo server is not online"), std::string::npos)
        << bob.Errors();
  }
  ASSERT_TRUE(ann_.Host(port_));
  TermProcess bob(bob_dir, {"connect", Address()});
  ASSERT_TRUE(bob.Write("secret words\n"));
  EXPECT_EQ(bob.WaitExit(), 1) << bob.Output();
  EXPECT_NE(bob.Output().find("Your partner's key does not match yours."), std::string::npos)
      << bob.Output();
  EXPECT_EQ(ann_.reporter.Conversation().find("secret words"), std::string::npos);
}

TEST_F(TermPipeTest, SigintSignsOffAndEnds) {
  ASSERT_TRUE(ann_.Host(port_));
  TermProcess bob(Workdir("bob", "ScreenName=Bob\r\nEncryptionKey=4242\r\n"),
                  {"connect", Address()});
  ASSERT_TRUE(bob.WaitOutput("Welcome to the Ann"));
  bob.Signal(SIGINT);
  EXPECT_EQ(bob.WaitExit(), 0);
  EXPECT_TRUE(ann_.reporter.WaitForConversation("Bob has signed off\n"));
}

TEST_F(TermPipeTest, BadArgumentsEndWithStatusTwoAndTheUsage) {
  // An unknown port value, and no command with an input that is no terminal.
  for (const std::vector<std::string>& arguments :
       std::vector<std::vector<std::string>>{{"host", "--port", "x"}, {}}) {
    TermProcess term(Workdir("bad", ""), arguments);
    EXPECT_EQ(term.WaitExit(), 2);
    EXPECT_NE(term.Errors().find("Usage: quillo-term"), std::string::npos) << term.Errors();
    EXPECT_EQ(term.Output(), "");
  }
}

}  // namespace
