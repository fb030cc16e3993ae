#include "core/chat/cipher_table.h"

#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>

#include "core/chat/message_header.h"

namespace {

// Up to this many characters a search through the table costs less than
// building a Cipher (64 KiB to clear) for one body.
constexpr size_t kSearchedCharacters = 64;

// Writes the text of a body through `decode` (value -> byte, 0 for values
// outside the table) into a string sized once.
template <typename Decode>
std::string DecodeBody(const unsigned char* body, size_t length, Decode decode) {
  std::string text(length / 2, '\0');
  for (size_t j = 0; j < text.size(); ++j) {
    const unsigned char b = decode(GetUInt16LE(body + 2 * j));
    if (b == 0) {
      text.resize(j);
      break;
    }
    text[j] = static_cast<char>(b);
  }
  return text;
}

}  // namespace

CipherTable BuildCipherTable(uint16_t key) {
  CipherTable table;
  table.entries[0] = key;
  for (unsigned i = 0; i < 256; ++i) {
    uint16_t c = static_cast<uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) {
      c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ key) : static_cast<uint16_t>(c >> 1);
    }
    table.entries[i + 1] = c;
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
