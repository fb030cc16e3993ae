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

#include "core/util/reporter.h"
#include "gui/frame/gui_text.h"
#include "support/loopback_port.h"

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

// For a side of a test conversation that reports to nobody.
class QuietReporter : public Reporter {
 public:
  void ConversationLine(const std::string&) override {}
  void EventLine(const std::string&) override {}
  void StatusText(const std::string&) override {}
  void ProgramMessage(const std::string&, const std::string&, const std::string&) override {}
  void PlayActivitySound() override {}
  bool MainFrameMinimised() override { return false; }
};

// A fresh empty directory under the build tree, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Reads a whole file ("" when missing).
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& contents);

#endif  // QUILLO_TESTS_UI_GUI_GUI_TEST_MAIN_H
