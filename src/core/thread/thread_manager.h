#ifndef QUILLO_CORE_THREAD_THREAD_MANAGER_H
#define QUILLO_CORE_THREAD_THREAD_MANAGER_H

#include "core/thread/thread_texts.h"

class Thread;
class ThreadTask;

// Starts, joins, cancels and destroys Threads. Holds no data.
//
// Cancellation is cooperative. CancelThread closes the thread's gate (see
// Thread) and then runs the task's OnCancel on the calling thread; OnCancel
// wakes the worker, typically with Socket::Shutdown on the sockets it waits
// on. The woken worker finds its calls failing, returns quietly and skips
// OnExit; whatever it still tries to report or commit is dropped by the gate.
class ThreadManager {
 public:
  // Creates a Thread for the task and starts it at once. A thread that could
  // not be started is still returned, with error 4; callers check
  // ErrorCode(). Returns null only when no Thread could be allocated.
  Thread* StartThread(ThreadTask* task, ThreadType type, unsigned stack_size = 0);

  // DETACHED: 1 at once. INVALID, CANCELED or EXITED: 0 at once. Otherwise
  // waits without time limit for the task's Run (and OnExit) to end; 0.
  int JoinThread(Thread* thread);

  // DETACHED: 1, nothing changes. Otherwise state := CANCELED, the gate
  // closes and the task's OnCancel runs on the calling thread; 0. OnCancel
  // runs even for a thread that already exited (it must be harmless then).
  int CancelThread(Thread* thread);

  // With cancel_first and a JOINABLE thread that is RUNNING, SUSPENDED or
  // WAITING (or not yet started), cancels it first. Then joins the thread
  // and deletes the Thread. There is no time limit: a JOINABLE thread is
  // never left running, so every task's blocking calls must be wakeable by
  // its OnCancel. (A DETACHED thread still running deletes itself when it
  // ends.) Returns 0.
  int DestroyThread(Thread* thread, bool cancel_first);

  // The text of the thread's error code; any code outside the table reads
  // as code 1.
  const char* ThreadErrorText(const Thread* thread);
};

#endif  // QUILLO_CORE_THREAD_THREAD_MANAGER_H
