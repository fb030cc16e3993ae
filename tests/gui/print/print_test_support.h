#ifndef QUILLO_TESTS_PRINT_PRINT_TEST_SUPPORT_H
#define QUILLO_TESTS_PRINT_PRINT_TEST_SUPPORT_H

// What the printing tests share: a frame with a two-field status bar, a
// read-only transcript control, settings and print data on their defaults.

#include <gtest/gtest.h>
#include <wx/frame.h>
#include <wx/textctrl.h>

#include <memory>
#include <string>

#include "core/settings/program_settings.h"
#include "gui/frame/gui_text.h"
#include "gui/print/print_data.h"
#include "gui/support/gui_test_main.h"

class PrintFrameTest : public testing::Test {
 protected:
  void SetUp() override {
    frame_ = new wxFrame(nullptr, wxID_ANY, "Quillo");
    frame_->CreateStatusBar(2);
    text_ = new wxTextCtrl(frame_, wxID_ANY, "", wxDefaultPosition, wxDefaultSize,
                           wxTE_MULTILINE | wxTE_READONLY);
    print_ = std::make_unique<ToolkitPrintData>(settings_.PageLayout);
  }
  void TearDown() override {
    frame_->Destroy();
    PumpEvents();
  }
  std::string Status(int field = 0) const {
    return ProgramText(frame_->GetStatusBar()->GetStatusText(field));
  }

  TempDir dir_;
  ProgramSettings settings_;
  std::unique_ptr<ToolkitPrintData> print_;
  wxFrame* frame_ = nullptr;
  wxTextCtrl* text_ = nullptr;
};

#endif  // QUILLO_TESTS_PRINT_PRINT_TEST_SUPPORT_H
