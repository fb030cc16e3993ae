#include "core/db/indexed_database.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/db/db_test_util.h"

namespace {

class IndexedDatabaseTest : public ::testing::Test {
 protected:
  std::string Data() const { return dir_.File("book.ihd"); }
  std::string Index() const { return dir_.File("book.ihx"); }
  int OpenBook(IndexedDatabase& db, int access_mode = 2) {
    return db.Open(Data().c_str(), Index().c_str(), TextKey(), 11, access_mode, 1, 65025, 255);
  }
  TempDir dir_;
};

// The pair older versions wrote and read, byte for byte where it counts.
TEST_F(IndexedDatabaseTest, FreshPairLayoutAndReopening) {
  {
    IndexedDatabase db;
    ASSERT_EQ(OpenBook(db), 0);
    EXPECT_EQ(db.ExistingFile(), 0);
    EXPECT_FALSE(db.RebuildNeeded(0));
    EXPECT_EQ(db.Tree(1), nullptr);
    TextKey key("Alice"), scratch;
    ASSERT_EQ(db.Tree(0)->Insert(key, scratch, true), 1);
    ASSERT_EQ(db.Tree(0)->Remove(key, scratch, true), 1);
  }
  std::vector<unsigned char> data = ReadAll(Data());
  ASSERT_EQ(data.size(), 65065u);
  EXPECT_EQ(Le32(data, 8), 65065);
  for (size_t i = 28; i < data.size(); ++i) ASSERT_EQ(data[i], 0) << i;
  std::vector<unsigned char> index = ReadAll(Index());
  ASSERT_EQ(index.size(), 9900u);
  const int32_t file_header[] = {0, 9900, 7180, 7180};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Le32(index, size_t(4 * i)), file_header[i]) << i;
  // order, entry size, keys, nodes, height, root, reserved
  const int32_t tree_header[7] = {11, 268, 0, 1, 1, 7208, -1};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(Le32(index, size_t(40 + 4 * i)), tree_header[i]) << i;
  EXPECT_EQ(Le32(index, 7184), 2720);  // the root's block length
  EXPECT_EQ(Le32(index, 7208), 0);     // and its key count

  // A missing index is made again and flagged for a rebuild.
  ASSERT_EQ(std::remove(Index().c_str()), 0);
  IndexedDatabase db;
  ASSERT_EQ(OpenBook(db), 0);
  EXPECT_EQ(db.ExistingFile(), 1);
  EXPECT_TRUE(db.RebuildNeeded(0));
  EXPECT_EQ(FileSize(Index()), 9900);
  ASSERT_EQ(db.Close(), 0);
  // Read-only opens write nothing.
  ASSERT_EQ(db.Open(Data().c_str(), Index().c_str(), TextKey(), 11, 0, 1, 0, 1), 0);
  EXPECT_FALSE(db.Tree(0)->File()->IsWritable());
  EXPECT_EQ(int32_t(db.Data()->Alloc(10, kAllocFirstFit)), 0);
  EXPECT_EQ(db.LastError(), kDbNotWritable);
}

TEST_F(IndexedDatabaseTest, MissingDirectoryAndDamagedIndexHeader) {
  IndexedDatabase db;
  EXPECT_EQ(db.LastError(), kDbNoDatabase);
  EXPECT_EQ(db.Tree(0), nullptr);
  std::string no_dir = dir_.File("none/book.ihd");
  EXPECT_EQ(db.Open(no_dir.c_str(), Index().c_str(), TextKey(), 11, 2, 1, 0, 1), kDbCreateError);
  ASSERT_EQ(OpenBook(db), 0);
  ASSERT_EQ(db.Close(), 0);
  PortableInt32 height = 1000;
  Patch(Index(), 40 + 16, &height, 4);
  // The data stays open, for a rebuild.
  EXPECT_EQ(OpenBook(db), 0);
  EXPECT_TRUE(db.RebuildNeeded(0));
  EXPECT_EQ(db.Tree(0), nullptr);
  EXPECT_TRUE(db.Data()->IsReady());
}

}  // namespace
