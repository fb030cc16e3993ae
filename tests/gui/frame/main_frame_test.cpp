// The main frame: the toolbar commands and the settings they write, the
// status bar, Clear, the sash as the frame is sized, and the close sequence
// while idle (the panels it builds are checked in tests/gui/panels).
#include <wx/statusbr.h>
#include <wx/toolbar.h>

#include "gui/frame/conversation_window.h"
#include "gui/frame/gui_reporter.h"
#include "gui/frame/gui_text.h"
#include "gui/frame/splitter_window.h"
#include "gui/support/frame_fixture.h"

namespace {

using MainFrameTest = FrameTest;

bool Vertical(MainFrame* frame) { return frame->GetToolBar()->HasFlag(wxTB_VERTICAL); }

// Asks the frame for a size and waits, within a bound, until the toolkit
// has given it that size: wx reports a size asked for at once, the size
// event comes only once the X server has resized the window.
bool Resize(wxWindow* window, const wxSize& size) {
  bool reached = false;
  auto on_size = [&](wxSizeEvent& event) {
    reached = reached || event.GetSize() == size;
    event.Skip();
  };
  window->Bind(wxEVT_SIZE, on_size);
  window->SetSize(size);
  PumpUntil([&] { return reached; }, std::chrono::seconds(5));
  window->Unbind(wxEVT_SIZE, on_size);
  PumpEvents(std::chrono::milliseconds(100));  // the children's own layout follows
  return reached;
}

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
  auto field = [this](int n) { return ProgramText(frame->GetStatusBar()->GetStatusText(n)); };
  frame->GetReporter().PrivacyStatus("Private session");
  frame->GetGuiReporter().Flush();
  EXPECT_EQ("Private session", field(MainFrame::kPrivacyField));
  EXPECT_EQ(std::string(wxDateTime::Now().FormatTime().utf8_str()).size(), field(1).size());

  frame->GetReporter().ConversationLine("Ann Says>\nhello\n\n");
  PumpEvents(std::chrono::milliseconds(20));
  EXPECT_NE(std::string::npos, frame->Conversation()->TranscriptBytes().find("hello"));
  // Seen from elsewhere, the line asks the desktop for attention.
  EXPECT_EQ(!frame->IsActive(), frame->WantsAttention());
  Command(MainFrame::kClear);
  EXPECT_EQ("", frame->Conversation()->TranscriptBytes());
}

// The smallest frame leaves the sash no room; a desktop may activate the
// frame then (as wx's first showing under a window manager does): the size
// that first holds the sash again keeps it where it was, and height added
// later goes to the conversation.
TEST_F(MainFrameTest, ActivatedTooSmallTheSashComesBackAndExtraHeightGoesToTheConversation) {
  settings->SplitterPosition = 400;
  MakeFrame();
  ASSERT_TRUE(PumpUntil([&] { return frame->GetMinSize().y > 200; }));
  ASSERT_TRUE(Resize(frame, frame->GetMinSize()));
  ASSERT_LT(frame->Splitter()->GetSashPosition(), 400);
  Activate(true);
  ASSERT_TRUE(Resize(frame, wxSize(550, 700)));
  EXPECT_EQ(400, frame->Splitter()->GetSashPosition());
  ASSERT_TRUE(Resize(frame, wxSize(550, 800)));
  EXPECT_EQ(500, frame->Splitter()->GetSashPosition());
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
