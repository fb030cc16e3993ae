#include "core/settings/settings_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <string>

#include "support/fault_file_io.h"
#include "support/test_support.h"

namespace {

class SettingsFileTest : public ::testing::Test {
 protected:
  qtest::ScratchDir dir_;
  std::string path_ = dir_.File("quillo.ini");
};

// Files written by hand and by older versions are read as they always were.
TEST_F(SettingsFileTest, ReadingTrimsBlanksSkipsCommentsAndEndsLines) {
  const std::string long_value = std::string(3000, 'x') + "ScreenName=Tail";
  const std::string comments =
      "#ScreenName=Commented\r\n # ScreenName=AlsoCommented\r\n[Section]\r\n\r\n"
      "ScreenName\r\nScreenName=Real\r\n";
  const std::string repeated = "screenname=lower\nScreenName=First\nScreenName=Second\n";
  struct Case {
    std::string text, key, value;
  } cases[] = {
      {"ScreenName = Ann # me\n", "ScreenName", "Ann"},
      {"ScreenName = Ann #\n", "ScreenName", "Ann"},
      {"ScreenName = Ann Lee # me\n", "ScreenName", "Ann Lee # me"},
      // Two leading blanks: the line loses one, the key the other.
      {"  ScreenName=Bob\n", "ScreenName", "Bob"},
      {"  ScreenName = Bob\n", "ScreenName", "<none>"},  // the key keeps a blank
      {"Screen Name=Bob\n", "ScreenName", "Bob"},        // the key's first blank goes, wherever
      // Only one leading blank of the value goes; trailing blanks and tabs stay.
      {"ScreenName=  Bob \n", "ScreenName", " Bob "},
      {"MailServer=a=b\n", "MailServer", "a=b"},
      {comments, "ScreenName", "Real"},
      {"A=1\r\nB=2\nC=3", "C", "3"},
      {"A=one\rtwo\n", "A", "one"},
      // Keys are case-sensitive, the first occurrence wins, values are no keys.
      {repeated, "ScreenName", "First"},
      {repeated, "SCREENNAME", "<none>"},
      {"Alias=ScreenName\n", "ScreenName", "<none>"},
      {"Long=" + long_value + "\r\nScreenName=Bob\r\n", "Long", long_value},  // never cut
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 60));
    qtest::WriteBytes(path_, c.text);
    SettingsFile file(path_);
    EXPECT_TRUE(file.Load());
    EXPECT_EQ(file.GetString(c.key).value_or("<none>"), c.value);
  }
  qtest::WriteBytes(path_, comments);
  SettingsFile file(path_);
  ASSERT_TRUE(file.Load());
  EXPECT_EQ(file.Items().size(), 2u);
  EXPECT_FALSE(SettingsFile(dir_.File("absent.ini")).Load());
  EXPECT_FALSE(qtest::Exists(dir_.File("absent.ini")));  // nothing created
}

