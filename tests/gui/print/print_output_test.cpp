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

using Page = std::vector<std::string>;  // its lines that hold text

// Output of a shell command; the command's failure fails the test.
std::string RunTool(const std::string& command) {
  std::string output;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  char buffer[4096];
  for (size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  EXPECT_EQ(pipe ? pclose(pipe) : -1, 0) << command << "\n" << output;
  return output;
}

std::string NumberedLine(int i) {
  char line[64];
  std::snprintf(line, sizeof line, "Ann Says> line %03d of the talk", i);
  return line;
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

  // Prints text into name.ps, converts it to name.pdf on the paper the
  // PostScript names (ghostscript would use its own default) and reads
  // the pages back.
  std::vector<Page> Print(const std::string& text, const std::string& name) {
    text_->ChangeValue(text);
    const std::string ps = dir_.File(name + ".ps"), pdf = dir_.File(name + ".pdf");
    print_->Data().SetFilename(ps);
    EXPECT_TRUE(PrintConversation(frame_, text_, settings_, *print_, false));
    std::smatch paper;
    const std::string postscript = ReadFile(ps);
    EXPECT_TRUE(std::regex_search(postscript, paper, std::regex("%%DocumentPaperSizes: (\\w+)")));
    std::string size = paper[1];
    for (char& c : size) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    RunTool("ps2pdf -sPAPERSIZE=" + size + " -dFIXEDMEDIA '" + ps + "' '" + pdf + "'");
    info_ = RunTool("pdfinfo '" + pdf + "'");
    std::vector<Page> pages(1);
    std::istringstream in(RunTool("pdftotext -layout '" + pdf + "' -"));
    for (std::string line; std::getline(in, line);) {
      for (; !line.empty() && line[0] == '\f'; line.erase(0, 1)) pages.emplace_back();
      const size_t start = line.find_first_not_of(' ');
      if (start != std::string::npos) pages.back().push_back(line.substr(start));
    }
    if (pages.back().empty()) pages.pop_back();  // after the last page's feed
    return pages;
  }
  int32_t MeasuredLinesPerPage() {
    Print("one line\n", "measure");
    return settings_.PageLayout.LinesPerPage;
  }

  std::string info_;  // pdfinfo of the last print
};

TEST_F(PrintOutputTest, PagesCarryHeaderBodyAndFooter) {
  const int per_page = MeasuredLinesPerPage();
  // Letter at 9 points leaves room for several dozen lines.
  EXPECT_GT(per_page, 40);
  EXPECT_LT(per_page, 90);
  std::string text;
  for (int i = 1; i <= 2 * per_page + 1; ++i) text += NumberedLine(i) + "\n";
  const std::vector<Page> pages = Print(text, "three");
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_NE(info_.find("612 x 792 pts"), std::string::npos);
  const std::string today = ProgramText(wxDateTime::Now().Format("%b %d, %Y"));
  const std::regex date_text(
      "Quillo Session +([A-Z][a-z]{2} \\d{2}, \\d{4}) \\d{2}:\\d{2}:\\d{2}$");
  int expected = 1;
  for (int page = 1; page <= 3; ++page) {
    const Page& lines = pages[page - 1];
    ASSERT_EQ(lines.size(), page < 3 ? per_page + 2u : 3u) << "page " << page;
    // Header: document name and date; footer; the body in order.
    std::smatch date;
    ASSERT_TRUE(std::regex_search(lines.front(), date, date_text)) << lines.front();
    EXPECT_EQ(date[1], today);
    EXPECT_EQ(lines.back(), "Page " + std::to_string(page) + " of 3");
    for (size_t i = 1; i + 1 < lines.size(); ++i) EXPECT_EQ(lines[i], NumberedLine(expected++));
  }
  // Larger type fits fewer lines.
  settings_.PageLayout.FontSize = 18;
  const int32_t large = MeasuredLinesPerPage();
  EXPECT_LT(large, per_page * 2 / 3);
  EXPECT_GT(large, 10);
}

TEST_F(PrintOutputTest, LongLinesWrapInsideTheMarginsAndLoseNothing) {
  std::string words;
  for (int i = 1; i <= 120; ++i) words += "word" + std::to_string(i) + " ";
  words.pop_back();
  const std::string unbroken(400, 'x');
  const std::vector<Page> pages = Print("before\n" + words + "\n" + unbroken + "\nafter\n", "wrap");
  ASSERT_EQ(pages.size(), 1u);
  Page lines(pages[0].begin() + 1, pages[0].end() - 1);  // without header and footer
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines.front(), "before");
  EXPECT_EQ(lines.back(), "after");
  // The words come back whole and in order over several lines; the
  // unbroken run is cut between characters, none lost.
  std::string joined, run;
  size_t i = 1;
  for (; i < lines.size() && lines[i][0] == 'w'; ++i) joined += lines[i] + " ";
  EXPECT_GE(i, 3u) << "the long line was not wrapped";
  EXPECT_EQ(joined, words + " ");
  const size_t first_piece = i;
  for (; i + 1 < lines.size(); ++i) run += lines[i];
  EXPECT_GE(i - first_piece, 2u);
  EXPECT_EQ(run, unbroken);
  // The wrapped lines use the width and stay on the paper (612 pt wide).
  const std::string boxes = RunTool("pdftotext -bbox '" + dir_.File("wrap.pdf") + "' -");
  double widest = 0;
  const std::regex right_edge("xMax=\"([0-9.]+)\"");
  for (std::sregex_iterator it(boxes.begin(), boxes.end(), right_edge), end; it != end; ++it) {
    widest = std::max(widest, std::stod((*it)[1]));
  }
  EXPECT_GT(widest, 612.0 * 0.85);
  EXPECT_LT(widest, 612.0);
}

