#include "core/db/database_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/db/crc32.h"
#include "core/db/db_test_util.h"

namespace {

class DatabaseFileTest : public ::testing::Test {
 protected:
  std::string Name() const { return dir_.File("test.kvs"); }
  DatabaseBlockHeader BlockAt(int32_t address) {
    DatabaseBlockHeader h{};
    EXPECT_EQ(file_.Read(&h, sizeof h, address), 0);
    return h;
  }
  TempDir dir_;
  DatabaseFile file_;
};

TEST_F(DatabaseFileTest, FreshRevisionCFileIsFortyBytes) {
  ASSERT_EQ(file_.Create(Name().c_str(), 0, 'C'), 0);
  ASSERT_EQ(file_.Close(), 0);
  std::vector<unsigned char> b = ReadAll(Name());
  ASSERT_EQ(b.size(), 40u);
  EXPECT_EQ(Le32(b, 0), 0);   // free space
  EXPECT_EQ(Le32(b, 4), 40);  // end of file
  EXPECT_EQ(Le32(b, 8), 40);  // heap start
  EXPECT_EQ(Le32(b, 12), 0);  // highest block
  EXPECT_EQ(std::string(b.begin() + 16, b.begin() + 24), "KVSBASEC");
  EXPECT_EQ(Le32(b, 24), 4000);
  for (size_t i = 28; i < 40; ++i) EXPECT_EQ(b[i], 0) << i;
  // A static area after the header is zero-filled.
  ASSERT_EQ(file_.Create(Name().c_str(), 100, 'c'), 0);
  EXPECT_EQ(file_.FileHeaderSize(), 40);
  EXPECT_EQ(file_.BlockHeaderSize(), 28);
  ASSERT_EQ(file_.Close(), 0);
  b = ReadAll(Name());
  ASSERT_EQ(b.size(), 140u);
  EXPECT_EQ(Le32(b, 8), 140);
  for (size_t i = 28; i < 140; ++i) EXPECT_EQ(b[i], 0) << i;
}

TEST_F(DatabaseFileTest, OtherRevisionsHaveSmallerHeaders) {
  ASSERT_EQ(file_.Create(Name().c_str(), 0, 0), 0);
  EXPECT_EQ(file_.FileHeaderSize(), 28);
  EXPECT_EQ(file_.BlockHeaderSize(), 16);
  EXPECT_EQ(int32_t(file_.Alloc(10, kAllocFirstFit)), 28 + 16);
  EXPECT_EQ(int32_t(file_.Header().end_of_file), 28 + 26);  // no reserved room
  ASSERT_EQ(file_.Create(Name().c_str(), 0, 'b'), 0);
  EXPECT_EQ(file_.FileHeaderSize(), 40);
  EXPECT_EQ(file_.BlockHeaderSize(), 16);
  EXPECT_EQ(int32_t(file_.Alloc(10, kAllocFirstFit)), 56);
  EXPECT_EQ(int32_t(file_.Header().end_of_file), 40 + 30);
}

TEST_F(DatabaseFileTest, AllocAppendsABlock) {
  ASSERT_EQ(file_.Create(Name().c_str(), 0, 'C'), 0);
  EXPECT_EQ(int32_t(file_.Alloc(10, kAllocFirstFit)), 68);
  EXPECT_EQ(int32_t(file_.Tell()), 68);
  EXPECT_EQ(int32_t(file_.Header().end_of_file), 82);
  EXPECT_EQ(int32_t(file_.Header().highest_block), 40);
  ASSERT_EQ(file_.Close(), 0);
  std::vector<unsigned char> b = ReadAll(Name());
  ASSERT_EQ(b.size(), 82u);
  EXPECT_EQ(Le32(b, 4), 82);
  EXPECT_EQ(Le32(b, 12), 40);
  EXPECT_EQ(Le32(b, 40), 0xFEFE);
  EXPECT_EQ(Le32(b, 44), 42);
  EXPECT_EQ(Le32(b, 48), 'N');
  EXPECT_EQ(Le32(b, 52), 0);
}

TEST_F(DatabaseFileTest, DeleteFreesOnceAndExactFitTakesTheBlockBack) {
  ASSERT_EQ(file_.Create(Name().c_str(), 0, 'C'), 0);
  ASSERT_EQ(int32_t(file_.Alloc(10, kAllocFirstFit)), 68);
  EXPECT_EQ(file_.Delete(68, 0), 1);
  EXPECT_EQ(uint32_t(BlockAt(40).status), kBlockDeleted);
  EXPECT_EQ(int32_t(file_.Header().free_space), 40);
  EXPECT_EQ(file_.Delete(68, 1), 0);
  EXPECT_EQ(uint32_t(BlockAt(40).status), kBlockDeleted);
  // Neither equal nor large enough to split: appended.
  EXPECT_EQ(int32_t(file_.Alloc(9, kAllocFirstFit)), 82 + 28);
  EXPECT_EQ(int32_t(file_.Header().free_space), 40);
  EXPECT_EQ(int32_t(file_.Alloc(10, kAllocFirstFit)), 68);
  EXPECT_EQ(int32_t(file_.Header().free_space), 0);
  EXPECT_EQ(uint32_t(BlockAt(40).status), kBlockInUse);
  EXPECT_EQ(file_.Delete(68, 1), 1);
  EXPECT_EQ(uint32_t(BlockAt(40).status), kBlockRemoved);
}

TEST_F(DatabaseFileTest, FirstFitSplitsALargerBlock) {
  ASSERT_EQ(file_.Create(Name().c_str(), 0, 'C'), 0);
  FileAddress big = file_.Alloc(100 - 32, kAllocFirstFit);
  ASSERT_EQ(int32_t(big), 68);
  FileAddress after = file_.Alloc(4, kAllocFirstFit);
  ASSERT_EQ(int32_t(after), 140 + 28);
  ASSERT_EQ(file_.Delete(big, 1), 1);
  EXPECT_EQ(int32_t(file_.Alloc(30, kAllocFirstFit)), 68);
  DatabaseBlockHeader taken = BlockAt(40);
  EXPECT_EQ(uint32_t(taken.block_length), 62u);
  EXPECT_EQ(uint32_t(taken.status), kBlockInUse);
  DatabaseBlockHeader rest = BlockAt(102);
  EXPECT_EQ(uint32_t(rest.check_word), kBlockCheckWord);
  EXPECT_EQ(uint32_t(rest.block_length), 38u);
  EXPECT_EQ(uint32_t(rest.status), kBlockRemoved);
  EXPECT_EQ(int32_t(rest.next_free), 0);
  EXPECT_EQ(int32_t(file_.Header().free_space), 102);
  EXPECT_EQ(int32_t(file_.Header().end_of_file), 176);
}

TEST_F(DatabaseFileTest, FreeListIsLastInFirstOutAndUnlinksFromTheMiddle) {
  ASSERT_EQ(file_.Create(Name().c_str(), 0, 'C'), 0);
  FileAddress a = file_.Alloc(10, kAllocFirstFit);
  FileAddress b = file_.Alloc(20, kAllocFirstFit);
  FileAddress c = file_.Alloc(10, kAllocFirstFit);
  ASSERT_EQ(file_.Delete(a, 0), 1);
  ASSERT_EQ(file_.Delete(b, 0), 1);
  ASSERT_EQ(file_.Delete(c, 0), 1);
  EXPECT_EQ(int32_t(file_.Header().free_space), int32_t(c) - 28);
  // The 20-byte block sits in the middle of the list: c -> b -> a.
  EXPECT_EQ(int32_t(file_.Alloc(20, kAllocFirstFit)), int32_t(b));
  EXPECT_EQ(int32_t(BlockAt(int32_t(c) - 28).next_free), int32_t(a) - 28);
  EXPECT_EQ(int32_t(file_.Alloc(10, kAllocFirstFit)), int32_t(c));
  EXPECT_EQ(int32_t(file_.Alloc(10, kAllocFirstFit)), int32_t(a));
  EXPECT_EQ(int32_t(file_.Header().free_space), 0);
}

TEST_F(DatabaseFileTest, DamagedFreeListDisablesReuse) {
  ASSERT_EQ(file_.Create(Name().c_str(), 0, 'C'), 0);
  FileAddress a = file_.Alloc(10, kAllocFirstFit);
  FileAddress b = file_.Alloc(10, kAllocFirstFit);
  ASSERT_EQ(file_.Delete(a, 0), 1);
  const unsigned char junk[4] = {1, 2, 3, 4};
  ASSERT_EQ(file_.Write(junk, 4, 40, true, false), 0);
  FileAddress c = file_.Alloc(10, kAllocFirstFit);
  EXPECT_EQ(int32_t(c), 124 + 28);
  EXPECT_EQ(file_.LastError(), 0);
  EXPECT_EQ(int32_t(file_.Header().free_space), -1);
  EXPECT_EQ(Le32(ReadAll(Name()), 0), -1);
  // Later deletions only mark their blocks.
  EXPECT_EQ(file_.Delete(b, 1), 1);
  EXPECT_EQ(int32_t(file_.Header().free_space), -1);
  EXPECT_EQ(uint32_t(BlockAt(int32_t(b) - 28).status), kBlockRemoved);
  EXPECT_EQ(int32_t(file_.Alloc(10, kAllocFirstFit)), int32_t(c) + 42);
}

TEST_F(DatabaseFileTest, FreeListLoopsAndWildAddressesAreDamage) {
  // {blocks freed, damaged word, value, size asked}: the allocation appends.
  const uint32_t cases[][4] = {{2, 40 + 12, 82, 50},           // 40's next points back at 82
                               {1, 40 + 12, 1000000, 50},      // next far outside the file
                               {1, 40 + 4, 0x7FFFFFF0u, 10}};  // absurd block length
  for (const auto& c : cases) {
    SCOPED_TRACE(c[2]);
    ASSERT_EQ(file_.Create(Name().c_str(), 0, 'C'), 0);
    const int32_t n = int32_t(c[0]);
    for (int32_t i = 0; i < n; ++i)
      ASSERT_EQ(int32_t(file_.Alloc(10, kAllocFirstFit)), 68 + 42 * i);
    for (int32_t i = 0; i < n; ++i) ASSERT_EQ(file_.Delete(68 + 42 * i, 0), 1);
    PortableUInt32 damage = c[2];
    ASSERT_EQ(file_.Write(&damage, 4, int32_t(c[1]), true, false), 0);
    EXPECT_EQ(int32_t(file_.Alloc(c[3], kAllocFirstFit)), 40 + 42 * n + 28);
    EXPECT_EQ(int32_t(file_.Header().free_space), -1);
  }
}

TEST_F(DatabaseFileTest, DeleteRefusesAddressesOutsideTheHeap) {
  ASSERT_EQ(file_.Create(Name().c_str(), 0, 'C'), 0);
  ASSERT_EQ(int32_t(file_.Alloc(10, kAllocFirstFit)), 68);
  EXPECT_EQ(file_.Delete(10, 0), 0);
  EXPECT_EQ(file_.LastError(), kDbFileCorrupt);
  EXPECT_EQ(file_.Delete(5000, 0), 0);
  EXPECT_EQ(file_.LastError(), kDbFileCorrupt);
  EXPECT_EQ(file_.Delete(69, 0), 0);  // no block header there
  EXPECT_EQ(file_.LastError(), kDbSyncError);
  PortableUInt32 huge = 5000;
  ASSERT_EQ(file_.Write(&huge, 4, 44, true, false), 0);
  EXPECT_EQ(file_.Delete(68, 0), 0);
  EXPECT_EQ(file_.LastError(), kDbFileCorrupt);
}

TEST_F(DatabaseFileTest, ClosedFileRefusesWorkAndOpenChecksSignatureAndExistence) {
  char buffer[4];
  EXPECT_EQ(file_.Read(buffer, 4, 0), kDbNotReady);
  EXPECT_EQ(file_.Write(buffer, 4, 0, false, false), kDbNotWritable);
  EXPECT_EQ(int32_t(file_.Tell()), -1);
  EXPECT_EQ(file_.Close(), 0);
  EXPECT_EQ(file_.Delete(68, 0), 0);
  EXPECT_EQ(file_.Create(dir_.File("no/such/dir.kvs").c_str(), 0, 'C'), kDbCreateError);
  EXPECT_EQ(file_.Open(dir_.File("missing.kvs").c_str(), 2), kDbOpenError);
  EXPECT_FALSE(file_.IsOpen());
  qtest::WriteBytes(Name(), "This is not a database file at all, just text.");
  EXPECT_EQ(file_.Open(Name().c_str(), 2), kDbWrongFileType);
  EXPECT_TRUE(file_.IsOpen());
  char header[8];
  EXPECT_EQ(file_.Read(header, 8, 0), kDbNotReady);
  EXPECT_EQ(int32_t(file_.Alloc(10, kAllocFirstFit)), 0);
  EXPECT_EQ(file_.LastError(), kDbNotReady);
  EXPECT_EQ(file_.Close(), 0);
  EXPECT_EQ(file_.Name(), "closed.kvs");
  // A file too short for a header.
  qtest::WriteBytes(Name(), "KVS");
  EXPECT_EQ(file_.Open(Name().c_str(), 0), kDbReadError);
  EXPECT_FALSE(file_.IsReady());
}

TEST_F(DatabaseFileTest, OpenRefusesAnImpossibleHeader) {
  ASSERT_EQ(file_.Create(Name().c_str(), 0, 'C'), 0);
  ASSERT_EQ(file_.Close(), 0);
  PortableInt32 bad = 12;  // heap start inside the header
  Patch(Name(), 8, &bad, 4);
  EXPECT_EQ(file_.Open(Name().c_str(), 2), kDbFileCorrupt);
  EXPECT_FALSE(file_.IsReady());
  EXPECT_EQ(file_.Close(), 0);
  EXPECT_EQ(Le32(ReadAll(Name()), 8), 12);  // not written back
}

TEST_F(DatabaseFileTest, OpenTakesTheRealFileSize) {
  ASSERT_EQ(file_.Create(Name().c_str(), 0, 'C'), 0);
  ASSERT_EQ(file_.Close(), 0);
  const char tail[10] = {};
  Patch(Name(), 40, tail, sizeof tail);
  ASSERT_EQ(file_.Open(Name().c_str(), 2), 0);
  EXPECT_EQ(int32_t(file_.Header().end_of_file), 50);
  EXPECT_EQ(Le32(ReadAll(Name()), 4), 50);
  EXPECT_EQ(int32_t(file_.Alloc(1, kAllocFirstFit)), 78);
  // Read-only: moved in memory only.
  ASSERT_EQ(file_.Close(), 0);
  Patch(Name(), 200, tail, 1);
  ASSERT_EQ(file_.Open(Name().c_str(), 0), 0);
  EXPECT_EQ(int32_t(file_.Header().end_of_file), 201);
  EXPECT_EQ(file_.Write(tail, 1, 40, true, true), kDbNotWritable);
  EXPECT_EQ(int32_t(file_.Alloc(1, kAllocFirstFit)), 0);
  EXPECT_EQ(file_.LastError(), kDbNotWritable);
  EXPECT_EQ(file_.Flush(), 0);
}

TEST_F(DatabaseFileTest, CurrentPositionReadsAndWritesFollowEachOther) {
  ASSERT_EQ(file_.Create(Name().c_str(), 0, 'C'), 0);
  ASSERT_EQ(int32_t(file_.Alloc(32, kAllocFirstFit)), 68);
  const char first[] = "0123456789abcdef";
  ASSERT_EQ(file_.Write(first, 16, -1, false, false), 0);
  char next[16];
  ASSERT_EQ(file_.Write(first, 8, 68, false, false), 0);
  ASSERT_EQ(file_.Read(next, 16, -1), 0);  // after a write at 68: bytes 76..91
  EXPECT_EQ(std::string(next, 16), std::string("89abcdef") + std::string(8, '\0'));
  ASSERT_EQ(file_.Write("XY", 2, -1, true, true), 0);
  char back[2];
  ASSERT_EQ(file_.Read(back, 2, 92), 0);
  EXPECT_EQ(std::string(back, 2), "XY");
  EXPECT_EQ(int32_t(file_.SeekTo(-1)), 94);
  EXPECT_EQ(int32_t(file_.SeekTo(50)), 50);
  EXPECT_EQ(int32_t(file_.SeekTo(70)), 70);
  EXPECT_EQ(file_.Read(back, 2, 1000), kDbReadError);
}

TEST_F(DatabaseFileTest, ChecksumCoversFileBytes) {
  ASSERT_EQ(file_.Create(Name().c_str(), 0, 'C'), 0);
  std::vector<unsigned char> b = ReadAll(Name());
  EXPECT_EQ(file_.Checksum(28, 0), Crc32::Of(b.data(), 28));
  EXPECT_EQ(file_.Checksum(28, 30), 0u);  // past the end
}

TEST_F(DatabaseFileTest, FindFirstBlockScansByteByByte) {
  ASSERT_EQ(file_.Create(Name().c_str(), 0, 'C'), 0);
  EXPECT_EQ(int32_t(file_.FindFirstBlock(0)), 0);
  ASSERT_EQ(int32_t(file_.Alloc(40, kAllocFirstFit)), 68);
  ASSERT_EQ(int32_t(file_.Alloc(40, kAllocFirstFit)), 140);
  EXPECT_EQ(int32_t(file_.FindFirstBlock(0)), 40);
  // Junk over the first block's check word: the next check word is found,
  // wherever it lies.
  const unsigned char junk[6] = {1, 0xFE, 0xFE, 0, 0, 9};
  Patch(Name(), 40, junk, sizeof junk);
  EXPECT_EQ(int32_t(file_.FindFirstBlock(0)), 41);
  EXPECT_EQ(int32_t(file_.FindFirstBlock(42)), 112);
  EXPECT_EQ(int32_t(file_.FindFirstBlock(5000)), 0);
}

TEST_F(DatabaseFileTest, ReloadHeaderSeesAnotherWriter) {
  ASSERT_EQ(file_.Create(Name().c_str(), 0, 'C'), 0);
  DatabaseFile other;
  ASSERT_EQ(other.Open(Name().c_str(), 2), 0);
  ASSERT_EQ(int32_t(other.Alloc(10, kAllocFirstFit)), 68);
  EXPECT_EQ(file_.ReloadHeader(), 1);
  EXPECT_EQ(int32_t(file_.Header().end_of_file), 82);
  EXPECT_EQ(file_.ReloadHeader(), 0);
  ASSERT_EQ(int32_t(other.Alloc(10, kAllocFirstFit)), 110);
  EXPECT_EQ(int32_t(file_.GetEndOfFile()), 124);
  EXPECT_EQ(int32_t(file_.Header().highest_block), 82);
}

}  // namespace
