#include "core/db/database_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fault_file_io.h"
#include "support/test_support.h"

namespace {

class DatabaseFileTest : public ::testing::Test {
 protected:
  std::string Name() const { return dir_.File("test.kvs"); }
  DatabaseBlockHeader BlockAt(int32_t address) {
    DatabaseBlockHeader h{};
    EXPECT_EQ(file_.Read(&h, sizeof h, address), 0);
    return h;
  }
  int32_t Alloc(int32_t length) { return int32_t(file_.Alloc(length, kAllocFirstFit)); }
  int32_t FreeSpace() const { return int32_t(file_.Header().free_space); }
  qtest::ScratchDir dir_;
  DatabaseFile file_;
};

// Files older versions wrote and read: header and block sizes by revision.
TEST_F(DatabaseFileTest, LayoutOfEachRevision) {
  struct Case {
    char revision;
    int32_t static_area, file_header, block_header, first_object, end_after;
  } cases[] = {{0, 0, 28, 16, 44, 54},
               {'b', 0, 40, 16, 56, 70},
               {'C', 0, 40, 28, 68, 82},
               {'c', 100, 40, 28, 168, 182}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.revision);
    ASSERT_EQ(file_.Create(Name().c_str(), c.static_area, c.revision), 0);
    EXPECT_EQ(file_.FileHeaderSize(), c.file_header);
    EXPECT_EQ(file_.BlockHeaderSize(), c.block_header);
    EXPECT_EQ(Alloc(10), c.first_object);
    EXPECT_EQ(int32_t(file_.Tell()), c.first_object);
    EXPECT_EQ(int32_t(file_.Header().end_of_file), c.end_after);
  }
  ASSERT_EQ(file_.Close(), 0);
  std::vector<unsigned char> b = qtest::ReadAll(Name());
  ASSERT_EQ(b.size(), 182u);
  const int32_t header[] = {0, 182, 140, 140};  // free, end, heap start, highest block
  for (int i = 0; i < 4; ++i) EXPECT_EQ(qtest::Le32(b, size_t(4 * i)), header[i]) << i;
  EXPECT_EQ(std::string(b.begin() + 16, b.begin() + 24), "KVSBASEC");
  EXPECT_EQ(qtest::Le32(b, 24), 4000);
  for (size_t i = 28; i < 140; ++i) ASSERT_EQ(b[i], 0) << i;
}

TEST_F(DatabaseFileTest, FreeListReuseExactFitSplitAndLastInFirstOut) {
  ASSERT_EQ(file_.Create(Name().c_str(), 0, 'C'), 0);
  ASSERT_EQ(Alloc(10), 68);
  EXPECT_EQ(file_.Delete(68, 0), 1);
  EXPECT_EQ(uint32_t(BlockAt(40).status), kBlockDeleted);
  EXPECT_EQ(FreeSpace(), 40);
  EXPECT_EQ(file_.Delete(68, 1), 0);  // only once
  EXPECT_EQ(Alloc(9), 82 + 28);       // neither equal nor large enough to split
  EXPECT_EQ(Alloc(10), 68);           // equal: taken back
  EXPECT_EQ(FreeSpace(), 0);
  EXPECT_EQ(uint32_t(BlockAt(40).status), kBlockInUse);
  // A larger block is split: the rest goes back on the list.
  ASSERT_EQ(file_.Create(Name().c_str(), 0, 'C'), 0);
  ASSERT_EQ(Alloc(68), 68);
  ASSERT_EQ(file_.Delete(68, 1), 1);
  EXPECT_EQ(Alloc(30), 68);
  EXPECT_EQ(uint32_t(BlockAt(40).block_length), 62u);
  DatabaseBlockHeader rest = BlockAt(102);
  EXPECT_EQ(uint32_t(rest.check_word), kBlockCheckWord);
  EXPECT_EQ(uint32_t(rest.block_length), 38u);
  EXPECT_EQ(uint32_t(rest.status), kBlockRemoved);
  EXPECT_EQ(FreeSpace(), 102);
  // The list is last in, first out, and a block leaves it from the middle.
  ASSERT_EQ(file_.Create(Name().c_str(), 0, 'C'), 0);
  const int32_t a = Alloc(10), b = Alloc(20), c = Alloc(10);
  for (int32_t at : {a, b, c}) ASSERT_EQ(file_.Delete(at, 0), 1);
  EXPECT_EQ(FreeSpace(), c - 28);
  EXPECT_EQ(Alloc(20), b);
  EXPECT_EQ(int32_t(BlockAt(c - 28).next_free), a - 28);
  EXPECT_EQ(Alloc(10), c);
  EXPECT_EQ(Alloc(10), a);
  EXPECT_EQ(FreeSpace(), 0);
}