TEST_F(SettingsFileTest, PutRewritesMatchingLinesOrAppendsWithCrLf) {
  const std::string continued = "HomeDirectory=/home/ann/quillo\\\r\nScreenName=Bob\r\nZ=1\\\r\n";
  struct Case {
    std::string before, key, value;
    int count;
    std::string after;
  } cases[] = {
      {"A=1\nScreenName = Bob\nB=2\n", "ScreenName", "Ann", 1, "A=1\r\nScreenName=Ann\r\nB=2\r\n"},
      {"ScreenName=A\r\nX=1\r\nScreenName=B\r\n", "ScreenName", "C", 2,
       "ScreenName=C\r\nX=1\r\nScreenName=C\r\n"},
      // Longer names, the key as a tail, or inside a value are other keys.
      {"MailServerPortNumber=25\r\n", "MailServer", "smtp", 1,
       "MailServerPortNumber=25\r\nMailServer=smtp\r\n"},
      // A key after one or two blanks, as the reader takes it, is rewritten.
      {" ScreenName=Bob\r\n", "ScreenName", "Ann", 1, " ScreenName=Ann\r\n"},
      {"  ScreenName=Bob\r\n", "ScreenName", "Ann", 1, "  ScreenName=Ann\r\n"},
      // A commented-out line alone is no entry: the value is appended too,
      // so that it is read back.
      {" #ScreenName yours =\r\n", "ScreenName", "Ann", 2,
       " #ScreenName=Ann\r\nScreenName=Ann\r\n"},
      {"#ScreenName=Old\r\nScreenName=Bob\r\n", "ScreenName", "Ann", 2,
       "#ScreenName=Ann\r\nScreenName=Ann\r\n"},
      {"ScreenName Bob\r\n", "ScreenName", "Ann", 1, "ScreenName Bob\r\nScreenName=Ann\r\n"},
      // Other lines are kept byte for byte, bytes after a NUL too.
      {"[Old]\r\n# n = x\r\n\r\n\tTab=1\r\nA=one\rtwo\r\nB=1\r\n", "B", "2", 1,
       "[Old]\r\n# n = x\r\n\r\n\tTab=1\r\nA=one\rtwo\r\nB=2\r\n"},
      {std::string("A=1\r\n\0x", 7), "A", "2", 1, std::string("A=2\r\n\0x\r\n", 9)},
      // The rewritten file ends with one CRLF.
      {"A=1\nB=2", "B", "3", 1, "A=1\r\nB=3\r\n"},
      {"A=1\r\n\r\n", "A", "2", 1, "A=2\r\n\r\n"},
      {"A=1\r\n\r", "A", "2", 1, "A=2\r\n"},
      // A value ending in a backslash must not take the next entry with it.
      {continued, "ScreenName", "Ann", 1,
       "HomeDirectory=/home/ann/quillo\\\r\nScreenName=Ann\r\nZ=1\\\r\n"},
      // Appended; a last line without line end is ended first.
      {"A=1", "B", "2", 1, "A=1\r\nB=2\r\n"},
      {"", "B", "2", 1, "B=2\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before.substr(0, 60));
    qtest::WriteBytes(path_, c.before);
    SettingsFile file(path_);
    EXPECT_EQ(file.Put(c.key, c.value), c.count);
    EXPECT_EQ(qtest::ReadBytes(path_), c.after);
    EXPECT_EQ(file.GetString(c.key).value_or("<none>"), c.value);  // the file was reloaded
  }
}

// Crash and full-disk injection over the settings file: wherever a Put
// stops, the file holds its old contents or its new ones, and a Put that
// did not replace the file says so.
using qtest::FaultFileIo;

class SettingsCrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 31; ++i)
      old_ += "Key" + std::to_string(i) + "=value " + std::to_string(i) + "\r\n";
  }
  // Put on the old contents through io; what it returned.
  int Put(const std::string& key, const std::string& value, FileIo* io) {
    qtest::WriteBytes(path_, old_);
    SettingsFile file(path_);
    file.SetFileIo(io);
    return file.Put(key, value);
  }
  qtest::ScratchDir dir_;
  std::string path_ = dir_.File("quillo.ini");
  std::string old_;
};

TEST_F(SettingsCrashTest, EveryCrashPointOfPutLeavesTheOldOrTheNewFile) {
  for (const char* key : {"Key7", "NewKey"}) {  // a rewritten line, an appended one
    FaultFileIo counter;
    ASSERT_GT(Put(key, "changed", &counter), 0);
    const std::string after = qtest::ReadBytes(path_);
    for (FaultFileIo::Mode mode : {FaultFileIo::Mode::kCrash, FaultFileIo::Mode::kTornCrash}) {
      for (long n = 1; n <= counter.Calls(); ++n) {
        EXPECT_EQ(qtest::InChild([&] {
                    FaultFileIo io(mode, n);
                    Put(key, "changed", &io);
                    return 1;  // never reached: the Nth call exits 0
                  }),
                  0);
        const std::string now = qtest::ReadBytes(path_);
        EXPECT_TRUE(now == old_ || now == after) << key << ": crash at call " << n;
      }
    }
  }
}

TEST_F(SettingsCrashTest, AFailedWriteReportsAndKeepsTheFile) {
  FaultFileIo counter;
  ASSERT_GT(Put("Key3", "three", &counter), 0);
  const std::string after = qtest::ReadBytes(path_);
  for (long n = 1; n <= counter.Calls(); ++n) {
    FaultFileIo io(FaultFileIo::Mode::kFailFrom, n);
    const int put = Put("Key3", "three", &io);
    // Only the final directory sync may fail once the new file is in place.
    EXPECT_EQ(qtest::ReadBytes(path_), put == 0 ? old_ : after) << "failing from call " << n;
    EXPECT_EQ(put == 0, n < counter.Calls()) << n;
  }
  EXPECT_EQ(SettingsFile(dir_.File("no/such/dir/quillo.ini")).Put("A", "1"), 0);
  // A file too large for what the process may write.
  for (const rlim_t limit : {rlim_t(0), rlim_t(old_.size())}) {
    qtest::WriteBytes(path_, old_);
    EXPECT_EQ(qtest::InChild([&] {
                signal(SIGXFSZ, SIG_IGN);
                struct rlimit small = {limit, limit};
                if (setrlimit(RLIMIT_FSIZE, &small) != 0) return 3;
                return SettingsFile(path_).Put("Key0", std::string(200, 'z')) == 0 ? 0 : 2;
              }),
              0)
        << limit;
    EXPECT_EQ(qtest::ReadBytes(path_), old_) << limit;
    EXPECT_FALSE(qtest::Exists(path_ + ".new"));
  }
  // A new file is private: it holds the encryption key.
  std::remove(path_.c_str());
  ASSERT_GT(SettingsFile(path_).Put("A", "1"), 0);
  struct stat st {};
  ASSERT_EQ(stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

}  // namespace
