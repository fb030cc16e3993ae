#include "core/util/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace {

bool Abandon(FileIo* io, int fd, const std::string& temp) {
  const int saved = errno;
  if (fd >= 0) io->Close(fd);
  io->Unlink(temp.c_str());
  errno = saved;
  return false;
}

}  // namespace

bool ReplaceFile(FileIo* io, const std::string& path, const std::string& contents,
                 mode_t new_file_mode) {
  if (path.empty()) {
    errno = ENOENT;
    return false;
  }
  struct stat old {};
  const bool existed = ::stat(path.c_str(), &old) == 0;
  const mode_t mode = existed ? (old.st_mode & 07777) : new_file_mode;
  const std::string temp = path + ".new";
  // Left by a crash, or by another writer's failure: made afresh, so that
  // a new file's mode is new_file_mode less the umask, like any other.
  io->Unlink(temp.c_str());
  const int fd = io->Open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL, mode);
  if (fd < 0) return false;
  // The umask must not narrow the permissions the user gave the old file.
  if (existed && ::fchmod(fd, mode) != 0) return Abandon(io, fd, temp);
  errno = 0;
  if (io->WriteFully(fd, contents.data(), contents.size(), 0) != 0) {
    // A short write sets no errno: the disk is full.
    if (errno == 0) errno = ENOSPC;
    return Abandon(io, fd, temp);
  }
  if (io->Sync(fd) != 0) return Abandon(io, fd, temp);
  if (io->Close(fd) != 0) return Abandon(io, -1, temp);
  if (io->Rename(temp.c_str(), path.c_str()) != 0) return Abandon(io, -1, temp);
  // The new contents are in place; a failed directory sync only means they
  // might not survive a power cut, which the next save repairs.
  io->SyncDirectoryOf(path.c_str());
  return true;
}
