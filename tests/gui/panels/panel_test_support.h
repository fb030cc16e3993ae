#ifndef QUILLO_TESTS_PANELS_PANEL_TEST_SUPPORT_H
#define QUILLO_TESTS_PANELS_PANEL_TEST_SUPPORT_H

// What the panel tests share: settings on a private directory, an event
// window fed by a real GUI reporter, clicks, and loopback servers.

#include <gmock/gmock.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "core/chat/session.h"
#include "core/settings/program_settings.h"
#include "gui/frame/gui_reporter.h"
#include "gui/panels/event_window.h"
#include "gui/support/gui_test_main.h"

// Runs action after delay (on the GUI thread, from a one-shot timer).
void After(int milliseconds, std::function<void()> action);

// Settings writing to a private settings file, with an event window and a
// GUI reporter whose event lines go to it.
class PanelTest : public testing::Test {
 protected:
  PanelTest();
  void TearDown() override;

  std::string EventText() const;
  // Opens both address books in the test's directory.
  void OpenBooks();
  std::string SettingsText() const { return ReadBytes(settings->SettingsFilePath); }

  TempDir dir;
  std::unique_ptr<ProgramSettings> settings;
  EventWindow* events;
  std::shared_ptr<GuiReporter> reporter;
  std::unique_ptr<ChatSession> session;  // reports through reporter
  std::vector<wxWindow*> windows;        // destroyed by TearDown
};

// A loopback listener that takes connections into its backlog, silently.
struct SilentHost {
  SilentHost() { listen(fd, 4); }
  ~SilentHost() { close(fd); }
  int Port() const { return qtest::LocalPort(fd); }
  const int fd = qtest::BoundSocket();
};

#endif  // QUILLO_TESTS_PANELS_PANEL_TEST_SUPPORT_H
