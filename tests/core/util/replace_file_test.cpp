// Replacing a file whole: what the new file looks like, and what is left
// when the replacement cannot be made.
#include "core/util/replace_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "support/test_support.h"

namespace {

long EntriesIn(const std::string& directory) {
  return std::distance(std::filesystem::directory_iterator(directory), {});
}

TEST(ReplaceFile, ReplacesWholeKeepingTheModeOrWritesNothing) {
  qtest::ScratchDir dir;
  const std::string path = dir.File("talk.txt");
  qtest::WriteBytes(path, "an older and much longer conversation");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  qtest::WriteBytes(path + ".new", "left by a crash");
  ASSERT_EQ(chmod((path + ".new").c_str(), 0400), 0);
  ASSERT_TRUE(ReplaceFile(FileIo::Posix(), path, "new", 0600));
  EXPECT_EQ(qtest::ReadBytes(path), "new");
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(EntriesIn(dir.Path()), 1);
  // Where no file can be, nothing is written: a directory in the way fails
  // the rename, and the temporary file goes.
  EXPECT_FALSE(ReplaceFile(FileIo::Posix(), "", "x", 0666));
  std::filesystem::create_directory(dir.File("other.txt"));
  qtest::WriteBytes(dir.File("other.txt/inside"), "kept");
  EXPECT_FALSE(ReplaceFile(FileIo::Posix(), dir.File("other.txt"), "x", 0666));
  EXPECT_EQ(EntriesIn(dir.Path()), 2);
}

// The directory synced after a rename: the named one, the current one for a
// bare name, the root for a name right under it.
TEST(ReplaceFile, TheFilesDirectoryIsSynced) {
  qtest::ScratchDir dir;
  EXPECT_EQ(0, FileIo::Posix()->SyncDirectoryOf(dir.File("talk.txt").c_str()));
  EXPECT_EQ(0, FileIo::Posix()->SyncDirectoryOf("talk.txt"));
  EXPECT_EQ(0, FileIo::Posix()->SyncDirectoryOf("/talk.txt"));
  EXPECT_EQ(-1, FileIo::Posix()->SyncDirectoryOf(dir.File("missing/talk.txt").c_str()));
}

}  // namespace
