#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "core/settings/page_layout_check.h"
#include "core/settings/program_settings.h"
#include "core/settings/settings_file.h"
#include "core/settings/settings_parts.h"
#include "core/settings/settings_test_files.h"

namespace {

// Applies a settings file to fresh settings whose directories lie in a
// scratch directory.
class SettingsApplyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.WorkingDirectory = dir_.Path();
    settings_.HomeDirectory = dir_.File("home");
  }
  void Apply(const std::string& text) {
    std::string path = dir_.File("quillo.ini");
    WriteBytes(path, text);
    SettingsFile file(path);
    ASSERT_TRUE(file.Load());
    settings_.ApplyStartupKeys(file);
    settings_.ApplyPageLayoutKeys(file);
  }
  // Status window, row labels, column labels.
  std::tuple<int, int, int> ViewFlags() const {
    return {settings_.ViewStatusWindow, settings_.ViewRowLabels, settings_.ViewColLabels};
  }

  ScratchDirectory dir_;
  ProgramSettings settings_;
};

TEST_F(SettingsApplyTest, EmptyFileKeepsDefaultsButSettlesPaths) {
  Apply("");
  EXPECT_EQ(settings_.ScreenName, "Quillo");
  EXPECT_EQ(settings_.MailServerPortNumber, 25);
  EXPECT_EQ(settings_.EncryptionKey, 52917);
  EXPECT_EQ(settings_.QuilloPortNumber, 59152);
  EXPECT_EQ(settings_.EnableAudio, 1);
  EXPECT_EQ(settings_.EnableNotifications, 1);
  EXPECT_EQ(settings_.NotificationText, ProgramSettings::kNoticeBySession);
  EXPECT_EQ(settings_.MainFrameWidth, 550);
  EXPECT_EQ(settings_.PageLayout.FontSize, 9);
  EXPECT_EQ(settings_.mswpDocumentName, "Quillo Session");
  EXPECT_EQ(settings_.HomeDirectory, dir_.File("home"));
  EXPECT_TRUE(std::filesystem::is_directory(dir_.File("home")));
  EXPECT_EQ(settings_.AudioFile, "\"" + dir_.Path() + "/activity.wav\"");
}

TEST_F(SettingsApplyTest, TextKeys) {
  Apply(
      "ScreenName=ABCDEFGHIJKLMNOPQRSTUVWXYZ0123\n"
      "MailServer=smtp.example.org\nReturnEmailAddress=ann@example.org\n"
      "AudioFile=/snd/ping.wav\nPreviousConnectionsDB=prev\nInvitationDB=invites\n"
      "WelcomeMessageFile=welcome.txt\nmswpDocumentName=Our Talk\n");
  EXPECT_EQ(settings_.ScreenName, "ABCDEFGHIJKLMNOPQRSTUVWX");  // first 24
  EXPECT_EQ(settings_.MailServer, "smtp.example.org");
  EXPECT_EQ(settings_.ReturnEmailAddress, "ann@example.org");
  EXPECT_EQ(settings_.AudioFile, "\"/snd/ping.wav\"");
  EXPECT_EQ(settings_.PreviousConnectionsDB, "prev");
  EXPECT_EQ(settings_.InvitationDB, "invites");
  EXPECT_EQ(settings_.WelcomeMessageFile, "welcome.txt");
  EXPECT_EQ(settings_.mswpDocumentName, "Our Talk");
  Apply("ScreenName=\n");
  EXPECT_EQ(settings_.ScreenName, "");
}

