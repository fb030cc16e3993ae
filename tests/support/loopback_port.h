#ifndef QUILLO_TESTS_UTIL_LOOPBACK_PORT_H
#define QUILLO_TESTS_UTIL_LOOPBACK_PORT_H

// Loopback ports and addresses for tests, fuzzers and benchmarks.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>

namespace qtest {

inline int LocalPort(int fd) {
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
  return ntohs(bound.sin_port);
}
inline sockaddr_in LoopbackAddress(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}
// A TCP socket bound to 127.0.0.1:port (0: any free port), or to the
// given IPv4 host address.
inline int BoundSocket(int port = 0, uint32_t host = INADDR_LOOPBACK) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = LoopbackAddress(port);
  address.sin_addr.s_addr = htonl(host);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}
// A port nobody uses at the moment of asking, below the kernel's range of
// ephemeral ports (32768 and up by default): a port from that range can be
// taken by any test's outgoing connection as its source port before the
// test binds it. Each process starts at its own place in the range.
inline int FreePort() {
  constexpr int kFirst = 20000, kCount = 12000;
  static std::atomic<int> next{static_cast<int>(getpid() * 7919L % kCount)};
  for (int tries = 0; tries < kCount; ++tries) {
    const int port = kFirst + next++ % kCount;
    // The host binds every address, so only a wildcard bind proves it free.
    const int fd = BoundSocket(port, INADDR_ANY);
    if (fd >= 0) return close(fd), port;
  }
  return -1;
}

// True when this machine has ::1 (many containers run without IPv6).
inline bool HaveIpv6Loopback() {
  const int fd = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in6 address{};
  address.sin6_family = AF_INET6;
  address.sin6_addr = in6addr_loopback;
  const bool ok = fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  if (fd >= 0) close(fd);
  return ok;
}

}  // namespace qtest

#endif  // QUILLO_TESTS_UTIL_LOOPBACK_PORT_H
