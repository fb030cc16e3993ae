#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/books/address_book.h"
#include "core/books/book_sequences.h"
#include "core/books/books_test_util.h"
#include "core/books/name_key.h"

namespace {

class FieldRecordTest : public BookDirectory {
 protected:
  void SetUp() override {
    BookDirectory::SetUp();
    book_ = OpenAddressBook("prevconn", nullptr, false, nullptr);
    ASSERT_NE(book_, nullptr);
    ConnectionRecord alice(book_, "Alice", "10.0.0.1", 59152, 52917);
    ASSERT_EQ(alice.Write(), 0);
    object_ = int32_t(alice.ObjectAddress());
    ASSERT_EQ(object_, 65093);
  }
  void TearDown() override {
    book_->Close();
    delete book_;
    BookDirectory::TearDown();
  }
  // Damages the stored object behind the book's back.
  void Damage(long offset, uint32_t value) {
    PortableUInt32 bytes = value;
    book_->Data()->Write(&bytes, 4, int32_t(object_ + offset), true, true);
  }
  IndexedDatabase* book_ = nullptr;
  int32_t object_ = 0;
};

TEST_F(FieldRecordTest, ReadCompareUpdateInPlaceAndWriteUnique) {
  ConnectionRecord read(book_);
  ASSERT_EQ(read.Read(object_), 0);
  EXPECT_EQ(read.Address(), "10.0.0.1");
  EXPECT_EQ(read.Port(), 59152);
  EXPECT_EQ(read.Field(8).Length(), 0u);
  EXPECT_TRUE(read.Equals(ConnectionRecord(book_, "Alice", "10.0.0.1", 59152, 52917)));
  EXPECT_TRUE(read.NotEquals(ConnectionRecord(book_, "alice", "10.0.0.1", 59152, 52917)));
  EXPECT_TRUE(read.LessThan(ConnectionRecord(book_, "Bob", "", 0, 0)));
  EXPECT_TRUE(read.GreaterThan(ConnectionRecord(book_, "Aaron", "", 0, 0)));
  // A present nickname: nothing stored, the record found instead.
  ConnectionRecord again(book_, "ALICE", "elsewhere", 1, 1);
  const int32_t end = book_->Data()->Header().end_of_file;
  EXPECT_EQ(again.WriteUnique(true), 1);
  EXPECT_EQ(int32_t(book_->Data()->Header().end_of_file), end);
  EXPECT_EQ(int32_t(again.ObjectAddress()), object_);
  // Fields 1 to 7 are rewritten in place, only over the same layout.
  ConnectionRecord changed(book_, "ALICE", "10.9.9.9", 1234, -5);
  changed.SetObjectAddress(object_);
  ASSERT_EQ(changed.UpdateInPlace(), 1);
  ASSERT_EQ(read.Read(object_), 0);
  EXPECT_EQ(read.Nickname(), "Alice");
  EXPECT_EQ(read.Address(), "10.9.9.9");
  EXPECT_EQ(read.Key(), -5);
  IndexedDatabase read_only;  // a write that fails is no update
  ASSERT_EQ(read_only.Open("prevconn.ihd", "prevconn.ihx", NameKey(), 11, 0, 1, 0, 1), 0);
  ConnectionRecord unwritable(&read_only, "ALICE", "10.9.9.8", 1234, -5);
  unwritable.SetObjectAddress(object_);
  EXPECT_EQ(unwritable.UpdateInPlace(), 0);
  Damage(12 + 4 + 256, 10);  // the address field's stored length differs
  EXPECT_EQ(changed.UpdateInPlace(), 0);
  FieldRecord plain(book_, 3);
  plain.SetObjectAddress(object_);
  EXPECT_EQ(plain.UpdateInPlace(), 0);
}

TEST_F(FieldRecordTest, DamagedObjectsAndStrayAddressesAreRefused) {
  ConnectionRecord read(book_);
  EXPECT_NE(read.Read(object_ + 1), 0);
  EXPECT_EQ(read.Read(10), kDbFileCorrupt);
  EXPECT_EQ(read.Read(1 << 30), kDbFileCorrupt);
  for (uint32_t count : {0u, 256u, 200u, 0xFFFFFFFFu}) {  // field counts beyond the block
    Damage(8, count);
    EXPECT_EQ(read.Read(object_), kDbFileCorrupt) << count;
  }
  Damage(8, 9);
  for (uint32_t length : {100000u, 256u + 300u}) {  // beyond the block, or the later fields
    Damage(12, length);
    EXPECT_EQ(read.Read(object_), kDbFileCorrupt) << length;
  }
  ConnectionValues stored;
  EXPECT_FALSE(BookLookUpConnection(book_, "Alice", &stored));
  // A listing says which entry it could not read.
  std::vector<std::string> names, unreadable;
  EXPECT_FALSE(BookListConnections(book_, &names, &unreadable));
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(unreadable, std::vector<std::string>{"Alice"});
  const std::vector<std::string> lines = ListingGapLines(book_, false, unreadable);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("\"Alice\""), std::string::npos);
  EXPECT_NE(ListingGapLines(book_, false, {})[0].find("rebuilt"), std::string::npos);
  EXPECT_TRUE(ListingGapLines(book_, true, unreadable).empty());
  Damage(12, 256);
  Damage(0, 7);  // the wrong class on an otherwise sound record
  EXPECT_EQ(read.Read(object_), kDbWrongObjectType);
  EXPECT_EQ(book_->LastError(), kDbWrongObjectType);
}

TEST_F(FieldRecordTest, FieldCountIsClampedAndCopiesKeepIdentityOnlyWhenAsked) {
  FieldRecord record(book_, 0);
  EXPECT_EQ(record.FieldCount(), 1);
  EXPECT_EQ(record.SetFieldCount(1000), 1);
  EXPECT_EQ(record.FieldCount(), 255);
  EXPECT_EQ(record.SetFieldCount(3), 1);
  EXPECT_EQ(record.ObjectLength(), 4 + 12);
  record.SetObjectAddress(object_);
  FieldRecord copy(record);
  EXPECT_EQ(int32_t(copy.ObjectAddress()), object_);
  IndexedDatabase unopened;  // no files: nothing to attach to
  EXPECT_EQ(FieldRecord(&unopened, 9).Database(), nullptr);
  FieldRecord other;
  EXPECT_EQ(other.CopyFrom(record, false), 1);
  EXPECT_EQ(int32_t(other.ObjectAddress()), 0);
  EXPECT_EQ(other.Database(), nullptr);
  EXPECT_TRUE(other.Equals(record));
}

}  // namespace
