// The terminal program's parts without a terminal: the command line, the
// prompt's commands (each parse described in one line, so the tables read
// as input/result), how conversation text looks in the terminal, and where
// /connect calls with the address typed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/books/address_book.h"
#include "core/books/book_sequences.h"
#include "core/settings/program_settings.h"
#include "core/settings/settings_parts.h"
#include "support/test_support.h"
#include "term/arguments.h"
#include "term/command_line.h"
#include "term/connection_target.h"
#include "term/term_reporter.h"

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

// Each message on its sender's line, the indent counted in characters;
// what is no message shown as it stands; the partner's control characters
// disarmed.
TEST(TermText, PutsEachMessageOnItsSendersLineAndDisarmsControlCharacters) {
  const std::pair<std::string, std::string> cases[] = {
      {FormatConversation("Ann Says>\nhello\n\n"), "Ann Says> hello\n"},
      {FormatConversation("Ann Says>\nfirst\nsecond\n\n"), "Ann Says> first\n          second\n"},
      {FormatConversation("Zoë Says>\na\nb\n\n"), "Zoë Says> a\n          b\n"},
      {FormatConversation("Ann Says>\n\n\n"), "Ann Says>\n"},
      {FormatConversation("\nWelcome to the Ann\n"), "\nWelcome to the Ann\n"},
      {FormatConversation("Bob has signed off\n"), "Bob has signed off\n"},
      {FormatConversation("Eve\x1b[2J Says>\nx\x1b[H\n\n"), "Eve^[[2J Says> x^[[H\n"},
      {SanitizeForTerminal("plain\ttab\n"), "plain\ttab\n"},
      {SanitizeForTerminal("\x1b]0;owned\x07"), "^[]0;owned^G"},
      {SanitizeForTerminal("a\r\nb\rc"), "a\nb^Mc"},
      {SanitizeForTerminal("c1 \xc2\x9b"
                           "31m"),
       "c1 ?31m"},
      {SanitizeForTerminal("caf\xc3\xa9"), "caf\xc3\xa9"},
  };
  for (const auto& [shown, expected] : cases) EXPECT_EQ(shown, expected);
}

class CollectingOutput : public TermOutput {
 public:
  void Write(Stream stream, const std::string& text) override {
    (stream == Stream::kConversation ? conversation : notices) += text;
  }
  std::string conversation;
  std::string notices;
};

TEST(TermReporter, ShowsFormattedTextAndKeepsTheDesktopTranscript) {
  CollectingOutput output;
  TermReporter reporter(output);
  reporter.ConversationLine("Ann Says>\nhi\nthere\n\n");
  reporter.EventLine("Could not connect to the Quillo line \n");
  reporter.ProgramMessage("You are not connected to any Quillo services\n", " ", " ");
  reporter.StatusText("Hosting Quillo Session");
  EXPECT_EQ(output.conversation, "Ann Says> hi\n          there\n");
  EXPECT_EQ(output.notices,
            "Could not connect to the Quillo line \n"
            "You are not connected to any Quillo services\n");
  EXPECT_EQ(reporter.Transcript(), "Ann Says>\nhi\nthere\n\n");
}

// "nickname address:port key", or "none".
std::string Found(IndexedDatabase* book, const std::string& typed, std::optional<int> key) {
  const auto target = ResolveConnectionTarget(book, typed, key, 59152, 52917);
  return target ? target->nickname + " " + target->address + ":" + std::to_string(target->port) +
                      " " + std::to_string(target->key)
                : "none";
}

// An address is recorded under what was typed and found again with its
// port and key, whatever the case; defaults fill what was not typed; a
// nickname the desktop program stored gives its line, a typed key wins;
// an address without a host or with a port out of range calls nowhere.
TEST(ConnectionTargetTest, AnAddressIsRecordedUnderWhatWasTypedAndFoundAgain) {
  qtest::ScratchDir dir;
  ProgramSettings settings;
  settings.PreviousConnectionsDB = dir.File("prevconn");
  settings.InvitationDB = dir.File("maillist");
  OpenAddressBooks(settings, nullptr);
  IndexedDatabase* book = settings.PreviousConnectionsBook;
  ASSERT_NE(book, nullptr);
  // The longest text an IPv6 address can take: 45 characters.
  const std::string longest = "ffff:ffff:ffff:ffff:ffff:ffff:255.255.255.255";
  for (const std::string& typed :
       {std::string("10.1.2.3:4000"), std::string("2001:db8::5"), "[" + longest + "]:65535"}) {
    const auto target = ResolveConnectionTarget(book, typed, 77, 59152, 52917);
    ASSERT_TRUE(target && RecordConnectionTarget(book, *target)) << typed;
  }
  EXPECT_EQ(Found(book, "10.1.2.3:4000", std::nullopt), "10.1.2.3:4000 10.1.2.3:4000 77");
  EXPECT_EQ(Found(book, "2001:db8::5", std::nullopt), "2001:db8::5 2001:db8::5:59152 77");
  EXPECT_EQ(Found(book, "[" + longest + "]:65535", std::nullopt),
            "[" + longest + "]:65535 " + longest + ":65535 77");
  EXPECT_EQ(Found(book, "host.example", std::nullopt), "host.example host.example:59152 52917");
  for (const char* refused : {"host:port", "host:0", "host:65536", ":4000", "[::1", "[::1]:", ""})
    EXPECT_EQ(Found(nullptr, refused, 1), "none") << refused;
  ASSERT_NE(BookStoreConnection(book, {"AnnsLine", "ann.example", 6000, 31337}),
            StoreResult::kFailed);
  EXPECT_EQ(Found(book, "annsline", 5), "AnnsLine ann.example:6000 5");
  EXPECT_EQ(Found(nullptr, "host.example", 1), "host.example host.example:59152 1");
}

}  // namespace
