#include "core/thread/thread_texts.h"

#include <cstddef>

namespace {

// The thread layer's texts in one table: states, priorities, priority
// classes, types, then the error codes.
const char* const kThreadTexts[] = {
    "Thread state: INVALID",
    "Thread state: CANCELED",
    "Thread state: EXITED",
    "Thread state: NEW",
    "Thread state: RUNNING",
    "Thread state: SUSPENED",
    "Thread state: WAITING",
    "Thread priority: INVALID",
    "Thread priority: LOW",
    "Thread priority: NORMAL",
    "Thread priority: HIGH",
    "Thread priority class: INVALID",
    "Thread priority class: OTHER",
    "Thread priority class: FIFO",
    "Thread priority class: ROUND ROBIN",
    "Thread type: DETACHED",
    "Thread type: JOINABLE",
    "Thread exception: No exception reported",
    "Thread exception: Invalid exception code",
    "Thread exception: Error canceling thread",
    "Thread exception: Error closing thread",
    "Thread exception: Error creating thread",
    "Thread exception: Thread is already running",
    "Thread exception: Thread cannot be executed",
    "Thread exception: Error setting scheduling policy",
    "Thread exception: Error setting priority",
    "Thread exception: Error resuming thread",
    "Thread exception: Scheduling error",
    "Thread exception: Contention scope error",
    "Thread exception: Error setting the stack size",
    "Thread exception: Could not set the thread state",
    "Thread exception: Error suspending thread",
};
static_assert(sizeof(kThreadTexts) / sizeof(kThreadTexts[0]) == 32, "one table of 32 texts");

constexpr int kStateBase = 0, kStateCount = 7;
constexpr int kPriorityBase = 7, kPriorityCount = 4;
constexpr int kClassBase = 11, kClassCount = 4;
constexpr int kTypeBase = 15, kTypeCount = 2;
constexpr int kErrorBase = 17, kErrorCount = 15;

// The entry of a section; values outside it read as its entry 0, or entry 1
// for error tables.
const char* Section(int base, int count, int value, int fallback) {
  if (value < 0 || value >= count) value = fallback;
  return kThreadTexts[base + value];
}

const char* const kMutexTexts[] = {
    "Mutex exception: No exception reported",
    "Mutex exception: Invalid exception code",
    "Mutex exception: Error destroying attributes",
    "Mutex exception: Error initializing attributes",
    "Mutex exception: Error destroying mutex",
    "Mutex exception: Error initializing the mutex",
    "Mutex exception: Error locking the mutex",
    "Mutex exception: Error setting shared attribute",
    "Mutex exception: Error trying to lock the mutex",
    "Mutex exception: Error unlocking the mutex",
};

const char* const kConditionTexts[] = {
    "Condition exception: No exception reported",
    "Condition exception: Invalid exception code",
    "Condition exception: Error destroying attributes",
    "Condition exception: Error initializing attributes",
    "Condition exception: Error broadcasting",
    "Condition exception: Error destroying condition",
    "Condition exception: External mutex error",
    "Condition exception: Error initializing condition",
    "Condition exception: Internal mutex error",
    "Condition exception: Error setting shared attribute",
    "Condition exception: Error signaling",
    "Condition exception: Error during a timed waiting",
    "Condition exception: Error waiting",
};

const char* const kSemaphoreTexts[] = {
    "Semaphore exception: No exception reported",
    "Semaphore exception: Invalid exception code",
    "Semaphore exception: Error destroying semaphore",
    "Semaphore exception: Error initializing semaphore",
    "Semaphore exception: Internal mutex error",
    "Semaphore exception: Error posting",
    "Semaphore exception: Error waiting",
};

template <size_t N>
const char* ErrorFrom(const char* const (&table)[N], int code) {
  if (code < 0 || code >= static_cast<int>(N)) code = 1;
  return table[code];
}

}  // namespace

const char* ThreadStateText(ThreadState state) {
  return Section(kStateBase, kStateCount, static_cast<int>(state), 0);
}
const char* ThreadPriorityText(int priority) {
  return Section(kPriorityBase, kPriorityCount, priority, 0);
}
const char* ThreadPriorityClassText(int priority_class) {
  return Section(kClassBase, kClassCount, priority_class, 0);
}
const char* ThreadTypeText(ThreadType type) {
  return Section(kTypeBase, kTypeCount, static_cast<int>(type), 0);
}
const char* ThreadErrorCodeText(int code) { return Section(kErrorBase, kErrorCount, code, 1); }
const char* MutexErrorText(int code) { return ErrorFrom(kMutexTexts, code); }
const char* ConditionErrorText(int code) { return ErrorFrom(kConditionTexts, code); }
const char* SemaphoreErrorText(int code) { return ErrorFrom(kSemaphoreTexts, code); }