// The mode word in any case; an unknown word keeps private sessions on
// offer. The passphrase is taken as written and reaches a session's
// snapshot, whose mode is Off when the crypto library did not start.
TEST_F(SettingsApplyTest, PrivateSessionKeys) {
  Apply("");
  EXPECT_EQ(settings_.PrivateSessions, PrivateMode::kPrefer);
  EXPECT_EQ(settings_.PrivatePassphrase, "");
  Apply("PrivateSessions=require\nPrivatePassphrase=open sesame\n");
  EXPECT_EQ(settings_.PrivateSessions, PrivateMode::kRequire);
  EXPECT_EQ(settings_.PrivatePassphrase, "open sesame");
  SessionSnapshot snapshot = SessionSnapshotOf(settings_);
  EXPECT_EQ(snapshot.private_mode, PrivateMode::kRequire);
  EXPECT_EQ(snapshot.passphrase, "open sesame");
  settings_.PrivateSessionsAvailable = false;
  EXPECT_EQ(SessionSnapshotOf(settings_).private_mode, PrivateMode::kOff);
  Apply("PrivateSessions=OFF\n");
  EXPECT_EQ(settings_.PrivateSessions, PrivateMode::kOff);
  ProgramSettings fresh;
  SettingsFile file(dir_.File("quillo.ini"));
  WriteBytes(dir_.File("quillo.ini"), "PrivateSessions=sometimes\n");
  ASSERT_TRUE(file.Load());
  fresh.ApplyStartupKeys(file);
  EXPECT_EQ(fresh.PrivateSessions, PrivateMode::kPrefer);
}

TEST_F(SettingsApplyTest, NumericBoundaries) {
  Apply("MailServerPortNumber=65535\nEncryptionKey=1023\nQuilloPortNumber=1024\n");
  EXPECT_EQ(settings_.MailServerPortNumber, 25);
  EXPECT_EQ(settings_.EncryptionKey, 52917);
  EXPECT_EQ(settings_.QuilloPortNumber, 59152);
  Apply("MailServerPortNumber=65534\nEncryptionKey=1024\nQuilloPortNumber=1025\n");
  EXPECT_EQ(settings_.MailServerPortNumber, 65534);
  EXPECT_EQ(settings_.EncryptionKey, 1024);
  EXPECT_EQ(settings_.QuilloPortNumber, 1025);
  Apply("MailServerPortNumber=0\nEncryptionKey=70000\nQuilloPortNumber=65535\n");
  EXPECT_EQ(settings_.MailServerPortNumber, 65534);
  EXPECT_EQ(settings_.EncryptionKey, 70000 & 0xFFFF);  // low 16 bits
  EXPECT_EQ(settings_.QuilloPortNumber, 65535);
  Apply("QuilloPortNumber=70000\n");  // above the last TCP port
  EXPECT_EQ(settings_.QuilloPortNumber, 65535);
}

TEST_F(SettingsApplyTest, KeywordsIgnoreCaseButNotOtherWordsAndViewFlagsNeedRemembering) {
  Apply("EnableAudio=no\nViewToolBar=False \nToolBarOrientation=vertical\n");
  EXPECT_EQ(settings_.EnableAudio, 1);
  EXPECT_EQ(settings_.ViewToolBar, 1);  // trailing blank: not the word
  EXPECT_EQ(settings_.ToolBarOrientation, 0);
  Apply("EnableAudio=false\nViewToolBar=FALSE\n");
  EXPECT_EQ(settings_.EnableAudio, 0);
  EXPECT_EQ(settings_.ViewToolBar, 0);
  // The view flags need RememberProgramSettings.
  Apply("ViewStatusWindow=FALSE\nViewRowLabels=TRUE\nViewColLabels=FALSE\n");
  EXPECT_EQ(ViewFlags(), std::make_tuple(1, 0, 1));
  Apply(
      "RememberProgramSettings=true\n"
      "ViewStatusWindow=FALSE\nViewRowLabels=TRUE\nViewColLabels=FALSE\n");
  EXPECT_EQ(settings_.RememberProgramSettings, 1);
  EXPECT_EQ(ViewFlags(), std::make_tuple(0, 1, 0));
}

TEST_F(SettingsApplyTest, NotificationKeys) {
  Apply("EnableNotifications=off\nNotificationText=Partial\n");
  EXPECT_EQ(settings_.EnableNotifications, 1);
  EXPECT_EQ(settings_.NotificationText, ProgramSettings::kNoticeBySession);
  Apply("EnableNotifications=False\nNotificationText=nameonly\n");
  EXPECT_EQ(settings_.EnableNotifications, 0);
  EXPECT_EQ(settings_.NotificationText, ProgramSettings::kNoticeNameOnly);
  Apply("NotificationText=FULL\n");
  EXPECT_EQ(settings_.NotificationText, ProgramSettings::kNoticeFull);
}

