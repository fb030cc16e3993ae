#include "core/db/crc32.h"

#include <array>

namespace {

std::array<uint32_t, 256> MakeTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  return table;
}

const std::array<uint32_t, 256>& Table() {
  static const std::array<uint32_t, 256> table = MakeTable();
  return table;
}

}  // namespace

void Crc32::Update(unsigned char byte) { state_ = Table()[(state_ ^ byte) & 0xFF] ^ (state_ >> 8); }

void Crc32::Update(const void* bytes, size_t n) {
  const auto* p = static_cast<const unsigned char*>(bytes);
  const auto& table = Table();
  uint32_t c = state_;
  for (size_t i = 0; i < n; ++i) c = table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
  state_ = c;
}

uint32_t Crc32::Of(const void* bytes, size_t n) {
  Crc32 crc;
  crc.Update(bytes, n);
  return crc.Value();
}
