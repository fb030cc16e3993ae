#include "core/books/address_book.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/books/book_sequences.h"
#include "core/books/books_test_util.h"
#include "core/books/name_key.h"
#include "core/settings/program_settings.h"
#include "core/settings/settings_parts.h"

namespace {

class AddressBookTest : public BookDirectory {
 protected:
  IndexedDatabase* Open(const std::string& base, bool verbose = false) {
    return OpenAddressBook(base, nullptr, verbose, &reporter_);
  }
  void Close(IndexedDatabase*& book) {
    if (!book) return;
    book->Close();
    delete book;
    book = nullptr;
  }
  std::vector<std::string> Names(IndexedDatabase* book) {
    std::vector<std::string> names;
    EXPECT_TRUE(BookListConnections(book, &names));
    return names;
  }
  RecordingReporter reporter_;
};

TEST_F(AddressBookTest, FreshBookFilesHaveTheirSizesAndStemEndsAtTheFirstDot) {
  IndexedDatabase* book = Open("prevconn");
  ASSERT_NE(book, nullptr);
  EXPECT_EQ(CaseSensitiveKeys, 0);
  Close(book);
  EXPECT_EQ(ReadAll("prevconn.ihd").size(), 65065u);
  std::vector<unsigned char> index = ReadAll("prevconn.ihx");
  ASSERT_EQ(index.size(), 9900u);
  EXPECT_EQ(Le32(index, 4), 9900);
  EXPECT_EQ(Le32(index, 40 + 20), 7208);

  BookFileNames names = MakeBookFileNames("maillist.old.db", ".ihd", ".ihx");
  EXPECT_EQ(names.data, "maillist.ihd");
  EXPECT_EQ(names.index, "maillist.ihx");
  book = Open("maillist.xyz");
  ASSERT_NE(book, nullptr);
  Close(book);
  EXPECT_TRUE(Exists("maillist.ihd"));
  EXPECT_TRUE(Exists("maillist.ihx"));
}

TEST_F(AddressBookTest, ConnectionRecordLayoutByteForByte) {
  IndexedDatabase* book = Open("prevconn");
  ASSERT_NE(book, nullptr);
  ASSERT_EQ(BookStoreConnection(book, {"Alice", "10.0.0.1", 59152, -2}), StoreResult::kAdded);
  Close(book);

  std::vector<unsigned char> data = ReadAll("prevconn.ihd");
  ASSERT_EQ(data.size(), 65065u + 600u);  // 28 + 568 + 4
  const size_t block = 65065, object = block + 28;
  EXPECT_EQ(Le32(data, block), 0xFEFE);
  EXPECT_EQ(Le32(data, block + 4), 600);
  EXPECT_EQ(Le32(data, block + 8), 'N');
  std::vector<unsigned char> expected;
  auto put32 = [&](int32_t v) {
    for (int i = 0; i < 4; ++i)
      expected.push_back(static_cast<unsigned char>(uint32_t(v) >> (8 * i)));
  };
  auto put_text = [&](const std::string& text) {
    put32(256);
    expected.insert(expected.end(), text.begin(), text.end());
    expected.resize(expected.size() + 256 - text.size(), 0);
  };
  put32(-1);
  put32(int32_t(object));
  put32(9);
  put_text("Alice");
  put_text("10.0.0.1");
  put32(4);
  put32(59152);
  put32(4);
  put32(-2);
  for (int i = 0; i < 5; ++i) put32(0);
  ASSERT_EQ(expected.size(), 568u);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), data.begin() + long(object)));

  std::vector<unsigned char> index = ReadAll("prevconn.ihx");
  const size_t root = 7208;
  EXPECT_EQ(Le32(index, root), 1);      // one key
  EXPECT_EQ(Le32(index, root + 4), 0);  // a leaf
  EXPECT_EQ(Le32(index, root + 8), 0);  // entry's child
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&index[root + 12])), "Alice");
  for (size_t i = 5; i < 256; ++i) ASSERT_EQ(index[root + 12 + i], 0);
  EXPECT_EQ(Le32(index, root + 12 + 256), int32_t(object));
  EXPECT_EQ(Le32(index, root + 12 + 260), -1);
  EXPECT_EQ(Le32(index, 40 + 8), 1);  // the header counts one key
}

