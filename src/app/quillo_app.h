#ifndef QUILLO_APP_QUILLO_APP_H
#define QUILLO_APP_QUILLO_APP_H

#include <wx/app.h>

// The application object: runs start-up and shows the main frame.
class QuilloApp : public wxApp {
 public:
  bool OnInit() override;
  int OnExit() override;
};

wxDECLARE_APP(QuilloApp);

#endif  // QUILLO_APP_QUILLO_APP_H
