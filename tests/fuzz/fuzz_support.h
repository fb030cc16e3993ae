#ifndef QUILLO_TESTS_FUZZ_FUZZ_SUPPORT_H
#define QUILLO_TESTS_FUZZ_FUZZ_SUPPORT_H

// What the fuzzers share: scratch files of their own, a reporter that
// swallows every line, and the loop that hands the fuzzer's bytes to a
// socket. A fault in the harness itself aborts, as a finding would.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/util/reporter.h"

namespace fuzz {

// A path in /tmp of this process's own, ending in `name`.
inline std::string ScratchPath(const std::string& name) {
  return "/tmp/quillo-fuzz-" + std::to_string(getpid()) + "-" + name;
}

inline void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
}

inline std::string ReadFile(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) std::abort();
  std::string bytes;
  for (int c; (c = std::fgetc(file)) != EOF;) bytes.push_back(static_cast<char>(c));
  std::fclose(file);
  return bytes;
}

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
