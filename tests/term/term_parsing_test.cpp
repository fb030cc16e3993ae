// The command line, the prompt's commands and the addresses typed in them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "term/address_text.h"
#include "term/arguments.h"
#include "term/command_line.h"
#include "term/line_reader.h"

namespace {

using Verdict = ParsedArguments::Verdict;
using Start = TermOptions::Start;

struct ArgumentCase {
  std::vector<std::string> arguments;
  Verdict verdict;
  Start start;
  std::string target;
  int port;  // -1: none
  int key;   // -1: none
  bool once;
};

TEST(TermArguments, ParsesCommandsAndOptionsInAnyOrder) {
  const ArgumentCase cases[] = {
      {{}, Verdict::kRun, Start::kPrompt, "", -1, -1, false},
      {{"host"}, Verdict::kRun, Start::kHost, "", -1, -1, false},
      {{"host", "--port", "5000", "--once"}, Verdict::kRun, Start::kHost, "", 5000, -1, true},
      {{"--once", "--port=6000", "host"}, Verdict::kRun, Start::kHost, "", 6000, -1, true},
      {{"connect", "h.example:7000", "--key", "0"},
       Verdict::kRun,
       Start::kConnect,
       "h.example:7000",
       -1,
       0,
       false},
      {{"--key=65535", "connect", "annsline"},
       Verdict::kRun,
       Start::kConnect,
       "annsline",
       -1,
       65535,
       false},
      {{"connect", "x", "--help"}, Verdict::kHelp, Start::kPrompt, "", -1, -1, false},
      {{"bogus", "--version"}, Verdict::kVersion, Start::kPrompt, "", -1, -1, false},
  };
  for (const ArgumentCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    const ParsedArguments parsed = ParseArguments(c.arguments);
    ASSERT_EQ(parsed.verdict, c.verdict) << parsed.error;
    if (c.verdict != Verdict::kRun) continue;
    EXPECT_EQ(parsed.options.start, c.start);
    EXPECT_EQ(parsed.options.target, c.target);
    EXPECT_EQ(parsed.options.port.value_or(-1), c.port);
    EXPECT_EQ(parsed.options.key.value_or(-1), c.key);
    EXPECT_EQ(parsed.options.once, c.once);
  }
}

TEST(TermArguments, NamesWhatIsWrongWithBadArguments) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"host", "--port"}, "--port needs a value"},
      {{"host", "--port", "0"}, "--port takes a number from 1 to 65535"},
      {{"host", "--port", "65536"}, "--port takes"},
      {{"connect", "a", "--key", "-1"}, "--key takes a number from 0 to 65535"},
      {{"connect", "a", "--key", "70000"}, "--key takes"},
      {{"connect"}, "connect takes one address"},
      {{"connect", "a", "b"}, "connect takes one address"},
      {{"host", "extra"}, "host takes no address"},
      {{"connect", "a", "--once"}, "--once belongs to the host command"},
      {{"--once"}, "--once belongs to the host command"},
      {{"talk"}, "unknown command talk"},
      {{"--frobnicate"}, "unknown option --frobnicate"},
      {{"--name="}, "--name needs a name"},
      {{"--settings", ""}, "--settings needs a file name"},
  };
  for (const auto& [arguments, why] : cases) {
    SCOPED_TRACE(testing::PrintToString(arguments));
    const ParsedArguments parsed = ParseArguments(arguments);
    EXPECT_EQ(parsed.verdict, Verdict::kBad);
    EXPECT_NE(parsed.error.find(why), std::string::npos) << parsed.error;
  }
}

TEST(TermArguments, KeepsNamesAndSettingsFilesWhole) {
  const ParsedArguments parsed =
      ParseArguments({"--name", "Ann Lee", "--settings=/tmp/my dir/q.ini", "host"});
  ASSERT_EQ(parsed.verdict, Verdict::kRun);
  EXPECT_EQ(parsed.options.name.value_or(""), "Ann Lee");
  EXPECT_EQ(parsed.options.settings_file.value_or(""), "/tmp/my dir/q.ini");
}

