#include "core/db/portable_int.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <limits>
#include <string>

#include "core/db/crc32.h"
#include "core/db/database_error.h"

namespace {

// Files written on one machine are read on another: little-endian always.
TEST(PortableIntTest, LittleEndianBytesAndInt32Arithmetic) {
  PortableInt32 four_thousand = 4000;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&four_thousand), 4),
            std::string("\xA0\x0F\x00\x00", 4));
  const unsigned char ones[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  PortableInt32 s;
  std::memcpy(&s, ones, 4);
  EXPECT_EQ(int32_t(s), -1);
  PortableInt32 v = std::numeric_limits<int32_t>::max();
  EXPECT_EQ(int32_t(v++), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(int32_t(v), std::numeric_limits<int32_t>::min());
}

TEST(Crc32Test, MatchesZlib) {
  for (const std::string& s :
       {std::string(), std::string("123456789"), std::string(1000, '\xFE')}) {
    const uLong expected = crc32(0L, reinterpret_cast<const Bytef*>(s.data()), uInt(s.size()));
    EXPECT_EQ(Crc32::Of(s.data(), s.size()), uint32_t(expected)) << s.size();
  }
}

TEST(DatabaseErrorTextTest, CodesOutsideTheTableGetTheInvalidText) {
  EXPECT_STRNE(DatabaseErrorText(47), DatabaseErrorText(1));
  EXPECT_STREQ(DatabaseErrorText(48), DatabaseErrorText(1));
  EXPECT_STREQ(DatabaseErrorText(-1), DatabaseErrorText(1));
  EXPECT_STRNE(DatabaseErrorText(0), DatabaseErrorText(1));
}

}  // namespace
