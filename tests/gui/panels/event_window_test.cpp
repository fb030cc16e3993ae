// The event window, the statistics panel and the program's text conversion.
#include "gui/panels/event_window.h"

#include <wx/button.h>
#include <wx/textctrl.h>

#include "gui/frame/gui_text.h"
#include "gui/panels/statistics_panel.h"
#include "gui/support/gui_test_main.h"

namespace {

std::string Messages(EventWindow& window) { return ProgramText(window.MessageBox()->GetValue()); }

class EventWindowTest : public testing::Test {
 protected:
  void TearDown() override { window->Destroy(); }
  void Cancel() { Click(window, EventWindow::kCancelId); }
  EventWindow* window = new EventWindow(nullptr);
};

TEST_F(EventWindowTest, AppendLineAddsALineEndAndResetClearsEverything) {
  EXPECT_EQ(1000, window->Range());
  window->AppendLine("Connecting to host 127.0.0.1");
  window->AppendText("Socket exception: Connect error\n");
  EXPECT_EQ("Connecting to host 127.0.0.1\nSocket exception: Connect error\n", Messages(*window));
  window->SetRange(30000);
  window->SetValue(1234);
  window->SetRunning(true);
  Cancel();
  window->Reset();
  EXPECT_EQ("", Messages(*window));
  EXPECT_EQ(0, window->Value());
  EXPECT_FALSE(window->Running());
  EXPECT_EQ(0, window->CancelCount());
}

// While running, Cancel and the close box count a request and keep the
// window and its lines; while idle they clear the lines and hide it.
TEST_F(EventWindowTest, CancelAndTheCloseBoxCountWhileRunningAndHideWhenIdle) {
  window->Show();
  window->AppendLine("Connecting to mail server mail.example.org");
  window->SetRunning(true);
  Cancel();
  Cancel();
  window->Close();  // a close request the window may refuse
  EXPECT_EQ(3, window->CancelCount());
  EXPECT_TRUE(window->IsShown());
  EXPECT_EQ("Connecting to mail server mail.example.org\n", Messages(*window));
  window->SetRunning(false);
  window->Close();
  EXPECT_FALSE(window->IsShown());
  window->Show();
  window->AppendLine("Could not connect");
  Cancel();
  EXPECT_FALSE(window->IsShown());
  EXPECT_EQ("", Messages(*window));
  EXPECT_EQ(0, window->CancelCount());
}

TEST(StatsPanelTest, ShowsOnlyTheLatestTextAndHidesOnClose) {
  auto* panel = new StatsPanel(nullptr);
  panel->ShowText("You are not hosting any Quillo sessions\n");
  panel->ShowText("You are configured as Quillo server\n");
  EXPECT_TRUE(panel->IsShown());
  EXPECT_EQ("You are configured as Quillo server\n", ProgramText(panel->Text()->GetValue()));
  EXPECT_FALSE(panel->Text()->IsEditable());
  panel->Close();
  EXPECT_FALSE(panel->IsShown());
  panel->ShowText("again\n");
  Click(panel, StatsPanel::kCloseId);
  EXPECT_FALSE(panel->IsShown());
  panel->Destroy();
}

TEST(GuiTextTest, ValidUtf8StaysAndOtherBytesShowAsLatin1) {
  EXPECT_EQ(wxString(L"Gr\u00fc\u00dfe \u20ac"), GuiText("Gr\xc3\xbc\xc3\x9f"
                                                         "e \xe2\x82\xac"));
  // A lone high byte, a cut sequence and an overlong form each keep every byte.
  EXPECT_EQ(wxString(L"caf\u00e9!"), GuiText("caf\xe9!"));
  EXPECT_EQ(wxString(L"x\u00e2\u0082"), GuiText("x\xe2\x82"));
  EXPECT_EQ(wxString(L"\u00c0\u00af"), GuiText("\xc0\xaf"));
  EXPECT_EQ(std::string("a\0b", 3), ProgramText(GuiText(std::string("a\0b", 3))));
  EXPECT_EQ("\xc3\xbc", ProgramText(GuiText("\xc3\xbc")));
}

}  // namespace
