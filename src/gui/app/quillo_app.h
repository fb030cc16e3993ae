#ifndef QUILLO_GUI_APP_QUILLO_APP_H
#define QUILLO_GUI_APP_QUILLO_APP_H

#include <wx/app.h>

class MainFrame;
class ProgramSettings;

// The application object: runs start-up and shows the main frame. It reads
// its command line itself (the settings file is the second of exactly two
// arguments), so the toolkit's own option parsing never sees it.
class QuilloApp : public wxApp {
 public:
  bool OnInit() override;
  int OnExit() override;

 private:
  // Builds the main frame from the settings; the only place that knows
  // which frame class the program uses.
  static MainFrame* CreateMainWindow(ProgramSettings& settings);
};

wxDECLARE_APP(QuilloApp);

#endif  // QUILLO_GUI_APP_QUILLO_APP_H
