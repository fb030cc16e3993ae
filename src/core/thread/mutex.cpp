#include "core/thread/mutex.h"

#include <cerrno>

Mutex::~Mutex() { Destroy(); }

int Mutex::Initialize(int kind) {
  if (initialized_) return 0;
  kind_ = kind;
  error_code_ = MUTEX_NO_ERROR;
  pthread_mutexattr_t attributes;
  if (pthread_mutexattr_init(&attributes) != 0) {
    error_code_ = MUTEX_ATTR_INIT_ERROR;
    return 1;
  }
  if (pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE) != 0) {
    error_code_ = MUTEX_ATTR_INIT_ERROR;
  }
  if (kind == 1 && pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED) != 0) {
    error_code_ = MUTEX_SET_SHARED_ERROR;
  }
  const bool created = pthread_mutex_init(&mutex_, &attributes) == 0;
  if (pthread_mutexattr_destroy(&attributes) != 0) error_code_ = MUTEX_ATTR_DESTROY_ERROR;
  if (!created) {
    error_code_ = MUTEX_INIT_ERROR;
    return 1;
  }
  initialized_ = true;
  return error_code_ == MUTEX_NO_ERROR ? 0 : 1;
}

int Mutex::Destroy() {
  if (!initialized_) return 0;
  const bool destroyed = pthread_mutex_destroy(&mutex_) == 0;
  if (!destroyed) {
    error_code_ = MUTEX_DESTROY_ERROR;
    return 1;  // still held: it stays usable
  }
  kind_ = 0;
  initialized_ = false;
  return 0;
}

int Mutex::Lock() {
  if (!initialized_ || pthread_mutex_lock(&mutex_) != 0) {
    error_code_ = MUTEX_LOCK_ERROR;
    return 1;
  }
  return 0;
}

int Mutex::TryLock() {
  if (!initialized_) {
    error_code_ = MUTEX_TRY_LOCK_ERROR;
    return 1;
  }
  const int result = pthread_mutex_trylock(&mutex_);
  if (result == 0) return 0;
  if (result != EBUSY) error_code_ = MUTEX_TRY_LOCK_ERROR;
  return 1;
}

int Mutex::Unlock() {
  if (!initialized_ || pthread_mutex_unlock(&mutex_) != 0) {
    error_code_ = MUTEX_UNLOCK_ERROR;
    return 1;
  }
  return 0;
}

const char* Mutex::ErrorText() {
  if (error_code_ < MUTEX_NO_ERROR || error_code_ > MUTEX_UNLOCK_ERROR) {
    error_code_ = MUTEX_INVALID_ERROR_CODE;
  }
  return MutexErrorText(error_code_);
}
