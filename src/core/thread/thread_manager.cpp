#include "core/thread/thread_manager.h"

#include <new>

#include "core/thread/thread.h"
#include "core/thread/thread_task.h"

Thread* ThreadManager::StartThread(ThreadTask* task, ThreadType type, unsigned stack_size) {
  Thread* thread = new (std::nothrow) Thread(task, type, stack_size);
  if (thread == nullptr) return nullptr;
  pthread_attr_t attributes;
  bool ready = pthread_attr_init(&attributes) == 0;
  if (ready) {
    if (stack_size != 0 && pthread_attr_setstacksize(&attributes, stack_size) != 0) ready = false;
    if (type == ThreadType::DETACHED &&
        pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED) != 0) {
      ready = false;
    }
    if (ready && pthread_create(&thread->os_thread_, &attributes, &Thread::Entry, thread) != 0) {
      ready = false;
    }
    pthread_attr_destroy(&attributes);
  }
  if (ready) {
    thread->has_os_thread_ = true;
  } else {
    // Nothing will ever run: joiners and DestroyThread must not wait for it.
    thread->error_code_ = THREAD_CREATE_ERROR;
    MutexLock lock(&thread->mutex_);
    thread->finished_ = true;
  }
  return thread;
}

int ThreadManager::JoinThread(Thread* thread) {
  if (thread == nullptr || thread->Type() == ThreadType::DETACHED) return 1;
  const ThreadState state = thread->State();
  if (state == ThreadState::INVALID || state == ThreadState::CANCELED ||
      state == ThreadState::EXITED) {
    return 0;
  }
  thread->WaitFinished(-1);
  return 0;
}

int ThreadManager::CancelThread(Thread* thread) {
  if (thread == nullptr || thread->Type() == ThreadType::DETACHED) return 1;
  {
    // Waits for a commit step in progress; none starts afterwards.
    MutexLock lock(&thread->mutex_);
    thread->state_ = ThreadState::CANCELED;
    thread->canceled_ = true;
  }
  if (thread->task_ != nullptr) thread->task_->OnCancel(thread);
  return 0;
}

int ThreadManager::DestroyThread(Thread* thread, bool cancel_first) {
  if (thread == nullptr) return 1;
  const ThreadState state = thread->State();
  const bool alive = state == ThreadState::NEW || state == ThreadState::RUNNING ||
                     state == ThreadState::SUSPENDED || state == ThreadState::WAITING;
  if (cancel_first && thread->Type() == ThreadType::JOINABLE && alive) {
    if (CancelThread(thread) != 0) return 1;
  }
  if (thread->has_os_thread_ && thread->Type() == ThreadType::DETACHED) {
    // Nobody may join a detached thread: one still running releases itself.
    MutexLock lock(&thread->mutex_);
    if (!thread->finished_) {
      thread->released_ = true;
      return 0;
    }
  }
  const bool joinable = thread->has_os_thread_ && thread->Type() == ThreadType::JOINABLE;
  if (joinable) {
    thread->WaitFinished(-1);
    if (pthread_join(thread->os_thread_, nullptr) != 0) {
      thread->error_code_ = THREAD_CLOSE_ERROR;
      return 1;
    }
  }
  delete thread;
  return 0;
}

const char* ThreadManager::ThreadErrorText(const Thread* thread) {
  if (thread == nullptr) return ThreadErrorCodeText(THREAD_INVALID_ERROR_CODE);
  return ThreadErrorCodeText(thread->ErrorCode());
}
