// The real quillo-term on pipes, against the engine in this process and
// against itself. Loopback only; every wait has a limit.
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
  std::string BobsDirectory() {
    return Workdir("bob", "ScreenName=Bob\r\nEncryptionKey=4242\r\nEnableAudio=FALSE\r\n");
  }

  qtest::ScratchDir dir_;
};

TEST_F(TermPipeTest, ConnectSendsEachInputLineAndSignsOffAtTheEnd) {
  ChatEnd ann("Ann", kKey);
  const int port = FreePort();
  ASSERT_TRUE(ann.Host(port));
  // Name and key come from the settings file in the working directory.
  TermProcess bob(BobsDirectory(), {"connect", "127.0.0.1:" + std::to_string(port)});
  ASSERT_TRUE(bob.Started());
  ASSERT_TRUE(bob.Write("one\n/two is not a command\n\nthree without a line end"));
  bob.CloseInput();
  EXPECT_EQ(bob.WaitExit(), 0) << bob.Output() << bob.Errors();
  ASSERT_TRUE(ann.reporter.WaitForConversation("Bob has signed off\n"))
      << ann.reporter.Conversation();
  const std::string shown = ann.reporter.Conversation();
  const size_t one = shown.find(Said("Bob", "one"));
  const size_t two = shown.find(Said("Bob", "/two is not a command"));
  const size_t three = shown.find(Said("Bob", "three without a line end"));
  ASSERT_NE(one, std::string::npos) << shown;
  ASSERT_NE(two, std::string::npos) << shown;
  ASSERT_NE(three, std::string::npos) << shown;
  EXPECT_LT(one, two);
  EXPECT_LT(two, three);
  EXPECT_NE(bob.Output().find("Welcome to the Ann"), std::string::npos) << bob.Output();
}

TEST_F(TermPipeTest, ConnectPrintsThePartnersLinesUnderItsName) {
  ChatEnd ann("Ann", kKey);
  const int port = FreePort();
  ASSERT_TRUE(ann.Host(port));
  TermProcess bob(BobsDirectory(), {"connect", "127.0.0.1:" + std::to_string(port)});
  ASSERT_TRUE(ann.WaitState(SessionState::kHostingBusy));
  ASSERT_TRUE(ann.Send("first row\nsecond row"));
  EXPECT_TRUE(bob.WaitOutput("Ann Says> first row\n          second row\n")) << bob.Output();
  bob.CloseInput();
  EXPECT_EQ(bob.WaitExit(), 0);
}

TEST_F(TermPipeTest, HostOnceTakesOnePartnerAndEndsWhenItSignsOff) {
  const int port = FreePort();
  TermProcess ann(Workdir("ann", "EnableAudio=FALSE\r\n"),
                  {"host", "--port", std::to_string(port), "--once", "--name", "Ann", "--key",
                   std::to_string(kKey)});
  ASSERT_TRUE(ann.WaitOutput("Listening on port " + std::to_string(port) + "\n")) << ann.Errors();
  ChatEnd bob("Bob", kKey);
  ASSERT_EQ(bob.Connect(port), 0) << bob.reporter.Events();
  EXPECT_TRUE(bob.reporter.WaitForConversation("Welcome to the Ann chat session"));
  ASSERT_TRUE(ann.WaitOutput("Bob has established a connection\n"));
  ASSERT_TRUE(bob.Send("hello Ann"));
  EXPECT_TRUE(ann.WaitOutput("Bob Says> hello Ann\n")) << ann.Output();
  // Input lines go to the partner.
  ASSERT_TRUE(ann.Write("hello Bob\n"));
  EXPECT_TRUE(bob.reporter.WaitForConversation(Said("Ann", "hello Bob")));
  bob.session.End(nullptr);
  EXPECT_EQ(ann.WaitExit(), 0) << ann.Output() << ann.Errors();
  EXPECT_NE(ann.Output().find("Bob has signed off\n"), std::string::npos) << ann.Output();
}

TEST_F(TermPipeTest, HostOnceEndsWithStatusOneWhenThePartnerBreaksOff) {
  const int port = FreePort();
  TermProcess ann(Workdir("ann", ""), {"host", "--port", std::to_string(port), "--once"});
  ASSERT_TRUE(ann.WaitOutput("Listening on port"));
  {
    chat_test::RawCaller caller(port);
    ASSERT_TRUE(caller.Connected());
    ASSERT_TRUE(caller.SendHeader("Mallory", MSG_CONNECT, 0));
    ASSERT_TRUE(ann.WaitOutput("Mallory has established a connection\n"));
  }  // gone without a sign-off
  EXPECT_EQ(ann.WaitExit(), 1) << ann.Output();
}

TEST_F(TermPipeTest, TwoTerminalProgramsTalkBothWays) {
  const int port = FreePort();
  TermProcess ann(Workdir("ann", "ScreenName=Ann\r\nEncryptionKey=4242\r\n"),
                  {"host", "--port", std::to_string(port), "--once"});
  ASSERT_TRUE(ann.WaitOutput("Listening on port"));
  TermProcess bob(BobsDirectory(), {"connect", "127.0.0.1", "--port", std::to_string(port)});
  ASSERT_TRUE(bob.Write("hi Ann, café\n"));
  ASSERT_TRUE(ann.WaitOutput("Bob Says> hi Ann, café\n")) << ann.Output() << bob.Errors();
  ASSERT_TRUE(ann.Write("hi Bob\n"));
  ASSERT_TRUE(bob.WaitOutput("Ann Says> hi Bob\n")) << bob.Output();
  bob.CloseInput();
  EXPECT_EQ(bob.WaitExit(), 0);
  EXPECT_EQ(ann.WaitExit(), 0) << ann.Output();
  // Each shows its own lines too, as the desktop program does.
  EXPECT_NE(ann.Output().find("Ann Says> hi Bob\n"), std::string::npos);
  EXPECT_NE(bob.Output().find("Bob Says> hi Ann, café\n"), std::string::npos);
}

