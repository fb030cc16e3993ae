// How the main window lays itself out and handles the keyboard: the chat
// panel follows the window's size, the conversation takes extra height, the
// menus carry their accelerators, Ctrl+Enter sends in multi-line mode, and
// nothing on the way from start to close makes GTK warn.
//
// With QUILLO_SCREENSHOT_DIR set, the geometry test leaves a picture of the
// window at each size there.
#include <glib.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/image.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>

#include <cstdlib>
#include <mutex>
#include <vector>

#include "gui/frame/chat_panel.h"
#include "gui/frame/conversation_window.h"
#include "gui/frame/gui_text.h"
#include "gui/frame/splitter_window.h"
#include "gui/panels/event_window.h"
#include "gui/panels/statistics_panel.h"
#include "gui/print/page_setup_panel.h"
#include "gui/support/frame_fixture.h"

namespace {

// Every GTK, GDK and GLib warning or critical of the process, from the
// moment the first test asks for them. GLib takes one writer per process.
class ToolkitWarnings {
 public:
  static ToolkitWarnings& Get() {
    static ToolkitWarnings* warnings = new ToolkitWarnings;
    return *warnings;
  }
  std::vector<std::string> Take() {
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<std::string> taken;
    taken.swap(seen_);
    return taken;
  }

 private:
  ToolkitWarnings() { g_log_set_writer_func(&ToolkitWarnings::Write, this, nullptr); }

  static GLogWriterOutput Write(GLogLevelFlags level, const GLogField* fields, size_t count,
                                gpointer self) {
    if (level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING)) {
      std::string text;
      for (size_t i = 0; i < count; ++i) {
        const std::string key = fields[i].key;
        if ((key == "GLIB_DOMAIN" || key == "MESSAGE") && fields[i].length < 0) {
          text += static_cast<const char*>(fields[i].value);
          text += key == "GLIB_DOMAIN" ? ": " : "";
        }
      }
      auto* warnings = static_cast<ToolkitWarnings*>(self);
      std::lock_guard<std::mutex> hold(warnings->lock_);
      warnings->seen_.push_back(text);
    }
    return g_log_writer_default(level, fields, count, nullptr);
  }

  std::mutex lock_;
  std::vector<std::string> seen_;
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
  // Resizes the frame and waits until the toolkit has laid it out.
  // What the desktop sends when the frame gains or loses the focus.
  void Activate(bool active) {
    wxActivateEvent event(wxEVT_ACTIVATE, active, frame->GetId());
    event.SetEventObject(frame);
    frame->ProcessWindowEvent(event);
  }

