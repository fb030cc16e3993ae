#include "core/util/byte_string.h"

#include <gtest/gtest.h>

#include <utility>

TEST(ByteString, AssignmentKeepsTerminatorAndReusesBuffer) {
  ByteString s("hello");
  EXPECT_EQ(s.Length(), 5u);
  EXPECT_EQ(s.Data()[5], '\0');
  const char* before = s.Data();
  s = "hey";
  EXPECT_EQ(s.Data(), before);  // capacity sufficed: same buffer
  EXPECT_STREQ(s.CStr(), "hey");
  s = "a longer text";
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
  EXPECT_EQ(s.Find("KEY"), ByteString::npos);  // case counts
  EXPECT_EQ(s.FindCounted("y=V", 3), 2u);
  ByteString bytes("a\0b", 3);
  EXPECT_EQ(bytes.FindCounted("\0b", 2), 1u);  // counted patterns may hold NUL
}
