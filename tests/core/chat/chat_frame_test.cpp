// The wire frame and the line cipher, checked against facts computed
// independently of the code under test.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
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

uint16_t TableCrc(const CipherTable& table, const std::string& text) {
  uint16_t crc = 0;
  for (unsigned char c : text) {
    crc = static_cast<uint16_t>((crc >> 8) ^ table.entries[1 + ((crc ^ c) & 0xFF)]);
  }
  return crc;
}

bool HasDuplicateEntries(const CipherTable& table) {
  std::set<uint16_t> seen(table.entries + 1, table.entries + 257);
  return seen.size() != 256;
}

TEST(CipherTableTest, MatchesPublishedReflectedCrc16Tables) {
  struct Case {
    uint16_t key, normal_poly, check;
  } cases[] = {{0xA001, 0x8005, 0xBB3D},   // CRC-16/ARC
               {0x8408, 0x1021, 0x2189}};  // CRC-16/KERMIT
  for (const Case& c : cases) {
    CipherTable table = BuildCipherTable(c.key);
    EXPECT_EQ(table.entries[0], c.key);
    for (unsigned i = 0; i < 256; ++i) {
      ASSERT_EQ(table.entries[i + 1], ReflectedCrcEntry(c.normal_poly, i)) << "byte " << i;
    }
    EXPECT_EQ(TableCrc(table, "123456789"), c.check);
  }
}

TEST(CipherTableTest, ZeroAndHighBitFixedPoints) {
  for (unsigned key : {0u, 1u, 0x1234u, 52917u, 0xFFFFu}) {
    CipherTable table = BuildCipherTable(static_cast<uint16_t>(key));
    EXPECT_EQ(EncipherByte(table, 0), 0);
    EXPECT_EQ(EncipherByte(table, 128), key);
    unsigned char b = 99;
    ASSERT_TRUE(DecipherValue(table, 0, &b));
    EXPECT_EQ(b, 0);
  }
}

TEST(CipherTableTest, EveryByteRoundTripsForKeysWithoutDuplicates) {
  for (unsigned key : {0xA001u, 0x8408u, 52917u}) {
    CipherTable table = BuildCipherTable(static_cast<uint16_t>(key));
    ASSERT_FALSE(HasDuplicateEntries(table)) << key;
    for (unsigned i = 0; i < 256; ++i) {
      unsigned char b = 0;
      ASSERT_TRUE(DecipherValue(table, EncipherByte(table, static_cast<unsigned char>(i)), &b));
      EXPECT_EQ(b, i);
    }
  }
}

TEST(CipherTableTest, SmallestByteWinsWhenValuesRepeatAndStrayValuesAreNotFound) {
  // A key without its top bit leaves the table non-injective.
  CipherTable table = BuildCipherTable(0x0002);
  ASSERT_TRUE(HasDuplicateEntries(table));
  int repeats = 0;
  for (unsigned i = 0; i < 256; ++i) {
    unsigned char b = 0;
    ASSERT_TRUE(DecipherValue(table, EncipherByte(table, static_cast<unsigned char>(i)), &b));
    EXPECT_LE(b, i);
    EXPECT_EQ(EncipherByte(table, b), EncipherByte(table, static_cast<unsigned char>(i)));
    for (unsigned j = 0; j < b; ++j) EXPECT_NE(table.entries[j + 1], table.entries[i + 1]);
    if (b != i) ++repeats;
  }
  EXPECT_GT(repeats, 0);
  // A value no byte enciphers to is not found, and the output stays as it was.
  std::set<uint16_t> used(table.entries + 1, table.entries + 257);
  uint16_t v = 1;
  while (used.count(v)) ++v;
  unsigned char b = 42;
  EXPECT_FALSE(DecipherValue(table, v, &b));
  EXPECT_EQ(b, 42);
}

// The search receivers used before the inverse existed, kept here as the
// measure the inverse must match: the first byte upwards whose entry is v.
bool SearchTable(const CipherTable& table, uint16_t v, unsigned char* b) {
  for (unsigned i = 0; i < 256; ++i) {
    if (table.entries[i + 1] == v) {
      *b = static_cast<unsigned char>(i);
      return true;
    }
  }
  return false;
}

TEST(CipherTest, InverseAgreesWithTheSearchForEveryValue) {
  // Keys below 128 repeat values (0 maps every byte to 0, 1 gives two
  // values, 127 gives 128); the rest are one-to-one but still leave most
  // 16-bit values outside the table.
  const uint16_t keys[] = {0, 1, 2, 3, 0x40, 0x55, 0x7F, 0x80, 0x8408, 0xA001, 52917, 0xFFFF};
  int repeating_keys = 0;
  for (uint16_t key : keys) {
    SCOPED_TRACE(key);
    const std::unique_ptr<Cipher> cipher(new Cipher(key));
    const CipherTable& table = cipher->Table();
    for (unsigned i = 0; i < 256; ++i) {
      ASSERT_EQ(table.entries[i + 1], ReflectedCrcEntry(Reflect(key, 16), i)) << "byte " << i;
    }
    if (HasDuplicateEntries(table)) ++repeating_keys;
    std::string wire, expected;  // every value the search finds a non-zero byte for
    uint16_t stray = 0;          // a value outside the table, 0 if none
    for (uint32_t v = 0; v <= 0xFFFF; ++v) {
      unsigned char want = 7, got = 7;
      const bool found = SearchTable(table, static_cast<uint16_t>(v), &want);
      ASSERT_EQ(cipher->Decipher(static_cast<uint16_t>(v), &got), found) << v;
      ASSERT_EQ(got, want) << v;  // also: left alone when not found
      if (!found && stray == 0) stray = static_cast<uint16_t>(v);
      if (found && want != 0) {
        wire += {static_cast<char>(v), static_cast<char>(v >> 8)};
        expected += static_cast<char>(want);
      }
    }
    EXPECT_NE(stray, 0);
    // A stray value ends the text like a 0 does; what follows is not shown.
    wire += {static_cast<char>(stray), static_cast<char>(stray >> 8), 'x', 'y'};
    const unsigned char* p = reinterpret_cast<const unsigned char*>(wire.data());
    EXPECT_EQ(cipher->DecipherBody(p, wire.size()), expected);
    EXPECT_EQ(DecipherBody(table, p, wire.size()), expected);
    EXPECT_EQ(DecipherBody(table, p, 2 * std::min<size_t>(expected.size(), 3)),
              expected.substr(0, 3));
  }
  EXPECT_EQ(repeating_keys, 7);
}

