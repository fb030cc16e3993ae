#ifndef QUILLO_CORE_CHAT_MESSAGE_HEADER_H
#define QUILLO_CORE_CHAT_MESSAGE_HEADER_H

#include <cstddef>
#include <cstdint>
#include <string>

// The five kinds of message on a chat line, by the character code carried in
// the header's type field.
enum MessageType : uint32_t {
  MSG_CONNECT = 'C',  // client sign-on, no body
  MSG_WELCOME = 'W',  // host's greeting on a free line, body = greeting text
  MSG_BUSY = 'B',     // host's greeting on a busy line, body = greeting text
  MSG_SAY = 'S',      // one chat line, body = enciphered text (2 bytes a character)
  MSG_SIGNOFF = 'D',  // sender ends the conversation, no body
};

// The longest body a receiver accepts. Chat lines are typed text; a larger
// announcement can only come from a broken or hostile peer and is treated as
// a failed connection, so nothing is allocated for it.
constexpr uint32_t kMaxBodyLength = 1u << 20;

// The fixed 33-byte frame in front of every message:
//   bytes 0-24   sender name, zero-terminated; byte 24 is always 0
//   bytes 25-28  type, little-endian 32-bit character code
//   bytes 29-32  body length, little-endian 32-bit
// The object is the raw wire bytes, so it can be received straight into
// Data() and sent from it; it has no alignment or padding of its own.
class MessageHeader {
 public:
  static constexpr size_t kSize = 33;
  static constexpr size_t kNameSize = 25;
  static constexpr size_t kMaxNameLength = kNameSize - 1;

  // An all-zero header (empty name, type 0, length 0).
  MessageHeader();
  // The header a sender writes: the name cut at its first zero byte and at
  // 24 bytes; the bytes after the name are zero.
  MessageHeader(const std::string& sender_name, uint32_t type, uint32_t body_length);

  // The sender name as a receiver reads it: up to the first zero byte and
  // never more than 24 bytes, whatever the sender put in byte 24.
  std::string SenderName() const;
  uint32_t Type() const;
  uint32_t BodyLength() const;

  unsigned char* Data() { return bytes_; }
  const unsigned char* Data() const { return bytes_; }

 private:
  unsigned char bytes_[kSize];
};

// Little-endian wire integers at any alignment. Inline because the cipher
// calls the 16-bit pair once per character.
inline void PutUInt32LE(unsigned char* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

inline uint32_t GetUInt32LE(const unsigned char* in) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | in[i];
  return value;
}

inline void PutUInt16LE(unsigned char* out, uint16_t value) {
  out[0] = static_cast<unsigned char>(value);
  out[1] = static_cast<unsigned char>(value >> 8);
}

inline uint16_t GetUInt16LE(const unsigned char* in) {
  return static_cast<uint16_t>(in[0] | (in[1] << 8));
}

#endif  // QUILLO_CORE_CHAT_MESSAGE_HEADER_H
