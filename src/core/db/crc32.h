#ifndef QUILLO_CORE_DB_CRC32_H
#define QUILLO_CORE_DB_CRC32_H

#include <cstddef>
#include <cstdint>

// CRC-32 of ISO 3309 (reflected polynomial 0xEDB88320, initial value and
// final exclusive-or 0xFFFFFFFF), the check the database engine uses to
// verify what it writes.
class Crc32 {
 public:
  Crc32() = default;
  void Update(const void* bytes, size_t n);
  void Update(unsigned char byte);
  uint32_t Value() const { return state_ ^ 0xFFFFFFFFu; }

  static uint32_t Of(const void* bytes, size_t n);

 private:
  uint32_t state_ = 0xFFFFFFFFu;
};

#endif  // QUILLO_CORE_DB_CRC32_H