// An empty conversation is one page of header and footer; the paper, the
// document name and the orientation chosen in Page Setup reach the paper.
TEST_F(PrintOutputTest, AnEmptyConversationAndThePageSetupChoices) {
  const std::vector<Page> empty = Print("", "empty");
  ASSERT_EQ(empty.size(), 1u);
  EXPECT_EQ(empty[0].size(), 2u);
  settings_.PageLayout.PaperIndex = 4;  // A4
  print_->ApplyPageLayout();
  settings_.mswpDocumentName = "Talk on Tuesday";
  const std::vector<Page> pages = Print("hello\n", "a4");
  EXPECT_NE(info_.find("(A4)"), std::string::npos) << info_;
  ASSERT_EQ(pages.size(), 1u);
  ASSERT_EQ(pages[0].size(), 3u);
  EXPECT_EQ(pages[0][0].rfind("Talk on Tuesday", 0), 0u);
  EXPECT_EQ(pages[0][1], "hello");
  settings_.PageLayout.PageOrientation = PrintSettings::kLandscape;
  print_->ApplyPageLayout();
  Print("hello\n", "landscape");
  EXPECT_NE(ReadFile(dir_.File("landscape.ps")).find("%%Orientation: Landscape"),
            std::string::npos);
}

// Measuring needs a surface (for print) and every resolution and page
// dimension above zero.
TEST_F(PrintOutputTest, MeasurementNeedsASurfaceAndEveryMetric) {
  text_->ChangeValue("text\n");
  for (int zero = -1; zero < 6; ++zero) {
    int m[6] = {96, 96, 720, 720, 215, 279};
    if (zero >= 0) m[zero] = 0;
    ConversationPrintout printout("Quillo", *text_, settings_.PageLayout, "Doc");
    printout.SetPPIScreen(m[0], m[1]);
    printout.SetPPIPrinter(m[2], m[3]);
    printout.SetPageSizeMM(m[4], m[5]);
    EXPECT_FALSE(printout.MeasureForPrint()) << zero;
    EXPECT_EQ(zero < 0, printout.MeasureForPreview()) << zero;
  }
}

}  // namespace
