#include "gui/app/quillo_app.h"

wxIMPLEMENT_APP(QuilloApp);
