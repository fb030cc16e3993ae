#include "core/settings/startup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "core/chat/recording_reporter.h"
#include "core/settings/program_settings.h"
#include "core/settings/settings_test_files.h"

namespace {

// Start-up with its own command line, environment and working directory,
// all inside a scratch directory (HOME included).
class StartupTest : public ::testing::Test {
 protected:
  StartupInputs Inputs(std::vector<std::string> arguments) {
    StartupInputs inputs;
    inputs.Arguments = std::move(arguments);
    inputs.Environment = [this](const std::string& name) -> std::optional<std::string> {
      auto it = environment_.find(name);
      if (it == environment_.end()) return std::nullopt;
      return it->second;
    };
    inputs.WorkingDirectory = work_;
    return inputs;
  }
  bool Start(std::vector<std::string> arguments) { return Start(settings_, std::move(arguments)); }
  // Start-up opens the address books by base name; keeping them in the
  // scratch directory keeps parallel tests apart.
  bool Start(ProgramSettings& settings, std::vector<std::string> arguments) {
    settings.PreviousConnectionsDB = dir_.File("prevconn");
    settings.InvitationDB = dir_.File("maillist");
    return RunStartup(settings, Inputs(std::move(arguments)), &reporter_);
  }

  ScratchDirectory dir_;
  std::string work_ = dir_.Path();
  std::map<std::string, std::string> environment_{{"HOME", dir_.File("user")}};
  ProgramSettings settings_;
  RecordingReporter reporter_;
};

TEST_F(StartupTest, PathsWithoutAnySettingsFile) {
  std::filesystem::create_directory(dir_.File("user"));
  environment_["QUILLO"] = "";  // names no file
  EXPECT_FALSE(Start({"quillo"}));
  EXPECT_EQ(settings_.WorkingDirectory, work_);
  EXPECT_EQ(settings_.SettingsFilePath, work_ + "/quillo.ini");
  EXPECT_EQ(settings_.HelpFilePath, work_ + "/quillo.html");
  EXPECT_EQ(settings_.HomeDirectory, dir_.File("user") + "/quillo");
  // No file and no argument: the keys are not applied at all, so the home
  // directory is not created and the sound file keeps its bare name.
  EXPECT_FALSE(std::filesystem::exists(dir_.File("user/quillo")));
  EXPECT_EQ(settings_.AudioFile, "activity.wav");
  EXPECT_FALSE(std::filesystem::exists(work_ + "/quillo.ini"));
  // The address books open all the same.
  EXPECT_TRUE(std::filesystem::exists(dir_.File("prevconn.ihd")));
  EXPECT_TRUE(std::filesystem::exists(dir_.File("maillist.ihd")));
}

TEST_F(StartupTest, DefaultFileInWorkingDirectoryIsApplied) {
  std::filesystem::create_directory(dir_.File("user"));
  WriteBytes(work_ + "/quillo.ini", "ScreenName=Ann\r\nmswpFontSize=11\r\n");
  EXPECT_TRUE(Start({"quillo"}));
  EXPECT_EQ(settings_.ScreenName, "Ann");
  EXPECT_EQ(settings_.PageLayout.FontSize, 11);
  EXPECT_TRUE(std::filesystem::is_directory(dir_.File("user/quillo")));
  EXPECT_EQ(settings_.AudioFile, "\"" + work_ + "/activity.wav\"");
}

TEST_F(StartupTest, SecondOfTwoArgumentsWinsOverEnvironment) {
  WriteBytes(dir_.File("args.ini"),
             "ScreenName=FromArgs\nHomeDirectory=" + dir_.File("elsewhere") + "\n");
  WriteBytes(dir_.File("env.ini"), "ScreenName=FromEnv\n");
  environment_["QUILLO"] = dir_.File("env.ini");
  EXPECT_TRUE(Start({"quillo", "ignored", dir_.File("args.ini")}));
  EXPECT_EQ(settings_.SettingsFilePath, dir_.File("args.ini"));
  EXPECT_EQ(settings_.ScreenName, "FromArgs");
  EXPECT_EQ(settings_.HomeDirectory, dir_.File("elsewhere"));
  EXPECT_EQ(settings_.HelpFilePath, work_ + "/quillo.html");  // not in the home directory
}

TEST_F(StartupTest, OtherArgumentCountsUseTheEnvironment) {
  WriteBytes(dir_.File("env.ini"), "ScreenName=FromEnv\n");
  environment_["QUILLO"] = dir_.File("env.ini");
  EXPECT_TRUE(Start({"quillo", dir_.File("other.ini")}));
  EXPECT_EQ(settings_.SettingsFilePath, dir_.File("env.ini"));
  EXPECT_EQ(settings_.ScreenName, "FromEnv");
  ProgramSettings three;
  Start(three, {"quillo", "a", "b", "c"});
  EXPECT_EQ(three.SettingsFilePath, dir_.File("env.ini"));
}

TEST_F(StartupTest, RelativeSettingsPathIsKeptInFull) {
  std::filesystem::create_directory(dir_.File("conf"));
  WriteBytes(dir_.File("conf/my.ini"), "ScreenName=Rel\n");
  EXPECT_TRUE(Start({"quillo", "-", "conf/my.ini"}));
  EXPECT_EQ(settings_.SettingsFilePath, work_ + "/conf/my.ini");
  EXPECT_EQ(settings_.ScreenName, "Rel");
  ProgramSettings by_environment;
  environment_["QUILLO"] = "conf/my.ini";
  Start(by_environment, {"quillo"});
  EXPECT_EQ(by_environment.SettingsFilePath, work_ + "/conf/my.ini");
}

TEST_F(StartupTest, MissingFileNamedByEnvironmentStillReceivesWrites) {
  environment_["QUILLO"] = dir_.File("later.ini");
  EXPECT_FALSE(Start({"quillo"}));
  EXPECT_EQ(settings_.SettingsFilePath, dir_.File("later.ini"));
  EXPECT_EQ(settings_.ScreenName, "Quillo");
}

TEST_F(StartupTest, OneArgumentWithoutFileStillSettlesHomeAndSound) {
  std::filesystem::create_directory(dir_.File("user"));
  EXPECT_FALSE(Start({"quillo", "anything"}));
  EXPECT_EQ(settings_.ScreenName, "Quillo");
  EXPECT_TRUE(std::filesystem::is_directory(dir_.File("user/quillo")));
  EXPECT_EQ(settings_.AudioFile, "\"" + work_ + "/activity.wav\"");
}

TEST_F(StartupTest, UncreatableOrUnsetHomeFallsBackToWorkingDirectory) {
  // HOME names a directory that does not exist: its quillo folder cannot be
  // made, one level being the limit.
  EXPECT_FALSE(Start({"quillo", "anything"}));
  EXPECT_EQ(settings_.HomeDirectory, work_);
  ProgramSettings homeless;
  environment_.erase("HOME");
  Start(homeless, {"quillo", "anything"});
  EXPECT_EQ(homeless.HomeDirectory, work_);
}

TEST_F(StartupTest, ABookThatCannotBeOpenedIsSaidOnceAndTheOtherStillOpens) {
  // A directory where the data file should be: no book can be made of it.
  std::filesystem::create_directory(dir_.File("prevconn.ihd"));
  Start({"quillo"});
  EXPECT_EQ(settings_.PreviousConnectionsBook, nullptr);
  EXPECT_NE(settings_.InvitationBook, nullptr);
  ASSERT_EQ(reporter_.Lines().size(), 1u);
  EXPECT_NE(reporter_.Messages().find(dir_.File("prevconn.ihd") + " cannot be opened"),
            std::string::npos);
}

TEST_F(StartupTest, FrameGeometryIsSavedOnlyWithBothFlags) {
  std::string path = dir_.File("g.ini");
  WriteBytes(path, "RememberFrameSize=TRUE\r\n");
  Start({"quillo", "-", path});
  SaveFrameGeometry(settings_, 640, 480, 10, 20, 120);
  EXPECT_EQ(ReadBytes(path), "RememberFrameSize=TRUE\r\n");
  settings_.RememberProgramSettings = 1;
  SaveFrameGeometry(settings_, 640, 480, 10, 20, 120);
  EXPECT_EQ(ReadBytes(path),
            "RememberFrameSize=TRUE\r\nMainFrameWidth=640\r\nMainFrameHeight=480\r\n"
            "MainFrameXPosition=10\r\nMainFrameYPosition=20\r\nSplitterPosition=120\r\n");
}

TEST(FrameOnScreen, GeometryFromTheFileIsBroughtOntoTheScreen) {
  const int32_t kMax = 2147483647, kMin = -2147483647 - 1;
  struct Case {
    int32_t width, height, x, y, splitter;  // as read from the file
    int32_t want_width, want_height, want_x, want_y, want_splitter;
  };
  const ScreenArea area{0, 30, 1280, 994};  // a panel along the top
  const Case cases[] = {
      {550, 475, 10, 40, 150, 550, 475, 10, 40, 150},  // fits: unchanged
      {kMax, kMax, 0, 0, kMax, 1280, 994, 0, 30, 994},
      {800, 600, kMax, kMax, 200, 800, 600, 480, 424, 200},
      {800, 600, kMin, kMin, 200, 800, 600, 0, 30, 200},
      {800, 600, 1200, 900, 700, 800, 600, 480, 424, 600},  // half off the edge
  };
  for (const Case& c : cases) {
    ProgramSettings settings;
    settings.MainFrameWidth = c.width;
    settings.MainFrameHeight = c.height;
    settings.MainFrameXPosition = c.x;
    settings.MainFrameYPosition = c.y;
    settings.SplitterPosition = c.splitter;
    ClampFrameToScreen(settings, area);
    EXPECT_EQ(std::make_tuple(settings.MainFrameWidth, settings.MainFrameHeight,
                              settings.MainFrameXPosition, settings.MainFrameYPosition,
                              settings.SplitterPosition),
              std::make_tuple(c.want_width, c.want_height, c.want_x, c.want_y, c.want_splitter))
        << c.width << "x" << c.height << "+" << c.x << "+" << c.y;
  }
  // No display known: nothing to clamp to.
  ProgramSettings settings;
  settings.MainFrameWidth = kMax;
  ClampFrameToScreen(settings, ScreenArea{});
  EXPECT_EQ(settings.MainFrameWidth, kMax);
}

TEST(StartupProcess, FromProcessReadsTheRealProcess) {
  char program[] = "quillo";
  char* argv[] = {program, nullptr};
  StartupInputs inputs = StartupInputs::FromProcess(1, argv);
  ASSERT_EQ(inputs.Arguments.size(), 1u);
  EXPECT_EQ(inputs.WorkingDirectory, std::filesystem::current_path().string());
  ASSERT_TRUE(inputs.Environment);
  EXPECT_FALSE(inputs.Environment("QUILLO_SURELY_UNSET_VARIABLE").has_value());
}

}  // namespace
