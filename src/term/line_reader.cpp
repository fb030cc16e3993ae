#include "term/line_reader.h"

#include <unistd.h>

#include <cerrno>

std::vector<std::string> TakeLines(std::string* buffer) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = buffer->find('\n', start)) != std::string::npos; start = end + 1) {
    size_t length = end - start;
    if (length > 0 && (*buffer)[end - 1] == '\r') --length;
    lines.push_back(buffer->substr(start, length));
  }
  buffer->erase(0, start);
  return lines;
}

std::vector<std::string> LineReader::ReadAvailable() {
  if (at_end_) return {};
  char chunk[4096];
  ssize_t n;
  do {
    n = ::read(fd_, chunk, sizeof chunk);
  } while (n < 0 && errno == EINTR);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return {};
  if (n <= 0) {
    at_end_ = true;
    std::vector<std::string> last;
    if (!partial_.empty()) last.push_back(partial_);
    partial_.clear();
    return last;
  }
  partial_.append(chunk, static_cast<size_t>(n));
  return TakeLines(&partial_);
}
