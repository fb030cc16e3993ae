// The event window, the statistics panel and the program's text conversion.
#include <wx/button.h>
#include <wx/textctrl.h>

#include "books/event_window.h"
#include "books/statistics_panel.h"
#include "gui_test_main.h"
#include "ui/gui_text.h"
#include "ui/window_ids.h"

namespace {

std::string Messages(EventWindow& window) { return ProgramText(window.MessageBox()->GetValue()); }

void ClickCancel(EventWindow& window) {
  wxCommandEvent click(wxEVT_BUTTON, ToolkitId(EventWindow::kCancelId));
  click.SetEventObject(window.CancelButton());
  window.CancelButton()->ProcessWindowEvent(click);
}

class EventWindowTest : public testing::Test {
 protected:
  void TearDown() override { window->Destroy(); }
  EventWindow* window = new EventWindow(nullptr);
};

TEST_F(EventWindowTest, StartsHiddenWithItsTitleAndGaugeRange) {
  EXPECT_FALSE(window->IsShown());
  EXPECT_EQ("Quillo Event Window", ProgramText(window->GetTitle()));
  EXPECT_EQ(1000, window->Range());
  EXPECT_EQ(ToolkitId(161110), window->GetId());
  EXPECT_FALSE(window->HasFlag(wxMINIMIZE_BOX));
  EXPECT_FALSE(window->HasFlag(wxMAXIMIZE_BOX));
}

TEST_F(EventWindowTest, AppendLineAddsALineEndAndResetClearsEverything) {
  window->AppendLine("Connecting to host 127.0.0.1");
  window->AppendText("Socket exception: Connect error\n");
  EXPECT_EQ("Connecting to host 127.0.0.1\nSocket exception: Connect error\n", Messages(*window));
  window->SetRange(30000);
  window->SetValue(1234);
  window->SetRunning(true);
  window->Reset();
  EXPECT_EQ("", Messages(*window));
  EXPECT_EQ(0, window->Value());
  EXPECT_FALSE(window->Running());
  EXPECT_EQ(0, window->CancelCount());
}

TEST_F(EventWindowTest, CancelWhileRunningCountsEachPressAndKeepsTheWindow) {
  window->Show();
  window->AppendLine("Connecting to mail server mail.example.org");
  window->SetRunning(true);
  ClickCancel(*window);
  ClickCancel(*window);
  EXPECT_EQ(2, window->CancelCount());
  EXPECT_TRUE(window->IsShown());
  EXPECT_EQ("Connecting to mail server mail.example.org\n", Messages(*window));
}

TEST_F(EventWindowTest, CancelWhileIdleClearsTheLinesAndHides) {
  window->Show();
  window->AppendLine("Could not connect");
  ClickCancel(*window);
  EXPECT_FALSE(window->IsShown());
  EXPECT_EQ("", Messages(*window));
  EXPECT_EQ(0, window->CancelCount());
}

TEST_F(EventWindowTest, CloseBoxActsAsCancel) {
  window->Show();
  window->SetRunning(true);
  window->Close();  // a close request the window may refuse
  EXPECT_TRUE(window->IsShown());
  EXPECT_EQ(1, window->CancelCount());
  window->SetRunning(false);
  window->Close();
  EXPECT_FALSE(window->IsShown());
}

TEST(StatsPanelTest, ShowsOnlyTheLatestTextAndHidesOnClose) {
  auto* panel = new StatsPanel(nullptr);
  EXPECT_EQ("Quillo Online Stats", ProgramText(panel->GetTitle()));
  EXPECT_FALSE(panel->IsShown());
  panel->ShowText("You are not hosting any Quillo sessions\n");
  panel->ShowText("You are configured as Quillo server\n");
  EXPECT_TRUE(panel->IsShown());
  EXPECT_EQ("You are configured as Quillo server\n", ProgramText(panel->Text()->GetValue()));
  EXPECT_FALSE(panel->Text()->IsEditable());
  panel->Close();
  EXPECT_FALSE(panel->IsShown());
  panel->ShowText("again\n");
  wxCommandEvent click(wxEVT_BUTTON, ToolkitId(StatsPanel::kCloseId));
  wxWindow* button = panel->FindWindow(ToolkitId(StatsPanel::kCloseId));
  ASSERT_NE(nullptr, button);
  click.SetEventObject(button);
  button->ProcessWindowEvent(click);
  EXPECT_FALSE(panel->IsShown());
  panel->Destroy();
}

TEST(GuiTextTest, ValidUtf8StaysAndOtherBytesShowAsLatin1) {
  EXPECT_EQ(wxString(L"Gr\u00fc\u00dfe \u20ac"), GuiText("Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac"));
  // A lone high byte, a cut sequence and an overlong form each keep every byte.
  EXPECT_EQ(wxString(L"caf\u00e9!"), GuiText("caf\xe9!"));
  EXPECT_EQ(wxString(L"x\u00e2\u0082"), GuiText("x\xe2\x82"));
  EXPECT_EQ(wxString(L"\u00c0\u00af"), GuiText("\xc0\xaf"));
  EXPECT_EQ(std::string("a\0b", 3), ProgramText(GuiText(std::string("a\0b", 3))));
  EXPECT_EQ("\xc3\xbc", ProgramText(GuiText("\xc3\xbc")));
}

}  // namespace
