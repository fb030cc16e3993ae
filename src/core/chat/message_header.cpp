#include "core/chat/message_header.h"

#include <cstring>

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
