#include "core/books/name_key.h"

#include <cstring>

NameKey::NameKey() : IndexKey(data_) { std::memset(data_, 0, sizeof data_); }

NameKey::NameKey(const char* name, size_t length, FileAddress record_address,
                 PortableInt32 class_id)
    : NameKey() {
  CopyKeyText(reinterpret_cast<char*>(data_), name, length);
  std::memcpy(data_ + 256, &record_address, 4);
  std::memcpy(data_ + 260, &class_id, 4);
}

bool NameKey::Equals(const IndexKey& other) const {
  return KeyTextEquals(Text(), static_cast<const NameKey&>(other).Text());
}

bool NameKey::GreaterThan(const IndexKey& other) const {
  return KeyTextGreater(Text(), static_cast<const NameKey&>(other).Text());
}

std::string NameKey::Name() const { return std::string(Text(), strnlen(Text(), 256)); }

FileAddress NameKey::RecordAddress() const {
  FileAddress address;
  std::memcpy(&address, data_ + 256, 4);
  return address;
}

PortableInt32 NameKey::ClassId() const {
  PortableInt32 id;
  std::memcpy(&id, data_ + 260, 4);
  return id;
}