TEST(CipherLineTest, LineIsTwoBytesPerCharacterLowByteFirst) {
  CipherTable table = BuildCipherTable(0xA001);
  std::string body;
  ASSERT_TRUE(EncipherLine(table, std::string("a\nb\xff", 4), &body));
  ASSERT_EQ(body.size(), 8u);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(body.data());
  EXPECT_EQ(p[0] | (p[1] << 8), table.entries[1 + 'a']);
  EXPECT_EQ(p[2] | (p[3] << 8), table.entries[1 + '\n']);
  EXPECT_EQ(p[6] | (p[7] << 8), table.entries[1 + 0xff]);
  EXPECT_EQ(DecipherBody(table, p, body.size()), std::string("a\nb\xff", 4));
}

TEST(CipherLineTest, OddLastByteIsIgnoredAndZeroEndsTheText) {
  CipherTable table = BuildCipherTable(52917);
  std::string body;
  ASSERT_TRUE(EncipherLine(table, std::string("hi\0there", 8), &body));
  const unsigned char* p = reinterpret_cast<const unsigned char*>(body.data());
  EXPECT_EQ(DecipherBody(table, p, body.size()), "hi");
  ASSERT_TRUE(EncipherLine(table, "abc", &body));
  p = reinterpret_cast<const unsigned char*>(body.data());
  EXPECT_EQ(DecipherBody(table, p, 5), "ab");
  EXPECT_EQ(DecipherBody(table, p, 1), "");
}

TEST(CipherLineTest, WrongKeyShowsOnlyTheLeadingCharactersThatHappenToMatch) {
  CipherTable sender = BuildCipherTable(52917);
  CipherTable receiver = BuildCipherTable(0xA001);
  const std::string line = "The quick brown fox";
  std::string body;
  ASSERT_TRUE(EncipherLine(sender, line, &body));
  std::string shown =
      DecipherBody(receiver, reinterpret_cast<const unsigned char*>(body.data()), body.size());
  EXPECT_LT(shown.size(), line.size());
  EXPECT_EQ(shown, DecipherBody(receiver, reinterpret_cast<const unsigned char*>(body.data()),
                                2 * shown.size()));
}

TEST(MessageHeaderTest, LayoutOfASentHeader) {
  MessageHeader header("Alice", MSG_SAY, 0x01020304);
  const unsigned char* p = header.Data();
  EXPECT_EQ(std::memcmp(p, "Alice", 5), 0);
  for (size_t i = 5; i < 25; ++i) EXPECT_EQ(p[i], 0) << i;
  const unsigned char tail[8] = {'S', 0, 0, 0, 4, 3, 2, 1};
  EXPECT_EQ(std::memcmp(p + 25, tail, 8), 0);
  EXPECT_EQ(header.SenderName(), "Alice");
  EXPECT_EQ(header.Type(), static_cast<uint32_t>(MSG_SAY));
  EXPECT_EQ(header.BodyLength(), 0x01020304u);
  EXPECT_EQ(MessageHeader("a", MSG_SAY, 0xFFFFFFFFu).BodyLength(), 0xFFFFFFFFu);
  std::string body;  // a one-character line: 33 + 2 bytes
  ASSERT_TRUE(EncipherLine(BuildCipherTable(52917), "x", &body));
  EXPECT_EQ(MessageHeader::kSize + body.size(), 33u + 2u);
  EXPECT_EQ(MessageHeader("Bob", MSG_SAY, static_cast<uint32_t>(body.size())).BodyLength(), 2u);
}

TEST(MessageHeaderTest, NameFillsAtMost24BytesAndByte24IsZero) {
  const std::string name24(24, 'x');
  MessageHeader full(name24, MSG_CONNECT, 0);
  EXPECT_EQ(full.Data()[23], 'x');
  EXPECT_EQ(full.Data()[24], 0);
  EXPECT_EQ(full.SenderName(), name24);
  MessageHeader cut(std::string(30, 'y'), MSG_CONNECT, 0);
  EXPECT_EQ(cut.Data()[24], 0);
  EXPECT_EQ(cut.SenderName(), std::string(24, 'y'));
  // An unterminated name from a peer reads as 24 bytes.
  MessageHeader header;
  std::memset(header.Data(), 'z', MessageHeader::kSize);
  EXPECT_EQ(header.SenderName(), std::string(24, 'z'));
  EXPECT_EQ(header.BodyLength(), 0x7a7a7a7au);
}

}  // namespace
