// How the main window lays itself out and handles the keyboard: the chat
// panel follows the window's size, the conversation takes extra height,
// Ctrl+Enter sends in multi-line mode.
// (That nothing from start to close makes GTK warn is shown under a window
// manager, by the end-to-end "window" scenario.)
#include <wx/checkbox.h>
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
class Resizer {
 public:
  explicit Resizer(wxWindow* window) : window_(window) {}

  bool Resize(const wxSize& size) {
    wanted_ = size;
    reached_ = false;
    window_->Bind(wxEVT_SIZE, &Resizer::OnSize, this);
    window_->SetSize(size);
    PumpUntil([&] { return reached_; }, std::chrono::seconds(5));
    window_->Unbind(wxEVT_SIZE, &Resizer::OnSize, this);
    // The children's own layout follows the frame's.
    PumpEvents(std::chrono::milliseconds(100));
    return reached_;
  }

 private:
  void OnSize(wxSizeEvent& event) {
    if (event.GetSize() == wanted_) reached_ = true;
    event.Skip();
  }

  wxWindow* window_;
  wxSize wanted_;
  bool reached_ = false;
};

// The window's rectangle of win, in the frame's client coordinates. (Taken
// from the position in its parent: a GTK static box reports its screen
// position off by its label.)
wxRect RectInFrame(wxWindow* frame, wxWindow* win) {
  const wxPoint screen = win->IsTopLevel() ? win->GetScreenPosition()
                                           : win->GetParent()->ClientToScreen(win->GetPosition());
  return wxRect(frame->ScreenToClient(screen), win->GetSize());
}

void CollectControls(wxWindow* parent, std::vector<wxWindow*>* out) {
  for (wxWindow* child : parent->GetChildren()) {
    out->push_back(child);
    CollectControls(child, out);
  }
}

class WindowLayoutTest : public FrameTest {
 protected:
  void Resize(const wxSize& size) {
    ASSERT_TRUE(Resizer(frame).Resize(size))
        << "still " << frame->GetSize().x << "x" << frame->GetSize().y;
  }

  // The space the splitter and status bar leave the panes, in the frame's
  // client coordinates.
  wxRect PaneArea() {
    wxRect area = RectInFrame(frame, frame->Splitter());
    if (wxStatusBar* status = frame->GetStatusBar()) {
      const int top = frame->ScreenToClient(status->GetScreenPosition()).y;
      area.height = std::min(area.height, top - area.y);
    }
    return area;
  }

  // Every control of the chat panel lies wholly inside the visible pane.
  void ExpectChatPanelUnclipped() {
    const wxRect area = PaneArea();
    std::vector<wxWindow*> controls;
    CollectControls(frame->GetChatPanel(), &controls);
    ASSERT_EQ(10u, controls.size());  // input, Send, switch, box, six buttons
    for (wxWindow* control : controls) {
      SCOPED_TRACE(ProgramText(control->GetLabel()));
      const wxRect rect = RectInFrame(frame, control);
      EXPECT_TRUE(area.Contains(rect))
          << "control " << rect.x << "," << rect.y << " " << rect.width << "x" << rect.height
          << " outside " << area.x << "," << area.y << " " << area.width << "x" << area.height;
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

  Resize(wxSize(1000, 720));
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
  Resize(frame->GetMinSize());
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
  Resizer resizer(frame);
  ASSERT_TRUE(PumpUntil([&] { return splitter->GetSize().y > 300; }));
  PumpEvents(std::chrono::milliseconds(50));
  ASSERT_TRUE(resizer.Resize(wxSize(400, 60)));
  splitter->GiveExtraHeightToTheConversation();
  ASSERT_TRUE(resizer.Resize(wxSize(400, 400)));
  EXPECT_EQ(150, splitter->GetSashPosition());
  ASSERT_TRUE(resizer.Resize(wxSize(400, 500)));
  EXPECT_EQ(250, splitter->GetSashPosition());
  frame->Destroy();
  PumpEvents(std::chrono::milliseconds(20));
}

TEST_F(WindowLayoutTest, CtrlEnterSendsOnlyInMultiLineMode) {
  MakeFrame();
  ChatPanel* panel = frame->GetChatPanel();
  auto press_ctrl_enter = [&] {
    wxKeyEvent key(wxEVT_CHAR_HOOK);
    key.m_keyCode = WXK_RETURN;
    key.m_controlDown = true;
    key.SetEventObject(panel->Input());
    panel->Input()->ProcessWindowEvent(key);
  };
  panel->Input()->ChangeValue("two\nlines");
  // Single-line mode leaves Ctrl+Enter to the box.
  press_ctrl_enter();
  PumpEvents();
  // In multi-line mode it sends: with no session, the refusal shows.
  panel->MultiLine()->SetValue(true);
  std::string message;
  wxTEST_DIALOG(press_ctrl_enter(), ExpectMessage(wxID_OK, &message));
  EXPECT_EQ("You are not connected to any Quillo services\n  ", message);
  EXPECT_EQ("two\nlines", Text(panel->Input()));
}

}  // namespace
