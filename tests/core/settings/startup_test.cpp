#include "core/settings/startup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "core/chat/recording_reporter.h"
#include "core/settings/program_settings.h"
#include "support/test_support.h"

namespace {

// Start-up with its own command line, environment and working directory,
// all inside a scratch directory (HOME included).
class StartupTest : public ::testing::Test {
 protected:
  // Start-up opens the address books by base name; keeping them in the
  // scratch directory keeps parallel tests apart.
  bool Start(ProgramSettings& settings, std::vector<std::string> arguments) {
    settings.PreviousConnectionsDB = dir_.File("prevconn");
    settings.InvitationDB = dir_.File("maillist");
    StartupInputs inputs;
    inputs.Arguments = std::move(arguments);
    inputs.Environment = [this](const std::string& name) -> std::optional<std::string> {
      auto it = environment_.find(name);
      return it == environment_.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
    inputs.WorkingDirectory = work_;
    return RunStartup(settings, inputs, &reporter_);
  }
  qtest::ScratchDir dir_;
  std::string work_ = dir_.Path();
  std::map<std::string, std::string> environment_{{"HOME", dir_.File("user")}};
  RecordingReporter reporter_;
};

// Three arguments name the file (the third); else QUILLO does, when set
// and not empty; else quillo.ini in the working directory. Relative names
// are kept in full. Without a file the keys apply only when the command
// line has an argument: then the home directory under HOME is made and the
// sound file gets its full name. The books open either way (the test
// below).
TEST_F(StartupTest, WhichSettingsFileIsRead) {
  std::filesystem::create_directory(dir_.File("c"));
  qtest::WriteBytes(dir_.File("c/args.ini"), "ScreenName=FromArgs\n");
  qtest::WriteBytes(dir_.File("env.ini"), "ScreenName=FromEnv\n");
  qtest::WriteBytes(work_ + "/quillo.ini", "ScreenName=Default\r\nmswpFontSize=11\r\n");
  struct Case {
    std::vector<std::string> arguments;
    std::string quillo, path, screen_name;
    bool loaded, applied;
  } cases[] = {
      {{"quillo"}, dir_.File("later.ini"), "later.ini", "Quillo", false, false},  // written later
      {{"quillo", "-", "c/args.ini"}, dir_.File("env.ini"), "c/args.ini", "FromArgs", true, true},
      {{"quillo", "x"}, dir_.File("env.ini"), "env.ini", "FromEnv", true, true},
      {{"quillo", "a", "b", "c"}, "env.ini", "env.ini", "FromEnv", true, true},
      {{"quillo"}, "", "quillo.ini", "Default", true, true},
      {{"quillo", "x"}, dir_.File("later.ini"), "later.ini", "Quillo", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    environment_["QUILLO"] = c.quillo;
    ProgramSettings settings;
    EXPECT_EQ(Start(settings, c.arguments), c.loaded);
    EXPECT_EQ(settings.SettingsFilePath, dir_.File(c.path));
    EXPECT_EQ(settings.ScreenName, c.screen_name);
    EXPECT_EQ(settings.HelpFilePath, work_ + "/quillo.html");
    EXPECT_EQ(settings.HomeDirectory, dir_.File("user/quillo"));
    EXPECT_EQ(settings.AudioFile, c.applied ? "\"" + work_ + "/activity.wav\"" : "activity.wav");
    std::filesystem::create_directory(dir_.File("user"));  // HOME exists from the second start on
  }
  ProgramSettings homeless;
  environment_.erase("HOME");
  Start(homeless, {"quillo", "anything"});
  EXPECT_EQ(homeless.HomeDirectory, work_);
}

TEST_F(StartupTest, ABookThatCannotBeOpenedIsSaidOnceAndTheOtherStillOpens) {
  // A directory where the data file should be: no book can be made of it.
  std::filesystem::create_directory(dir_.File("prevconn.ihd"));
  ProgramSettings settings;
  Start(settings, {"quillo"});
  EXPECT_EQ(settings.PreviousConnectionsBook, nullptr);
  EXPECT_NE(settings.InvitationBook, nullptr);
  ASSERT_EQ(reporter_.Lines().size(), 1u);
  EXPECT_NE(reporter_.Messages().find(dir_.File("prevconn.ihd") + " cannot be opened"),
            std::string::npos);
}

TEST(FrameOnScreen, GeometryFromTheFileIsBroughtOntoTheScreen) {
  const int32_t kMax = 2147483647, kMin = -2147483647 - 1;
  using Geometry = std::tuple<int32_t, int32_t, int32_t, int32_t, int32_t>;  // w, h, x, y, splitter
  const ScreenArea area{0, 30, 1280, 994};  // a panel along the top
  const std::pair<Geometry, Geometry> cases[] = {
      {{550, 475, 10, 40, 150}, {550, 475, 10, 40, 150}},  // fits: unchanged
      {{kMax, kMax, 0, 0, kMax}, {1280, 994, 0, 30, 994}},
      {{800, 600, kMax, kMax, 200}, {800, 600, 480, 424, 200}},
      {{800, 600, kMin, kMin, 200}, {800, 600, 0, 30, 200}},
      {{800, 600, 1200, 900, 700}, {800, 600, 480, 424, 600}},  // half off the edge
      {{0, -5, 0, 0, -1}, {1, 1, 0, 30, 0}},
  };
  for (const auto& [from, to] : cases) {
    ProgramSettings s;
    std::tie(s.MainFrameWidth, s.MainFrameHeight, s.MainFrameXPosition, s.MainFrameYPosition,
             s.SplitterPosition) = from;
    ClampFrameToScreen(s, area);
    EXPECT_EQ(std::tie(s.MainFrameWidth, s.MainFrameHeight, s.MainFrameXPosition,
                       s.MainFrameYPosition, s.SplitterPosition),
              to);
  }
  // No display known: nothing to clamp to; a one-pixel one is a display.
  ProgramSettings settings;
  settings.MainFrameWidth = kMax;
  ClampFrameToScreen(settings, ScreenArea{0, 0, 1280, 0});
  EXPECT_EQ(settings.MainFrameWidth, kMax);
  ClampFrameToScreen(settings, ScreenArea{0, 0, 1280, 1});
  EXPECT_EQ(settings.MainFrameWidth, 1280);
}

}  // namespace
