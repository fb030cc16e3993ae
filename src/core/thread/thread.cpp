#include "core/thread/thread.h"

#include <chrono>

#include "core/thread/thread_task.h"

Thread::Thread(ThreadTask* task, ThreadType type, unsigned stack_size)
    : task_(task), stack_size_(stack_size), type_(type) {
  mutex_.Initialize(0);
  condition_.Initialize(0);
}

Thread::~Thread() {
  condition_.Destroy();
  mutex_.Destroy();
}

void* Thread::Entry(void* argument) {
  Thread* thread = static_cast<Thread*>(argument);
  thread->RunTask();
  if (thread->Finish()) delete thread;
  return nullptr;
}

void Thread::RunTask() {
  if (task_ == nullptr) {
    error_code_ = THREAD_EXECUTE_ERROR;
    return;
  }
  // A thread cancelled before it got here never runs its task.
  ThreadState expected = ThreadState::NEW;
  if (!state_.compare_exchange_strong(expected, ThreadState::RUNNING)) return;
  exit_value_ = task_->Run(this);
  bool exited;
  {
    // Under the commit lock: either the cancel came first and OnExit is
    // skipped, or the thread exited first.
    MutexLock lock(&mutex_);
    expected = ThreadState::RUNNING;
    exited = state_.compare_exchange_strong(expected, ThreadState::EXITED);
  }
  if (exited) task_->OnExit(this);
}

bool Thread::Finish() {
  MutexLock lock(&mutex_);
  finished_ = true;
  condition_.Broadcast();
  return released_;
}

bool Thread::WaitFinished(long milliseconds) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  MutexLock lock(&mutex_);
  while (!finished_) {
    if (milliseconds < 0) {
      condition_.Wait(&mutex_);
      continue;
    }
    const long left = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
    if (left <= 0) return false;
    condition_.TimedWait(&mutex_, left);
  }
  return true;
}
