#ifndef QUILLO_CORE_UTIL_FILE_IO_H
#define QUILLO_CORE_UTIL_FILE_IO_H

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

// The file system calls through which the engine reads and changes the
// files a person keeps (address books, their journals, the settings file).
// They pass one seam so that tests can put an implementation in its place
// that stops the process, or fails every later call, at the Nth write,
// sync, truncate, rename or unlink, and so show that a crash or a full disk
// at any of those points leaves every file either as it was or as it was
// meant to become.
//
// This base class passes each call to POSIX. It holds no state: one
// instance may serve any number of files, on any thread.
class FileIo {
 public:
  FileIo() = default;
  virtual ~FileIo() = default;
  FileIo(const FileIo&) = delete;
  FileIo& operator=(const FileIo&) = delete;

  // The plain POSIX implementation, shared because it holds no state.
  static FileIo* Posix();

  // Results follow the system calls: -1 with errno on failure.
  virtual int Open(const char* name, int flags, mode_t mode);
  virtual int Close(int fd);
  virtual ssize_t PRead(int fd, void* buffer, size_t length, int64_t offset);
  virtual ssize_t PWrite(int fd, const void* buffer, size_t length, int64_t offset);
  virtual int Sync(int fd);
  virtual int Truncate(int fd, int64_t length);
  virtual int Rename(const char* from, const char* to);
  virtual int Unlink(const char* name);

  // Syncs the directory holding name, so that a file created, renamed or
  // unlinked there stays so after a crash. 0 or -1.
  int SyncDirectoryOf(const char* name);
  // Whole-buffer transfers over PRead / PWrite: 0, or -1 on failure or a
  // short count (end of file for a read).
  int ReadFully(int fd, void* buffer, size_t length, int64_t offset);
  int WriteFully(int fd, const void* buffer, size_t length, int64_t offset);
};

#endif  // QUILLO_CORE_UTIL_FILE_IO_H
