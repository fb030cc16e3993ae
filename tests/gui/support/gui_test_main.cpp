#include "gui/support/gui_test_main.h"

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include <thread>

#include "gui/frame/gui_text.h"
#include "gui/frame/window_ids.h"

namespace {

// The last hook in line: whatever no expectation answered fails the test and
// is dismissed at once.
class UnexpectedDialogHook : public wxModalDialogHook {
 protected:
  int Enter(wxDialog* dialog) override {
    std::string what = ProgramText(dialog->GetTitle());
    if (auto* box = dynamic_cast<wxMessageDialog*>(dialog)) {
      what += ": " + ProgramText(box->GetMessage());
    }
    ADD_FAILURE() << "Unexpected dialog shown and dismissed: " << what;
    return wxID_CANCEL;
  }
  void Exit(wxDialog*) override {}
};

void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                  const wxString& msg) {
  ADD_FAILURE_AT(file.utf8_str().data(), line)
      << "wxWidgets assertion in " << func.utf8_str().data() << ": " << cond.utf8_str().data()
      << " " << msg.utf8_str().data();
}

class TestApp : public wxApp {
 public:
  bool OnInit() override { return true; }
};

}  // namespace

void PumpEvents(std::chrono::milliseconds duration) {
  PumpUntil([] { return false; }, duration);
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return done();
    wxTheApp->Yield(true);
    wxTheApp->ProcessPendingEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

void Click(wxWindow* window, int program_id) {
  wxWindow* button = window->FindWindow(ToolkitId(program_id));
  ASSERT_NE(nullptr, button) << program_id;
  wxCommandEvent click(wxEVT_BUTTON, ToolkitId(program_id));
  click.SetEventObject(button);
  button->ProcessWindowEvent(click);
}

std::string Text(const wxTextCtrl* field) { return ProgramText(field->GetValue()); }

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // Test listing needs no display.
  if (testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  wxSetAssertHandler(&FailOnAssert);
  wxApp::SetInstance(new TestApp);
  int wx_argc = 1;
  char* wx_argv[] = {argv[0], nullptr};
  if (!wxEntryStart(wx_argc, wx_argv)) {
    std::fprintf(stderr, "No display: run the GUI tests under Xvfb\n");
    return 1;
  }
  wxTheApp->CallOnInit();
  UnexpectedDialogHook hook;
  hook.Register();
  int result;
  {
    wxGUIEventLoop loop;
    wxEventLoopActivator active(&loop);
    result = RUN_ALL_TESTS();
  }
  hook.Unregister();
  wxTheApp->OnExit();
  wxEntryCleanup();
  return result;
}
