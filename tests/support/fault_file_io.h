#ifndef QUILLO_TESTS_SUPPORT_FAULT_FILE_IO_H
#define QUILLO_TESTS_SUPPORT_FAULT_FILE_IO_H

// A FileIo that counts the calls that change files (write, sync, truncate,
// rename, unlink) and, at the Nth, stops the process as a crash would
// (optionally after half a write), or fails that call and every later one
// as a full disk would. A sync is a crash point but not passed on: a stop
// ends the process, not the machine, so the page cache keeps every write
// either way (BookCrashTest.AnUpdateIsJournaledAndSyncedBeforeTheBookChanges
// shows real syncs and their order).
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

#include "core/util/file_io.h"

namespace qtest {

class FaultFileIo : public FileIo {
 public:
  enum class Mode { kCount, kCrash, kTornCrash, kFailFrom };

  FaultFileIo() = default;
  FaultFileIo(Mode mode, long at) : mode_(mode), at_(at) {}

  long Calls() const { return calls_; }

  ssize_t PWrite(int fd, const void* buffer, size_t length, int64_t offset) override {
    if (Stop(fd, buffer, length, offset)) return Failed();
    return FileIo::PWrite(fd, buffer, length, offset);
  }
  int Sync(int) override { return Stop() ? Failed() : 0; }
  int Truncate(int fd, int64_t length) override {
    return Stop() ? Failed() : FileIo::Truncate(fd, length);
  }
  int Rename(const char* from, const char* to) override {
    return Stop() ? Failed() : FileIo::Rename(from, to);
  }
  int Unlink(const char* name) override { return Stop() ? Failed() : FileIo::Unlink(name); }

 private:
  // true when the call must fail; never returns at a crash.
  bool Stop(int fd = -1, const void* buffer = nullptr, size_t length = 0, int64_t offset = 0) {
    ++calls_;
    if (mode_ == Mode::kCount || calls_ < at_) return false;
    if (mode_ == Mode::kFailFrom) return true;
    if (mode_ == Mode::kTornCrash && buffer && length > 1)
      FileIo::PWrite(fd, buffer, length / 2, offset);
    _exit(0);
  }
  static int Failed() {
    errno = ENOSPC;
    return -1;
  }

  Mode mode_ = Mode::kCount;
  long at_ = 0;
  long calls_ = 0;
};

// The exit status of body run in a child process (-1 if it did not exit).
inline int InChild(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child == 0) _exit(body());
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace qtest

#endif  // QUILLO_TESTS_SUPPORT_FAULT_FILE_IO_H
