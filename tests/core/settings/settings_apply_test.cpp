#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "core/settings/program_settings.h"
#include "core/settings/settings_file.h"
#include "core/settings/settings_parts.h"
#include "support/test_support.h"

namespace {

// Applies settings files to settings whose directories lie in a scratch
// directory; each Apply works on what the one before left.
class SettingsApplyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.WorkingDirectory = dir_.Path();
    settings_.HomeDirectory = dir_.File("home");
  }
  void Apply(const std::string& text) {
    std::string path = dir_.File("quillo.ini");
    qtest::WriteBytes(path, text);
    SettingsFile file(path);
    ASSERT_TRUE(file.Load());
    settings_.ApplyStartupKeys(file);
    settings_.ApplyPageLayoutKeys(file);
  }
  qtest::ScratchDir dir_;
  ProgramSettings settings_;
};

// The defaults (no screen name, sound file or home directory) are StartupTest's.
TEST_F(SettingsApplyTest, TextKeysAndPaths) {
  Apply("ScreenName=ABCDEFGHIJKLMNOPQRSTUVWXYZ0123\nAudioFile=/snd/ping.wav\n");
  EXPECT_EQ(settings_.ScreenName, "ABCDEFGHIJKLMNOPQRSTUVWX");  // first 24
  EXPECT_EQ(settings_.AudioFile, "\"/snd/ping.wav\"");
  Apply("ScreenName=\n");
  EXPECT_EQ(settings_.ScreenName, "");
  // The home directory is made one level deep only, else the working one.
  Apply("HomeDirectory=" + dir_.File("data") + "\n");
  EXPECT_TRUE(std::filesystem::is_directory(dir_.File("data")));
  EXPECT_EQ(settings_.HomeDirectory, dir_.File("data"));
  Apply("HomeDirectory=" + dir_.File("a/b") + "\n");
  EXPECT_EQ(settings_.HomeDirectory, dir_.Path());
  EXPECT_FALSE(std::filesystem::exists(dir_.File("a")));
  qtest::WriteBytes(dir_.File("plain"), "x");  // a file, not a directory
  Apply("HomeDirectory=" + dir_.File("plain") + "\n");
  EXPECT_EQ(settings_.HomeDirectory, dir_.Path());
}

// The mode word in any case; an unknown word keeps private sessions on
// offer. A session's snapshot carries mode and passphrase, its mode Off
// when the crypto library did not start.
TEST_F(SettingsApplyTest, PrivateSessionKeys) {
  Apply("PrivateSessions=require\nPrivatePassphrase=open sesame\n");
  SessionSnapshot snapshot = SessionSnapshotOf(settings_);
  EXPECT_EQ(snapshot.private_mode, PrivateMode::kRequire);
  EXPECT_EQ(snapshot.passphrase, "open sesame");
  settings_.PrivateSessionsAvailable = false;
  EXPECT_EQ(SessionSnapshotOf(settings_).private_mode, PrivateMode::kOff);
  Apply("PrivateSessions=OFF\n");
  EXPECT_EQ(settings_.PrivateSessions, PrivateMode::kOff);
  Apply("PrivateSessions=sometimes\n");
  EXPECT_EQ(settings_.PrivateSessions, PrivateMode::kOff);
}

TEST_F(SettingsApplyTest, NumericBoundaries) {
  // Mail port, encryption key (low 16 bits), listening port.
  const std::tuple<std::string, int, int, int> cases[] = {
      {"MailServerPortNumber=65535\nEncryptionKey=1023\nQuilloPortNumber=1024\n", 25, 52917, 59152},
      {"MailServerPortNumber=65534\nEncryptionKey=1024\nQuilloPortNumber=1025\n", 65534, 1024,
       1025},
      {"MailServerPortNumber=1\nEncryptionKey=70000\nQuilloPortNumber=65535\n", 1, 70000 & 0xFFFF,
       65535},
      {"MailServerPortNumber=0\nQuilloPortNumber=65536\n", 1, 70000 & 0xFFFF, 65535},
  };
  for (const auto& [text, mail, key, port] : cases) {
    Apply(text);
    EXPECT_EQ(std::make_tuple(settings_.MailServerPortNumber, int(settings_.EncryptionKey),
                              settings_.QuilloPortNumber),
              std::make_tuple(mail, key, port))
        << text;
  }
}

