#ifndef QUILLO_TERM_LINE_READER_H
#define QUILLO_TERM_LINE_READER_H

#include <string>
#include <vector>

// Splits what arrives on a descriptor into lines, without blocking: call
// ReadAvailable when poll says the descriptor is readable. A last line
// without a line end counts as a line at the end of input. Line ends
// ("\n" or "\r\n") are not part of the lines.
class LineReader {
 public:
  explicit LineReader(int fd) : fd_(fd) {}

  // Reads what is there and returns the lines it completed.
  std::vector<std::string> ReadAvailable();
  bool AtEnd() const { return at_end_; }

 private:
  int fd_;
  std::string partial_;
  bool at_end_ = false;
};

// The complete lines at the front of buffer, removed from it.
std::vector<std::string> TakeLines(std::string* buffer);

#endif  // QUILLO_TERM_LINE_READER_H
