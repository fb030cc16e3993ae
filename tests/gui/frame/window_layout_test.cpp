// How the main window lays itself out and handles the keyboard: the chat
// panel follows the window's size, the conversation takes extra height.
// (That nothing from start to close makes GTK warn is shown under a window
// manager, by the end-to-end "window" scenario.)
#include <wx/panel.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>

#include <vector>

#include "gui/frame/chat_panel.h"
#include "gui/frame/conversation_window.h"
#include "gui/frame/gui_text.h"
#include "gui/frame/splitter_window.h"
#include "gui/support/frame_fixture.h"

namespace {

// Asks a top-level window for a size and waits, within a bound, until the
// toolkit has given it that size: wx reports a size asked for at once, the
// size event comes only once the X server has resized the window.
testing::AssertionResult Resize(wxWindow* window, const wxSize& size) {
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
  if (reached) return testing::AssertionSuccess();
  return testing::AssertionFailure()
         << "still " << window->GetSize().x << "x" << window->GetSize().y;
}

// The rectangle of win in the frame's client coordinates, from its position
// in its parent (a GTK static box reports its screen position off by its
// label).
wxRect RectInFrame(wxWindow* frame, wxWindow* win) {
  return wxRect(frame->ScreenToClient(win->GetParent()->ClientToScreen(win->GetPosition())),
                win->GetSize());
}

void CollectControls(wxWindow* parent, std::vector<wxWindow*>* out) {
  for (wxWindow* child : parent->GetChildren()) {
    out->push_back(child);
    CollectControls(child, out);
  }
}

class WindowLayoutTest : public FrameTest {
 protected:
  // Every control of the chat panel lies wholly inside the space the
  // splitter and status bar leave the panes, at its best size.
  void ExpectChatPanelUnclipped() {
    wxRect area = RectInFrame(frame, frame->Splitter());
    area.height = std::min(
        area.height, frame->ScreenToClient(frame->GetStatusBar()->GetScreenPosition()).y - area.y);
    std::vector<wxWindow*> controls;
    CollectControls(frame->GetChatPanel(), &controls);
    ASSERT_EQ(10u, controls.size());  // input, Send, switch, box, six buttons
    for (wxWindow* control : controls) {
      SCOPED_TRACE(ProgramText(control->GetLabel()));
      const wxRect rect = RectInFrame(frame, control);
      EXPECT_TRUE(area.Contains(rect))
          << rect.x << "," << rect.y << " " << rect.width << "x" << rect.height;
      EXPECT_GE(rect.width, control->GetBestSize().x - 1);
      EXPECT_GE(rect.height, std::min(control->GetBestSize().y, 30) - 1);
    }
  }
};

TEST_F(WindowLayoutTest, ThePanelFollowsTheWindowAndTheConversationTakesTheExtraHeight) {
  MakeFrame();
  // The stored sash position holds until the desktop has activated the
  // frame at its settled size.
  EXPECT_EQ(settings->SplitterPosition, frame->Splitter()->GetSashPosition());
  wxActivateEvent activate(wxEVT_ACTIVATE, true, frame->GetId());  // as the desktop sends
  activate.SetEventObject(frame);
  frame->ProcessWindowEvent(activate);
  ExpectChatPanelUnclipped();
  ChatPanel* panel = frame->GetChatPanel();
  const int sash = frame->Splitter()->GetSashPosition();
  const int panel_height = panel->GetSize().y;
  const int conversation_height = frame->Conversation()->GetSize().y;
  const wxSize frame_size = frame->GetSize();
  const int input_width = panel->Input()->GetSize().x;

  ASSERT_TRUE(Resize(frame, wxSize(1000, 720)));
  ExpectChatPanelUnclipped();
  // The input box takes the added width.
  EXPECT_NEAR(input_width + 1000 - frame_size.x, panel->Input()->GetSize().x, 2);
  // Every added pixel of height goes to the conversation.
  const int grown = frame->GetSize().y - frame_size.y;
  EXPECT_NEAR(panel_height, panel->GetSize().y, 2);
  EXPECT_NEAR(conversation_height + grown, frame->Conversation()->GetSize().y, 2);
  EXPECT_NEAR(sash + grown, frame->Splitter()->GetSashPosition(), 2);

  // Back to the smallest size the window allows: still nothing clipped.
  ASSERT_TRUE(PumpUntil([&] { return frame->GetMinSize().y > 200; }));
  ASSERT_TRUE(Resize(frame, frame->GetMinSize()));
  ExpectChatPanelUnclipped();
  EXPECT_GT(frame->Conversation()->GetSize().y, 20);
}

// A desktop may activate the window while it still passes through sizes
// too small for the sash (as wx's first showing under a window manager
// does); the size that first holds the sash again keeps it where it was,
// later sizes move it with the window.
TEST(SplitterWindowTest, ExtraHeightGoesToTheConversationOnlyOnceThePanesHoldTheSash) {
  auto* frame = new wxFrame(nullptr, wxID_ANY, "splitter", wxPoint(0, 0), wxSize(400, 400));
  auto* splitter = new SplitterWindow(frame);
  splitter->Split(new wxPanel(splitter), new wxPanel(splitter), 150);
  frame->Show();
  ASSERT_TRUE(PumpUntil([&] { return splitter->GetSize().y > 300; }));
  PumpEvents(std::chrono::milliseconds(50));
  ASSERT_TRUE(Resize(frame, wxSize(400, 60)));
  splitter->GiveExtraHeightToTheConversation();
  ASSERT_TRUE(Resize(frame, wxSize(400, 400)));
  EXPECT_EQ(150, splitter->GetSashPosition());
  ASSERT_TRUE(Resize(frame, wxSize(400, 500)));
  EXPECT_EQ(250, splitter->GetSashPosition());
  frame->Destroy();
  PumpEvents(std::chrono::milliseconds(20));
}

}  // namespace
