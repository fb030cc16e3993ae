#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/books/address_book.h"
#include "core/books/book_sequences.h"
#include "core/books/books_test_util.h"

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
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
        static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    book_->Data()->Write(bytes, 4, int32_t(object_ + offset), true, true);
  }
  IndexedDatabase* book_ = nullptr;
  int32_t object_ = 0;
};

TEST_F(FieldRecordTest, ReadsBackWhatWasWritten) {
  ConnectionRecord read(book_);
  ASSERT_EQ(read.Read(object_), 0);
  EXPECT_EQ(read.FieldCount(), 9);
  EXPECT_EQ(read.Nickname(), "Alice");
  EXPECT_EQ(read.Address(), "10.0.0.1");
  EXPECT_EQ(read.Port(), 59152);
  EXPECT_EQ(read.Key(), 52917);
  EXPECT_EQ(read.Field(0).Length(), 256u);
  EXPECT_EQ(read.Field(8).Length(), 0u);
  EXPECT_TRUE(read.Equals(ConnectionRecord(book_, "Alice", "10.0.0.1", 59152, 52917)));
  EXPECT_TRUE(read.NotEquals(ConnectionRecord(book_, "alice", "10.0.0.1", 59152, 52917)));
  EXPECT_TRUE(read.LessThan(ConnectionRecord(book_, "Bob", "", 0, 0)));
  EXPECT_TRUE(read.GreaterThan(ConnectionRecord(book_, "Aaron", "", 0, 0)));
}

TEST_F(FieldRecordTest, WriteUniqueStoresNothingForAPresentNickname) {
  ConnectionRecord again(book_, "ALICE", "elsewhere", 1, 1);
  const int32_t end = book_->Data()->Header().end_of_file;
  EXPECT_EQ(again.WriteUnique(true), 1);
  EXPECT_EQ(int32_t(book_->Data()->Header().end_of_file), end);
  EXPECT_EQ(int32_t(again.ObjectAddress()), object_);
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
  Damage(12, 100000);  // a field length beyond the block
  EXPECT_EQ(read.Read(object_), kDbFileCorrupt);
  ConnectionValues stored;
  EXPECT_FALSE(BookLookUpConnection(book_, "Alice", &stored));
  std::vector<std::string> names;
  EXPECT_FALSE(BookListConnections(book_, &names));
  EXPECT_TRUE(names.empty());
  // A length that fits the block but leaves no room for the later fields.
  Damage(12, 256 + 300);
  EXPECT_EQ(read.Read(object_), kDbFileCorrupt);
  Damage(12, 256);
  Damage(0, 7);  // the wrong class on an otherwise sound record
  EXPECT_EQ(read.Read(object_), kDbWrongObjectType);
  EXPECT_EQ(book_->LastError(), kDbWrongObjectType);
}

TEST_F(FieldRecordTest, UpdateInPlaceRewritesFieldsOneToSevenOfTheSameLayoutOnly) {
  ConnectionRecord changed(book_, "ALICE", "10.9.9.9", 1234, -5);
  changed.SetObjectAddress(object_);
  ASSERT_EQ(changed.UpdateInPlace(), 1);
  ConnectionRecord read(book_);
  ASSERT_EQ(read.Read(object_), 0);
  EXPECT_EQ(read.Nickname(), "Alice");
  EXPECT_EQ(read.Address(), "10.9.9.9");
  EXPECT_EQ(read.Port(), 1234);
  EXPECT_EQ(read.Key(), -5);
  Damage(12 + 4 + 256, 10);  // the address field's stored length differs
  EXPECT_EQ(changed.UpdateInPlace(), 0);
  FieldRecord plain(book_, 3);
  plain.SetObjectAddress(object_);
  EXPECT_EQ(plain.UpdateInPlace(), 0);
}

TEST_F(FieldRecordTest, FieldCountIsClampedAndCopiesKeepIdentity) {
  FieldRecord record(book_, 0);
  EXPECT_EQ(record.FieldCount(), 1);
  EXPECT_EQ(record.SetFieldCount(1000), 1);
  EXPECT_EQ(record.FieldCount(), 255);
  EXPECT_EQ(record.SetFieldCount(3), 1);
  EXPECT_EQ(record.FieldCount(), 3);
  EXPECT_EQ(record.ObjectLength(), 4 + 12);
  record.SetObjectAddress(object_);
  FieldRecord copy(record);
  EXPECT_EQ(int32_t(copy.ObjectAddress()), object_);
  EXPECT_EQ(copy.Database(), book_);
  FieldRecord other;
  EXPECT_EQ(other.CopyFrom(record, false), 1);
  EXPECT_EQ(int32_t(other.ObjectAddress()), 0);
  EXPECT_EQ(other.Database(), nullptr);
  EXPECT_TRUE(other.Equals(record));
}

}  // namespace