  void Resize(const wxSize& size) {
    frame->SetSize(size);
    PumpUntil([&] { return frame->GetSize() == size; }, std::chrono::seconds(5));
    PumpEvents(std::chrono::milliseconds(100));
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

  void Screenshot(const std::string& name) {
    const char* dir = std::getenv("QUILLO_SCREENSHOT_DIR");
    if (!dir) return;
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
    // Painted after the layout settles.
    PumpEvents(std::chrono::milliseconds(300));
    frame->Refresh();
    frame->Update();
    PumpEvents(std::chrono::milliseconds(300));
    const wxRect rect(frame->GetScreenPosition(), frame->GetSize());
    wxBitmap picture(rect.GetSize());
    wxMemoryDC into(picture);
    wxScreenDC screen;
    into.Blit(0, 0, rect.width, rect.height, &screen, rect.x, rect.y);
    into.SelectObject(wxNullBitmap);
    picture.SaveFile(std::string(dir) + "/" + name + ".png", wxBITMAP_TYPE_PNG);
  }
};

TEST_F(WindowLayoutTest, ThePanelFollowsTheWindowAndTheConversationTakesTheExtraHeight) {
  MakeFrame();
  // The stored sash position holds until the desktop has activated the
  // frame at its settled size.
  EXPECT_EQ(settings->SplitterPosition, frame->Splitter()->GetSashPosition());
  Activate(true);
  ExpectChatPanelUnclipped();
  Screenshot("default");
  ChatPanel* panel = frame->GetChatPanel();
  const int sash = frame->Splitter()->GetSashPosition();
  const int panel_height = panel->GetSize().y;
  const int conversation_height = frame->Conversation()->GetSize().y;
  const int frame_height = frame->GetSize().y;
  EXPECT_NEAR(panel->GetClientSize().x - 8, panel->Input()->GetSize().x, 4);

  Resize(wxSize(1000, 720));
  Screenshot("1000x720");
  ExpectChatPanelUnclipped();
  // The input box spans the panel, the session row keeps its order.
  EXPECT_NEAR(panel->GetClientSize().x - 8, panel->Input()->GetSize().x, 4);
  int last_x = -1;
  for (int id : {ChatPanel::kHostId, ChatPanel::kConnectId, ChatPanel::kConfigId,
                 ChatPanel::kInviteId, ChatPanel::kEndId, ChatPanel::kStatsId}) {
    const wxRect button = RectInFrame(frame, panel->FindWindow(ToolkitId(id)));
    EXPECT_GT(button.x, last_x) << id;
    last_x = button.x;
  }
  // Every added pixel of height goes to the conversation.
  const int grown = frame->GetSize().y - frame_height;
  EXPECT_NEAR(panel_height, panel->GetSize().y, 2);
  EXPECT_NEAR(conversation_height + grown, frame->Conversation()->GetSize().y, 2);
  EXPECT_NEAR(sash + grown, frame->Splitter()->GetSashPosition(), 2);

  // Back to the smallest size the window allows: still nothing clipped.
  ASSERT_TRUE(PumpUntil([&] { return frame->GetMinSize().y > 200; }));
  Resize(frame->GetMinSize());
  ExpectChatPanelUnclipped();
  EXPECT_GT(frame->Conversation()->GetSize().y, 20);
}

TEST_F(WindowLayoutTest, MenusShowTheirAcceleratorsAndCtrlEnterSendsMultiLineText) {
  MakeFrame();
  const struct {
    int id;
    int flags;
    int key;
  } keys[] = {{MainFrame::kSave, wxACCEL_CTRL, 'S'},
              {MainFrame::kSaveAs, wxACCEL_CTRL | wxACCEL_SHIFT, 'S'},
              {MainFrame::kPrint, wxACCEL_CTRL, 'P'},
              {MainFrame::kExit, wxACCEL_CTRL, 'Q'},
              {MainFrame::kHelpTopics, wxACCEL_NORMAL, WXK_F1}};
  for (const auto& key : keys) {
    SCOPED_TRACE(key.id);
    wxMenuItem* item = frame->GetMenuBar()->FindItem(ToolkitId(key.id));
    ASSERT_NE(nullptr, item);
    std::unique_ptr<wxAcceleratorEntry> accel(item->GetAccel());
    ASSERT_NE(nullptr, accel);
    EXPECT_EQ(key.flags, accel->GetFlags());
    EXPECT_EQ(key.key, accel->GetKeyCode());
  }

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

TEST_F(WindowLayoutTest, StartResizeEveryPanelAndCloseWithoutToolkitWarnings) {
  ToolkitWarnings& warnings = ToolkitWarnings::Get();
  warnings.Take();
  settings->ScreenName = "Ann";
  MakeFrame();
  PumpEvents(std::chrono::milliseconds(200));
  Resize(frame->GetMinSize());
  frame->ShowFullScreen(true);
  PumpEvents(std::chrono::milliseconds(300));
  frame->ShowFullScreen(false);
  PumpEvents(std::chrono::milliseconds(200));
  Resize(wxSize(1000, 720));

  ChatPanel* panel = frame->GetChatPanel();
  panel->Connect();
  panel->Config();
  frame->ShowInvitation("An invitation\n");
  frame->GetStatsPanel()->ShowText("Statistics\n");
  Command(MainFrame::kPageSetup);
  frame->GetEventWindow()->Show();
  PumpEvents(std::chrono::milliseconds(300));
  for (wxWindow* window : frame->GetChildren()) {
    if (window->IsTopLevel()) window->Hide();
  }
  PumpEvents(std::chrono::milliseconds(100));
  Command(MainFrame::kExit);
  PumpUntil([&] { return !FrameAlive(); }, std::chrono::seconds(5));
  PumpEvents(std::chrono::milliseconds(100));
  EXPECT_FALSE(FrameAlive());
  for (const std::string& warning : warnings.Take()) ADD_FAILURE() << warning;
}

}  // namespace
