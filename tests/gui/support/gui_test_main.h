#ifndef QUILLO_TESTS_UI_GUI_GUI_TEST_MAIN_H
#define QUILLO_TESTS_UI_GUI_GUI_TEST_MAIN_H

// The main() of the in-process GUI tests (link gui_test_main.cpp instead of
// gtest_main) and what they share. main() runs a wx application under Xvfb;
// every wx assertion and every dialog no wxTEST_DIALOG expectation answered
// fails the test (the dialog is dismissed, so no test waits for a user).

#include <gtest/gtest.h>
#include <wx/testing.h>
#include <wx/textctrl.h>

#include <chrono>
#include <functional>
#include <string>

#include "gui/frame/gui_text.h"
#include "support/test_support.h"

// Lets the toolkit process pending events (and CallAfter calls) for about
// the given time.
void PumpEvents(std::chrono::milliseconds duration = std::chrono::milliseconds(50));
// Processes events until done() holds or the timeout passes; returns done().
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Sends a button click to the button of that program identifier inside
// window, as the toolkit does.
void Click(wxWindow* window, int program_id);
using qtest::FreePort;
// A text control's value as the program's bytes.
std::string Text(const wxTextCtrl* field);

// Answers a message box with id and stores its message.
class ExpectMessage : public wxExpectModalBase<wxMessageDialog> {
 public:
  ExpectMessage(int id, std::string* message) : id_(id), message_(message) {}

 protected:
  int OnInvoked(wxMessageDialog* dialog) const override {
    *message_ = ProgramText(dialog->GetMessage());
    return id_;
  }

 private:
  int id_;
  std::string* message_;
};

using TempDir = qtest::ScratchDir;
using qtest::ReadBytes;
using qtest::WriteBytes;

#endif  // QUILLO_TESTS_UI_GUI_GUI_TEST_MAIN_H
