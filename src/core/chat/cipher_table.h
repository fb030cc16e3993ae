#ifndef QUILLO_CORE_CHAT_CIPHER_TABLE_H
#define QUILLO_CORE_CHAT_CIPHER_TABLE_H

#include <cstddef>
#include <cstdint>
#include <string>

// The substitution table both ends derive from the shared 16-bit key: entry
// 0 holds the key, entry i + 1 the 16-bit value that byte i enciphers to. The
// values are those of a reflected CRC-16 byte table whose polynomial is the
// key, so T(0) is always 0 and T(128) always equals the key. Tables are
// cheap (257 words) and built afresh for every message, so a key change
// takes effect with the next line.
struct CipherTable {
  uint16_t entries[257];
};

CipherTable BuildCipherTable(uint16_t key);

// T(b).
uint16_t EncipherByte(const CipherTable& table, unsigned char b);

// Searches byte values upwards from 0 and takes the first whose value is v,
// so when a key maps two bytes to one value the smaller byte wins. Returns
// false (and leaves *b alone) when no byte enciphers to v.
bool DecipherValue(const CipherTable& table, uint16_t v, unsigned char* b);

// A chat line of n bytes as its 2n-byte body: T(b) of every byte, low byte
// first. Returns false when the body cannot be allocated.
bool EncipherLine(const CipherTable& table, const std::string& line, std::string* body);

// The text a chat-line body shows: L / 2 characters are decoded (a final odd
// byte is ignored), values that match no entry decode as 0, and the text ends
// at the first decoded 0.
std::string DecipherBody(const CipherTable& table, const unsigned char* body, size_t length);

#endif  // QUILLO_CORE_CHAT_CIPHER_TABLE_H
