#ifndef QUILLO_TESTS_UI_GUI_GUI_TEST_MAIN_H
#define QUILLO_TESTS_UI_GUI_GUI_TEST_MAIN_H

// The main() of the in-process GUI tests (link gui_test_main.cpp into the
// test instead of gtest_main). It starts a wx application on the X display
// (run under Xvfb), keeps an event loop active, and installs:
//   - an assertion handler that turns every wxWidgets assertion into a test
//     failure instead of a dialog;
//   - a modal-dialog hook that fails the test and dismisses (wxID_CANCEL)
//     any dialog that no wxTEST_DIALOG expectation answered, so that no test
//     ever waits for a user.
// Expected dialogs are answered with <wx/testing.h>:
//   wxTEST_DIALOG(frame->DoIt(), wxExpectModal<wxMessageDialog>(wxID_YES));
//   wxTEST_DIALOG(panel->Host(), ExpectTextEntry("Ann"));

#include <gtest/gtest.h>
#include <wx/testing.h>
#include <wx/textdlg.h>

#include <chrono>
#include <functional>
#include <string>

// Lets the toolkit process pending events (and CallAfter calls) for about
// the given time.
void PumpEvents(std::chrono::milliseconds duration = std::chrono::milliseconds(50));

// Processes events until done() holds or the timeout passes; returns done().
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

// The message of the last message box shown through an expectation made by
// ExpectMessage (for checking texts).
class ExpectMessage : public wxExpectModalBase<wxMessageDialog> {
 public:
  // Answers with id and stores the box's message and caption.
  ExpectMessage(int id, std::string* message, std::string* caption = nullptr)
      : id_(id), message_(message), caption_(caption) {}

 protected:
  int OnInvoked(wxMessageDialog* dialog) const override;

 private:
  int id_;
  std::string* message_;
  std::string* caption_;
};

// Answers a text-entry dialog: types the value and presses OK, or Cancel
// when cancel is set. The prompt's message (its lines joined by line ends)
// and caption are stored when asked.
class ExpectTextEntry : public wxExpectModalBase<wxTextEntryDialog> {
 public:
  explicit ExpectTextEntry(const std::string& value, bool cancel = false,
                           std::string* message = nullptr, std::string* caption = nullptr)
      : value_(value), cancel_(cancel), message_(message), caption_(caption) {}

 protected:
  int OnInvoked(wxTextEntryDialog* dialog) const override;

 private:
  std::string value_;
  bool cancel_;
  std::string* message_;
  std::string* caption_;
};

// Number of dialogs the fallback hook dismissed since the start.
int UnexpectedDialogCount();

// A fresh empty directory under the build tree for one test, removed when
// the object goes away.
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
