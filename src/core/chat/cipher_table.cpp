#include "core/chat/cipher_table.h"

#include <new>
#include <stdexcept>

#include "core/chat/message_header.h"

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
    body->assign(2 * line.size(), '\0');
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  unsigned char* out = reinterpret_cast<unsigned char*>(&(*body)[0]);
  for (size_t i = 0; i < line.size(); ++i) {
    PutUInt16LE(out + 2 * i, EncipherByte(table, static_cast<unsigned char>(line[i])));
  }
  return true;
}

std::string DecipherBody(const CipherTable& table, const unsigned char* body, size_t length) {
  std::string text;
  for (size_t j = 0; j < length / 2; ++j) {
    unsigned char b = 0;
    if (!DecipherValue(table, GetUInt16LE(body + 2 * j), &b) || b == 0) break;
    text.push_back(static_cast<char>(b));
  }
  return text;
}
