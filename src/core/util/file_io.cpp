#include "core/util/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

FileIo* FileIo::Posix() {
  static FileIo posix;
  return &posix;
}

int FileIo::Open(const char* name, int flags, mode_t mode) {
  int fd;
  do {
    fd = ::open(name, flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

int FileIo::Close(int fd) { return ::close(fd); }

ssize_t FileIo::PRead(int fd, void* buffer, size_t length, int64_t offset) {
  return ::pread(fd, buffer, length, off_t(offset));
}

ssize_t FileIo::PWrite(int fd, const void* buffer, size_t length, int64_t offset) {
  return ::pwrite(fd, buffer, length, off_t(offset));
}

int FileIo::Sync(int fd) { return ::fsync(fd); }

int FileIo::Truncate(int fd, int64_t length) { return ::ftruncate(fd, off_t(length)); }

int FileIo::Rename(const char* from, const char* to) { return std::rename(from, to); }

int FileIo::Unlink(const char* name) { return ::unlink(name); }

int FileIo::SyncDirectoryOf(const char* name) {
  std::string directory(name);
  const size_t slash = directory.rfind('/');
  directory = slash == std::string::npos ? "." : slash == 0 ? "/" : directory.substr(0, slash);
  const int fd = Open(directory.c_str(), O_RDONLY | O_DIRECTORY, 0);
  if (fd < 0) return -1;
  const int rc = Sync(fd);
  Close(fd);
  return rc == 0 ? 0 : -1;
}

int FileIo::ReadFully(int fd, void* buffer, size_t length, int64_t offset) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (length > 0) {
    const ssize_t got = PRead(fd, bytes, length, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return -1;
    bytes += got;
    length -= size_t(got);
    offset += got;
  }
  return 0;
}

int FileIo::WriteFully(int fd, const void* buffer, size_t length, int64_t offset) {
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  while (length > 0) {
    const ssize_t put = PWrite(fd, bytes, length, offset);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return -1;
    bytes += put;
    length -= size_t(put);
    offset += put;
  }
  return 0;
}
