#include "core/books/address_book.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "core/books/book_sequences.h"
#include "core/books/books_test_util.h"
#include "core/books/name_key.h"

namespace {

class AddressBookTest : public BookDirectory {
 protected:
  IndexedDatabase* Open(const std::string& base) {
    IndexedDatabase* book = OpenAddressBook(base, nullptr, false, &reporter_);
    EXPECT_NE(book, nullptr);
    return book;
  }
  static std::vector<std::string> Names(IndexedDatabase* book) {
    std::vector<std::string> names;
    EXPECT_TRUE(BookListConnections(book, &names));
    return names;
  }
  RecordingReporter reporter_;
};

// The files older versions wrote and read, byte for byte.
TEST_F(AddressBookTest, BookFilesOlderVersionsRead) {
  EXPECT_EQ(MakeBookFileNames("dir.x/maillist.old.db", ".ihd", ".ihx").index, "dir.x/maillist.ihx");
  IndexedDatabase* book = Open("prevconn.xyz");  // the stem ends at the first dot
  ASSERT_EQ(BookStoreConnection(book, {"Alice", "10.0.0.1", 59152, -2}), StoreResult::kAdded);
  CloseBook(book);
  book = Open("maillist");
  ASSERT_EQ(BookStoreRecipient(book, {"Bob", "bob@example.org"}), StoreResult::kAdded);
  std::vector<RecipientValues> all;
  ASSERT_TRUE(BookListRecipients(book, &all));
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].email_address, "bob@example.org");
  CloseBook(book);
  EXPECT_EQ(ReadAll("maillist.ihd").size(), 65065u + 28 + 8 + 552 + 4);  // a 552-byte record

  std::vector<unsigned char> data = ReadAll("prevconn.ihd");
  ASSERT_EQ(data.size(), 65065u + 600u);  // block header 28, record 568, lock 4
  const size_t block = 65065, object = block + 28;
  EXPECT_EQ(Le32(data, 8), int32_t(block));  // the heap starts past a zeroed static area
  for (size_t i = 28; i < block; ++i) ASSERT_EQ(data[i], 0) << i;
  // Block header, class 9, then fields as length + bytes: two texts of 256,
  // port and key of 4, five empty ones.
  const int32_t words[] = {0xFEFE, 600, 'N', 0, 0, 0, 0, -1, int32_t(object), 9, 256};
  for (size_t i = 0; i < 11; ++i) EXPECT_EQ(Le32(data, block + 4 * i), words[i]) << i;
  const auto text_at = [&](size_t at) { return std::string(reinterpret_cast<char*>(&data[at])); };
  EXPECT_EQ(text_at(block + 44), "Alice");
  EXPECT_EQ(Le32(data, block + 300), 256);
  EXPECT_EQ(text_at(block + 304), "10.0.0.1");
  const int32_t tail[] = {4, 59152, 4, -2, 0, 0, 0, 0, 0};
  for (size_t i = 0; i < 9; ++i) EXPECT_EQ(Le32(data, block + 560 + 4 * i), tail[i]) << i;

  std::vector<unsigned char> index = ReadAll("prevconn.ihx");
  ASSERT_EQ(index.size(), 9900u);
  // Free list, end, heap start, highest block; then the tree's order, entry
  // size, keys, nodes, height, root and a reserved word.
  const int32_t file_header[] = {0, 9900, 7180, 7180}, tree[] = {11, 268, 1, 1, 1, 7208, -1};
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(Le32(index, 4 * i), file_header[i]) << i;
  for (size_t i = 0; i < 7; ++i) EXPECT_EQ(Le32(index, 40 + 4 * i), tree[i]) << i;
  const size_t root = 7208;
  // One key, a leaf, the entry's child, the name padded to 256, the record.
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(Le32(index, root + 4 * i), i == 0 ? 1 : 0) << i;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&index[root + 12]), 256),
            "Alice" + std::string(251, '\0'));
  EXPECT_EQ(Le32(index, root + 12 + 256), int32_t(object));
  EXPECT_EQ(Le32(index, root + 12 + 260), -1);
}

