// The main frame: the toolbar commands and the settings they write, the
// status bar, Clear and the close sequence
// while idle (the panels it builds are checked in tests/gui/panels).
#include <wx/statusbr.h>
#include <wx/toolbar.h>

#include "gui/frame/gui_reporter.h"
#include "gui/frame/gui_text.h"
#include "gui/frame/splitter_window.h"
#include "gui/support/frame_fixture.h"

namespace {

using MainFrameTest = FrameTest;

bool Vertical(MainFrame* frame) { return frame->GetToolBar()->HasFlag(wxTB_VERTICAL); }

// The toolbar starts on the side it was left on; Move turns it, View
// removes and restores it (horizontal again), each writing its key.
TEST_F(MainFrameTest, MoveAndViewToolbarTurnAndRemoveItAndWriteTheirKeys) {
  settings->ToolBarOrientation = 0;
  MakeFrame();
  EXPECT_TRUE(Vertical(frame));
  Command(MainFrame::kMoveToolBar);
  EXPECT_FALSE(Vertical(frame));
  EXPECT_EQ("ToolBarOrientation=Horizontal\r\n", SettingsText());
  Command(MainFrame::kMoveToolBar);
  EXPECT_TRUE(Vertical(frame));
  Command(MainFrame::kViewToolBar);
  EXPECT_EQ(nullptr, frame->GetToolBar());
  EXPECT_FALSE(frame->GetMenuBar()->IsChecked(ToolkitId(MainFrame::kMoveToolBar)));
  Command(MainFrame::kViewToolBar);
  ASSERT_NE(nullptr, frame->GetToolBar());
  EXPECT_FALSE(Vertical(frame));
  EXPECT_EQ(10u, frame->GetToolBar()->GetToolsCount());
  EXPECT_EQ("ToolBarOrientation=Vertical\r\nViewToolBar=TRUE\r\n", SettingsText());
}

TEST_F(MainFrameTest, StatusBarAndClear) {
  MakeFrame();
  wxStatusBar* status = frame->GetStatusBar();
  auto field = [status](int n) { return ProgramText(status->GetStatusText(n)); };
  EXPECT_EQ("", field(MainFrame::kPrivacyField));
  frame->GetReporter().PrivacyStatus("Private session");
  frame->GetGuiReporter().Flush();
  EXPECT_EQ("Private session", field(MainFrame::kPrivacyField));
  EXPECT_EQ(std::string(wxDateTime::Now().FormatTime().utf8_str()).size(), field(1).size());

  frame->GetReporter().ConversationLine("Ann Says>\nhello\n\n");
  PumpEvents(std::chrono::milliseconds(20));
  EXPECT_NE(std::string::npos, Transcript().find("hello"));
  // Seen from elsewhere, the line asks the desktop for attention.
  EXPECT_EQ(!frame->IsActive(), frame->WantsAttention());
  Command(MainFrame::kClear);
  EXPECT_EQ("", Transcript());
}

TEST_F(MainFrameTest, ClosingIdleWithBothFlagsWritesTheFiveKeysInOrder) {
  settings->RememberFrameSize = 1;
  settings->RememberProgramSettings = 1;
  MakeFrame();
  frame->Splitter()->SetSashPosition(170);
  const wxSize size = frame->GetSize();
  const wxPoint position = frame->GetPosition();
  Command(MainFrame::kExit);
  PumpEvents(std::chrono::milliseconds(20));
  EXPECT_FALSE(FrameAlive());
  EXPECT_EQ(
      "MainFrameWidth=" + std::to_string(size.x) + "\r\nMainFrameHeight=" + std::to_string(size.y) +
          "\r\nMainFrameXPosition=" + std::to_string(position.x) +
          "\r\nMainFrameYPosition=" + std::to_string(position.y) + "\r\nSplitterPosition=170\r\n",
      SettingsText());
}

}  // namespace
