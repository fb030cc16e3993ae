// The Page Setup panel: the stored values it shows, change counting and the
// settings keys Accept writes (the close question is the Config panel's).

#include "gui/print/page_setup_panel.h"

#include <wx/choice.h>
#include <wx/slider.h>
#include <wx/statusbr.h>

#include "gui/print/print_test_support.h"

namespace {

const char kIni[] = "# Quillo settings\r\nScreenName=Ann\r\n";

class PageSetupPanelTest : public PrintFrameTest {
 protected:
  void SetUp() override {
    PrintFrameTest::SetUp();
    settings_.SettingsFilePath = dir_.File("quillo.ini");
    WriteFile(settings_.SettingsFilePath, kIni);
  }
  // The panel on the stored values as they are at this point.
  PageSetupPanel* Panel() {
    if (!panel_) {
      print_ = std::make_unique<ToolkitPrintData>(settings_.PageLayout);
      panel_ = new PageSetupPanel(frame_, settings_, *print_);
    }
    return panel_;
  }
  void Click(int program_id) { ::Click(panel_, program_id); }
  // Stored values away from the defaults: 12 points, 15 mm, landscape.
  void StoreLayout(int family, int paper) {
    settings_.PageLayout.FontSize = 12;
    settings_.PageLayout.LeftMargin = 15;
    settings_.PageLayout.PageOrientation = PrintSettings::kLandscape;
    settings_.PageLayout.FamilyIndex = family;
    settings_.PageLayout.PaperIndex = paper;
    settings_.mswpDocumentName = "Notes";
  }
  // What the panel added to the settings file.
  std::string Written() const {
    const std::string now = ReadFile(settings_.SettingsFilePath);
    return now.rfind(kIni, 0) == 0 ? now.substr(sizeof kIni - 1) : "rewritten: " + now;
  }

  PageSetupPanel* panel_ = nullptr;
};

TEST_F(PageSetupPanelTest, ShowAndCancelLoadTheStoredValuesEveryTime) {
  StoreLayout(3, 2);
  PageSetupPanel* panel = Panel();
  panel->ShowPageSetupPanel();
  EXPECT_EQ(panel->FontSizeSlider()->GetValue(), 12);
  EXPECT_EQ(panel->MarginSlider()->GetValue(), 15);
  EXPECT_EQ(panel->OrientationList()->GetStringSelection(), "Landscape");
  EXPECT_EQ(panel->FontList()->GetStringSelection(), "Modern");
  EXPECT_EQ(panel->PaperList()->GetStringSelection(), "Tabloid");
  EXPECT_EQ(panel->DocumentNameField()->GetValue(), "Notes");
  // Cancel drops edits and leaves the panel open.
  panel->MarginSlider()->SetValue(20);
  panel->FontList()->SetSelection(4);
  Click(PageSetupPanel::kCancel);
  EXPECT_EQ(panel->CountChanges(), 0);
  EXPECT_TRUE(panel->IsShown());
  EXPECT_EQ(Written(), "");
}

TEST_F(PageSetupPanelTest, AcceptWritesOnlyWhatChangedAndSaysWhenNothingDid) {
  Panel()->ShowPageSetupPanel();
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
