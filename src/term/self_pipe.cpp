#include "term/self_pipe.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

SelfPipe::SelfPipe() {
  int ends[2];
  if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) return;
  read_fd_ = ends[0];
  write_fd_ = ends[1];
}

SelfPipe::~SelfPipe() {
  if (read_fd_ >= 0) ::close(read_fd_);
  if (write_fd_ >= 0) ::close(write_fd_);
}

void SelfPipe::Notify(unsigned char byte) const {
  if (write_fd_ < 0) return;
  const int saved = errno;  // a signal handler must leave errno alone
  while (::write(write_fd_, &byte, 1) < 0 && errno == EINTR) {
  }
  errno = saved;
}

long SelfPipe::ReadSome(unsigned char* buffer, unsigned long size) const {
  for (;;) {
    const ssize_t n = ::read(read_fd_, buffer, size);
    if (n < 0 && errno == EINTR) continue;
    return static_cast<long>(n);
  }
}
