#ifndef QUILLO_CORE_UTIL_REPLACE_FILE_H
#define QUILLO_CORE_UTIL_REPLACE_FILE_H

#include <string>

#include "core/util/file_io.h"

// Puts contents in place of the file at path without ever truncating it:
// the bytes go to "<path>.new" in the same directory, which is synced and
// then renamed over path, and the directory is synced. A crash or a full
// disk at any point leaves path holding either its old or its new contents.
// The new file keeps the old one's permission bits; a file that did not
// exist is created with new_file_mode less the umask (0600 for a file that
// holds keys, 0666 for a file the user saves). On failure the temporary file is
// removed, path is untouched, and errno tells why.
bool ReplaceFile(FileIo* io, const std::string& path, const std::string& contents,
                 mode_t new_file_mode);

#endif  // QUILLO_CORE_UTIL_REPLACE_FILE_H
