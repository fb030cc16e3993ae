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

// "nickname address:port key", or "none".
std::string Found(IndexedDatabase* book, const std::string& typed, std::optional<int> key) {
  const auto target = ResolveConnectionTarget(book, typed, key, 59152, 52917);
  return target ? target->nickname + " " + target->address + ":" + std::to_string(target->port) +
                      " " + std::to_string(target->key)
                : "none";
}

// An address is recorded under what was typed and found again with its
// port and key, whatever the case; defaults fill what was not typed; a
// nickname the desktop program stored gives its line, a typed key wins.
TEST_F(ConnectionTargetTest, AnAddressIsRecordedUnderWhatWasTypedAndFoundAgain) {
  // The longest text an IPv6 address can take: 45 characters.
  const std::string longest = "ffff:ffff:ffff:ffff:ffff:ffff:255.255.255.255";
  for (const std::string& typed :
       {std::string("10.1.2.3:4000"), std::string("2001:db8::5"), "[" + longest + "]:61000"}) {
    const auto target = ResolveConnectionTarget(book_, typed, 77, 59152, 52917);
    ASSERT_TRUE(target && RecordConnectionTarget(book_, *target)) << typed;
  }
  EXPECT_EQ(Found(book_, "10.1.2.3:4000", std::nullopt), "10.1.2.3:4000 10.1.2.3:4000 77");
  EXPECT_EQ(Found(book_, "2001:db8::5", std::nullopt), "2001:db8::5 2001:db8::5:59152 77");
  EXPECT_EQ(Found(book_, "[" + longest + "]:61000", std::nullopt),
            "[" + longest + "]:61000 " + longest + ":61000 77");
  EXPECT_EQ(Found(book_, "host.example", std::nullopt), "host.example host.example:59152 52917");
  EXPECT_EQ(Found(book_, "host:port", std::nullopt), "none");
  ASSERT_NE(BookStoreConnection(book_, {"AnnsLine", "ann.example", 6000, 31337}),
            StoreResult::kFailed);
  EXPECT_EQ(Found(book_, "annsline", 5), "AnnsLine ann.example:6000 5");
  EXPECT_EQ(Found(nullptr, "host.example", 1), "host.example host.example:59152 1");
}

}  // namespace