// A damaged list is never followed: reuse stops (free space -1, also on
// disk), later deletions only mark their blocks, allocations append.
TEST_F(DatabaseFileTest, DamagedFreeListDisablesReuse) {
  // {blocks freed, damaged word, value, size asked}
  const uint32_t cases[][4] = {{1, 40, 0x04030201u, 10},       // check word
                               {2, 40 + 12, 82, 50},           // 40's next points back at 82
                               {1, 40 + 12, 1000000, 50},      // next far outside the file
                               {1, 40 + 4, 0x7FFFFFF0u, 10}};  // absurd block length
  for (const auto& c : cases) {
    SCOPED_TRACE(c[2]);
    ASSERT_EQ(file_.Create(Name().c_str(), 0, 'C'), 0);
    const int32_t n = int32_t(c[0]);
    for (int32_t i = 0; i <= n; ++i) ASSERT_EQ(Alloc(10), 68 + 42 * i);
    for (int32_t i = 0; i < n; ++i) ASSERT_EQ(file_.Delete(68 + 42 * i, 0), 1);
    PortableUInt32 damage = c[2];
    ASSERT_EQ(file_.Write(&damage, 4, int32_t(c[1]), true, false), 0);
    const int32_t appended = 40 + 42 * (n + 1) + 28;
    EXPECT_EQ(Alloc(int32_t(c[3])), appended);
    EXPECT_EQ(file_.LastError(), 0);
    EXPECT_EQ(FreeSpace(), -1);
    EXPECT_EQ(file_.Delete(68 + 42 * n, 1), 1);
    EXPECT_EQ(FreeSpace(), -1);
    EXPECT_EQ(uint32_t(BlockAt(40 + 42 * n).status), kBlockRemoved);
    EXPECT_EQ(Alloc(10), appended + int32_t(c[3]) + 32);  // the freed block is not reused
    ASSERT_EQ(file_.Close(), 0);
    EXPECT_EQ(qtest::Le32(qtest::ReadAll(Name()), 0), -1);
  }
}

TEST_F(DatabaseFileTest, RefusalsOfAddressesStatesAndFiles) {
  char buffer[8];
  EXPECT_EQ(file_.Read(buffer, 4, 0), kDbNotReady);
  EXPECT_EQ(file_.Write(buffer, 4, 0, false, false), kDbNotWritable);
  EXPECT_EQ(int32_t(file_.Tell()), -1);
  EXPECT_EQ(file_.Delete(68, 0), 0);
  EXPECT_EQ(file_.Create(dir_.File("no/such/dir.kvs").c_str(), 0, 'C'), kDbCreateError);
  EXPECT_EQ(file_.Create(Name().c_str(), -1, 'C'), kDbCreateError);
  EXPECT_EQ(file_.Open(dir_.File("missing.kvs").c_str(), 2), kDbOpenError);

  ASSERT_EQ(file_.Create(Name().c_str(), 0, 'C'), 0);
  ASSERT_EQ(Alloc(10), 68);
  const std::pair<int32_t, int> deletes[] = {
      {10, kDbFileCorrupt}, {5000, kDbFileCorrupt}, {69, kDbSyncError}};  // 69: no block there
  for (const auto& d : deletes) {
    EXPECT_EQ(file_.Delete(d.first, 0), 0) << d.first;
    EXPECT_EQ(file_.LastError(), d.second) << d.first;
  }
  PortableUInt32 huge = 5000;
  ASSERT_EQ(file_.Write(&huge, 4, 44, true, false), 0);
  EXPECT_EQ(file_.Delete(68, 0), 0);
  EXPECT_EQ(file_.LastError(), kDbFileCorrupt);
  EXPECT_EQ(int32_t(file_.SeekTo(-5)), -1);
  EXPECT_EQ(file_.LastError(), kDbSeekError);
  EXPECT_EQ(Alloc(-1), 0);
  EXPECT_EQ(Alloc(0x7FFFFFF0), 0);
  EXPECT_EQ(file_.Read(buffer, 2, 1000), kDbReadError);
  ASSERT_EQ(file_.Close(), 0);

  // Not a database, too short for a header, a heap start inside the header.
  qtest::WriteBytes(Name(), "This is not a database file at all, just text.");
  EXPECT_EQ(file_.Open(Name().c_str(), 2), kDbWrongFileType);
  EXPECT_EQ(file_.Read(buffer, 8, 0), kDbNotReady);
  EXPECT_EQ(Alloc(10), 0);
  EXPECT_EQ(file_.LastError(), kDbNotReady);
  qtest::WriteBytes(Name(), "KVS");
  EXPECT_EQ(file_.Open(Name().c_str(), 0), kDbReadError);
  EXPECT_FALSE(file_.IsReady());
  ASSERT_EQ(file_.Create(Name().c_str(), 0, 'C'), 0);
  ASSERT_EQ(file_.Close(), 0);
  PortableInt32 bad = 12;
  qtest::Patch(Name(), 8, &bad, 4);
  EXPECT_EQ(file_.Open(Name().c_str(), 2), kDbFileCorrupt);
  EXPECT_EQ(file_.Close(), 0);
  EXPECT_EQ(qtest::Le32(qtest::ReadAll(Name()), 8), 12);  // not written back
}