TEST_F(AddressBookTest, StoreLookUpUpdateRemoveAndListIgnoringCase) {
  IndexedDatabase* book = Open("prevconn");
  ASSERT_EQ(BookStoreConnection(book, {"Alice", "10.0.0.1", 59152, 52917}), StoreResult::kAdded);
  const size_t size = ReadAll("prevconn.ihd").size();
  EXPECT_EQ(BookStoreConnection(book, {"Alice", "10.0.0.1", 59152, 52917}),
            StoreResult::kUnchanged);
  // The case differs, so the records differ: fields 1 to 7 are rewritten
  // where they are, the stored nickname stays.
  EXPECT_EQ(BookStoreConnection(book, {"alice", "10.0.0.1", 59152, 52917}), StoreResult::kUpdated);
  EXPECT_EQ(BookStoreConnection(book, {"aLiCe", "quillo.example.org", 7000, 70000}),
            StoreResult::kUpdated);
  EXPECT_EQ(ReadAll("prevconn.ihd").size(), size);
  ConnectionValues stored;
  ASSERT_TRUE(BookLookUpConnection(book, "ALICE", &stored));
  EXPECT_EQ(stored.nickname, "Alice");
  EXPECT_EQ(stored.address, "quillo.example.org");
  EXPECT_EQ(stored.port, 7000);
  EXPECT_EQ(stored.key, 70000);  // the whole number, not cut to 16 bits
  // Long texts are stored cut to 255 bytes.
  ASSERT_EQ(BookStoreConnection(book, {std::string(300, 'q'), std::string(400, 'h'), 1, 2}),
            StoreResult::kAdded);
  ASSERT_TRUE(BookLookUpConnection(book, std::string(255, 'Q'), &stored));
  EXPECT_EQ(stored.address, std::string(255, 'h'));
  EXPECT_TRUE(BookDeleteConnection(book, std::string(255, 'q')));
  // Listed in order ignoring case, whatever the order of adding: letters
  // fold to lower case (below "_" otherwise), bytes compare unsigned.
  for (const char* name : {"delta", "\xE9t", "Bravo", "_x", "ALPHA", "charlie"}) {
    ASSERT_EQ(BookStoreConnection(book, {name, "h", 1, 1}), StoreResult::kAdded);
  }
  EXPECT_EQ(Names(book), (std::vector<std::string>{"_x", "Alice", "ALPHA", "Bravo", "charlie",
                                                   "delta", "\xE9t"}));
  EXPECT_TRUE(BookDeleteConnection(book, "bravo"));
  EXPECT_FALSE(BookDeleteConnection(book, "bravo"));
  EXPECT_FALSE(BookDeleteConnection(book, ""));
  EXPECT_FALSE(BookLookUpConnection(book, "Bravo", &stored));
  // The freed block is reused by the next record of the same size.
  const size_t before = ReadAll("prevconn.ihd").size();
  ASSERT_EQ(BookStoreConnection(book, {"Oscar", "h", 1, 1}), StoreResult::kAdded);
  EXPECT_EQ(ReadAll("prevconn.ihd").size(), before);
  EXPECT_FALSE(BookDeleteRecipient(book, {"Nobody", "x"}));
  EXPECT_TRUE(BookDeleteRecipient(book, {"oscar", "ignored"}));
  EXPECT_FALSE(BookLookUpConnection(book, "Oscar", &stored));
  CloseBook(book);
}

