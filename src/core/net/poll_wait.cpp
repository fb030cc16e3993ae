#include "core/net/poll_wait.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

PollClock::time_point DeadlineIn(long milliseconds) {
  if (milliseconds < 0) return PollClock::time_point::max();
  return PollClock::now() + std::chrono::milliseconds(milliseconds);
}

PollResult WaitForSocket(int fd, short events, int wake_fd, PollClock::time_point deadline) {
  for (;;) {
    int timeout = -1;
    if (deadline != PollClock::time_point::max()) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - PollClock::now());
      if (left.count() <= 0) return PollResult::kTimedOut;
      // Rounded up, so the wait never ends a moment early and spins.
      timeout = static_cast<int>(left.count()) + 1;
    }
    pollfd waits[2] = {{fd, events, 0}, {wake_fd, POLLIN, 0}};
    const int ready = ::poll(waits, wake_fd >= 0 ? 2 : 1, timeout);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return PollResult::kFailed;
    }
    if (wake_fd >= 0 && (waits[1].revents & POLLIN)) return PollResult::kWoken;
    if (waits[0].revents != 0) return PollResult::kReady;
  }
}

WriteResult WriteFrom(int fd, const std::string& bytes, size_t* sent, int wake_fd,
                      PollClock::time_point deadline) {
  while (*sent < bytes.size()) {
    const ssize_t n =
        ::send(fd, bytes.data() + *sent, bytes.size() - *sent, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n > 0) {
      *sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      switch (WaitForSocket(fd, POLLOUT, wake_fd, deadline)) {
        case PollResult::kReady:
          continue;
        case PollResult::kWoken:
          return WriteResult::kWoken;
        case PollResult::kTimedOut:
          return WriteResult::kTimedOut;
        case PollResult::kFailed:
          return WriteResult::kFailed;
      }
    }
    return WriteResult::kFailed;
  }
  return WriteResult::kDone;
}

bool WriteWhole(int fd, const std::string& bytes, int wake_fd, PollClock::time_point deadline) {
  size_t sent = 0;
  return WriteFrom(fd, bytes, &sent, wake_fd, deadline) == WriteResult::kDone;
}
