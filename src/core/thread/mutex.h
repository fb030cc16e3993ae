#ifndef QUILLO_CORE_THREAD_MUTEX_H
#define QUILLO_CORE_THREAD_MUTEX_H

#include <pthread.h>

#include "core/thread/thread_texts.h"

// A mutual-exclusion lock. Kind 0 is private to the process, kind 1 may be
// placed in memory shared between processes. Both kinds are recursive: the
// holder may lock again (and unlocks as often). Initialize and Destroy may be
// repeated: a second Initialize and a Destroy of an uninitialised mutex do
// nothing. Every operation returns 0 on success or 1 with ErrorCode() set.
class Mutex {
 public:
  Mutex() = default;
  ~Mutex();  // Destroy
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  int Initialize(int kind);
  int Destroy();
  int Lock();
  // 0 when taken, 1 when busy (no code) or failed (code 8).
  int TryLock();
  int Unlock();

  int Kind() const { return kind_; }
  int ErrorCode() const { return error_code_; }
  const char* ErrorText();  // codes outside the table are first set to 1
  bool IsInitialized() const { return initialized_; }
  pthread_mutex_t* Native() { return &mutex_; }

 private:
  int kind_ = 0;
  int error_code_ = MUTEX_NO_ERROR;
  bool initialized_ = false;
  pthread_mutex_t mutex_;
};

// Holds a Mutex for one scope.
class MutexLock {
 public:
  explicit MutexLock(Mutex* mutex) : mutex_(mutex) { mutex_->Lock(); }
  ~MutexLock() { mutex_->Unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  Mutex* mutex_;
};

#endif  // QUILLO_CORE_THREAD_MUTEX_H
