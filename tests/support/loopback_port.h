#ifndef QUILLO_TESTS_UTIL_LOOPBACK_PORT_H
#define QUILLO_TESTS_UTIL_LOOPBACK_PORT_H

// Loopback ports for tests, fuzzers and benchmarks; free of GoogleTest and
// wxWidgets so that every kind of program can use it.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace qtest {

inline int LocalPort(int fd) {
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
  return ntohs(bound.sin_port);
}
// A TCP socket bound to 127.0.0.1:port (0: any free port).
inline int BoundSocket(int port = 0) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}
// A loopback port nobody listens on at the moment of asking.
inline int FreePort() {
  const int fd = BoundSocket();
  const int port = LocalPort(fd);
  close(fd);
  return port;
}

}  // namespace qtest

#endif  // QUILLO_TESTS_UTIL_LOOPBACK_PORT_H