// Two programs with private sessions find out before a line leaves; the
// end is a broken conversation for the terminal program.
TEST_F(TermPipeTest, AWrongKeyEndsTheConversationOnBothSides) {
  ChatEnd ann("Ann", 1111);
  const int port = FreePort();
  ASSERT_TRUE(ann.Host(port));
  TermProcess bob(BobsDirectory(), {"connect", "127.0.0.1:" + std::to_string(port)});
  ASSERT_TRUE(bob.Write("secret words\n"));
  const std::string mismatch =
      "Your partner's key does not match yours. The connection was closed.\n";
  ASSERT_TRUE(ann.reporter.WaitForConversation(mismatch));
  EXPECT_EQ(bob.WaitExit(), 1) << bob.Output();
  EXPECT_NE(bob.Output().find(mismatch), std::string::npos) << bob.Output();
  EXPECT_EQ(ann.reporter.Conversation().find("secret words"), std::string::npos);
  EXPECT_EQ(ann.reporter.Conversation().find("Bob Says>"), std::string::npos);
}

TEST_F(TermPipeTest, ABusyLineIsAFailedConnection) {
  ChatEnd ann("Ann", kKey);
  const int port = FreePort();
  ASSERT_TRUE(ann.Host(port));
  ChatEnd cay("Cay", kKey);
  ASSERT_EQ(cay.Connect(port), 0);
  TermProcess bob(BobsDirectory(), {"connect", "127.0.0.1:" + std::to_string(port)});
  EXPECT_EQ(bob.WaitExit(), 1);
  EXPECT_NE(bob.Output().find("Ann Quillo line is currently busy.\nSigning off...\n"),
            std::string::npos)
      << bob.Output();
  EXPECT_NE(bob.Errors().find("The Quillo client was not connected"), std::string::npos);
}

TEST_F(TermPipeTest, NobodyListeningIsAFailedConnection) {
  TermProcess bob(BobsDirectory(), {"connect", "127.0.0.1:" + std::to_string(FreePort())});
  EXPECT_EQ(bob.WaitExit(), 1);
  EXPECT_NE(bob.Errors().find("The Quillo server is not online"), std::string::npos)
      << bob.Errors();
}

TEST_F(TermPipeTest, SigintSignsOffAndEnds) {
  ChatEnd ann("Ann", kKey);
  const int port = FreePort();
  ASSERT_TRUE(ann.Host(port));
  TermProcess bob(BobsDirectory(), {"connect", "127.0.0.1:" + std::to_string(port)});
  ASSERT_TRUE(ann.reporter.WaitForConversation("Bob has established a connection\n"));
  ASSERT_TRUE(bob.WaitOutput("Welcome to the Ann"));
  bob.Signal(SIGINT);
  EXPECT_EQ(bob.WaitExit(), 0);
  EXPECT_TRUE(ann.reporter.WaitForConversation("Bob has signed off\n"));
}

TEST_F(TermPipeTest, BadArgumentsEndWithStatusTwoAndTheUsage) {
  const std::vector<std::vector<std::string>> cases = {
      {"host", "--port", "x"},
      {"connect"},
      {"connect", "host:notaport"},
      {},  // no command, and the input is not a terminal
  };
  for (const auto& arguments : cases) {
    SCOPED_TRACE(testing::PrintToString(arguments));
    TermProcess term(Workdir("bad", ""), arguments);
    EXPECT_EQ(term.WaitExit(), 2);
    EXPECT_NE(term.Errors().find("Usage: quillo-term"), std::string::npos) << term.Errors();
    EXPECT_EQ(term.Output(), "");
  }
}

TEST_F(TermPipeTest, ConnectByNicknameFromThePreviousConnections) {
  ChatEnd ann("Ann", kKey);
  const int port = FreePort();
  ASSERT_TRUE(ann.Host(port));
  const std::string bob_dir = Workdir("bob", "ScreenName=Bob\r\n");
  {
    TermProcess first(
        bob_dir, {"connect", "127.0.0.1:" + std::to_string(port), "--key", std::to_string(kKey)});
    first.CloseInput();
    ASSERT_EQ(first.WaitExit(), 0) << first.Errors();
  }
  ASSERT_TRUE(ann.reporter.WaitForConversation("Bob has signed off\n"));
  // Recorded under what was typed, with the key: the nickname alone calls
  // the same line with the same key.
  TermProcess again(bob_dir, {"connect", "127.0.0.1:" + std::to_string(port)});
  ASSERT_TRUE(again.Write("by nickname\n"));
  again.CloseInput();
  EXPECT_EQ(again.WaitExit(), 0) << again.Errors();
  EXPECT_TRUE(ann.reporter.WaitForConversation(Said("Bob", "by nickname")))
      << ann.reporter.Conversation() << again.Output();
}

}  // namespace
