#include "gui/panels/panel_test_support.h"

#include <wx/app.h>
#include <wx/timer.h>

#include "core/settings/settings_parts.h"
#include "gui/frame/gui_text.h"

void After(int milliseconds, std::function<void()> action) {
  auto* timer = new wxTimer;  // its own owner: the event goes to the timer
  timer->Bind(wxEVT_TIMER, [timer, action](wxTimerEvent&) {
    action();
    wxTheApp->CallAfter([timer] { delete timer; });
  });
  timer->StartOnce(milliseconds);
}

PanelTest::PanelTest() : settings(std::make_unique<ProgramSettings>()) {
  settings->SettingsFilePath = dir.File("quillo.ini");
  settings->WorkingDirectory = dir.Path();
  settings->HomeDirectory = dir.Path();
  settings->EnableAudio = 0;
  settings->GreetingText = "Welcome to the Quillo session";
  events = new EventWindow(nullptr);
  reporter = GuiReporter::Create(
      {[](const std::string&) {}, [this](const std::string& text) { events->AppendText(text); },
       [](const std::string&) {}, nullptr, nullptr, nullptr},
      "");
  session = std::make_unique<ChatSession>(*reporter);
}

void PanelTest::TearDown() {
  settings->CloseAddressBooks();
  session->Close();
  if (settings->SendMailThread != nullptr) {
    settings->MailTask.DestroyThread(settings->SendMailThread, true);
    settings->SendMailThread = nullptr;
  }
  reporter->Close();
  for (wxWindow* window : windows) window->Destroy();
  events->Destroy();
  PumpEvents(std::chrono::milliseconds(20));
}

std::string PanelTest::EventText() const {
  reporter->Flush();
  return ProgramText(events->MessageBox()->GetValue());
}

void PanelTest::OpenBooks() {
  settings->PreviousConnectionsDB = dir.File("prevconn");
  settings->InvitationDB = dir.File("maillist");
  OpenAddressBooks(*settings, nullptr);
  ASSERT_NE(nullptr, settings->PreviousConnectionsBook);
  ASSERT_NE(nullptr, settings->InvitationBook);
}