TEST(AddressText, SplitsHostAndPort) {
  struct Case {
    std::string text;
    bool ok;
    std::string host;
    int port;  // -1: none given
  };
  const Case cases[] = {
      {"example.org", true, "example.org", -1},
      {"10.0.0.1:59152", true, "10.0.0.1", 59152},
      {"[::1]:4000", true, "::1", 4000},
      {"[::1]", true, "::1", -1},
      {"::1", true, "::1", -1},
      {"[2001:db8::5]:59152", true, "2001:db8::5", 59152},
      {"2001:db8::5", true, "2001:db8::5", -1},
      {"[2001:db8::5]:", false, "", -1},
      {"host:", false, "", -1},
      {"host:0", false, "", -1},
      {"host:65536", false, "", -1},
      {"host:12ab", false, "", -1},
      {":4000", false, "", -1},
      {"[::1", false, "", -1},
      {"[::1]x", false, "", -1},
      {"", false, "", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    HostAndPort parsed;
    ASSERT_EQ(ParseHostAndPort(c.text, &parsed), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(parsed.host, c.host);
    EXPECT_EQ(parsed.port.value_or(-1), c.port);
  }
}

using Kind = PromptCommand::Kind;

TEST(PromptLine, TellsMessagesFromCommands) {
  struct Case {
    std::string line;
    Kind kind;
    std::string text;
    int port;
    int key;
  };
  const Case cases[] = {
      {"", Kind::kNothing, "", -1, -1},
      {"hello /host", Kind::kSay, "hello /host", -1, -1},
      {"//host 80", Kind::kSay, "/host 80", -1, -1},
      {"//", Kind::kSay, "/", -1, -1},
      {"/host", Kind::kHost, "", -1, -1},
      {"/host 4000", Kind::kHost, "", 4000, -1},
      {"/connect 10.0.0.1:4000 31337", Kind::kConnect, "10.0.0.1:4000", -1, 31337},
      {"/connect   annsline", Kind::kConnect, "annsline", -1, -1},
      {"/end", Kind::kEnd, "", -1, -1},
      {"/stats", Kind::kStats, "", -1, -1},
      {"/save  my talk.txt ", Kind::kSave, "my talk.txt", -1, -1},
      {"/name Ann Lee", Kind::kName, "Ann Lee", -1, -1},
      {"/key 7", Kind::kKey, "", -1, 7},
      {"/help", Kind::kHelp, "", -1, -1},
      {"/quit", Kind::kQuit, "", -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const PromptCommand command = ParsePromptLine(c.line);
    EXPECT_EQ(command.kind, c.kind) << command.text;
    EXPECT_EQ(command.text, c.text);
    EXPECT_EQ(command.port.value_or(-1), c.port);
    EXPECT_EQ(command.key.value_or(-1), c.key);
  }
}

TEST(PromptLine, RefusesMalformedCommandsWithAReason) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/", "unknown command /"},
      {"/hots", "unknown command /hots"},
      {"/host 0", "the port is a number"},
      {"/host 1 2", "usage: /host"},
      {"/connect", "usage: /connect"},
      {"/connect a 1 2", "usage: /connect"},
      {"/connect a 99999", "the key is a number"},
      {"/key", "usage: /key"},
      {"/key x", "the key is a number"},
      {"/save", "needs a file name"},
      {"/name   ", "needs a name"},
      {"/end now", "takes nothing after it"},
  };
  for (const auto& [line, why] : cases) {
    SCOPED_TRACE(line);
    const PromptCommand command = ParsePromptLine(line);
    EXPECT_EQ(command.kind, Kind::kBad);
    EXPECT_NE(command.text.find(why), std::string::npos) << command.text;
  }
}

TEST(LineReader, TakesWholeLinesAndLeavesTheRest) {
  std::string buffer = "one\r\ntwo\n\nthree";
  EXPECT_EQ(TakeLines(&buffer), (std::vector<std::string>{"one", "two", ""}));
  EXPECT_EQ(buffer, "three");
  EXPECT_TRUE(TakeLines(&buffer).empty());
}

}  // namespace
