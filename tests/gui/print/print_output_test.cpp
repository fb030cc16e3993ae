// Prints conversations to PostScript files through the toolkit's own
// PostScript printer (no dialog) and reads the pages back with ghostscript
// and poppler, the way a reader of the paper would see them.

#include <wx/print.h>

#include <cstdio>
#include <regex>
#include <sstream>
#include <vector>

#include "gui/print/conversation_printout.h"
#include "gui/print/print_commands.h"
#include "gui/print/print_test_support.h"

namespace {

// Output of a shell command; the command's failure fails the test.
std::string RunTool(const std::string& command) {
  std::string output;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) {
    ADD_FAILURE() << "cannot run " << command;
    return output;
  }
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  const int status = pclose(pipe);
  EXPECT_EQ(status, 0) << command << "\n" << output;
  return output;
}

std::vector<std::string> NonEmptyLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const size_t start = line.find_first_not_of(" \f");
    if (start != std::string::npos) lines.push_back(line.substr(start));
  }
  return lines;
}

std::string NumberedLine(int i) {
  char line[64];
  std::snprintf(line, sizeof line, "Ann Says> line %03d of the talk", i);
  return line;
}

std::string Conversation(int lines) {
  std::string text;
  for (int i = 1; i <= lines; ++i) text += NumberedLine(i) + "\n";
  return text;
}

class PrintOutputTest : public PrintFrameTest {
 protected:
  static void SetUpTestSuite() {
    // The generic PostScript printer writes files without a dialog.
    wxPrintFactory::SetPrintFactory(new wxNativePrintFactory);
  }

  void SetUp() override {
    PrintFrameTest::SetUp();
    print_->Data().SetPrintMode(wxPRINT_MODE_FILE);
  }

  // Prints the conversation into name.ps and converts it to name.pdf on
  // the paper the PostScript names (ghostscript would use its own default).
  std::string PrintToPdf(const std::string& name) {
    const std::string ps = dir_.File(name + ".ps");
    const std::string pdf = dir_.File(name + ".pdf");
    print_->Data().SetFilename(ps);
    EXPECT_TRUE(PrintConversation(frame_, text_, settings_, *print_, false));
    std::smatch paper;
    const std::string postscript = ReadFile(ps);
    EXPECT_TRUE(std::regex_search(postscript, paper, std::regex("%%DocumentPaperSizes: (\\w+)")));
    std::string size = paper[1];
    for (char& c : size) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    RunTool("ps2pdf -sPAPERSIZE=" + size + " -dFIXEDMEDIA '" + ps + "' '" + pdf + "'");
    return pdf;
  }

  static int Pages(const std::string& pdf) {
    std::smatch match;
    const std::string info = RunTool("pdfinfo '" + pdf + "'");
    std::regex pages("Pages:\\s+(\\d+)");
    return std::regex_search(info, match, pages) ? std::stoi(match[1]) : -1;
  }

  static std::string PageText(const std::string& pdf, int page) {
    const std::string n = std::to_string(page);
    return RunTool("pdftotext -layout -f " + n + " -l " + n + " '" + pdf + "' -");
  }

  // The measured body lines per page for the current layout.
  int32_t MeasuredLinesPerPage() {
    text_->ChangeValue("one line\n");
    PrintToPdf("measure");
    return settings_.PageLayout.LinesPerPage;
  }
};

TEST_F(PrintOutputTest, PagesCarryHeaderBodyAndFooter) {
  const int per_page = MeasuredLinesPerPage();
  // Letter at 9 points leaves room for several dozen lines, not a handful
  // and not a hundred.
  EXPECT_GT(per_page, 40);
  EXPECT_LT(per_page, 90);

  text_->ChangeValue(Conversation(2 * per_page + 1));
  const std::string pdf = PrintToPdf("three");
  ASSERT_EQ(Pages(pdf), 3);
  EXPECT_NE(RunTool("pdfinfo '" + pdf + "'").find("612 x 792 pts"), std::string::npos);

  const std::string today = ProgramText(wxDateTime::Now().Format("%b %d, %Y"));
  int expected = 1;
  for (int page = 1; page <= 3; ++page) {
    const std::vector<std::string> lines = NonEmptyLines(PageText(pdf, page));
    ASSERT_GE(lines.size(), 3u) << "page " << page;
    // Header: document name on the left, the date on the right.
    EXPECT_EQ(lines.front().rfind("Quillo Session", 0), 0u) << lines.front();
    const std::regex date_text("([A-Z][a-z]{2} \\d{2}, \\d{4}) \\d{2}:\\d{2}:\\d{2}$");
    std::smatch date;
    ASSERT_TRUE(std::regex_search(lines.front(), date, date_text)) << lines.front();
    EXPECT_EQ(date[1], today);
    // Footer.
    EXPECT_EQ(lines.back(), "Page " + std::to_string(page) + " of 3");
    // Body lines in order, continuing from the previous page.
    for (size_t i = 1; i + 1 < lines.size(); ++i) EXPECT_EQ(lines[i], NumberedLine(expected++));
    const size_t body_lines = lines.size() - 2;
    EXPECT_EQ(body_lines, page < 3 ? static_cast<size_t>(per_page) : 1u) << "page " << page;
  }
  EXPECT_EQ(expected, 2 * per_page + 2);
  // Larger type fits fewer lines.
  settings_.PageLayout.FontSize = 18;
  const int32_t large = MeasuredLinesPerPage();
  EXPECT_LT(large, per_page * 2 / 3);
  EXPECT_GT(large, 10);
}

