#ifndef QUILLO_CORE_CHAT_MESSAGE_READER_H
#define QUILLO_CORE_CHAT_MESSAGE_READER_H

#include <chrono>
#include <string>

#include "core/chat/message_header.h"

// One message off the wire: the header and its whole body.
struct WireMessage {
  MessageHeader header;
  std::string body;
};

// Reads whole messages from a connection, for any type: a body announced by
// a header is always read with it (up to kMaxBodyLength), so a type this
// program does not know is skipped cleanly by its caller.
//
// Every wait is a poll on the connection and on the wake descriptor. Once
// the first byte of a message has arrived, the rest must follow within
// body_timeout_ms, so a partner that stops in mid-message cannot hold the
// line. Ownership: borrows both descriptors. Thread rules: one thread reads.
class MessageReader {
 public:
  enum class Outcome {
    kMessage,   // *message holds the next message
    kClosed,    // end of stream or a receive error
    kWoken,     // the wake descriptor fired
    kTimedOut,  // a begun message did not finish in time
    kTooLarge,  // a header announced more than kMaxBodyLength bytes
    kIdle,      // nothing of a new message arrived before idle_until
  };

  // A reader that is the connection's last (the conversation's) may take
  // whatever has arrived, read_ahead, which saves a receive per message;
  // one that hands the connection on afterwards (the greeting's) must not
  // take a byte beyond its message.
  MessageReader(int fd, int wake_fd, long body_timeout_ms, bool read_ahead = false);

  // Waits for the next message. Until its first byte arrives the wait ends
  // at idle_until (kIdle), so a caller can keep its own timers.
  Outcome Next(WireMessage* message, std::chrono::steady_clock::time_point idle_until =
                                         std::chrono::steady_clock::time_point::max());

 private:
  // Receives until buffer_ holds n bytes.
  Outcome Fill(size_t n, std::chrono::steady_clock::time_point idle_until);

  int fd_;
  int wake_fd_;
  long body_timeout_ms_;
  bool read_ahead_;
  std::string buffer_;
  std::chrono::steady_clock::time_point deadline_;
  bool begun_ = false;
};

#endif  // QUILLO_CORE_CHAT_MESSAGE_READER_H
