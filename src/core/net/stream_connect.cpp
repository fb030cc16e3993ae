#include "core/net/stream_connect.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

enum class TryResult { kConnected, kFailed, kNoSocket, kWoken };

// One address: a connect started without blocking, then waited for next
// to the wake descriptor.
TryResult TryOne(const StreamEndpoint& endpoint, PollClock::time_point until, int wake_fd,
                 int* fd_out) {
  const int fd = ::socket(endpoint.Family(), SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    // A family this machine does not have is only an unusable address.
    return errno == EAFNOSUPPORT || errno == EPROTONOSUPPORT ? TryResult::kFailed
                                                             : TryResult::kNoSocket;
  }
  TryResult result = TryResult::kFailed;
  if (::connect(fd, endpoint.Data(), endpoint.length) == 0) {
    result = TryResult::kConnected;
  } else if (errno == EINPROGRESS) {
    switch (WaitForSocket(fd, POLLOUT, wake_fd, until)) {
      case PollResult::kWoken:
        result = TryResult::kWoken;
        break;
      case PollResult::kReady: {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0) {
          result = TryResult::kConnected;
        }
        break;
      }
      case PollResult::kTimedOut:
      case PollResult::kFailed:
        break;
    }
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (result == TryResult::kConnected &&
      (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0)) {
    result = TryResult::kFailed;
  }
  if (result != TryResult::kConnected) {
    ::close(fd);
    return result;
  }
  *fd_out = fd;
  return result;
}

}  // namespace

ConnectResult ConnectToFirst(const std::vector<StreamEndpoint>& endpoints, long try_ms,
                             PollClock::time_point deadline, int wake_fd) {
  ConnectResult result;
  // kNoSocket only when the descriptor shortage was all that stood in the way.
  bool only_no_socket = !endpoints.empty();
  for (size_t i = 0; i < endpoints.size(); ++i) {
    if (PollClock::now() >= deadline) {
      only_no_socket = false;
      break;
    }
    const bool last = i + 1 == endpoints.size();
    const PollClock::time_point until = last ? deadline : std::min(deadline, DeadlineIn(try_ms));
    int fd = -1;
    switch (TryOne(endpoints[i], until, wake_fd, &fd)) {
      case TryResult::kConnected:
        result.outcome = ConnectOutcome::kConnected;
        result.fd = fd;
        result.endpoint = endpoints[i];
        return result;
      case TryResult::kWoken:
        result.outcome = ConnectOutcome::kWoken;
        return result;
      case TryResult::kFailed:
        only_no_socket = false;
        break;
      case TryResult::kNoSocket:
        break;
    }
  }
  result.outcome = only_no_socket ? ConnectOutcome::kNoSocket : ConnectOutcome::kUnreachable;
  return result;
}
