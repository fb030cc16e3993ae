#include "app/quillo_app.h"

#include <wx/frame.h>

#include "ui/program_settings.h"

bool QuilloApp::OnInit() {
  TheProgramSettings = new ProgramSettings;
  auto* frame = new wxFrame(nullptr, wxID_ANY, TheProgramSettings->ProgramTitle,
                            wxPoint(TheProgramSettings->MainFrameXPosition,
                                    TheProgramSettings->MainFrameYPosition),
                            wxSize(TheProgramSettings->MainFrameWidth,
                                   TheProgramSettings->MainFrameHeight));
  SetTopWindow(frame);
  frame->Show();
  return true;
}

int QuilloApp::OnExit() {
  delete TheProgramSettings;
  TheProgramSettings = nullptr;
  return wxApp::OnExit();
}
