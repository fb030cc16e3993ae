#include "core/chat/cipher_table.h"

#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>

#include "core/chat/message_header.h"

namespace {

// Up to this many characters a search through the table costs less than
// building a Cipher (64 KiB to clear) for one body.
constexpr size_t kSearchedCharacters = 16;

// Writes the text of a body through `decode` (value -> byte, 0 for values
// outside the table) into a string sized once, then cuts it at the first 0:
// decoding without a test per character is the faster way for lines that
// have no 0, which are all the ones a partner types.
template <typename Decode>
std::string DecodeBody(const unsigned char* body, size_t length, Decode decode) {
  std::string text(length / 2, '\0');
  char* out = &text[0];
  for (size_t j = 0; j < text.size(); ++j) {
    out[j] = static_cast<char>(decode(GetUInt16LE(body + 2 * j)));
  }
  const void* end = std::memchr(out, 0, text.size());
  if (end != nullptr) text.resize(static_cast<const char*>(end) - out);
  return text;
}

}  // namespace

CipherTable BuildCipherTable(uint16_t key) {
  CipherTable table;
  table.entries[0] = key;
  uint16_t* t = table.entries + 1;
  t[0] = 0;
  // The table is linear over GF(2): T(a ^ b) == T(a) ^ T(b). So only the
  // eight single-bit bytes need the shift-and-xor rounds; every other entry
  // is its lowest bit's entry xor the entry of the rest.
  for (unsigned bit = 1; bit < 256; bit <<= 1) {
    uint16_t c = static_cast<uint16_t>(bit);
    for (int round = 0; round < 8; ++round) {
      c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ key) : static_cast<uint16_t>(c >> 1);
    }
    t[bit] = c;
    for (unsigned rest = 1; rest < bit; ++rest) t[bit | rest] = static_cast<uint16_t>(c ^ t[rest]);
  }
  return table;
}

uint16_t EncipherByte(const CipherTable& table, unsigned char b) { return table.entries[b + 1]; }

bool DecipherValue(const CipherTable& table, uint16_t v, unsigned char* b) {
  for (unsigned i = 0; i < 256; ++i) {
    if (table.entries[i + 1] == v) {
      *b = static_cast<unsigned char>(i);
      return true;
    }
  }
  return false;
}

bool EncipherLine(const CipherTable& table, const std::string& line, std::string* body) {
  try {
    body->resize(2 * line.size());
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  unsigned char* out = reinterpret_cast<unsigned char*>(&(*body)[0]);
  const unsigned char* in = reinterpret_cast<const unsigned char*>(line.data());
  for (size_t i = 0; i < line.size(); ++i) PutUInt16LE(out + 2 * i, table.entries[in[i] + 1]);
  return true;
}

std::string DecipherBody(const CipherTable& table, const unsigned char* body, size_t length) {
  if (length / 2 > kSearchedCharacters) {
    std::unique_ptr<Cipher> cipher(new (std::nothrow) Cipher(table));
    if (cipher) return cipher->DecipherBody(body, length);
  }
  return DecodeBody(body, length, [&table](uint16_t v) {
    unsigned char b = 0;
    DecipherValue(table, v, &b);
    return b;
  });
}

Cipher::Cipher(uint16_t key) : Cipher(BuildCipherTable(key)) {}

Cipher::Cipher(const CipherTable& table) : table_(table) {
  std::memset(inverse_, 0, sizeof inverse_);
  // Downwards, so the smallest byte of a repeated value is written last.
  for (unsigned i = 256; i-- > 0;) inverse_[table_.entries[i + 1]] = static_cast<unsigned char>(i);
}

bool Cipher::Decipher(uint16_t v, unsigned char* b) const {
  const unsigned char found = inverse_[v];
  if (table_.entries[found + 1] != v) return false;
  *b = found;
  return true;
}

bool Cipher::EncipherLine(const std::string& line, std::string* body) const {
  return ::EncipherLine(table_, line, body);
}

std::string Cipher::DecipherBody(const unsigned char* body, size_t length) const {
  return DecodeBody(body, length, [this](uint16_t v) { return inverse_[v]; });
}
