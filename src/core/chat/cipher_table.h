#ifndef QUILLO_CORE_CHAT_CIPHER_TABLE_H
#define QUILLO_CORE_CHAT_CIPHER_TABLE_H

#include <cstddef>
#include <cstdint>
#include <string>

// The substitution table both ends derive from the shared 16-bit key: entry
// 0 holds the key, entry i + 1 the 16-bit value that byte i enciphers to. The
// values are those of a reflected CRC-16 byte table whose polynomial is the
// key, so T(0) is always 0 and T(128) always equals the key. Keys below 128
// give tables that map several bytes to one value (key 0 maps every byte to
// 0); every other key gives 256 distinct values.
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
// at the first decoded 0. For callers that hold only a table: long bodies are
// read through a Cipher built for the call, short ones by searching.
std::string DecipherBody(const CipherTable& table, const unsigned char* body, size_t length);

// One key's table together with its inverse, so a received value is read in
// one step instead of a search through 256 entries. The inverse gives, for
// every 16-bit value, exactly what DecipherValue's search gives: the smallest
// byte enciphering to it, or "not found".
//
// Building one clears and fills 64 KiB, so a conversation builds it once per
// key and keeps it, not once per message. The object is about 65 KiB: keep
// it inside a heap-held owner (a task, a session), not on a small stack.
// Immutable after construction, so any number of threads may read it at once.
class Cipher {
 public:
  explicit Cipher(uint16_t key);
  explicit Cipher(const CipherTable& table);

  Cipher(const Cipher&) = delete;
  Cipher& operator=(const Cipher&) = delete;

  uint16_t Key() const { return table_.entries[0]; }
  const CipherTable& Table() const { return table_; }

  // As DecipherValue on Table().
  bool Decipher(uint16_t v, unsigned char* b) const;
  // As the free functions of the same names on Table().
  bool EncipherLine(const std::string& line, std::string* body) const;
  std::string DecipherBody(const unsigned char* body, size_t length) const;

 private:
  // inverse_[v] is the smallest byte b with T(b) == v, or 0 when there is
  // none. Because T(0) == 0, v is in the table exactly when
  // T(inverse_[v]) == v, and a value outside it reads as 0, which is what
  // ends a line's text anyway.
  unsigned char inverse_[65536];
  CipherTable table_;
};

#endif  // QUILLO_CORE_CHAT_CIPHER_TABLE_H