// 40 entries over a tree of several levels; the index is damaged or gone,
// or the data file holds a damaged block or one nickname twice. The open
// rebuilds the index from the data file (left untouched), says so, and
// loses no entry that can be read.
TEST_F(AddressBookTest, AMissingOrDamagedIndexIsRebuiltAtOpen) {
  auto flip = [](long offset, size_t count) {
    std::vector<unsigned char> index = ReadAll("prevconn.ihx");
    for (size_t i = 0; i < count; ++i) index[size_t(offset) + i] ^= 0x5A;
    Patch("prevconn.ihx", offset, &index[size_t(offset)], count);
  };
  auto header_word = [](long offset, int32_t delta) {
    const int32_t value = Le32(ReadAll("prevconn.ihx"), size_t(offset)) + delta;
    Patch("prevconn.ihx", offset, &value, 4);
  };
  const char* const kNoticed = "prevconn.ihx did not match";
  const char* const kRebuilt =
      "\nRebuilting the index file...\nThe index file was rebuilt and loaded.\n";
  struct Damage {
    const char* what;
    std::function<void()> apply;
    int missing;  // the index of a name lost, or -1
    std::string said;
  } damages[] = {
      {"index missing", [] { std::remove("prevconn.ihx"); }, -1, kRebuilt},
      {"key count one high", [&] { header_word(48, 1); }, -1, kNoticed},
      {"key count one low", [&] { header_word(48, -1); }, -1, kNoticed},
      {"root moved", [&] { header_word(60, 2720); }, -1, kNoticed},
      {"height absurd", [&] { header_word(56, 1000); }, -1, kNoticed},
      {"a nickname flipped", [&] { flip(7208 + 12, 3); }, -1, kNoticed},
      {"a child address flipped", [&] { flip(7208 + 4 + 2720, 2); }, -1, kNoticed},
      {"record address flipped", [&] { flip(7208 + 12 + 256, 2); }, -1, kNoticed},
      {"cut in a node", [] { ASSERT_EQ(truncate("prevconn.ihx", 7208 + 1000), 0); }, -1, kNoticed},
      {"cut to the header", [] { ASSERT_EQ(truncate("prevconn.ihx", 20), 0); }, -1, kNoticed},
      // A block's check word (not the first's, which the scan skips anyway),
      // its length now spanning the next block too: that one is still found.
      {"a check word damaged",
       [] {
         Patch("prevconn.ihd", 65065 + 600, "\xFE\xFE\x01\x00\xB0\x04\x00\x00", 8);
         std::remove("prevconn.ihx");
       },
       1, kRebuilt},
      // The second record says NAME100: the one written later is kept.
      {"a nickname twice", [] { Patch("prevconn.ihd", 65065 + 600 + 28 + 16, "NAME100", 7); }, 1,
       "holds the nickname \"NAME100\" twice"},
  };
  IndexedDatabase* book = Open("prevconn");
  std::vector<std::string> names;
  for (int i = 0; i < 40; ++i) {
    names.push_back("name" + std::to_string(100 + i));
    ASSERT_EQ(BookStoreConnection(book, {names.back(), "h", i, i}), StoreResult::kAdded);
  }
  CloseBook(book);
  const std::string data = qtest::ReadBytes("prevconn.ihd");
  const std::string index = qtest::ReadBytes("prevconn.ihx");
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    qtest::WriteBytes("prevconn.ihd", data);
    qtest::WriteBytes("prevconn.ihx", index);
    damage.apply();
    const std::string damaged_data = qtest::ReadBytes("prevconn.ihd");
    RecordingReporter reporter;
    book = OpenAddressBook("prevconn", nullptr, true, &reporter);
    ASSERT_NE(book, nullptr);
    const std::string said = reporter.Conversation() + reporter.Events();
    EXPECT_NE(said.find(damage.said), std::string::npos) << said;
    EXPECT_FALSE(Exists("tempfile.idx"));
    std::vector<std::string> listed = Names(book), expected = names;
    if (!listed.empty() && listed[0] == "NAME100") listed[0] = "name100";
    if (damage.missing >= 0) expected.erase(expected.begin() + damage.missing);
    EXPECT_EQ(listed, expected);
    ConnectionValues stored;
    EXPECT_TRUE(BookLookUpConnection(book, "NAME139", &stored) && stored.port == 39);
    CloseBook(book);
    EXPECT_EQ(qtest::ReadBytes("prevconn.ihd"), damaged_data);
  }
}

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
    CloseBook(book_);
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
  // A present nickname: nothing stored, the record found instead.
  ConnectionRecord again(book_, "ALICE", "elsewhere", 1, 1);
  const int32_t end = book_->Data()->Header().end_of_file;
  EXPECT_EQ(again.WriteUnique(true), 1);
  EXPECT_EQ(int32_t(book_->Data()->Header().end_of_file), end);
  EXPECT_EQ(int32_t(again.ObjectAddress()), object_);
  // Fields 1 to 7 are rewritten in place (what is read back is the book
  // test's), only over the same layout.
  ConnectionRecord changed(book_, "ALICE", "10.9.9.9", 1234, -5);
  changed.SetObjectAddress(object_);
  ASSERT_EQ(changed.UpdateInPlace(), 1);
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
  IndexedDatabase unopened;  // no files: nothing to attach to
  EXPECT_EQ(FieldRecord(&unopened, 9).Database(), nullptr);
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

}  // namespace
