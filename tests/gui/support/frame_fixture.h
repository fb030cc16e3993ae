#ifndef QUILLO_TESTS_UI_GUI_FRAME_FIXTURE_H
#define QUILLO_TESTS_UI_GUI_FRAME_FIXTURE_H

// A main frame on its own settings and settings file, for GUI tests.

#include <wx/menu.h>

#include <memory>
#include <string>

#include "core/settings/program_settings.h"
#include "gui/frame/main_frame.h"
#include "gui/frame/window_ids.h"
#include "gui/support/gui_test_main.h"

// Settings that write to a private settings file and use a free chat port.
std::unique_ptr<ProgramSettings> TestSettings(const TempDir& dir);

class FrameTest : public testing::Test {
 protected:
  void TearDown() override;

  // Builds the frame on settings (after the test has adjusted them).
  MainFrame* MakeFrame();
  // Runs a menu or toolbar command as the toolkit does; a checkable item is
  // toggled first.
  void Command(int program_id);
  // The frame after a close request; nullptr once it has been destroyed.
  bool FrameAlive();
  std::string SettingsText() const { return ReadBytes(settings->SettingsFilePath); }
  // The frame activated or left, as the desktop tells it.
  void Activate(bool active);

  TempDir dir;
  std::unique_ptr<ProgramSettings> settings = TestSettings(dir);
  MainFrame* frame = nullptr;
};

#endif  // QUILLO_TESTS_UI_GUI_FRAME_FIXTURE_H