TEST_F(SettingsApplyTest, GeometryNeedsBothRememberFlags) {
  const std::string geometry =
      "MainFrameWidth=800\nMainFrameHeight=600\nMainFrameXPosition=30\n"
      "MainFrameYPosition=40\nSplitterPosition=200\n";
  Apply("RememberFrameSize=TRUE\n" + geometry);
  EXPECT_EQ(settings_.MainFrameWidth, 550);
  EXPECT_EQ(settings_.MainFrameXPosition, 0);
  EXPECT_EQ(settings_.SplitterPosition, 150);
  Apply("RememberProgramSettings=TRUE\nRememberFrameSize=TRUE\n" + geometry);
  EXPECT_EQ(settings_.MainFrameWidth, 800);
  EXPECT_EQ(settings_.MainFrameHeight, 600);
  EXPECT_EQ(settings_.MainFrameXPosition, 30);
  EXPECT_EQ(settings_.MainFrameYPosition, 40);
  EXPECT_EQ(settings_.SplitterPosition, 200);
  // Below the minimums the values stay as they were; a missing key gives 0.
  Apply(
      "RememberProgramSettings=TRUE\nRememberFrameSize=TRUE\nMainFrameWidth=99\n"
      "MainFrameHeight=100\nSplitterPosition=49\nMainFrameXPosition=-20\n");
  EXPECT_EQ(settings_.MainFrameWidth, 800);
  EXPECT_EQ(settings_.MainFrameHeight, 100);
  EXPECT_EQ(settings_.SplitterPosition, 200);
  EXPECT_EQ(settings_.MainFrameXPosition, -20);
  EXPECT_EQ(settings_.MainFrameYPosition, 0);
}

TEST_F(SettingsApplyTest, PageLayoutKeys) {
  Apply(
      "mswpFontSize=12\nmswpLeftMargin=25\nmswpOrientation=landscape\n"
      "mswpFont=Modern\nmswpPaperSize=a4\n");
  EXPECT_TRUE(PageLayoutIs(settings_.PageLayout, 12, 25.0, PrintSettings::kLandscape, 3, 4));
  Apply(
      "mswpFontSize=0\nmswpLeftMargin=-3\nmswpOrientation=Sideways\n"
      "mswpFont=Gothic\nmswpPaperSize=A5\n");
  EXPECT_TRUE(PageLayoutIs(settings_.PageLayout, 12, 25.0, PrintSettings::kLandscape, 3, 4));
  Apply("mswpOrientation=PORTRAIT\nmswpFont=system\nmswpPaperSize=Letter\n");
  EXPECT_EQ(settings_.PageLayout.PageOrientation, PrintSettings::kPortrait);
  EXPECT_EQ(settings_.PageLayout.FamilyIndex, 5);
  EXPECT_EQ(settings_.PageLayout.PaperIndex, 0);
}

TEST_F(SettingsApplyTest, HomeDirectoryIsCreatedOneLevelOnlyElseTheWorkingDirectory) {
  Apply("HomeDirectory=" + dir_.File("data") + "\n");
  EXPECT_EQ(settings_.HomeDirectory, dir_.File("data"));
  EXPECT_TRUE(std::filesystem::is_directory(dir_.File("data")));
  Apply("HomeDirectory=" + dir_.File("a/b") + "\n");
  EXPECT_EQ(settings_.HomeDirectory, dir_.Path());  // the working directory
  EXPECT_FALSE(std::filesystem::exists(dir_.File("a")));
  WriteBytes(dir_.File("plain"), "x");  // a file, not a directory
  Apply("HomeDirectory=" + dir_.File("data") + "\n");
  Apply("HomeDirectory=" + dir_.File("plain") + "\n");
  EXPECT_EQ(settings_.HomeDirectory, dir_.Path());
}

}  // namespace