// A failed write or sync is reported, and a failed allocation leaves the
// header as it was.
TEST_F(DatabaseFileTest, FailingDiskIsReported) {
  qtest::FaultFileIo io(qtest::FaultFileIo::Mode::kFailFrom, 1);
  DatabaseFile file(&io);
  ASSERT_EQ(file_.Create(Name().c_str(), 0, 'C'), 0);
  ASSERT_EQ(file_.Close(), 0);
  ASSERT_EQ(file.Open(Name().c_str(), 2), 0);
  EXPECT_EQ(int32_t(file.Alloc(10, kAllocFirstFit)), 0);
  EXPECT_EQ(file.LastError(), kDbWriteError);
  EXPECT_EQ(int32_t(file.Header().end_of_file), 40);
  EXPECT_EQ(file.Sync(), kDbWriteError);
  EXPECT_EQ(file.Write("x", 1, 30, true, false), kDbWriteError);
}

TEST_F(DatabaseFileTest, OpenTakesTheRealFileSizeAndReadOnlyStaysUnwritten) {
  ASSERT_EQ(file_.Create(Name().c_str(), 0, 'C'), 0);
  ASSERT_EQ(file_.Close(), 0);
  const char tail[10] = {};
  qtest::Patch(Name(), 40, tail, sizeof tail);
  ASSERT_EQ(file_.Open(Name().c_str(), 2), 0);
  EXPECT_EQ(int32_t(file_.Header().end_of_file), 50);
  EXPECT_EQ(qtest::Le32(qtest::ReadAll(Name()), 4), 50);
  EXPECT_EQ(Alloc(1), 78);
  ASSERT_EQ(file_.Close(), 0);
  qtest::Patch(Name(), 200, tail, 1);
  ASSERT_EQ(file_.Open(Name().c_str(), 0), 0);
  EXPECT_EQ(int32_t(file_.Header().end_of_file), 201);
  EXPECT_EQ(file_.Write(tail, 1, 40, true, true), kDbNotWritable);
  EXPECT_EQ(Alloc(1), 0);
  EXPECT_EQ(file_.LastError(), kDbNotWritable);
  EXPECT_EQ(file_.Flush(), 0);
  ASSERT_EQ(file_.Close(), 0);
  EXPECT_EQ(qtest::Le32(qtest::ReadAll(Name()), 4), 83);  // the read-only open wrote nothing
}

TEST_F(DatabaseFileTest, PositionChecksumAndBlockScan) {
  ASSERT_EQ(file_.Create(Name().c_str(), 0, 'C'), 0);
  EXPECT_EQ(int32_t(file_.FindFirstBlock(0)), 0);
  ASSERT_EQ(Alloc(40), 68);
  ASSERT_EQ(file_.Write("0123456789abcdef", 8, 68, false, false), 0);
  char next[4];
  ASSERT_EQ(file_.Read(next, 4, -1), 0);  // reads on where the write ended
  EXPECT_EQ(std::string(next, 4), std::string(4, '\0'));
  ASSERT_EQ(file_.Write("XY", 2, -1, true, true), 0);
  ASSERT_EQ(file_.Read(next, 2, 80), 0);
  EXPECT_EQ(std::string(next, 2), "XY");
  EXPECT_EQ(int32_t(file_.SeekTo(-1)), 82);
  EXPECT_EQ(file_.Read(next, 2, 5000), kDbReadError);
  EXPECT_EQ(file_.Sync(), 0);
  EXPECT_EQ(file_.LastError(), 0);
  ASSERT_EQ(Alloc(40), 140);
  EXPECT_EQ(int32_t(file_.FindFirstBlock(0)), 40);
  // Junk over the first check word: the next one is found wherever it lies.
  const unsigned char junk[6] = {1, 0xFE, 0xFE, 0, 0, 9};
  qtest::Patch(Name(), 40, junk, sizeof junk);
  EXPECT_EQ(int32_t(file_.FindFirstBlock(0)), 41);
  EXPECT_EQ(int32_t(file_.FindFirstBlock(42)), 112);
  EXPECT_EQ(int32_t(file_.FindFirstBlock(5000)), 0);
}

}  // namespace
