#include "gui/app/quillo_app.h"

#include <wx/frame.h>
#include <wx/gdicmn.h>

#include <memory>
#include <string>
#include <vector>

#include "core/crypto/crypto_init.h"
#include "core/settings/program_settings.h"
#include "core/settings/startup.h"
#include "core/util/held_reporter.h"
#include "gui/frame/main_frame.h"
#include "gui/panels/event_window.h"
#include "gui/frame/program_message.h"

bool QuilloApp::OnInit() {
  // wxApp::OnInit would parse the command line and refuse
  // "quillo ANYTHING SETTINGS-PATH"; the arguments are start-up's alone.
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.emplace_back(argv[i].fn_str());
  std::vector<char*> arg_pointers;
  for (std::string& arg : args) arg_pointers.push_back(arg.data());

  TheProgramSettings = new ProgramSettings;
  TheProgramSettings->PrivateSessionsAvailable = InitCrypto();
  auto held = std::make_shared<HeldReporter>();
  RunStartup(*TheProgramSettings,
             StartupInputs::FromProcess(static_cast<int>(arg_pointers.size()), arg_pointers.data()),
             held.get());

  const wxRect screen = wxGetClientDisplayRect();
  ClampFrameToScreen(*TheProgramSettings,
                     ScreenArea{screen.x, screen.y, screen.width, screen.height});
  MainFrame* frame = CreateMainWindow(*TheProgramSettings);
  SetTopWindow(frame);
  frame->Show();
  if (!TheProgramSettings->PrivateSessionsAvailable) {
    ShowProgramMessage(
        "The crypto library could not be started.\n",
        "Private sessions are off for this run: ", "lines use the basic cipher only.\n");
  }
  // What start-up had to say about the books is shown once the frame is on
  // screen, so that a message box has its parent.
  frame->CallAfter([frame, held] {
    if (held->ReplayTo(frame->GetReporter())) frame->GetEventWindow()->Show();
  });
  return true;
}

MainFrame* QuilloApp::CreateMainWindow(ProgramSettings& settings) {
  return new MainFrame(settings);
}

// The frame has closed; its close handler has stopped the workers and saved
// the geometry. The settings go last: they own the address books and sockets.
int QuilloApp::OnExit() {
  delete TheProgramSettings;
  TheProgramSettings = nullptr;
  return wxApp::OnExit();
}
