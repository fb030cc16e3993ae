#include "core/thread/condition.h"

#include <cerrno>
#include <ctime>

Condition::~Condition() { Destroy(); }

int Condition::Initialize(int kind) {
  if (initialized_) return 0;
  kind_ = kind;
  error_code_ = CONDITION_NO_ERROR;
  pthread_condattr_t attributes;
  if (pthread_condattr_init(&attributes) != 0) {
    error_code_ = CONDITION_ATTR_INIT_ERROR;
    return 1;
  }
  if (kind == 1 && pthread_condattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED) != 0) {
    error_code_ = CONDITION_SET_SHARED_ERROR;
  }
  // Timed waits measure against the monotonic clock, immune to clock changes.
  pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
  const bool created = pthread_cond_init(&condition_, &attributes) == 0;
  if (pthread_condattr_destroy(&attributes) != 0) error_code_ = CONDITION_ATTR_DESTROY_ERROR;
  if (!created) {
    error_code_ = CONDITION_INIT_ERROR;
    return 1;
  }
  initialized_ = true;
  return error_code_ == CONDITION_NO_ERROR ? 0 : 1;
}

int Condition::Destroy() {
  if (!initialized_) return 0;
  if (pthread_cond_destroy(&condition_) != 0) {
    error_code_ = CONDITION_DESTROY_ERROR;
    return 1;
  }
  kind_ = 0;
  initialized_ = false;
  return 0;
}

int Condition::Wait(Mutex* mutex) {
  if (mutex == nullptr || !mutex->IsInitialized()) {
    error_code_ = CONDITION_EXTERNAL_MUTEX_ERROR;
    return 1;
  }
  if (!initialized_ || pthread_cond_wait(&condition_, mutex->Native()) != 0) {
    error_code_ = CONDITION_WAIT_ERROR;
    return 1;
  }
  return 0;
}

int Condition::TimedWait(Mutex* mutex, long milliseconds) {
  if (mutex == nullptr || !mutex->IsInitialized()) {
    error_code_ = CONDITION_EXTERNAL_MUTEX_ERROR;
    return 1;
  }
  if (!initialized_) {
    error_code_ = CONDITION_TIMED_WAIT_ERROR;
    return 1;
  }
  struct timespec deadline;
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += milliseconds / 1000;
  deadline.tv_nsec += (milliseconds % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  const int result = pthread_cond_timedwait(&condition_, mutex->Native(), &deadline);
  if (result == ETIMEDOUT) return 2;
  if (result != 0) {
    error_code_ = CONDITION_TIMED_WAIT_ERROR;
    return 1;
  }
  return 0;
}

int Condition::Signal() {
  if (!initialized_ || pthread_cond_signal(&condition_) != 0) {
    error_code_ = CONDITION_SIGNAL_ERROR;
    return 1;
  }
  return 0;
}

int Condition::Broadcast() {
  if (!initialized_ || pthread_cond_broadcast(&condition_) != 0) {
    error_code_ = CONDITION_BROADCAST_ERROR;
    return 1;
  }
  return 0;
}

const char* Condition::ErrorText() {
  if (error_code_ < CONDITION_NO_ERROR || error_code_ > CONDITION_WAIT_ERROR) {
    error_code_ = CONDITION_INVALID_ERROR_CODE;
  }
  return ConditionErrorText(error_code_);
}
