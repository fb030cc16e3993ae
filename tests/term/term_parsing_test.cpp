// The command line, the prompt's commands and the addresses typed in them.
// Each parse is described in one line, so the tables read as input/result.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "term/address_text.h"
#include "term/arguments.h"
#include "term/command_line.h"
#include "term/line_reader.h"

namespace {

std::string Optional(const char* name, const std::optional<int>& value) {
  return value ? std::string(" ") + name + "=" + std::to_string(*value) : "";
}

// A refusal is matched on the start of its reason, anything else whole.
void ExpectDescribed(const std::string& described, const std::string& expected,
                     const std::string& input) {
  const bool refusal = expected.rfind("bad", 0) == 0;
  EXPECT_EQ(refusal ? described.substr(0, expected.size()) : described, expected) << input;
}

// "verdict start [target] [port=N] [key=N] [once] [name=..] [settings=..]",
// or "bad: why".
std::string Describe(const std::vector<std::string>& arguments) {
  const ParsedArguments parsed = ParseArguments(arguments);
  using Verdict = ParsedArguments::Verdict;
  if (parsed.verdict == Verdict::kBad) return "bad: " + parsed.error;
  if (parsed.verdict != Verdict::kRun) return parsed.verdict == Verdict::kHelp ? "help" : "version";
  const TermOptions& o = parsed.options;
  const char* starts[] = {"prompt", "host", "connect"};
  std::string text = starts[static_cast<int>(o.start)];
  if (!o.target.empty()) text += " " + o.target;
  text += Optional("port", o.port) + Optional("key", o.key) + (o.once ? " once" : "");
  if (o.name) text += " name=" + *o.name;
  if (o.settings_file) text += " settings=" + *o.settings_file;
  return text;
}

TEST(TermArguments, ParsesCommandsAndOptionsInAnyOrderAndNamesWhatIsWrong) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "prompt"},
      {{"host", "--port", "5000", "--once"}, "host port=5000 once"},
      {{"connect", "h.example:7000", "--key", "0"}, "connect h.example:7000 key=0"},
      {{"--key=65535", "connect", "annsline"}, "connect annsline key=65535"},
      {{"--name", "Ann Lee", "--settings=/tmp/my dir/q.ini", "host"},
       "host name=Ann Lee settings=/tmp/my dir/q.ini"},
      {{"connect", "x", "--help"}, "help"},
      {{"host", "--port"}, "bad: --port needs a value"},
      {{"host", "--port", "0"}, "bad: --port takes a number from 1 to 65535"},
      {{"host", "--port", "65536"}, "bad: --port takes a number from 1 to 65535"},
      {{"connect", "a", "--key", "-1"}, "bad: --key takes a number from 0 to 65535"},
      {{"connect", "a", "--key", "65536"}, "bad: --key takes a number from 0 to 65535"},
      {{"connect", "a", "b"}, "bad: connect takes one address"},
      {{"host", "extra"}, "bad: host takes no address"},
      {{"talk"}, "bad: unknown command talk"},
      {{"--frobnicate"}, "bad: unknown option --frobnicate"},
      {{"--name="}, "bad: --name needs a name"},
  };
  for (const auto& [arguments, expected] : cases) {
    ExpectDescribed(Describe(arguments), expected, testing::PrintToString(arguments));
  }
}

TEST(AddressText, SplitsHostAndPort) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"example.org", "example.org"},
      {"10.0.0.1:59152", "10.0.0.1 59152"},
      {"[::1]:4000", "::1 4000"},
      {"2001:db8::5", "2001:db8::5"},
      {"[2001:db8::5]:", "bad"},
      {"host:0", "bad"},
      {"host:65535", "host 65535"},
      {"host:65536", "bad"},
      {":4000", "bad"},
      {"[::1", "bad"},
      {"", "bad"},
  };
  for (const auto& [text, expected] : cases) {
    HostAndPort parsed;
    const bool ok = ParseHostAndPort(text, &parsed);
    const std::string port = parsed.port ? " " + std::to_string(*parsed.port) : "";
    EXPECT_EQ(ok ? parsed.host + port : "bad", expected) << text;
  }
}

TEST(PromptLine, TellsMessagesFromCommandsAndRefusesMalformedOnes) {
  using Kind = PromptCommand::Kind;
  const char* kinds[] = {"nothing", "say",  "host", "connect", "end",  "stats",
                         "save",    "name", "key",  "help",    "quit", "bad"};
  static_assert(static_cast<int>(Kind::kBad) == 11, "one name per kind");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "nothing"},
      {"hello /host", "say hello /host"},
      {"//host 80", "say /host 80"},
      {"/host", "host"},
      {"/host 4000", "host port=4000"},
      {"/connect 10.0.0.1:4000 31337", "connect 10.0.0.1:4000 key=31337"},
      {"/connect   annsline", "connect annsline"},
      {"/save  my talk.txt ", "save my talk.txt"},
      {"/name Ann Lee", "name Ann Lee"},
      {"/key 7", "key key=7"},
      {"/quit", "quit"},
      {"/hots", "bad unknown command /hots"},
      {"/host 0", "bad /host: the port is a number"},
      {"/host 1 2", "bad usage: /host"},
      {"/connect a 1 2", "bad usage: /connect"},
      {"/connect a 99999", "bad /connect: the key is a number"},
      {"/key x", "bad /key: the key is a number"},
      {"/save", "bad /save needs a file name"},
      {"/name   ", "bad /name needs a name"},
      {"/end now", "bad /end takes nothing after it"},
  };
  for (const auto& [line, expected] : cases) {
    const PromptCommand command = ParsePromptLine(line);
    std::string described = kinds[static_cast<int>(command.kind)];
    if (!command.text.empty()) described += " " + command.text;
    described += Optional("port", command.port) + Optional("key", command.key);
    ExpectDescribed(described, expected, line);
  }
}

TEST(LineReader, TakesWholeLinesAndLeavesTheRest) {
  std::string buffer = "one\r\ntwo\n\nthree";
  EXPECT_EQ(TakeLines(&buffer), (std::vector<std::string>{"one", "two", ""}));
  EXPECT_EQ(buffer, "three");
  EXPECT_TRUE(TakeLines(&buffer).empty());
}

}  // namespace