TEST_F(AddressBookTest, InvitationRecordIs552Bytes) {
  IndexedDatabase* book = Open("maillist");
  ASSERT_NE(book, nullptr);
  InvitationRecord record(book, "Bob", "bob@example.org");
  EXPECT_EQ(record.ObjectLength(), 552);
  EXPECT_EQ(ConnectionRecord(book, "a", "b", 1, 2).ObjectLength(), 560);
  ASSERT_EQ(BookStoreRecipient(book, {"Bob", "bob@example.org"}), StoreResult::kAdded);
  std::vector<RecipientValues> all;
  ASSERT_TRUE(BookListRecipients(book, &all));
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].nickname, "Bob");
  EXPECT_EQ(all[0].email_address, "bob@example.org");
  Close(book);
  EXPECT_EQ(ReadAll("maillist.ihd").size(), 65065u + 28 + 560 + 4);
}

TEST_F(AddressBookTest, AddLookUpAndUpdateInPlaceKeepsTheStoredCase) {
  IndexedDatabase* book = Open("prevconn");
  ASSERT_NE(book, nullptr);
  ASSERT_EQ(BookStoreConnection(book, {"Alice", "10.0.0.1", 59152, 52917}), StoreResult::kAdded);
  ConnectionValues stored;
  ASSERT_TRUE(BookLookUpConnection(book, "ALICE", &stored));
  EXPECT_EQ(stored.nickname, "Alice");
  EXPECT_EQ(stored.address, "10.0.0.1");
  EXPECT_EQ(stored.port, 59152);
  EXPECT_EQ(stored.key, 52917);

  const size_t size = ReadAll("prevconn.ihd").size();
  EXPECT_EQ(BookStoreConnection(book, {"Alice", "10.0.0.1", 59152, 52917}),
            StoreResult::kUnchanged);
  // The case differs, so the records differ: fields 1 to 7 are rewritten,
  // the stored nickname stays.
  EXPECT_EQ(BookStoreConnection(book, {"alice", "10.0.0.1", 59152, 52917}), StoreResult::kUpdated);
  EXPECT_EQ(BookStoreConnection(book, {"aLiCe", "quillo.example.org", 7000, 70000}),
            StoreResult::kUpdated);
  EXPECT_EQ(ReadAll("prevconn.ihd").size(), size);  // rewritten where it was
  ASSERT_TRUE(BookLookUpConnection(book, "alice", &stored));
  EXPECT_EQ(stored.nickname, "Alice");
  EXPECT_EQ(stored.address, "quillo.example.org");
  EXPECT_EQ(stored.port, 7000);
  EXPECT_EQ(stored.key, 70000);  // the whole number, not cut to 16 bits
  EXPECT_EQ(Names(book), std::vector<std::string>{"Alice"});
  EXPECT_FALSE(BookLookUpConnection(book, "Bob", &stored));
  // Long texts are stored cut to 255 bytes.
  const std::string long_name(300, 'q');
  ASSERT_EQ(BookStoreConnection(book, {long_name, std::string(400, 'h'), 1, 2}),
            StoreResult::kAdded);
  ASSERT_TRUE(BookLookUpConnection(book, long_name, &stored));
  EXPECT_EQ(stored.nickname, std::string(255, 'q'));
  EXPECT_EQ(stored.address, std::string(255, 'h'));
  ASSERT_TRUE(BookLookUpConnection(book, std::string(255, 'Q'), &stored));
  Close(book);
}

TEST_F(AddressBookTest, RemoveDeletesRecordAndKey) {
  IndexedDatabase* book = Open("prevconn");
  ASSERT_NE(book, nullptr);
  for (const char* name : {"Alice", "Bob", "Carol"}) {
    ASSERT_EQ(BookStoreConnection(book, {name, "h", 1, 1}), StoreResult::kAdded);
  }
  EXPECT_TRUE(BookDeleteConnection(book, "bob"));
  EXPECT_FALSE(BookDeleteConnection(book, "bob"));
  EXPECT_FALSE(BookDeleteConnection(book, ""));
  EXPECT_EQ(Names(book), (std::vector<std::string>{"Alice", "Carol"}));
  // The freed block is reused by the next record of the same size.
  const size_t size = ReadAll("prevconn.ihd").size();
  ASSERT_EQ(BookStoreConnection(book, {"Dave", "h", 1, 1}), StoreResult::kAdded);
  EXPECT_EQ(ReadAll("prevconn.ihd").size(), size);
  EXPECT_FALSE(BookDeleteRecipient(book, {"Nobody", "x"}));
  EXPECT_TRUE(BookDeleteRecipient(book, {"dave", "ignored"}));
  Close(book);
}

