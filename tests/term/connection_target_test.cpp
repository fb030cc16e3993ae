// Where /connect calls: a nickname from the previous-connections book, or
// an address typed in full, recorded as the Connect panel records it.
#include "term/connection_target.h"

#include <gtest/gtest.h>

#include "core/books/address_book.h"
#include "core/books/book_sequences.h"
#include "core/books/books_test_util.h"
#include "core/settings/program_settings.h"
#include "core/settings/settings_parts.h"

namespace {

class ConnectionTargetTest : public BookDirectory {
 protected:
  void SetUp() override {
    BookDirectory::SetUp();
    settings_ = std::make_unique<ProgramSettings>();
    OpenAddressBooks(*settings_, nullptr);
    book_ = settings_->PreviousConnectionsBook;
    ASSERT_NE(book_, nullptr);
  }
  void TearDown() override {
    settings_.reset();
    BookDirectory::TearDown();
  }

  std::unique_ptr<ProgramSettings> settings_;
  IndexedDatabase* book_ = nullptr;
};

TEST_F(ConnectionTargetTest, AnAddressIsRecordedUnderWhatWasTypedAndFoundAgain) {
  const auto typed = ResolveConnectionTarget(book_, "10.1.2.3:4000", 77, 59152, 52917);
  ASSERT_TRUE(typed);
  EXPECT_EQ(typed->nickname, "10.1.2.3:4000");
  EXPECT_EQ(typed->address, "10.1.2.3");
  EXPECT_EQ(typed->port, 4000);
  EXPECT_EQ(typed->key, 77);
  ASSERT_TRUE(RecordConnectionTarget(book_, *typed));

  // Later, without a key: the stored one comes back, whatever the case.
  const auto again = ResolveConnectionTarget(book_, "10.1.2.3:4000", std::nullopt, 1, 2);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->port, 4000);
  EXPECT_EQ(again->key, 77);
  std::vector<std::string> listed;
  ASSERT_TRUE(BookListConnections(book_, &listed));
  EXPECT_EQ(listed, std::vector<std::string>{"10.1.2.3:4000"});
}

TEST_F(ConnectionTargetTest, IpV6AddressesAreRecordedWhole) {
  // The longest text an IPv6 address can take: 45 characters.
  const std::string longest = "ffff:ffff:ffff:ffff:ffff:ffff:255.255.255.255";
  ASSERT_EQ(longest.size(), 45u);
  const struct {
    std::string typed;
    std::string address;
    int port;
  } cases[] = {
      {"[2001:db8::5]:4000", "2001:db8::5", 4000},
      {"2001:db8::5", "2001:db8::5", 59152},
      {"[" + longest + "]:61000", longest, 61000},
  };
  for (const auto& c : cases) {
    const auto typed = ResolveConnectionTarget(book_, c.typed, 9, 59152, 52917);
    ASSERT_TRUE(typed) << c.typed;
    EXPECT_EQ(typed->address, c.address);
    EXPECT_EQ(typed->port, c.port);
    ASSERT_TRUE(RecordConnectionTarget(book_, *typed));
    ConnectionValues stored;
    ASSERT_TRUE(BookLookUpConnection(book_, c.typed, &stored));
    EXPECT_EQ(stored.address, c.address);
    EXPECT_EQ(stored.port, c.port);
  }
}

TEST_F(ConnectionTargetTest, ANicknameStoredByTheDesktopProgramGivesItsLine) {
  ASSERT_NE(BookStoreConnection(book_, ConnectionValues{"AnnsLine", "ann.example", 6000, 31337}),
            StoreResult::kFailed);
  const auto found = ResolveConnectionTarget(book_, "annsline", std::nullopt, 1, 2);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->nickname, "AnnsLine");
  EXPECT_EQ(found->address, "ann.example");
  EXPECT_EQ(found->port, 6000);
  EXPECT_EQ(found->key, 31337);
  // A key typed after the nickname wins.
  EXPECT_EQ(ResolveConnectionTarget(book_, "annsline", 5, 1, 2)->key, 5);
}

TEST_F(ConnectionTargetTest, DefaultsFillWhatWasNotTypedAndNonsenseIsRefused) {
  const auto bare = ResolveConnectionTarget(book_, "host.example", std::nullopt, 59152, 52917);
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->port, 59152);
  EXPECT_EQ(bare->key, 52917);
  EXPECT_FALSE(ResolveConnectionTarget(book_, "host:port", std::nullopt, 1, 2));
  // Without a book an address still works.
  EXPECT_TRUE(ResolveConnectionTarget(nullptr, "host.example", std::nullopt, 1, 2));
}

}  // namespace
