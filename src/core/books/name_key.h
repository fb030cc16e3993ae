#ifndef QUILLO_CORE_BOOKS_NAME_KEY_H
#define QUILLO_CORE_BOOKS_NAME_KEY_H

#include <cstddef>
#include <string>

#include "core/db/index_key.h"

// The index key of an address-book record: the record's nickname (its first
// field) as NUL-terminated text of at most 255 characters in 256 bytes, the
// record's object address in the data file and its class identifier - 264
// bytes in all. Only the name takes part in comparisons, which follow
// CaseSensitiveKeys.
class NameKey : public IndexKey {
 public:
  static constexpr int kKeySize = 264;

  NameKey();
  // length 0: up to the text's NUL.
  NameKey(const char* name, size_t length, FileAddress record_address, PortableInt32 class_id);

  int KeySize() const override { return kKeySize; }
  bool Equals(const IndexKey& other) const override;
  bool GreaterThan(const IndexKey& other) const override;

  std::string Name() const;
  FileAddress RecordAddress() const;
  PortableInt32 ClassId() const;

 private:
  const char* Text() const { return reinterpret_cast<const char*>(data_); }

  // One byte more than the key, always 0: a stored name that lacks its NUL
  // still ends inside the buffer.
  unsigned char data_[kKeySize + 1];
};

#endif  // QUILLO_CORE_BOOKS_NAME_KEY_H