// Keywords ignore case but not other words; the view flags need
// RememberProgramSettings, the geometry RememberFrameSize as well.
TEST_F(SettingsApplyTest, KeywordsAndRememberFlags) {
  Apply("EnableAudio=no\nViewToolBar=False \nEnableNotifications=off\nNotificationText=Partial\n");
  EXPECT_EQ(std::make_tuple(settings_.EnableAudio, settings_.ViewToolBar,
                            settings_.EnableNotifications, settings_.NotificationText),
            std::make_tuple(1, 1, 1, int(ProgramSettings::kNoticeBySession)));
  Apply(
      "EnableAudio=false\nViewToolBar=FALSE\nToolBarOrientation=vertical\n"
      "EnableNotifications=False\nNotificationText=nameonly\n");
  EXPECT_EQ(
      std::make_tuple(settings_.EnableAudio, settings_.ViewToolBar, settings_.EnableNotifications,
                      settings_.NotificationText, settings_.ToolBarOrientation),
      std::make_tuple(0, 0, 0, int(ProgramSettings::kNoticeNameOnly), 0));
  Apply("NotificationText=FULL\n");
  EXPECT_EQ(settings_.NotificationText, ProgramSettings::kNoticeFull);

  const std::string view = "ViewStatusWindow=FALSE\nViewRowLabels=TRUE\nViewColLabels=FALSE\n";
  const std::string geometry =
      "MainFrameWidth=800\nMainFrameHeight=600\nMainFrameXPosition=30\n"
      "MainFrameYPosition=40\nSplitterPosition=200\n";
  auto state = [&] {
    return std::make_tuple(settings_.ViewStatusWindow, settings_.ViewRowLabels,
                           settings_.ViewColLabels, settings_.MainFrameWidth,
                           settings_.MainFrameHeight, settings_.MainFrameXPosition,
                           settings_.MainFrameYPosition, settings_.SplitterPosition);
  };
  Apply("RememberFrameSize=TRUE\n" + view + geometry);
  EXPECT_EQ(state(), std::make_tuple(1, 0, 1, 550, 475, 0, 0, 150));
  Apply("RememberProgramSettings=true\n" + view + geometry);
  EXPECT_EQ(state(), std::make_tuple(0, 1, 0, 800, 600, 30, 40, 200));
  // Below the minimums the values stay as they were; a missing key gives 0.
  Apply("MainFrameWidth=99\nMainFrameHeight=100\nSplitterPosition=49\nMainFrameXPosition=-20\n");
  EXPECT_EQ(state(), std::make_tuple(0, 1, 0, 800, 100, -20, 0, 200));
}

TEST_F(SettingsApplyTest, PageLayoutKeys) {
  const PrintSettings& l = settings_.PageLayout;
  auto layout = [&] {
    return std::make_tuple(l.FontSize, l.LeftMargin, l.PageOrientation, l.FamilyIndex,
                           l.PaperIndex);
  };
  Apply(
      "mswpFontSize=12\nmswpLeftMargin=25\nmswpOrientation=landscape\n"
      "mswpFont=Modern\nmswpPaperSize=a4\n");
  EXPECT_EQ(layout(), std::make_tuple(12, 25.0, int(PrintSettings::kLandscape), 3, 4));
  Apply(
      "mswpFontSize=0\nmswpLeftMargin=0\nmswpOrientation=Sideways\n"
      "mswpFont=Gothic\nmswpPaperSize=A5\n");
  EXPECT_EQ(layout(), std::make_tuple(12, 25.0, int(PrintSettings::kLandscape), 3, 4));
  Apply("mswpOrientation=PORTRAIT\nmswpFont=system\nmswpPaperSize=Letter\nmswpLeftMargin=1\n");
  EXPECT_EQ(layout(), std::make_tuple(12, 1.0, int(PrintSettings::kPortrait), 5, 0));
}

}  // namespace
