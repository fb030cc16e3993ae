// Save, Save As, Print, Preview and Printer Setup as the menu commands run
// them, with the toolkit's own (GTK) printing; dialogs are answered through
// the modal-dialog hook.

#include "gui/print/print_commands.h"

#include <sys/stat.h>
#include <wx/filefn.h>
#include <wx/print.h>
#include <wx/printdlg.h>
#include <wx/statusbr.h>

#include "core/settings/print_layout.h"
#include "gui/print/print_test_support.h"

namespace {

// Answers the printer set-up dialog: notes the paper it was shown with and
// chooses another.
class ExpectPrinterSetup : public wxExpectModalBase<wxPageSetupDialogBase, ExpectPrinterSetup> {
 public:
  ExpectPrinterSetup(wxPaperSize choose, int id, wxPaperSize* shown)
      : choose_(choose), id_(id), shown_(shown) {}

 protected:
  int OnInvoked(wxPageSetupDialogBase* dialog) const override {
    wxPrintData& data = dialog->GetPageSetupDialogData().GetPrintData();
    *shown_ = data.GetPaperId();
    data.SetPaperId(choose_);
    return id_;
  }

 private:
  wxPaperSize choose_;
  int id_;
  wxPaperSize* shown_;
};

// Answers a file dialog with a path, or cancels it. GTK's chooser takes the
// path in asynchronously, so the answer waits until the dialog reports it.
class ExpectFilePath : public wxExpectModalBase<wxFileDialog, ExpectFilePath> {
 public:
  explicit ExpectFilePath(const std::string& path, int id = wxID_OK) : path_(path), id_(id) {}

 protected:
  int OnInvoked(wxFileDialog* dialog) const override {
    if (id_ != wxID_OK) return id_;
    dialog->SetPath(GuiText(path_));
    EXPECT_TRUE(PumpUntil([&] { return ProgramText(dialog->GetPath()) == path_; },
                          std::chrono::seconds(5)));
    return id_;
  }

 private:
  std::string path_;
  int id_;
};

std::string CurrentDirectory() { return ProgramText(wxGetCwd()); }

class PrintCommandsTest : public PrintFrameTest {
 protected:
  void SetUp() override {
    PrintFrameTest::SetUp();
    home_ = dir_.File("home");
    ASSERT_EQ(mkdir(home_.c_str(), 0755), 0);
    settings_.HomeDirectory = home_;
    settings_.WorkingDirectory = dir_.Path();
    wxSetWorkingDirectory(GuiText(settings_.WorkingDirectory));
  }
  void TearDown() override {
    PrintFrameTest::TearDown();
    wxSetWorkingDirectory(QUILLO_BINARY_DIR);
  }