TEST_F(PrintOutputTest, EmptyConversationPrintsOnePageWithHeaderAndFooter) {
  text_->ChangeValue("");
  const std::string pdf = PrintToPdf("empty");
  ASSERT_EQ(Pages(pdf), 1);
  const std::vector<std::string> lines = NonEmptyLines(PageText(pdf, 1));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("Quillo Session", 0), 0u);
  EXPECT_EQ(lines[1], "Page 1 of 1");
}

TEST_F(PrintOutputTest, LongLinesWrapInsideTheMarginsAndLoseNothing) {
  std::string words;
  for (int i = 1; i <= 120; ++i) words += "word" + std::to_string(i) + " ";
  words.pop_back();
  const std::string unbroken(400, 'x');
  text_->ChangeValue("before\n" + words + "\n" + unbroken + "\nafter\n");
  const std::string pdf = PrintToPdf("wrapped");
  ASSERT_EQ(Pages(pdf), 1);
  std::vector<std::string> lines = NonEmptyLines(PageText(pdf, 1));
  ASSERT_GE(lines.size(), 6u);
  lines.erase(lines.begin());  // header
  lines.pop_back();            // footer
  EXPECT_EQ(lines.front(), "before");
  EXPECT_EQ(lines.back(), "after");

  // The words come back whole and in order, over several lines.
  std::string joined;
  size_t i = 1;
  for (; i < lines.size() && lines[i][0] == 'w'; ++i) joined += lines[i] + " ";
  EXPECT_GE(i, 3u) << "the long line was not wrapped";
  joined.pop_back();
  EXPECT_EQ(joined, words);
  // The unbroken run is cut between characters, none lost.
  std::string run;
  size_t pieces = 0;
  for (; i + 1 < lines.size(); ++i, ++pieces) run += lines[i];
  EXPECT_GE(pieces, 2u);
  EXPECT_EQ(run, unbroken);

  // The wrapped lines use the width and stay on the paper (612 pt wide).
  const std::string boxes = RunTool("pdftotext -bbox '" + pdf + "' -");
  std::regex word("xMax=\"([0-9.]+)\"");
  double widest = 0;
  for (std::sregex_iterator it(boxes.begin(), boxes.end(), word), end; it != end; ++it) {
    widest = std::max(widest, std::stod((*it)[1]));
  }
  EXPECT_GT(widest, 612.0 * 0.85);
  EXPECT_LT(widest, 612.0);
}

TEST_F(PrintOutputTest, PageSetupChoicesReachThePaper) {
  settings_.PageLayout.PaperIndex = 4;  // A4
  print_->ApplyPageLayout();
  settings_.mswpDocumentName = "Talk on Tuesday";
  text_->ChangeValue("hello\n");
  const std::string pdf = PrintToPdf("a4");
  EXPECT_NE(RunTool("pdfinfo '" + pdf + "'").find("595 x 842 pts (A4)"), std::string::npos);
  const std::vector<std::string> lines = NonEmptyLines(PageText(pdf, 1));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind("Talk on Tuesday", 0), 0u);
  EXPECT_EQ(lines[1], "hello");

  settings_.PageLayout.PageOrientation = PrintSettings::kLandscape;
  print_->ApplyPageLayout();
  PrintToPdf("landscape");
  EXPECT_NE(ReadFile(dir_.File("landscape.ps")).find("%%Orientation: Landscape"),
            std::string::npos);
}

TEST_F(PrintOutputTest, MeasurementNeedsASurfaceAndAResolution) {
  text_->ChangeValue("text\n");
  ConversationPrintout printout("Quillo", *text_, settings_.PageLayout, "Doc");
  // No surface attached.
  printout.SetPPIScreen(96, 96);
  printout.SetPPIPrinter(720, 720);
  printout.SetPageSizeMM(215, 279);
  EXPECT_FALSE(printout.MeasureForPrint());
  EXPECT_TRUE(printout.MeasureForPreview());
  // A printer that reports no resolution.
  printout.SetPPIPrinter(0, 0);
  EXPECT_FALSE(printout.MeasureForPreview());
}

}  // namespace
