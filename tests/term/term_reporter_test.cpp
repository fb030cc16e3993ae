// How conversation text looks in the terminal, and what /save keeps.
#include "term/term_reporter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(TermText, PutsEachMessageOnItsSendersLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Ann Says>\nhello\n\n", "Ann Says> hello\n"},
      {"Ann Says>\nfirst\nsecond\n\n", "Ann Says> first\n          second\n"},
      // The indent counts characters, not bytes.
      {"Zoë Says>\na\nb\n\n", "Zoë Says> a\n          b\n"},
      {"Ann Says>\n\n\n", "Ann Says>\n"},
      // Not messages: shown as they stand.
      {"\nWelcome to the Ann chat session\n", "\nWelcome to the Ann chat session\n"},
      {"Bob has signed off\n", "Bob has signed off\n"},
  };
  for (const auto& [text, shown] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(FormatConversation(text), shown);
  }
}

TEST(TermText, DisarmsControlCharactersFromThePartner) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"plain\ttab\n", "plain\ttab\n"},
      {"\x1b]0;owned\x07", "^[]0;owned^G"},
      {"a\r\nb\rc", "a\nb^Mc"},
      {"c1 \xc2\x9b"
       "31m",
       "c1 ?31m"},
      {"caf\xc3\xa9", "caf\xc3\xa9"},
  };
  for (const auto& [text, clean] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(SanitizeForTerminal(text), clean);
  }
  EXPECT_EQ(FormatConversation("Eve\x1b[2J Says>\nx\x1b[H\n\n"), "Eve^[[2J Says> x^[[H\n");
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

}  // namespace
