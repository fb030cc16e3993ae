#include "core/db/portable_int.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <limits>
#include <string>

#include "core/db/crc32.h"
#include "core/db/database_error.h"

namespace {

template <typename T>
std::string Bytes(const T& value) {
  return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

TEST(PortableIntTest, StoresLittleEndianBytes) {
  EXPECT_EQ(Bytes(PortableInt32(4000)), std::string("\xA0\x0F\x00\x00", 4));
  EXPECT_EQ(Bytes(PortableUInt32(0xFEFE)), std::string("\xFE\xFE\x00\x00", 4));
  EXPECT_EQ(Bytes(PortableUInt16(0x1234)), std::string("\x34\x12", 2));
  EXPECT_EQ(uint16_t(PortableUInt16(uint16_t(0x12345 & 0xFFFF))), 0x2345);
}

TEST(PortableIntTest, ReadsBytesSignedAndWrapsLikeInt32) {
  const unsigned char ones[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  PortableInt32 s;
  PortableUInt32 u;
  std::memcpy(&s, ones, 4);
  std::memcpy(&u, ones, 4);
  EXPECT_EQ(int32_t(s), -1);
  EXPECT_EQ(uint32_t(u), 4294967295u);
  EXPECT_TRUE(s < PortableInt32(0));
  EXPECT_TRUE(u > 0u);
  PortableInt32 a = -5, b = 3;
  EXPECT_TRUE(a < b && a <= -5 && b >= a && 3 >= b && a != 3);
  EXPECT_FALSE(a == b);
  PortableInt32 v = std::numeric_limits<int32_t>::max();
  PortableInt32 old = v++;  // postfix: the old value back, the new one wrapped
  EXPECT_EQ(int32_t(old), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(int32_t(v), std::numeric_limits<int32_t>::min());
  v--;
  EXPECT_EQ(int32_t(v), std::numeric_limits<int32_t>::max());
}

TEST(Crc32Test, MatchesZlib) {
  const std::string samples[] = {"", "a", "123456789", std::string(1000, '\xFE'),
                                 std::string("KVSBASEC\0\x01\x02", 11)};
  for (const std::string& s : samples) {
    uLong expected = crc32(0L, reinterpret_cast<const Bytef*>(s.data()), uInt(s.size()));
    EXPECT_EQ(Crc32::Of(s.data(), s.size()), uint32_t(expected)) << s.size();
  }
  EXPECT_EQ(Crc32::Of("123456789", 9), 0xCBF43926u);
  Crc32 bytewise;
  for (char c : std::string("123456789")) bytewise.Update(static_cast<unsigned char>(c));
  EXPECT_EQ(bytewise.Value(), 0xCBF43926u);
}

TEST(DatabaseErrorTextTest, CoversEveryCode) {
  EXPECT_STREQ(DatabaseErrorText(0), "Database exception: No exception reported");
  EXPECT_STREQ(DatabaseErrorText(15), "Database exception: File is corrupt");
  EXPECT_STREQ(DatabaseErrorText(40), "Database exception: Synchronization Error");
  EXPECT_STREQ(DatabaseErrorText(47), "Database exception: Cannot lock the specified record");
  EXPECT_STREQ(DatabaseErrorText(48), DatabaseErrorText(1));
  EXPECT_STREQ(DatabaseErrorText(-1), "Database exception: Invalid error code reported");
}

}  // namespace
