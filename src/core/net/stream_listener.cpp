#include "core/net/stream_listener.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "core/net/socket.h"

namespace {

enum class Attempt { kDone, kNoFamily, kFailed };

Attempt Listen(int family, int port, ListenerResult* result) {
  const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    result->error = SOCKET_INIT_ERROR;
    return family == AF_INET6 && (errno == EAFNOSUPPORT || errno == EPROTONOSUPPORT)
               ? Attempt::kNoFamily
               : Attempt::kFailed;
  }
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_storage storage{};
  socklen_t length;
  if (family == AF_INET6) {
    // Linux's default here is a system setting (bindv6only); say it.
    const int off = 0;
    if (::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off) != 0) {
      ::close(fd);
      result->error = SOCKET_SETOPTION_ERROR;
      return Attempt::kNoFamily;
    }
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
    v6->sin6_family = AF_INET6;
    v6->sin6_addr = in6addr_any;
    v6->sin6_port = htons(static_cast<uint16_t>(port));
    length = sizeof *v6;
  } else {
    auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
    v4->sin_family = AF_INET;
    v4->sin_addr.s_addr = htonl(INADDR_ANY);
    v4->sin_port = htons(static_cast<uint16_t>(port));
    length = sizeof *v4;
  }
  auto* address = reinterpret_cast<sockaddr*>(&storage);
  if (::bind(fd, address, length) != 0) {
    const bool no_family = family == AF_INET6 && errno == EADDRNOTAVAIL;
    ::close(fd);
    result->error = SOCKET_BIND_ERROR;
    return no_family ? Attempt::kNoFamily : Attempt::kFailed;
  }
  length = sizeof storage;
  if (::listen(fd, SOMAXCONN) != 0) {
    ::close(fd);
    result->error = SOCKET_LISTEN_ERROR;
    return Attempt::kFailed;
  }
  if (::getsockname(fd, address, &length) != 0) {
    ::close(fd);
    result->error = SOCKET_SOCKNAME_ERROR;
    return Attempt::kFailed;
  }
  result->fd = fd;
  result->port = ntohs(family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port
                                          : reinterpret_cast<sockaddr_in*>(&storage)->sin_port);
  result->dual_stack = family == AF_INET6;
  result->error = SOCKET_NO_ERROR;
  return Attempt::kDone;
}

}  // namespace

ListenerResult OpenStreamListener(int port) {
  ListenerResult result;
  if (Listen(AF_INET6, port, &result) == Attempt::kNoFamily) Listen(AF_INET, port, &result);
  return result;
}
