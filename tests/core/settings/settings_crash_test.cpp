// Crash and full-disk injection over the settings file: whatever point of
// a Put the process stops at, and however full the disk, the file holds
// its old contents or its new ones, never anything in between.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/settings/settings_file.h"
#include "core/settings/settings_test_files.h"
#include "support/fault_file_io.h"

namespace {

using qtest::FaultFileIo;

class SettingsCrashTest : public ::testing::Test {
 protected:
  std::string OldContents() const {
    std::string text;
    for (int i = 0; i < 31; ++i)
      text += "Key" + std::to_string(i) + "=value " + std::to_string(i) + "\r\n";
    return text;
  }
  // The file after Put(key, value) on the old contents.
  std::string NewContents(const std::string& key, const std::string& value) {
    WriteBytes(path_, OldContents());
    SettingsFile file(path_);
    EXPECT_GT(file.Put(key, value), 0);
    return ReadBytes(path_);
  }
  long CallsOfPut(const std::string& key, const std::string& value) {
    WriteBytes(path_, OldContents());
    FaultFileIo io;
    SettingsFile file(path_);
    file.SetFileIo(&io);
    EXPECT_GT(file.Put(key, value), 0);
    return io.Calls();
  }

  ScratchDirectory dir_;
  std::string path_ = dir_.File("quillo.ini");
};

TEST_F(SettingsCrashTest, EveryCrashPointOfPutLeavesTheOldOrTheNewFile) {
  int tried = 0, lost = 0;
  // A rewritten line, and an appended one.
  for (const auto& [key, value] :
       {std::pair<std::string, std::string>{"Key7", "seven"}, {"NewKey", "appended"}}) {
    const std::string after = NewContents(key, value);
    const long calls = CallsOfPut(key, value);
    for (FaultFileIo::Mode mode : {FaultFileIo::Mode::kCrash, FaultFileIo::Mode::kTornCrash}) {
      for (long n = 1; n <= calls; ++n) {
        WriteBytes(path_, OldContents());
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
          FaultFileIo io(mode, n);
          SettingsFile file(path_);
          file.SetFileIo(&io);
          (void)file.Put(key, value);  // never returns: the Nth call stops the process
          _exit(1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        ++tried;
        const std::string now = ReadBytes(path_);
        if (now != OldContents() && now != after) {
          ++lost;
          ADD_FAILURE() << key << ": crash at call " << n << " left " << now.size() << " bytes";
        }
      }
    }
  }
  std::printf("[ crash points ] settings file: %d tried, %d lost anything\n", tried, lost);
  EXPECT_EQ(lost, 0);
}

TEST_F(SettingsCrashTest, AFailedWriteReportsAndKeepsTheFile) {
  const long calls = CallsOfPut("Key3", "three");
  for (long n = 1; n <= calls; ++n) {
    WriteBytes(path_, OldContents());
    FaultFileIo io(FaultFileIo::Mode::kFailFrom, n);
    SettingsFile file(path_);
    file.SetFileIo(&io);
    const int put = file.Put("Key3", "three");
    const std::string now = ReadBytes(path_);
    // Only the final directory sync may fail once the new file is in place.
    if (put == 0) {
      EXPECT_EQ(now, OldContents()) << "failing from call " << n;
    } else {
      EXPECT_EQ(now, NewContents("Key3", "three")) << "failing from call " << n;
    }
  }
}

TEST_F(SettingsCrashTest, AFullDiskLeavesTheOldFile) {
  // The new file would be longer than the process may write.
  for (const rlim_t limit : {rlim_t(0), rlim_t(100), rlim_t(OldContents().size())}) {
    WriteBytes(path_, OldContents());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      signal(SIGXFSZ, SIG_IGN);
      struct rlimit small = {limit, limit};
      if (setrlimit(RLIMIT_FSIZE, &small) != 0) _exit(3);
      SettingsFile file(path_);
      _exit(file.Put("Key0", std::string(200, 'z')) == 0 ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "Put must report the failure, limit " << limit;
    EXPECT_EQ(ReadBytes(path_), OldContents()) << limit;
    EXPECT_FALSE(qtest::Exists(path_ + ".new"));
  }
}

TEST_F(SettingsCrashTest, ANewSettingsFileIsPrivate) {
  // It holds the encryption key.
  const std::string fresh = dir_.File("fresh.ini");
  SettingsFile created(fresh);
  ASSERT_GT(created.Put("A", "1"), 0);
  struct stat st {};
  ASSERT_EQ(stat(fresh.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

}  // namespace
