#include "core/util/byte_string.h"

#include <gtest/gtest.h>

#include <utility>

TEST(ByteString, AssignmentKeepsTerminatorAndReusesBuffer) {
  ByteString s("hello");
  EXPECT_EQ(s.Length(), 5u);
  EXPECT_EQ(s.Capacity(), 6u);  // exactly n + 1
  EXPECT_EQ(s.Data()[5], '\0');
  const char* before = s.Data();
  s = "hey";
  EXPECT_EQ(s.Data(), before);  // capacity sufficed: same buffer
  EXPECT_EQ(s.Capacity(), 6u);
  EXPECT_STREQ(s.CStr(), "hey");
  s = "a longer text";
  EXPECT_EQ(s.Capacity(), 14u);
  ByteString empty;
  EXPECT_STREQ(empty.CStr(), "");
  // A moved-from string is empty and can be assigned again.
  ByteString taken(std::move(s));
  EXPECT_EQ(taken, ByteString("a longer text"));
  EXPECT_NE(ByteString("a\0", 2), ByteString("a"));  // the length counts, not the terminator
  s = "";
  EXPECT_STREQ(s.CStr(), "");
}

TEST(ByteString, SearchesReturnAllOnesWhenNotFound) {
  ByteString s("Key=Value key");
  EXPECT_EQ(s.Find("="), 3u);
  EXPECT_EQ(s.Find("key"), 10u);
  EXPECT_EQ(s.Find("key", 10), 10u);  // the pattern fills the rest exactly
  EXPECT_EQ(s.Find("Key", 1), ByteString::npos);
  EXPECT_EQ(s.Find(""), ByteString::npos);  // empty pattern never found
  EXPECT_EQ(s.Find("e", 100), ByteString::npos);
  EXPECT_EQ(s.FindCounted("y=V", 3), 2u);
  ByteString bytes("a\0b", 3);
  EXPECT_EQ(bytes.FindCounted("\0b", 2), 1u);  // counted patterns may hold NUL
}

TEST(ByteString, EraseClamps) {
  ByteString s("abcdef");
  EXPECT_EQ(s.Erase(4, 100), 2u);
  EXPECT_STREQ(s.CStr(), "abcd");
  EXPECT_EQ(s.Erase(10, 1), 0u);
  EXPECT_EQ(s.Erase(1, 2), 2u);
  EXPECT_STREQ(s.CStr(), "ad");
}
