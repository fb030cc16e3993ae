// The wire frame and the line cipher, checked against facts computed
// independently of the code under test.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "core/chat/cipher_table.h"
#include "core/chat/message_header.h"

namespace {

uint16_t Reflect(uint16_t value, int bits) {
  uint16_t out = 0;
  for (int i = 0; i < bits; ++i) {
    if (value & (1u << i)) out |= static_cast<uint16_t>(1u << (bits - 1 - i));
  }
  return out;
}

// Byte table entry of a reflected CRC-16 computed the long way round: the
// non-reflected (MSB-first) bitwise CRC of the mirrored byte, mirrored back.
uint16_t ReflectedCrcEntry(uint16_t normal_poly, unsigned byte) {
  uint16_t crc = static_cast<uint16_t>(Reflect(static_cast<uint16_t>(byte), 8) << 8);
  for (int bit = 0; bit < 8; ++bit) {
    crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ normal_poly)
                         : static_cast<uint16_t>(crc << 1);
  }
  return Reflect(crc, 16);
}

// Keys below 128 repeat values (0 maps every byte to 0, 127 gives 128
// values): the smallest byte wins, as a search upwards finds it. Every key
// leaves most 16-bit values outside the table: not found, output
// untouched, and in a body they end the text like a 0 does. How a line is
// enciphered is shown by the session tests, which decipher what a session
// sent.
TEST(CipherTest, EveryValueDeciphersAsTheSearchFindsIt) {
  const uint16_t keys[] = {0, 1, 2, 3, 0x40, 0x55, 0x7F, 0x80, 0x8408, 0xA001, 52917, 0xFFFF};
  for (uint16_t key : keys) {
    SCOPED_TRACE(key);
    const std::unique_ptr<Cipher> cipher(new Cipher(key));
    const CipherTable& table = cipher->Table();
    ASSERT_EQ(table.entries[0], key);
    std::map<uint16_t, unsigned char> first;  // value -> the smallest byte with it
    for (unsigned i = 256; i-- > 0;) {
      ASSERT_EQ(table.entries[i + 1], ReflectedCrcEntry(Reflect(key, 16), i)) << "byte " << i;
      first[table.entries[i + 1]] = static_cast<unsigned char>(i);
    }
    std::string wire, expected;  // every value found for a non-zero byte
    uint16_t stray = 0;          // the first value outside the table
    for (uint32_t v = 0; v <= 0xFFFF; ++v) {
      const auto found = first.find(static_cast<uint16_t>(v));
      const unsigned char want = found == first.end() ? 7 : found->second;
      unsigned char got = 7, free_got = 7;
      ASSERT_EQ(cipher->Decipher(static_cast<uint16_t>(v), &got), found != first.end()) << v;
      ASSERT_EQ(DecipherValue(table, static_cast<uint16_t>(v), &free_got), found != first.end());
      ASSERT_EQ(got + 0, want + 0) << v;
      ASSERT_EQ(free_got + 0, want + 0) << v;
      if (found == first.end() && stray == 0) stray = static_cast<uint16_t>(v);
      if (found != first.end() && want != 0) {
        wire += {static_cast<char>(v), static_cast<char>(v >> 8)};
        expected += static_cast<char>(want);
      }
    }
    wire += {static_cast<char>(stray), static_cast<char>(stray >> 8), 'x', 'y'};
    const unsigned char* p = reinterpret_cast<const unsigned char*>(wire.data());
    EXPECT_EQ(cipher->DecipherBody(p, wire.size()), expected);
    EXPECT_EQ(DecipherBody(table, p, wire.size()), expected);
    const std::string zero_ends = wire.substr(0, 2) + std::string(2, '\0') + wire;
    EXPECT_EQ(DecipherBody(table, reinterpret_cast<const unsigned char*>(zero_ends.data()),
                           zero_ends.size()),
              expected.substr(0, 1));
    // Short bodies take the search, not the inverse; an odd last byte is
    // ignored.
    EXPECT_EQ(DecipherBody(table, p, 2 * std::min<size_t>(expected.size(), 3) + 1),
              expected.substr(0, 3));
  }
  const CipherTable arc = BuildCipherTable(0xA001);  // the published CRC-16/ARC table
  EXPECT_EQ(arc.entries[1 + 1], 0xC0C1);
  EXPECT_EQ(arc.entries[1 + 255], 0x4040);
}

TEST(MessageHeaderTest, LayoutAndTheNameCutAt24) {
  MessageHeader header("Alice", MSG_SAY, 0x01020304);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(header.Data()), MessageHeader::kSize),
            "Alice" + std::string(20, '\0') + std::string("S\0\0\0\4\3\2\1", 8));
  EXPECT_EQ(header.SenderName(), "Alice");
  EXPECT_EQ(header.Type(), static_cast<uint32_t>(MSG_SAY));
  EXPECT_EQ(header.BodyLength(), 0x01020304u);
  for (size_t length : {24, 30}) {
    MessageHeader named(std::string(length, 'x'), MSG_CONNECT, 0);
    EXPECT_EQ(named.Data()[23] + named.Data()[24], 'x' + 0);
    EXPECT_EQ(named.SenderName(), std::string(24, 'x'));
  }
  // An unterminated name from a peer reads as 24 bytes.
  std::memset(header.Data(), 'z', MessageHeader::kSize);
  EXPECT_EQ(header.SenderName(), std::string(24, 'z'));
  EXPECT_EQ(header.BodyLength(), 0x7a7a7a7au);
}

}  // namespace
