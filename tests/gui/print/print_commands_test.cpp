// Save, Print and Preview as the menu commands run them, with the toolkit's
// own (GTK) printing, and the Page Setup panel; dialogs are answered through
// the modal-dialog hook.

#include "gui/print/print_commands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <wx/choice.h>
#include <wx/filefn.h>
#include <wx/frame.h>
#include <wx/print.h>
#include <wx/printdlg.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>

#include "core/settings/print_layout.h"
#include "core/settings/program_settings.h"
#include "gui/frame/gui_text.h"
#include "gui/print/conversation_printout.h"
#include "gui/print/page_setup_panel.h"
#include "gui/print/print_data.h"
#include "gui/support/gui_test_main.h"

namespace {

// A frame with a two-field status bar, a read-only transcript control,
// settings and print data on their defaults, a home directory and the
// working directory in the test's own directory.
class PrintFrameTest : public testing::Test {
 protected:
  void SetUp() override {
    frame_ = new wxFrame(nullptr, wxID_ANY, "Quillo");
    frame_->CreateStatusBar(2);
    text_ = new wxTextCtrl(frame_, wxID_ANY, "", wxDefaultPosition, wxDefaultSize,
                           wxTE_MULTILINE | wxTE_READONLY);
    print_ = std::make_unique<ToolkitPrintData>(settings_.PageLayout);
    ASSERT_EQ(mkdir(home_.c_str(), 0755), 0);
    settings_.HomeDirectory = home_;
    settings_.WorkingDirectory = dir_.Path();
    wxSetWorkingDirectory(GuiText(settings_.WorkingDirectory));
  }
  void TearDown() override {
    frame_->Destroy();
    PumpEvents();
    wxSetWorkingDirectory(QUILLO_BINARY_DIR);
  }
  std::string Status(int field = 0) const {
    return ProgramText(frame_->GetStatusBar()->GetStatusText(field));
  }

  TempDir dir_;
  const std::string home_ = dir_.File("home");
  ProgramSettings settings_;
  std::unique_ptr<ToolkitPrintData> print_;
  wxFrame* frame_ = nullptr;
  wxTextCtrl* text_ = nullptr;
};

// Answers a file dialog with a path. GTK's chooser takes the path in
// asynchronously, so the answer waits until the dialog reports it.
class ExpectFilePath : public wxExpectModalBase<wxFileDialog, ExpectFilePath> {
 public:
  explicit ExpectFilePath(const std::string& path) : path_(path) {}

 protected:
  int OnInvoked(wxFileDialog* dialog) const override {
    dialog->SetPath(GuiText(path_));
    EXPECT_TRUE(PumpUntil([&] { return ProgramText(dialog->GetPath()) == path_; },
                          std::chrono::seconds(5)));
    return wxID_OK;
  }

 private:
  std::string path_;
};

using PrintCommandsTest = PrintFrameTest;

TEST_F(PrintCommandsTest, FirstSaveAsksThenLaterSavesReplaceTheFileWithoutAsking) {
  const std::string path = dir_.File("talk.txt");
  text_->ChangeValue("Quillo banner\nAnn Says>\nhello\n\n");
  wxTEST_DIALOG(EXPECT_TRUE(SaveConversation(frame_, text_, settings_, false)),
                ExpectFilePath(path));
  EXPECT_EQ(settings_.SavedFileName, path);
  EXPECT_EQ(ReadBytes(path), "Quillo banner\nAnn Says>\nhello\n\n");
  EXPECT_EQ(Status(), "Saved " + path);
  EXPECT_EQ(ProgramText(wxGetCwd()), home_);
  // No dialog this time (an unexpected one fails the test).
  text_->ChangeValue(GuiText("caf\xc3\xa9 \xe2\x82\xac\n"));
  EXPECT_TRUE(SaveConversation(frame_, text_, settings_, false));
  EXPECT_EQ(ReadBytes(path), "caf\xc3\xa9 \xe2\x82\xac\n");  // the bytes, whatever the locale
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

// Measuring needs a surface (for print) and every resolution and page
// dimension above zero.
using ConversationPrintoutTest = PrintFrameTest;

TEST_F(ConversationPrintoutTest, MeasurementNeedsASurfaceAndEveryMetric) {
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

const char kIni[] = "# Quillo settings\r\nScreenName=Ann\r\n";

class PageSetupPanelTest : public PrintFrameTest {
 protected:
  void SetUp() override {
    PrintFrameTest::SetUp();
    settings_.SettingsFilePath = dir_.File("quillo.ini");
    WriteBytes(settings_.SettingsFilePath, kIni);
    panel_ = new PageSetupPanel(frame_, settings_, *print_);
  }
  void Click(int program_id) { ::Click(panel_, program_id); }
  std::string Written() const {
    const std::string now = ReadBytes(settings_.SettingsFilePath);
    return now.rfind(kIni, 0) == 0 ? now.substr(sizeof kIni - 1) : "rewritten: " + now;
  }

  PageSetupPanel* panel_ = nullptr;
};

TEST_F(PageSetupPanelTest, AcceptWritesOnlyWhatChangedAndSaysWhenNothingDid) {
  panel_->ShowPageSetupPanel();
  std::string message;
  wxTEST_DIALOG(Click(PageSetupPanel::kAccept), ExpectMessage(wxID_OK, &message));
  EXPECT_EQ(message, "There are no changes to commit\n  ");
  EXPECT_TRUE(panel_->IsShown());
  panel_->PaperList()->SetSelection(4);
  EXPECT_EQ(panel_->CountChanges(), 1);
  Click(PageSetupPanel::kAccept);
  EXPECT_FALSE(panel_->IsShown());
  EXPECT_EQ(Written(), "mswpPaperSize=A4\r\n");
  EXPECT_EQ(settings_.PageLayout.PaperIndex, 4);
  EXPECT_EQ(print_->Data().GetPaperId(), wxPAPER_A4);
  EXPECT_EQ(Status(1), "Quillo Session");
  panel_->ShowPageSetupPanel();
  panel_->OrientationList()->SetSelection(0);
  panel_->DocumentNameField()->SetValue(GuiText("Caf\xc3\xa9 talk"));
  Click(PageSetupPanel::kAccept);
  EXPECT_EQ(
      Written(),
      "mswpPaperSize=A4\r\nmswpOrientation=Landscape\r\nmswpDocumentName=Caf\xc3\xa9 talk\r\n");
  EXPECT_EQ(print_->Data().GetOrientation(), wxLANDSCAPE);
  EXPECT_EQ(Status(1), "Caf\xc3\xa9 talk");
}

}  // namespace
