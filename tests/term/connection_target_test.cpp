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

// An address is recorded under what was typed and found again with its
// port and key, whatever the case; defaults fill what was not typed.
TEST_F(ConnectionTargetTest, AnAddressIsRecordedUnderWhatWasTypedAndFoundAgain) {
  // The longest text an IPv6 address can take: 45 characters.
  const std::string longest = "ffff:ffff:ffff:ffff:ffff:ffff:255.255.255.255";
  const struct {
    std::string typed, address;
    int port;
  } cases[] = {{"10.1.2.3:4000", "10.1.2.3", 4000},
               {"2001:db8::5", "2001:db8::5", 59152},
               {"[" + longest + "]:61000", longest, 61000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    const auto typed = ResolveConnectionTarget(book_, c.typed, 77, 59152, 52917);
    ASSERT_TRUE(typed);
    EXPECT_EQ(typed->nickname, c.typed);
    EXPECT_EQ(typed->address, c.address);
    EXPECT_EQ(typed->port, c.port);
    ASSERT_TRUE(RecordConnectionTarget(book_, *typed));
    const auto again = ResolveConnectionTarget(book_, c.typed, std::nullopt, 1, 2);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->address, c.address);
    EXPECT_EQ(again->port, c.port);
    EXPECT_EQ(again->key, 77);
  }
  const auto bare = ResolveConnectionTarget(book_, "host.example", std::nullopt, 59152, 52917);
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->port, 59152);
  EXPECT_EQ(bare->key, 52917);
  EXPECT_FALSE(ResolveConnectionTarget(book_, "host:port", std::nullopt, 1, 2));
  // A nickname the desktop program stored gives its line; a typed key wins.
  ASSERT_NE(BookStoreConnection(book_, {"AnnsLine", "ann.example", 6000, 31337}),
            StoreResult::kFailed);
  const auto found = ResolveConnectionTarget(book_, "annsline", 5, 1, 2);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->address + ":" + std::to_string(found->port) + " " + std::to_string(found->key),
            "ann.example:6000 5");
  // Without a book an address still works.
  EXPECT_TRUE(ResolveConnectionTarget(nullptr, "host.example", std::nullopt, 1, 2));
}

}  // namespace
