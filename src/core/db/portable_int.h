#ifndef QUILLO_CORE_DB_PORTABLE_INT_H
#define QUILLO_CORE_DB_PORTABLE_INT_H

#include <cstdint>

// Integers stored as their little-endian bytes, whatever the host's byte
// order and at any alignment. Each type is nothing but its bytes, so a
// structure built from them has exactly its stored size and is read from or
// written to a file (or the wire) as one block of bytes.

class PortableUInt16 {
 public:
  PortableUInt16(uint16_t v = 0) { Store(v); }  // NOLINT: implicit by design
  PortableUInt16(const PortableUInt16&) = default;
  PortableUInt16& operator=(const PortableUInt16&) = default;

  operator uint16_t() const {  // NOLINT
    return static_cast<uint16_t>(bytes_[0] | (bytes_[1] << 8));
  }
  bool operator==(const PortableUInt16& o) const { return uint16_t(*this) == uint16_t(o); }

 private:
  // Values above 65535 keep their low 16 bits.
  void Store(uint32_t v) {
    bytes_[0] = static_cast<unsigned char>(v & 0xFF);
    bytes_[1] = static_cast<unsigned char>((v >> 8) & 0xFF);
  }
  unsigned char bytes_[2];
};

class PortableUInt32 {
 public:
  PortableUInt32(uint32_t v = 0) { Store(v); }  // NOLINT
  PortableUInt32(const PortableUInt32&) = default;
  PortableUInt32& operator=(const PortableUInt32&) = default;
  PortableUInt32& operator=(uint32_t v) {
    Store(v);
    return *this;
  }

  operator uint32_t() const {  // NOLINT
    return static_cast<uint32_t>(bytes_[0]) | (static_cast<uint32_t>(bytes_[1]) << 8) |
           (static_cast<uint32_t>(bytes_[2]) << 16) | (static_cast<uint32_t>(bytes_[3]) << 24);
  }
  bool operator==(const PortableUInt32& o) const { return uint32_t(*this) == uint32_t(o); }
  bool operator!=(const PortableUInt32& o) const { return uint32_t(*this) != uint32_t(o); }
  // Unsigned, unlike every comparison of PortableInt32.
  bool operator>(uint32_t v) const { return uint32_t(*this) > v; }

 private:
  void Store(uint32_t v) {
    bytes_[0] = static_cast<unsigned char>(v & 0xFF);
    bytes_[1] = static_cast<unsigned char>((v & 0xFF00) >> 8);
    bytes_[2] = static_cast<unsigned char>((v & 0xFF0000) >> 16);
    bytes_[3] = static_cast<unsigned char>(v >> 24);
  }
  unsigned char bytes_[4];
};

class PortableInt32 {
 public:
  PortableInt32(int32_t v = 0) { Store(v); }  // NOLINT
  PortableInt32(const PortableInt32&) = default;
  PortableInt32& operator=(const PortableInt32&) = default;
  PortableInt32& operator=(int32_t v) {
    Store(v);
    return *this;
  }

  // The two's-complement reading of the four bytes.
  operator int32_t() const { return Load(); }  // NOLINT

  bool operator==(const PortableInt32& o) const { return Load() == o.Load(); }
  bool operator!=(const PortableInt32& o) const { return Load() != o.Load(); }
  bool operator!=(int32_t v) const { return Load() != v; }
  bool operator<(const PortableInt32& o) const { return Load() < o.Load(); }
  bool operator<(int32_t v) const { return Load() < v; }
  bool operator>(const PortableInt32& o) const { return Load() > o.Load(); }
  bool operator<=(const PortableInt32& o) const { return Load() <= o.Load(); }
  bool operator<=(int32_t v) const { return Load() <= v; }
  bool operator>=(const PortableInt32& o) const { return Load() >= o.Load(); }
  friend bool operator>=(int32_t v, const PortableInt32& p) { return v >= p.Load(); }

  // Postfix: return the old value; wraps at the ends of the range.
  PortableInt32 operator++(int) {
    PortableInt32 old = *this;
    Store(static_cast<int32_t>(static_cast<uint32_t>(Load()) + 1u));
    return old;
  }
  PortableInt32 operator--(int) {
    PortableInt32 old = *this;
    Store(static_cast<int32_t>(static_cast<uint32_t>(Load()) - 1u));
    return old;
  }

 private:
  void Store(int32_t value) {
    uint32_t v = static_cast<uint32_t>(value);
    bytes_[0] = static_cast<unsigned char>(v & 0xFF);
    bytes_[1] = static_cast<unsigned char>((v & 0xFF00) >> 8);
    bytes_[2] = static_cast<unsigned char>((v & 0xFF0000) >> 16);
    bytes_[3] = static_cast<unsigned char>(v >> 24);
  }
  int32_t Load() const {
    uint32_t v = static_cast<uint32_t>(bytes_[0]) | (static_cast<uint32_t>(bytes_[1]) << 8) |
                 (static_cast<uint32_t>(bytes_[2]) << 16) |
                 (static_cast<uint32_t>(bytes_[3]) << 24);
    return static_cast<int32_t>(v);
  }
  unsigned char bytes_[4];
};

// A byte offset from the start of a database file. 0 means "no address";
// -1 as an argument means "the current file position".
using FileAddress = PortableInt32;

static_assert(sizeof(PortableUInt16) == 2, "PortableUInt16 must be its bytes");
static_assert(sizeof(PortableUInt32) == 4, "PortableUInt32 must be its bytes");
static_assert(sizeof(PortableInt32) == 4, "PortableInt32 must be its bytes");
static_assert(alignof(PortableInt32) == 1, "portable integers need no alignment");

// Engine-wide constants.
constexpr uint32_t kBlockCheckWord = 0x0000FEFE;
constexpr int32_t kLibraryVersion = 4000;
constexpr int32_t kDefaultKeyEntrySize = 64;
constexpr int32_t kDefaultNodeOrder = 29;

#endif  // QUILLO_CORE_DB_PORTABLE_INT_H
