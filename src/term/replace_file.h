#ifndef QUILLO_TERM_REPLACE_FILE_H
#define QUILLO_TERM_REPLACE_FILE_H

#include <string>

// Writes bytes to path by replacing the file whole: a temporary file in
// the same directory is written and flushed to disk, renamed over path,
// and the directory flushed, so a crash leaves either the old file or the
// new one, never a truncated mix. False (path untouched) on any failure.
bool ReplaceFile(const std::string& path, const std::string& bytes);

#endif  // QUILLO_TERM_REPLACE_FILE_H
