#ifndef QUILLO_CORE_NET_POLL_WAIT_H
#define QUILLO_CORE_NET_POLL_WAIT_H

#include <chrono>
#include <string>

// The one way a chat worker waits on a socket: poll() on the socket and on
// a wake descriptor (see thread/wake_event.h), with an optional deadline.

using PollClock = std::chrono::steady_clock;

enum class PollResult { kReady, kWoken, kTimedOut, kFailed };

// Waits until fd has one of events (POLLIN, POLLOUT), wake_fd is readable or
// deadline passes (PollClock::time_point::max(): no deadline). A hang-up or
// error on fd counts as ready, so the caller's next call sees it.
PollResult WaitForSocket(int fd, short events, int wake_fd, PollClock::time_point deadline);

enum class WriteResult { kDone, kWoken, kTimedOut, kFailed };

// Writes bytes from *sent on (advancing *sent) until all have left, the
// connection fails, wake_fd fires or the deadline passes.
WriteResult WriteFrom(int fd, const std::string& bytes, size_t* sent, int wake_fd,
                      PollClock::time_point deadline);

// Writes every byte of bytes on fd without blocking the caller beyond the
// waits above; false when the connection failed, wake_fd fired or the
// deadline passed before the last byte left.
bool WriteWhole(int fd, const std::string& bytes, int wake_fd, PollClock::time_point deadline);

// A deadline milliseconds from now; negative: none.
PollClock::time_point DeadlineIn(long milliseconds);

#endif  // QUILLO_CORE_NET_POLL_WAIT_H
