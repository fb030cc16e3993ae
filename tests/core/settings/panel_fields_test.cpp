// How the panels read typed fields, the Config panel's change test and
// commit, and the print layout's page arithmetic.
#include "core/settings/panel_fields.h"

#include <gtest/gtest.h>

#include "core/settings/config_commit.h"
#include "core/settings/print_layout.h"
#include "core/settings/program_settings.h"
#include "core/settings/settings_file.h"
#include "support/test_support.h"

namespace {

// Typed fields and the settings file's values turn into numbers alike:
// like atoi, but saturating.
TEST(PanelFieldsTest, TrimAndNumbersLikeAtoiSaturating) {
  EXPECT_EQ("Ann Lee", TrimBlanks(" \t\v\f Ann Lee \r\n"));
  EXPECT_EQ("", TrimBlanks("   \t"));
  const std::string nines(20, '9');
  const int32_t kMax = INT32_MAX, kMin = INT32_MIN;
  const std::pair<std::string, int32_t> numbers[] = {
      {"  42abc", 42},      {"-7", -7},       {"+8", 8},   {"abc", 0},    {"", 0},
      {"- 5", 0},           {"70000", 70000}, {"\t 9", 9}, {nines, kMax}, {"-" + nines, kMin},
      {"-2147483648", kMin}};
  qtest::ScratchDir dir;
  std::string text;
  for (size_t i = 0; i < std::size(numbers); ++i)
    text += "N" + std::to_string(i) + "=" + numbers[i].first + "\n";
  qtest::WriteBytes(dir.File("quillo.ini"), text);
  SettingsFile file(dir.File("quillo.ini"));
  ASSERT_TRUE(file.Load());
  EXPECT_EQ(file.GetInt("Missing"), 0);
  for (size_t i = 0; i < std::size(numbers); ++i) {
    EXPECT_EQ(FieldNumber(numbers[i].first), numbers[i].second) << numbers[i].first;
    EXPECT_EQ(file.GetInt("N" + std::to_string(i)), numbers[i].second) << numbers[i].first;
  }
}

// A cut inside a well-formed UTF-8 character drops the whole character;
// other bytes (Latin-1 text, impossible lead bytes) are cut where they stand.
TEST(PanelFieldsTest, CutToBytesKeepsWholeCharacters) {
  const std::tuple<const char*, size_t, const char*> cases[] = {
      {"abcdef", 3, "abc"},
      {"abc", 24, "abc"},
      {"ab\xC3\xA9z", 3, "ab"},
      {"ab\xC3\xA9z", 4, "ab\xC3\xA9"},
      {"ab\xE9\xE9", 3, "ab\xE9"},
      {"a\xC2\xA9", 2, "a"},
      {"a\xC1\xA9", 2, "a\xC1"},  // below the first lead byte
      {"a\xF4\x8F\xBF\xBF", 4, "a"},
      {"a\xF5\x8F\xBF\xBF", 4, "a\xF5\x8F\xBF"},  // above the last one
      {"a\x80\x80\x80\x80", 4, "a\x80\x80\x80"},  // no lead within reach
  };
  for (const auto& [text, bytes, cut] : cases) EXPECT_EQ(CutToBytes(text, bytes), cut) << text;
}

TEST(ConfigChangeTest, EachFieldCountsAsAChange) {
  ProgramSettings settings;
  const ConfigFields stored = ConfigFields::From(settings);
  auto changed = [&](void (*edit)(ConfigFields&)) {
    ConfigFields fields = stored;
    edit(fields);
    return ConfigIsModified(fields, settings);
  };
  EXPECT_FALSE(changed([](ConfigFields&) {}));
  EXPECT_TRUE(changed([](ConfigFields& f) { f.ScreenName = "Ann"; }));
  EXPECT_TRUE(changed([](ConfigFields& f) { f.Port = "4000"; }));
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

// A new home directory is made (one level) before the key is written; one
// that cannot be made stops the commit with nothing written.
TEST(ConfigCommitTest, HomeDirectoryIsMadeBeforeItIsWritten) {
  qtest::ScratchDir dir;
  ProgramSettings settings;
  settings.SettingsFilePath = dir.File("quillo.ini");
  ConfigFields fields = ConfigFields::From(settings);
  fields.HomeDirectory = dir.File("a/b");
  EXPECT_EQ(CommitConfig(fields, settings).result, ConfigCommitResult::kHomeDirectoryFailed);
  EXPECT_FALSE(qtest::Exists(settings.SettingsFilePath));
  fields.HomeDirectory = dir.File("a");
  EXPECT_EQ(CommitConfig(fields, settings).result, ConfigCommitResult::kCommitted);
  EXPECT_EQ(settings.HomeDirectory, dir.File("a"));
  EXPECT_EQ(qtest::ReadBytes(settings.SettingsFilePath), "HomeDirectory=" + dir.File("a") + "\r\n");
  fields.PrivatePassphrase = "open sesame";
  EXPECT_EQ(CommitConfig(fields, settings).result, ConfigCommitResult::kCommitted);
  EXPECT_EQ(qtest::ReadBytes(settings.SettingsFilePath),
            "HomeDirectory=" + dir.File("a") + "\r\nPrivatePassphrase=open sesame\r\n");
}

// Page counts round up, and an empty conversation takes one page.
TEST(PrintLayoutTest, ScalesAndLinesPerPage) {
  const int cases[][3] = {{0, 39, 1},  {39, 39, 1}, {40, 39, 2}, {78, 39, 2},
                          {79, 39, 3}, {5, 0, 5},   {5, -3, 5},  {10000, 1, 10000}};
  for (const auto& c : cases) EXPECT_EQ(PageCount(c[0], c[1]), c[2]) << c[0] << "/" << c[1];
  EXPECT_FLOAT_EQ(MillimetreScale(720, 96), 96 / 25.1f);
  // One logical unit is one screen pixel on a surface of the page's size;
  // a preview bitmap of half the page's pixels halves the scale.
  EXPECT_DOUBLE_EQ(SurfaceUserScale(6120, 6120, 720, 96), 7.5);
  EXPECT_DOUBLE_EQ(SurfaceUserScale(3060, 6120, 720, 96), 3.75);
  // Letter, 279 mm high: bottom (279 - 20) * scale, top 20 * scale, a
  // reserve of 23 and lines of int(9 + 9 / 1.7) = 14; never fewer than one.
  const float scale = MillimetreScale(600, 96);
  EXPECT_EQ(PreviewLinesPerPage(scale, 279, 20.0, 9),
            static_cast<int>(((279 - 20) * scale - 23 - 20 * scale) / 14));
  EXPECT_EQ(PreviewLinesPerPage(scale, 30, 20.0, 20), 1);
  EXPECT_EQ(PreviewLinesPerPage(scale, 279, 20.0, 0), 1);
  // Lines of 10 from 100; the body must stay above 500 - 20.
  EXPECT_EQ(MeasuredLinesPerPage(100, 500, 20, 10), 38);
  EXPECT_EQ(MeasuredLinesPerPage(100, 50, 20, 10), 1);
  EXPECT_EQ(MeasuredLinesPerPage(100, 500, 20, 0), 1);
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
