#ifndef QUILLO_TESTS_SUPPORT_LOOPBACK_V6_H
#define QUILLO_TESTS_SUPPORT_LOOPBACK_V6_H

// IPv6 loopback for tests that call over both families.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qtest {

// True when this machine has ::1 (many containers run without IPv6).
inline bool HaveIpv6Loopback() {
  const int fd = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in6 address{};
  address.sin6_family = AF_INET6;
  address.sin6_addr = in6addr_loopback;
  const bool ok = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return ok;
}

}  // namespace qtest

#define QUILLO_SKIP_WITHOUT_IPV6_LOOPBACK()                        \
  do {                                                             \
    if (!qtest::HaveIpv6Loopback()) GTEST_SKIP() << "no ::1 here"; \
  } while (0)

#endif  // QUILLO_TESTS_SUPPORT_LOOPBACK_V6_H
