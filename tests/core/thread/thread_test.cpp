// Life cycle of threads: start, join, cancel and destroy, and their texts.
#include "core/thread/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "core/thread/thread_task.h"
#include "core/thread/thread_texts.h"
#include "support/test_support.h"

namespace {

using std::chrono::milliseconds;

// Waits until a test or its own OnCancel lets it go on, then returns a
// chosen value; counts its hooks.
class CountingTask : public ThreadTask {
 public:
  explicit CountingTask(int result = 0) : result_(result) {}
  int Run(Thread*) override {
    started = true;
    qtest::WaitUntil([this] { return proceed.load(); }, milliseconds(5000));
    finished = true;
    return result_;
  }
  void OnExit(Thread*) override { ++exits; }
  void OnCancel(Thread*) override {
    ++cancels;
    proceed = true;
  }

  std::atomic<bool> started{false}, proceed{false}, finished{false};
  std::atomic<int> exits{0}, cancels{0};

 private:
  int result_;
};

// Each section of the shared text table ends where the next begins; values
// outside a section read as its fallback entry.
TEST(ThreadTextsTest, SectionsEndAtTheirBoundsAndMapStrayValues) {
  const std::pair<const char*, const char*> cases[] = {
      {ThreadStateText(static_cast<ThreadState>(7)), "Thread state: INVALID"},
      {ThreadPriorityClassText(3), "Thread priority class: ROUND ROBIN"},
      {ThreadPriorityClassText(-1), "Thread priority class: INVALID"},
      {ThreadErrorCodeText(14), "Thread exception: Error suspending thread"},
      {ThreadErrorCodeText(15), "Thread exception: Invalid exception code"},
      {ThreadErrorCodeText(-3), "Thread exception: Invalid exception code"},
      {MutexErrorText(0), "Mutex exception: No exception reported"},
      {MutexErrorText(9), "Mutex exception: Error unlocking the mutex"},
      {MutexErrorText(10), "Mutex exception: Invalid exception code"},
      {SemaphoreErrorText(6), "Semaphore exception: Error waiting"},
      {SemaphoreErrorText(-1), "Semaphore exception: Invalid exception code"},
  };
  for (const auto& c : cases) EXPECT_STREQ(c.second, c.first);
}

// A join waits for the task, then OnExit, and keeps the result; Cancel runs
// OnCancel on the caller and skips OnExit, and a cancelled thread is joined
// at once. Destroy with cancel-first wakes a running thread and joins it:
// nothing is abandoned. It cancels neither an exited thread nor one
// cancelled before.
TEST(ThreadTest, DestroyWakesAndJoinsInsteadOfAbandoning) {
  enum Before { kRunning, kCancelled, kExited };
  for (Before before : {kRunning, kCancelled, kExited}) {
    SCOPED_TRACE(before);
    CountingTask task(-7);
    Thread* thread = task.StartThread(ThreadType::JOINABLE);
    ASSERT_EQ(THREAD_NO_ERROR, thread->ErrorCode());
    ASSERT_TRUE(qtest::WaitUntil([&] { return task.started.load(); }));
    if (before == kCancelled) {
      EXPECT_EQ(0, task.CancelThread(thread));
      EXPECT_EQ(ThreadState::CANCELED, thread->State());
      EXPECT_TRUE(thread->IsCanceled() && task.cancels == 1);
    }
    if (before == kExited) task.proceed = true;
    if (before != kRunning) {
      EXPECT_EQ(0, task.JoinThread(thread));
    }
    if (before == kExited) {
      EXPECT_EQ(-7, thread->ExitValue());
      EXPECT_EQ(1, task.exits.load());  // by the time the join returns
      EXPECT_TRUE(qtest::WaitUntil([&] { return thread->State() == ThreadState::EXITED; }));
    }
    EXPECT_EQ(0, task.DestroyThread(thread, true));
    EXPECT_TRUE(task.finished.load());
    EXPECT_EQ(before == kExited ? 0 : 1, task.cancels.load());
    EXPECT_EQ(before == kExited ? 1 : 0, task.exits.load());
  }
}

TEST(ThreadTest, StartFailureIsReportedOnTheReturnedThread) {
  CountingTask task;
  // A stack smaller than any thread can have.
  Thread* thread = task.StartThread(ThreadType::JOINABLE, 1);
  ASSERT_NE(nullptr, thread);
  EXPECT_EQ(THREAD_CREATE_ERROR, thread->ErrorCode());
  EXPECT_STREQ("Thread exception: Error creating thread", task.Manager().ThreadErrorText(thread));
  EXPECT_EQ(0, task.JoinThread(thread));  // nothing to wait for
  EXPECT_EQ(0, task.DestroyThread(thread, false));
  EXPECT_EQ(0, task.exits.load());
}

}  // namespace
