#ifndef QUILLO_CORE_THREAD_THREAD_H
#define QUILLO_CORE_THREAD_THREAD_H

#include <pthread.h>

#include <atomic>

#include "core/thread/condition.h"
#include "core/thread/mutex.h"
#include "core/thread/thread_texts.h"

class ThreadTask;

// One operating-system thread running one ThreadTask. Created only by
// ThreadManager::StartThread and released only by DestroyThread, which
// joins a JOINABLE thread first; a DETACHED thread still running when it is
// destroyed deletes itself when it ends.
//
// Cancellation gate: from the moment CancelThread begins, IsCanceled() is
// true and stays true. The gate closes under the thread's commit lock, which
// a task's commit steps also hold (CommitScope, GatedReporter), so a commit
// step either finished before the cancel or never happens.
//
// State and the error code are atomic: the worker and the controlling
// thread both write them.
class Thread {
 public:
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  ThreadTask* Task() const { return task_; }
  unsigned StackSize() const { return stack_size_; }
  int Priority() const { return priority_; }
  int PriorityClass() const { return priority_class_; }
  ThreadState State() const { return state_.load(); }
  ThreadType Type() const { return type_; }
  int ErrorCode() const { return error_code_.load(); }
  int ExitValue() const { return exit_value_.load(); }
  int UserParameter() const { return user_parameter_; }
  void SetUserParameter(int value) { user_parameter_ = value; }

  // Whether the gate has closed (see the class comment).
  bool IsCanceled() const { return canceled_.load(); }

 private:
  friend class ThreadManager;
  friend class CommitScope;

  Thread(ThreadTask* task, ThreadType type, unsigned stack_size);
  ~Thread();

  static void* Entry(void* argument);
  void RunTask();
  // Marks the entry finished; true when the thread must delete itself.
  bool Finish();
  // Waits for the entry to finish; false when milliseconds ran out first
  // (a negative limit waits without one).
  bool WaitFinished(long milliseconds);

  ThreadTask* task_;
  unsigned stack_size_;
  int priority_ = THREAD_PRIORITY_NORMAL;
  int priority_class_ = THREAD_PRIORITY_CLASS_OTHER;
  std::atomic<ThreadState> state_{ThreadState::NEW};
  pthread_t os_thread_{};
  bool has_os_thread_ = false;
  ThreadType type_;
  std::atomic<int> error_code_{THREAD_NO_ERROR};
  std::atomic<int> exit_value_{0};
  int user_parameter_ = 0;

  // The commit lock; also guards finished_ and released_.
  Mutex mutex_;
  // Signalled when the entry finishes.
  Condition condition_;
  std::atomic<bool> canceled_{false};
  bool finished_ = false;  // the entry has done everything but return
  bool released_ = false;  // DETACHED and destroyed while running
};

#endif  // QUILLO_CORE_THREAD_THREAD_H
