#ifndef QUILLO_CORE_THREAD_THREAD_TEXTS_H
#define QUILLO_CORE_THREAD_THREAD_TEXTS_H

// Life-cycle states of a Thread.
enum class ThreadState : int {
  INVALID = 0,
  CANCELED = 1,
  EXITED = 2,
  NEW = 3,
  RUNNING = 4,
  SUSPENDED = 5,
  WAITING = 6,
};

// Whether a Thread can be joined.
enum class ThreadType : int {
  DETACHED = 0,
  JOINABLE = 1,
};

// Recorded only; nothing in the program changes them.
enum ThreadPriority : int {
  THREAD_PRIORITY_INVALID = 0,
  THREAD_PRIORITY_LOW = 1,
  THREAD_PRIORITY_NORMAL = 2,
  THREAD_PRIORITY_HIGH = 3,
};
enum ThreadPriorityClass : int {
  THREAD_PRIORITY_CLASS_INVALID = 0,
  THREAD_PRIORITY_CLASS_OTHER = 1,
  THREAD_PRIORITY_CLASS_FIFO = 2,
  THREAD_PRIORITY_CLASS_RR = 3,
};

// Codes kept by a Thread after a failure.
enum ThreadError : int {
  THREAD_NO_ERROR = 0,
  THREAD_INVALID_ERROR_CODE = 1,
  THREAD_CANCEL_ERROR = 2,
  THREAD_CLOSE_ERROR = 3,
  THREAD_CREATE_ERROR = 4,
  THREAD_RUNNING_ERROR = 5,
  THREAD_EXECUTE_ERROR = 6,
  THREAD_SCHED_POLICY_ERROR = 7,
  THREAD_PRIORITY_ERROR = 8,
  THREAD_RESUME_ERROR = 9,
  THREAD_SCHEDULE_ERROR = 10,
  THREAD_SCOPE_ERROR = 11,
  THREAD_STACK_SIZE_ERROR = 12,
  THREAD_SET_STATE_ERROR = 13,
  THREAD_SUSPEND_ERROR = 14,
};

enum MutexError : int {
  MUTEX_NO_ERROR = 0,
  MUTEX_INVALID_ERROR_CODE = 1,
  MUTEX_ATTR_DESTROY_ERROR = 2,
  MUTEX_ATTR_INIT_ERROR = 3,
  MUTEX_DESTROY_ERROR = 4,
  MUTEX_INIT_ERROR = 5,
  MUTEX_LOCK_ERROR = 6,
  MUTEX_SET_SHARED_ERROR = 7,
  MUTEX_TRY_LOCK_ERROR = 8,
  MUTEX_UNLOCK_ERROR = 9,
};

enum ConditionError : int {
  CONDITION_NO_ERROR = 0,
  CONDITION_INVALID_ERROR_CODE = 1,
  CONDITION_ATTR_DESTROY_ERROR = 2,
  CONDITION_ATTR_INIT_ERROR = 3,
  CONDITION_BROADCAST_ERROR = 4,
  CONDITION_DESTROY_ERROR = 5,
  CONDITION_EXTERNAL_MUTEX_ERROR = 6,
  CONDITION_INIT_ERROR = 7,
  CONDITION_INTERNAL_MUTEX_ERROR = 8,
  CONDITION_SET_SHARED_ERROR = 9,
  CONDITION_SIGNAL_ERROR = 10,
  CONDITION_TIMED_WAIT_ERROR = 11,
  CONDITION_WAIT_ERROR = 12,
};

// Texts of the layer. Values outside a table read as its "INVALID" entry
// (states, priorities, classes, types) or as code 1 (error codes).
const char* ThreadStateText(ThreadState state);
const char* ThreadPriorityText(int priority);
const char* ThreadPriorityClassText(int priority_class);
const char* ThreadTypeText(ThreadType type);
const char* ThreadErrorCodeText(int code);
const char* MutexErrorText(int code);
const char* ConditionErrorText(int code);
const char* SemaphoreErrorText(int code);

#endif  // QUILLO_CORE_THREAD_THREAD_TEXTS_H