  std::string home_;
};

TEST_F(PrintCommandsTest, FirstSaveAsksThenLaterSavesReplaceTheFileWithoutAsking) {
  const std::string path = dir_.File("talk.txt");
  text_->ChangeValue("Quillo banner\nAnn Says>\nhello\n\n");
  wxTEST_DIALOG(EXPECT_TRUE(SaveConversation(frame_, text_, settings_, false)),
                ExpectFilePath(path));
  EXPECT_EQ(settings_.SavedFileName, path);
  EXPECT_EQ(ReadFile(path), "Quillo banner\nAnn Says>\nhello\n\n");
  EXPECT_EQ(Status(), "Saved " + path);
  EXPECT_EQ(CurrentDirectory(), home_);
  // No dialog this time (an unexpected one fails the test).
  text_->ChangeValue(GuiText("caf\xc3\xa9 \xe2\x82\xac\n"));
  EXPECT_TRUE(SaveConversation(frame_, text_, settings_, false));
  EXPECT_EQ(ReadFile(path), "caf\xc3\xa9 \xe2\x82\xac\n");  // the bytes, whatever the locale
}

TEST_F(PrintCommandsTest, SaveAsAlwaysAsksAndReturnsToTheWorkingDirectory) {
  const std::string first = dir_.File("first.txt");
  const std::string second = dir_.File("second.txt");
  settings_.SaveFileName = settings_.SavedFileName = first;
  text_->ChangeValue("line\n");
  // Cancelled: names, directory and files stay as they were.
  wxTEST_DIALOG(EXPECT_FALSE(SaveConversation(frame_, text_, settings_, true)),
                ExpectFilePath("", wxID_CANCEL));
  EXPECT_EQ(settings_.SavedFileName, first);
  EXPECT_EQ(CurrentDirectory(), dir_.Path());
  EXPECT_EQ(ReadFile(first), "");
  wxTEST_DIALOG(EXPECT_TRUE(SaveConversation(frame_, text_, settings_, true)),
                ExpectFilePath(second));
  EXPECT_EQ(settings_.SavedFileName, second);
  EXPECT_EQ(ReadFile(second), "line\n");
  EXPECT_EQ(CurrentDirectory(), dir_.Path());
}

TEST_F(PrintCommandsTest, UnwritableFileIsReportedAndRetriedWithoutAsking) {
  // A directory of that name stands in the way (permissions would not stop
  // a test run as root).
  const std::string path = dir_.File("taken.txt");
  ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
  text_->ChangeValue("line\n");
  std::string message;
  wxTEST_DIALOG(EXPECT_FALSE(SaveConversation(frame_, text_, settings_, false)),
                ExpectFilePath(path), ExpectMessage(wxID_OK, &message));
  EXPECT_EQ(message, "Cannot write to the " + path + " file!");
  message.clear();
  wxTEST_DIALOG(EXPECT_FALSE(SaveConversation(frame_, text_, settings_, false)),
                ExpectMessage(wxID_OK, &message));
  EXPECT_EQ(message, "Cannot write to the " + path + " file!");
}

TEST_F(PrintCommandsTest, UnsupportedPaperOrACancelledDialogStopsPrinting) {
  print_->Data().SetPaperId(wxPAPER_A5);
  std::string message;
  wxTEST_DIALOG(EXPECT_FALSE(PrintConversation(frame_, text_, settings_, *print_)),
                ExpectMessage(wxID_OK, &message));
  EXPECT_EQ(message, "The selected paper size is not supported by this printer\n  ");
  wxTEST_DIALOG(EXPECT_EQ(PreviewConversation(frame_, text_, settings_, *print_), nullptr),
                wxExpectModal<wxMessageDialog>(wxID_OK));
  print_->Data().SetPaperId(wxPAPER_A3);
  print_->Data().SetNoCopies(1);
  wxTEST_DIALOG(EXPECT_FALSE(PrintConversation(frame_, text_, settings_, *print_)),
                wxExpectDismissableModal<wxPrintDialogBase>(wxID_CANCEL),
                ExpectMessage(wxID_OK, &message));
  EXPECT_EQ(message, "Print operation canceled");
  EXPECT_EQ(print_->Data().GetPaperId(), wxPAPER_A3);
}

TEST_F(PrintCommandsTest, PrinterSetupStartsFromThePageLayoutAndKeepsTheChoice) {
  settings_.PageLayout.PaperIndex = 4;  // A4
  print_->Data().SetPaperId(wxPAPER_LEGAL);
  wxPaperSize shown = wxPAPER_NONE;
  wxTEST_DIALOG(PrinterSetup(frame_, *print_), ExpectPrinterSetup(wxPAPER_A5, wxID_OK, &shown));
  EXPECT_EQ(shown, wxPAPER_A4);
  EXPECT_EQ(print_->Data().GetPaperId(), wxPAPER_A5);
  // Whichever button closed it.
  wxTEST_DIALOG(PrinterSetup(frame_, *print_), ExpectPrinterSetup(wxPAPER_A3, wxID_CANCEL, &shown));
  EXPECT_EQ(print_->Data().GetPaperId(), wxPAPER_A3);
}

TEST_F(PrintCommandsTest, PreviewOpensAModelessWindowAt150Percent) {
  std::string text;
  for (int i = 1; i <= 200; ++i) text += "line " + std::to_string(i) + "\n";
  text_->ChangeValue(text);
  wxPreviewFrame* window = PreviewConversation(frame_, text_, settings_, *print_);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->IsShown());
  EXPECT_TRUE(frame_->IsEnabled());  // modeless
  wxPrintPreviewBase* preview = window->GetControlBar()->GetPrintPreview();
  ASSERT_NE(preview, nullptr);
  EXPECT_EQ(preview->GetZoom(), 150);
  // The pages are laid out with the estimate once the first page is drawn.
  const int32_t per_page = settings_.PageLayout.LinesPerPage;
  EXPECT_GT(per_page, 30);
  ASSERT_TRUE(PumpUntil([&] { return preview->GetMaxPage() > 1; }));
  EXPECT_EQ(preview->GetMaxPage(), PageCount(200, per_page));
  window->Close(true);
  PumpEvents();
}

}  // namespace
