#include "core/thread/wake_event.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

WakeEvent::WakeEvent() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WakeEvent::~WakeEvent() {
  if (fd_ >= 0) ::close(fd_);
}

void WakeEvent::Signal() {
  const uint64_t one = 1;
  if (fd_ >= 0 && ::write(fd_, &one, sizeof one) < 0) {
    // The counter is already non-zero (or cannot grow): still readable.
  }
}

void WakeEvent::Reset() {
  uint64_t value = 0;
  if (fd_ >= 0 && ::read(fd_, &value, sizeof value) < 0) {
    // Nothing was signalled.
  }
}
