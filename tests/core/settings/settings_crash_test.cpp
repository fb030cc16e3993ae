// Crash and full-disk injection over the settings file: whatever point of
// a Put the process stops at, and however full the disk, the file holds
// its old contents or its new ones, never anything in between, and a Put
// that did not replace the file says so.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "core/settings/settings_file.h"
#include "core/settings/settings_test_files.h"
#include "support/fault_file_io.h"

namespace {

using qtest::FaultFileIo;

class SettingsCrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 31; ++i)
      old_ += "Key" + std::to_string(i) + "=value " + std::to_string(i) + "\r\n";
  }
  // Put on the old contents through io; what it returned.
  int Put(const std::string& key, const std::string& value, FileIo* io = nullptr) {
    WriteBytes(path_, old_);
    SettingsFile file(path_);
    if (io) file.SetFileIo(io);
    return file.Put(key, value);
  }
  // The exit status of a child process that runs body.
  static int InChild(const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) _exit(body());
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    return WEXITSTATUS(status);
  }

  ScratchDirectory dir_;
  std::string path_ = dir_.File("quillo.ini");
  std::string old_;
};

TEST_F(SettingsCrashTest, EveryCrashPointOfPutLeavesTheOldOrTheNewFile) {
  int tried = 0;
  // A rewritten line, and an appended one.
  for (const char* key : {"Key7", "NewKey"}) {
    FaultFileIo counter;
    ASSERT_GT(Put(key, "changed", &counter), 0);
    const std::string after = ReadBytes(path_);
    for (FaultFileIo::Mode mode : {FaultFileIo::Mode::kCrash, FaultFileIo::Mode::kTornCrash}) {
      for (long n = 1; n <= counter.Calls(); ++n, ++tried) {
        // The Nth call stops the process with status 0.
        EXPECT_EQ(InChild([&] {
                    FaultFileIo io(mode, n);
                    Put(key, "changed", &io);
                    return 1;
                  }),
                  0);
        const std::string now = ReadBytes(path_);
        EXPECT_TRUE(now == old_ || now == after) << key << ": crash at call " << n;
      }
    }
  }
  std::printf("[ crash points ] settings file: %d tried\n", tried);
}

TEST_F(SettingsCrashTest, AFailedWriteReportsAndKeepsTheFile) {
  FaultFileIo counter;
  ASSERT_GT(Put("Key3", "three", &counter), 0);
  const std::string after = ReadBytes(path_);
  for (long n = 1; n <= counter.Calls(); ++n) {
    FaultFileIo io(FaultFileIo::Mode::kFailFrom, n);
    const int put = Put("Key3", "three", &io);
    // Only the final directory sync may fail once the new file is in place.
    EXPECT_EQ(ReadBytes(path_), put == 0 ? old_ : after) << "failing from call " << n;
    EXPECT_EQ(put == 0, n < counter.Calls()) << n;
  }
  // A file too large for what the process may write.
  for (const rlim_t limit : {rlim_t(0), rlim_t(old_.size())}) {
    WriteBytes(path_, old_);
    EXPECT_EQ(InChild([&] {
                signal(SIGXFSZ, SIG_IGN);
                struct rlimit small = {limit, limit};
                if (setrlimit(RLIMIT_FSIZE, &small) != 0) return 3;
                SettingsFile file(path_);
                return file.Put("Key0", std::string(200, 'z')) == 0 ? 0 : 2;
              }),
              0)
        << "Put must report the failure, limit " << limit;
    EXPECT_EQ(ReadBytes(path_), old_) << limit;
    EXPECT_FALSE(qtest::Exists(path_ + ".new"));
  }
}

TEST_F(SettingsCrashTest, ANewSettingsFileIsPrivate) {
  // It holds the encryption key.
  ASSERT_GT(SettingsFile(path_).Put("A", "1"), 0);
  struct stat st {};
  ASSERT_EQ(stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

}  // namespace
