// How the panels read typed fields, and the Config panel's change test (its
// commit of the fields the panel only passes on).
#include "core/settings/panel_fields.h"

#include <gtest/gtest.h>

#include "core/settings/config_commit.h"
#include "core/settings/program_settings.h"

namespace {

TEST(PanelFieldsTest, TrimBlanksStripsWhiteSpaceAtBothEndsOnly) {
  EXPECT_EQ("Ann Lee", TrimBlanks(" \t Ann Lee \r\n"));
  EXPECT_EQ("", TrimBlanks("   \t"));
  EXPECT_EQ("", TrimBlanks(""));
  EXPECT_EQ("a", TrimBlanks("a"));
}

TEST(PanelFieldsTest, FieldNumberReadsLikeAtoi) {
  EXPECT_EQ(59152, FieldNumber("59152"));
  EXPECT_EQ(42, FieldNumber("  42abc"));
  EXPECT_EQ(-7, FieldNumber("-7"));
  EXPECT_EQ(8, FieldNumber("+8"));
  EXPECT_EQ(0, FieldNumber("abc"));
  EXPECT_EQ(0, FieldNumber(""));
  EXPECT_EQ(0, FieldNumber("- 5"));
  EXPECT_EQ(70000, FieldNumber("70000"));
  // Beyond 32 bits the number saturates instead of wrapping to nonsense.
  EXPECT_EQ(2147483647, FieldNumber("99999999999999999999"));
  EXPECT_EQ(-2147483647 - 1, FieldNumber("-99999999999999999999"));
}

TEST(PanelFieldsTest, CutToBytesKeepsWholeCharacters) {
  EXPECT_EQ("abc", CutToBytes("abcdef", 3));
  EXPECT_EQ("abc", CutToBytes("abc", 24));
  // "é" is two bytes: a cut between them drops the whole character.
  EXPECT_EQ("ab", CutToBytes("ab\xC3\xA9z", 3));
  EXPECT_EQ("ab\xC3\xA9", CutToBytes("ab\xC3\xA9z", 4));
  // Latin-1 bytes are cut where they stand.
  EXPECT_EQ("ab\xE9", CutToBytes("ab\xE9\xE9", 3));
}

TEST(ConfigChangeTest, EachFieldCountsAsAChange) {
  ProgramSettings settings;
  const ConfigFields stored = ConfigFields::From(settings);
  EXPECT_EQ("59152", stored.Port);
  EXPECT_EQ("52917", stored.Key);
  auto changed = [&](void (*edit)(ConfigFields&)) {
    ConfigFields fields = stored;
    edit(fields);
    return ConfigIsModified(fields, settings);
  };
  EXPECT_FALSE(changed([](ConfigFields&) {}));
  EXPECT_TRUE(changed([](ConfigFields& f) { f.ScreenName = "Ann"; }));
  EXPECT_TRUE(changed([](ConfigFields& f) { f.Port = "4000"; }));
  EXPECT_TRUE(changed([](ConfigFields& f) { f.Key = "1234"; }));
  EXPECT_TRUE(changed([](ConfigFields& f) { f.Greeting = "Hi"; }));
  EXPECT_TRUE(changed([](ConfigFields& f) { f.HomeDirectory = "/elsewhere"; }));
  EXPECT_TRUE(changed([](ConfigFields& f) { f.MailServer = "mail.example.org"; }));
  EXPECT_TRUE(changed([](ConfigFields& f) { f.ReturnEmailAddress = "ann@example.org"; }));
  EXPECT_TRUE(changed([](ConfigFields& f) { f.EnableAudio = !f.EnableAudio; }));
  EXPECT_TRUE(changed([](ConfigFields& f) { f.EnableNotifications = !f.EnableNotifications; }));
  EXPECT_TRUE(changed([](ConfigFields& f) { f.PrivateSessions = PrivateMode::kOff; }));
  EXPECT_TRUE(changed([](ConfigFields& f) { f.PrivatePassphrase = "words"; }));
  // Numbers compare as numbers: leading zeros or trailing text are no change.
  EXPECT_FALSE(changed([](ConfigFields& f) { f.Port = "059152xyz"; }));
  // The whole key is compared with the 16-bit one: 52917 + 65536 differs.
  EXPECT_TRUE(changed([](ConfigFields& f) { f.Key = "118453"; }));
}

// A long name is cut in memory, the key keeps its low 16 bits, the mail
// port is what follows the first colon and the host what precedes the last.
TEST(ConfigCommitTest, FieldsAreCutAndSplitAsTheProgramUsesThem) {
  const struct {
    const char *typed, *host;
    int port;
  } servers[] = {{"mail.example.org:2525", "mail.example.org", 2525},
                 {"smtp.example.org", "smtp.example.org", 2525},
                 {"a:b:2525", "a:b", 0},
                 {"mail.example.org:25x", "mail.example.org", 25}};
  ProgramSettings settings;
  settings.SettingsFilePath = "/dev/null/quillo.ini";  // memory only
  for (const auto& server : servers) {
    ConfigFields fields = ConfigFields::From(settings);
    fields.MailServer = server.typed;
    fields.ScreenName = "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234";
    fields.Key = "70000";
    EXPECT_EQ(ConfigCommitResult::kCommitted, CommitConfig(fields, settings).result);
    EXPECT_EQ(server.host, settings.MailServer) << server.typed;
    EXPECT_EQ(server.port, settings.MailServerPortNumber) << server.typed;
  }
  EXPECT_EQ("ABCDEFGHIJKLMNOPQRSTUVWX", settings.ScreenName);
  EXPECT_EQ(70000 & 0xFFFF, settings.EncryptionKey);
}

}  // namespace
