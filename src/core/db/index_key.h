#ifndef QUILLO_CORE_DB_INDEX_KEY_H
#define QUILLO_CORE_DB_INDEX_KEY_H

#include <cstddef>

#include "core/db/portable_int.h"

// A key of a BTreeIndex. The tree knows nothing of what a key means: it
// copies KeySize() raw bytes of key data to and from node entries, stores
// the child address in front of them, and orders keys by GreaterThan and
// Equals. The key data buffer belongs to the derived key.
class IndexKey {
 public:
  explicit IndexKey(unsigned char* key_data) : key_data_(key_data) {}
  virtual ~IndexKey() = default;
  IndexKey(const IndexKey&) = delete;
  IndexKey& operator=(const IndexKey&) = delete;

  virtual int KeySize() const = 0;
  virtual bool Equals(const IndexKey& other) const = 0;
  virtual bool GreaterThan(const IndexKey& other) const = 0;

  unsigned char* KeyData() { return key_data_; }
  const unsigned char* KeyData() const { return key_data_; }

  // The node to the right of this key (0 in leaves).
  FileAddress child = 0;

 private:
  unsigned char* key_data_;
};

// Key text: 255 characters at most in a 256-byte buffer.
constexpr size_t kKeyTextSize = 256;

// Process-wide: 1 (the initial value) compares key texts byte-wise, 0
// ignores ASCII letter case. Set once before the address books open; the
// engine only reads it.
extern int CaseSensitiveKeys;

// Copies text (length 0: up to its NUL) into a 256-byte buffer, at most 255
// bytes, and fills the rest with zeros. 1, or 0 when the text was cut.
int CopyKeyText(char* buffer, const char* text, size_t length);
// Compare two NUL-terminated texts by unsigned byte value, following
// CaseSensitiveKeys.
bool KeyTextEquals(const char* a, const char* b);
bool KeyTextGreater(const char* a, const char* b);

#endif  // QUILLO_CORE_DB_INDEX_KEY_H
