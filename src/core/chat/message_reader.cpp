#include "core/chat/message_reader.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/net/poll_wait.h"

MessageReader::MessageReader(int fd, int wake_fd, long body_timeout_ms, bool read_ahead)
    : fd_(fd), wake_fd_(wake_fd), body_timeout_ms_(body_timeout_ms), read_ahead_(read_ahead) {}

MessageReader::Outcome MessageReader::Next(WireMessage* message, PollClock::time_point idle_until) {
  Outcome outcome = Fill(MessageHeader::kSize, idle_until);
  if (outcome != Outcome::kMessage) return outcome;
  std::memcpy(message->header.Data(), buffer_.data(), MessageHeader::kSize);
  const uint32_t length = message->header.BodyLength();
  if (length > kMaxBodyLength) return Outcome::kTooLarge;
  outcome = Fill(MessageHeader::kSize + length, idle_until);
  if (outcome != Outcome::kMessage) return outcome;
  message->body.assign(buffer_, MessageHeader::kSize, length);
  buffer_.erase(0, MessageHeader::kSize + length);
  begun_ = !buffer_.empty();
  if (begun_) deadline_ = DeadlineIn(body_timeout_ms_);
  return Outcome::kMessage;
}

MessageReader::Outcome MessageReader::Fill(size_t n, PollClock::time_point idle_until) {
  char chunk[65536];
  while (buffer_.size() < n) {
    // What has arrived is taken first: a poll before every receive would
    // cost as much as the network on a short line. Without read_ahead_
    // never a byte beyond this message; with it at most one chunk, so a
    // flood is not buffered ahead of the cap check either way.
    const size_t want = read_ahead_ ? sizeof chunk : std::min(sizeof chunk, n - buffer_.size());
    const ssize_t got = ::recv(fd_, chunk, want, MSG_DONTWAIT);
    if (got > 0) {
      if (!begun_) {
        begun_ = true;
        deadline_ = DeadlineIn(body_timeout_ms_);
      }
      buffer_.append(chunk, static_cast<size_t>(got));
      continue;
    }
    if (got == 0) return Outcome::kClosed;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return Outcome::kClosed;
    const PollClock::time_point deadline = begun_ ? deadline_ : idle_until;
    switch (WaitForSocket(fd_, POLLIN, wake_fd_, deadline)) {
      case PollResult::kWoken:
        return Outcome::kWoken;
      case PollResult::kTimedOut:
        return begun_ ? Outcome::kTimedOut : Outcome::kIdle;
      case PollResult::kFailed:
        return Outcome::kClosed;
      case PollResult::kReady:
        break;
    }
  }
  return Outcome::kMessage;
}
