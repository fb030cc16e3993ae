#ifndef QUILLO_TESTS_FUZZ_FUZZ_SUPPORT_H
#define QUILLO_TESTS_FUZZ_FUZZ_SUPPORT_H

// What the chat fuzzers share: a reporter that swallows every line, and the
// loop that hands the fuzzer's bytes to a socket.
#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/util/reporter.h"

namespace fuzz {

// Lines go nowhere, but are built and measured like the window would.
class NullReporter : public Reporter {
 public:
  explicit NullReporter(bool minimised) : minimised_(minimised) {}
  void ConversationLine(const std::string& text) override { bytes_ += text.size(); }
  void EventLine(const std::string& text) override { bytes_ += text.size(); }
  void StatusText(const std::string& text) override { bytes_ += text.size(); }
  void ProgramMessage(const std::string& a, const std::string& b, const std::string& c) override {
    bytes_ += a.size() + b.size() + c.size();
  }
  void PlayActivitySound() override {}
  bool MainFrameMinimised() override { return minimised_; }

 private:
  const bool minimised_;
  size_t bytes_ = 0;
};

// Sends the bytes until all went or send() refused; a peer that stopped
// reading ends the loop, never the fuzzer.
inline void SendAll(int fd, const uint8_t* data, size_t size, int flags) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, flags | MSG_NOSIGNAL);
    if (n <= 0) break;
    data += n;
    size -= static_cast<size_t>(n);
  }
}

}  // namespace fuzz

#endif  // QUILLO_TESTS_FUZZ_FUZZ_SUPPORT_H
