#include "gui/app/quillo_app.h"

#include <wx/frame.h>

#include <string>
#include <vector>

#include "core/crypto/crypto_init.h"
#include "core/settings/program_settings.h"
#include "core/settings/startup.h"
#include "gui/frame/main_frame.h"
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
  RunStartup(*TheProgramSettings, StartupInputs::FromProcess(static_cast<int>(arg_pointers.size()),
                                                             arg_pointers.data()));

  wxFrame* frame = CreateMainWindow(*TheProgramSettings);
  SetTopWindow(frame);
  frame->Show();
  if (!TheProgramSettings->PrivateSessionsAvailable) {
    ShowProgramMessage(
        "The crypto library could not be started.\n",
        "Private sessions are off for this run: ", "lines use the basic cipher only.\n");
  }
  return true;
}

wxFrame* QuilloApp::CreateMainWindow(ProgramSettings& settings) { return new MainFrame(settings); }

// The frame has closed; its close handler has stopped the workers and saved
// the geometry. The settings go last: they own the address books and sockets.
int QuilloApp::OnExit() {
  delete TheProgramSettings;
  TheProgramSettings = nullptr;
  return wxApp::OnExit();
}