TEST_F(AddressBookTest, ListIgnoresCaseWhateverTheOrderOfAdding) {
  IndexedDatabase* book = Open("prevconn");
  ASSERT_NE(book, nullptr);
  const std::vector<std::string> added = {"delta",   "Bravo", "echo",  "ALPHA",    "charlie",
                                          "Foxtrot", "golf",  "Hotel", "india",    "Juliet",
                                          "kilo",    "Lima",  "mike",  "November", "oscar"};
  for (const std::string& name : added) {
    ASSERT_EQ(BookStoreConnection(book, {name, "h", 1, 1}), StoreResult::kAdded);
  }
  const std::vector<std::string> expected = {"ALPHA",   "Bravo", "charlie", "delta",    "echo",
                                             "Foxtrot", "golf",  "Hotel",   "india",    "Juliet",
                                             "kilo",    "Lima",  "mike",    "November", "oscar"};
  EXPECT_EQ(Names(book), expected);
  EXPECT_EQ(int32_t(book->Tree(0)->Header().height), 2);
  Close(book);
}

TEST_F(AddressBookTest, MissingIndexIsRebuiltFromTheDataFile) {
  IndexedDatabase* book = Open("prevconn");
  ASSERT_NE(book, nullptr);
  std::vector<std::string> names;
  for (int i = 0; i < 40; ++i) {
    names.push_back("name" + std::to_string(100 + i));
    ASSERT_EQ(BookStoreConnection(book, {names.back(), "h", i, i}), StoreResult::kAdded);
  }
  ASSERT_TRUE(BookDeleteConnection(book, "name105"));
  names.erase(names.begin() + 5);
  Close(book);
  ASSERT_EQ(std::remove("prevconn.ihx"), 0);

  book = Open("prevconn", true);
  ASSERT_NE(book, nullptr);
  EXPECT_EQ(reporter_.Conversation(),
            "\nRebuilting the index file...\nThe index file was rebuilt and loaded.\n");
  EXPECT_FALSE(Exists("tempfile.idx"));
  EXPECT_EQ(Names(book), names);
  ConnectionValues stored;
  ASSERT_TRUE(BookLookUpConnection(book, "NAME139", &stored));
  EXPECT_EQ(stored.port, 39);
  Close(book);
}

TEST_F(AddressBookTest, RebuildSkipsABlockWithADamagedCheckWord) {
  IndexedDatabase* book = Open("prevconn");
  ASSERT_NE(book, nullptr);
  for (const char* name : {"first", "second", "third"}) {
    ASSERT_EQ(BookStoreConnection(book, {name, "h", 1, 1}), StoreResult::kAdded);
  }
  Close(book);
  const unsigned char junk[4] = {0xFE, 0xFE, 1, 0};
  Patch("prevconn.ihd", 65065, junk, sizeof junk);
  ASSERT_EQ(std::remove("prevconn.ihx"), 0);
  book = Open("prevconn");
  ASSERT_NE(book, nullptr);
  EXPECT_EQ(Names(book), (std::vector<std::string>{"second", "third"}));
  Close(book);
}

TEST_F(AddressBookTest, EmptyDataFileRebuildsToAnEmptyIndex) {
  IndexedDatabase* book = Open("maillist");
  ASSERT_NE(book, nullptr);
  Close(book);
  ASSERT_EQ(std::remove("maillist.ihx"), 0);
  book = Open("maillist", true);
  ASSERT_NE(book, nullptr);
  EXPECT_EQ(reporter_.Conversation(),
            "\nRebuilting the index file...\nThe index file was rebuilt and loaded.\n");
  EXPECT_FALSE(Exists("tempfile.idx"));
  std::vector<RecipientValues> all;
  EXPECT_TRUE(BookListRecipients(book, &all));
  EXPECT_TRUE(all.empty());
  Close(book);
}

