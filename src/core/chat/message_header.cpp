#include "core/chat/message_header.h"

#include <cstring>

void PutUInt32LE(unsigned char* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

uint32_t GetUInt32LE(const unsigned char* in) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | in[i];
  return value;
}

void PutUInt16LE(unsigned char* out, uint16_t value) {
  out[0] = static_cast<unsigned char>(value);
  out[1] = static_cast<unsigned char>(value >> 8);
}

uint16_t GetUInt16LE(const unsigned char* in) {
  return static_cast<uint16_t>(in[0] | (in[1] << 8));
}

MessageHeader::MessageHeader() { std::memset(bytes_, 0, sizeof bytes_); }

MessageHeader::MessageHeader(const std::string& sender_name, uint32_t type, uint32_t body_length)
    : MessageHeader() {
  size_t n = std::strlen(sender_name.c_str());
  if (n > kMaxNameLength) n = kMaxNameLength;
  std::memcpy(bytes_, sender_name.data(), n);
  PutUInt32LE(bytes_ + kNameSize, type);
  PutUInt32LE(bytes_ + kNameSize + 4, body_length);
}

std::string MessageHeader::SenderName() const {
  // A peer need not terminate the name; byte 24 is treated as the end.
  const void* end = std::memchr(bytes_, 0, kMaxNameLength);
  size_t n = end ? static_cast<const unsigned char*>(end) - bytes_ : kMaxNameLength;
  return std::string(reinterpret_cast<const char*>(bytes_), n);
}

uint32_t MessageHeader::Type() const { return GetUInt32LE(bytes_ + kNameSize); }

uint32_t MessageHeader::BodyLength() const { return GetUInt32LE(bytes_ + kNameSize + 4); }
