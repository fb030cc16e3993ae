#ifndef QUILLO_CORE_THREAD_THREAD_TASK_H
#define QUILLO_CORE_THREAD_THREAD_TASK_H

#include <functional>

#include "core/thread/thread_manager.h"
#include "core/thread/thread_texts.h"

class Thread;

// A unit of work run on a Thread. A task must outlive every Thread that
// runs it: its owner cancels and destroys the thread before the task.
//
// Rules for derived tasks:
// - Run(thread) does the work and returns the thread's exit value.
// - OnExit(thread) runs on the worker right after Run, unless the thread was
//   cancelled.
// - OnCancel(thread) runs on the cancelling thread. It must only wake the
//   worker (Socket::Shutdown) or send a farewell; the worker closes its own
//   descriptors when it returns, so a number is never reused under a call.
// - Everything the worker delivers to the world goes through the gate:
//   window lines through a GatedReporter, changes of shared fields and
//   messages that must not go out after a cancel inside Commit() or a
//   CommitScope. Then no check of "was I cancelled" is needed anywhere else.
class ThreadTask {
 public:
  ThreadTask() = default;
  virtual ~ThreadTask() = default;
  ThreadTask(const ThreadTask&) = delete;
  ThreadTask& operator=(const ThreadTask&) = delete;

  virtual int Run(Thread* thread) = 0;
  virtual void OnExit(Thread* thread);
  virtual void OnCancel(Thread* thread);

  ThreadManager& Manager() { return manager_; }

  // The manager's operations for this task; those given a thread return 1
  // when it is null.
  Thread* StartThread(ThreadType type, unsigned stack_size = 0);
  int JoinThread(Thread* thread);
  int CancelThread(Thread* thread);
  int DestroyThread(Thread* thread, bool cancel_first);

  // Runs step under the thread's commit lock unless the thread has been
  // cancelled; returns whether it ran. A null thread (work done outside a
  // worker) always runs the step. Keep steps short: the canceller waits for
  // a step in progress.
  static bool Commit(Thread* thread, const std::function<void()>& step);

 private:
  ThreadManager manager_;
};

#endif  // QUILLO_CORE_THREAD_THREAD_TASK_H