// 40 entries over a tree of several levels, damaged in the index in each
// way below: the open must notice, rebuild from the data file (left
// untouched), say so, and lose no entry.
TEST_F(AddressBookTest, ADamagedIndexIsRebuiltAtOpenWithoutLosingAnEntry) {
  struct Damage {
    const char* what;
    std::function<void()> apply;
  };
  auto flip = [](long offset, size_t count) {
    std::vector<unsigned char> index = ReadAll("prevconn.ihx");
    for (size_t i = 0; i < count; ++i) index[size_t(offset) + i] ^= 0x5A;
    Patch("prevconn.ihx", offset, &index[size_t(offset)], count);
  };
  auto header_word = [](long offset, int32_t delta) {
    const int32_t value = Le32(ReadAll("prevconn.ihx"), size_t(offset)) + delta;
    Patch("prevconn.ihx", offset, &value, 4);
  };
  const long kCount = 48, kRoot = 60;  // in the tree header
  const Damage damages[] = {
      {"key count one high", [&] { header_word(kCount, 1); }},
      {"key count one low", [&] { header_word(kCount, -1); }},
      {"root moved", [&] { header_word(kRoot, 2720); }},
      {"a nickname flipped", [&] { flip(7208 + 12, 3); }},
      {"a child address flipped", [&] { flip(7208 + 4 + 2720, 2); }},
      {"record address flipped", [&] { flip(7208 + 12 + 256, 2); }},
      {"cut in the middle of a node", [] { ASSERT_EQ(truncate("prevconn.ihx", 7208 + 1000), 0); }},
      {"cut to the header", [] { ASSERT_EQ(truncate("prevconn.ihx", 20), 0); }},
  };
  IndexedDatabase* book = Open("prevconn");
  ASSERT_NE(book, nullptr);
  std::vector<std::string> names;
  for (int i = 0; i < 40; ++i) {
    names.push_back("name" + std::to_string(100 + i));
    ASSERT_EQ(BookStoreConnection(book, {names.back(), "h", i, i}), StoreResult::kAdded);
  }
  Close(book);
  const std::string data = qtest::ReadBytes("prevconn.ihd");
  const std::string index = qtest::ReadBytes("prevconn.ihx");
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    qtest::WriteBytes("prevconn.ihx", index);
    damage.apply();
    RecordingReporter reporter;
    book = OpenAddressBook("prevconn", nullptr, false, &reporter);
    ASSERT_NE(book, nullptr);
    EXPECT_NE(reporter.Events().find("prevconn.ihx did not match"), std::string::npos);
    EXPECT_EQ(Names(book), names);
    ConnectionValues stored;
    EXPECT_TRUE(BookLookUpConnection(book, "name139", &stored) && stored.port == 39);
    Close(book);
    EXPECT_EQ(qtest::ReadBytes("prevconn.ihd"), data);
  }
}

TEST_F(AddressBookTest, ANicknameTwiceInTheDataFileRebuildsToTheLaterRecord) {
  IndexedDatabase* book = Open("prevconn");
  ASSERT_NE(book, nullptr);
  for (const char* name : {"Ann", "Bob", "Cy"}) {
    ASSERT_EQ(BookStoreConnection(book, {name, std::string(name) + ".example", 1, 1}),
              StoreResult::kAdded);
  }
  Close(book);
  // Bob's record (the second block) now says ANN: the data file holds one
  // nickname twice, and Bob's key leads to a record of another name.
  Patch("prevconn.ihd", 65065 + 600 + 28 + 16, "ANN", 3);
  book = Open("prevconn");
  ASSERT_NE(book, nullptr);
  EXPECT_EQ(Names(book), (std::vector<std::string>{"ANN", "Cy"}));
  ConnectionValues stored;
  ASSERT_TRUE(BookLookUpConnection(book, "ann", &stored));
  EXPECT_EQ(stored.address, "Bob.example");
  EXPECT_NE(reporter_.Events().find("holds the nickname \"ANN\" twice"), std::string::npos)
      << reporter_.Events();
  Close(book);
}

TEST_F(AddressBookTest, UnopenableBookReportsAndGivesNull) {
  // A directory: not opened for writing, and read-only it yields no header.
  ASSERT_EQ(mkdir("prevconn.ihd", 0755), 0);
  IndexedDatabase* book = Open("prevconn", true);
  EXPECT_EQ(book, nullptr);
  EXPECT_EQ(reporter_.Messages(), "Database exception: Error reading from file  ");
  std::vector<std::string> names;
  EXPECT_FALSE(BookListConnections(nullptr, &names));
  ConnectionValues stored;
  EXPECT_FALSE(BookLookUpConnection(nullptr, "x", &stored));
  EXPECT_EQ(BookStoreConnection(nullptr, {"x", "y", 1, 1}), StoreResult::kFailed);
  EXPECT_FALSE(BookDeleteConnection(nullptr, "x"));
}

TEST_F(AddressBookTest, StartUpHandlesLiveInTheSettings) {
  {
    ProgramSettings settings;
    OpenAddressBooks(settings, nullptr);
    ASSERT_NE(settings.PreviousConnectionsBook, nullptr);
    ASSERT_NE(settings.InvitationBook, nullptr);
    ASSERT_EQ(BookStoreConnection(settings.PreviousConnectionsBook, {"Zed", "h", 1, 1}),
              StoreResult::kAdded);
    // Opening again closes the old handles first.
    OpenAddressBooks(settings, nullptr);
    EXPECT_EQ(BookStoreConnection(settings.PreviousConnectionsBook, {"Zed", "h", 1, 1}),
              StoreResult::kUnchanged);
  }
  EXPECT_TRUE(Exists("prevconn.ihd"));
  EXPECT_TRUE(Exists("maillist.ihx"));
  // The settings' destruction wrote the tree headers: one key stored.
  EXPECT_EQ(Le32(ReadAll("prevconn.ihx"), 40 + 8), 1);
  EXPECT_EQ(Le32(ReadAll("maillist.ihx"), 40 + 8), 0);
}

}  // namespace
