#ifndef QUILLO_CORE_THREAD_CONDITION_H
#define QUILLO_CORE_THREAD_CONDITION_H

#include <pthread.h>

#include "core/thread/mutex.h"
#include "core/thread/thread_texts.h"

// A condition variable waited on with a Mutex of the same kind (0 private,
// 1 shared between processes). Initialize/Destroy behave as Mutex's. Every
// operation returns 0 on success or 1 with ErrorCode() set; TimedWait
// returns 2 when the time ran out.
class Condition {
 public:
  Condition() = default;
  ~Condition();  // Destroy
  Condition(const Condition&) = delete;
  Condition& operator=(const Condition&) = delete;

  int Initialize(int kind);
  int Destroy();
  // The caller holds mutex; spurious wake-ups happen, so wait in a loop.
  int Wait(Mutex* mutex);
  int TimedWait(Mutex* mutex, long milliseconds);
  int Signal();
  int Broadcast();

  int Kind() const { return kind_; }
  int ErrorCode() const { return error_code_; }
  const char* ErrorText();  // codes outside the table are first set to 1
  bool IsInitialized() const { return initialized_; }

 private:
  int kind_ = 0;
  int error_code_ = CONDITION_NO_ERROR;
  bool initialized_ = false;
  pthread_cond_t condition_;
};

#endif  // QUILLO_CORE_THREAD_CONDITION_H
