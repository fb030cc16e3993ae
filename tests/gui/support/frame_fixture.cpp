#include "gui/support/frame_fixture.h"

#include "core/chat/session.h"
#include "gui/frame/gui_text.h"

std::unique_ptr<ProgramSettings> TestSettings(const TempDir& dir) {
  auto settings = std::make_unique<ProgramSettings>();
  settings->SettingsFilePath = dir.File("quillo.ini");
  settings->WorkingDirectory = dir.Path();
  settings->HomeDirectory = dir.Path();
  settings->HelpFilePath = dir.File("quillo.html");
  settings->AudioFile = "\"" + dir.File("activity.wav") + "\"";
  settings->EnableAudio = 0;
  // A developer's own desktop gets no notices from the tests.
  settings->EnableNotifications = 0;
  settings->QuilloPortNumber = FreePort();
  return settings;
}

void FrameTest::TearDown() {
  if (FrameAlive()) {
    frame->Session().Close();
    frame->Destroy();
  }
  PumpEvents(std::chrono::milliseconds(20));
  EXPECT_EQ(nullptr, TheMainFrame);
}

MainFrame* FrameTest::MakeFrame() {
  frame = new MainFrame(*settings);
  frame->Show();
  PumpEvents(std::chrono::milliseconds(20));
  return frame;
}

void FrameTest::Command(int program_id) {
  wxMenuBar* bar = frame->GetMenuBar();
  wxMenuItem* item = bar->FindItem(ToolkitId(program_id));
  ASSERT_NE(nullptr, item);
  if (item->IsCheckable()) item->Check(!item->IsChecked());
  wxCommandEvent event(wxEVT_MENU, ToolkitId(program_id));
  event.SetEventObject(frame);
  if (item->IsCheckable()) event.SetInt(item->IsChecked());
  frame->ProcessWindowEvent(event);
}

bool FrameTest::FrameAlive() {
  if (!frame) return false;
  for (wxWindow* window : wxTopLevelWindows) {
    if (window == frame && !wxPendingDelete.Member(frame)) return true;
  }
  frame = nullptr;
  return false;
}

void FrameTest::Activate(bool active) {
  wxActivateEvent event(wxEVT_ACTIVATE, active, frame->GetId());
  event.SetEventObject(frame);
  frame->ProcessWindowEvent(event);
}
