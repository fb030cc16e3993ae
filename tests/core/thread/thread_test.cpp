// Life cycle of threads: start, join, cancel and destroy, and their texts.
#include "core/thread/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/thread/thread_task.h"
#include "core/thread/thread_texts.h"
#include "support/test_support.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// A latch the tests open to let a task go on.
class Gate {
 public:
  void Open() {
    std::lock_guard<std::mutex> guard(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  bool WaitOpen(milliseconds limit = milliseconds(5000)) {
    std::unique_lock<std::mutex> wait(mutex_);
    return changed_.wait_for(wait, limit, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

// Waits at its gate, then returns a chosen value; counts its hooks.
class CountingTask : public ThreadTask {
 public:
  explicit CountingTask(int result = 0) : result_(result) {}
  int Run(Thread*) override {
    started.Open();
    proceed.WaitOpen();
    return result_;
  }
  void OnExit(Thread*) override { ++exits; }
  void OnCancel(Thread*) override {
    ++cancels;
    proceed.Open();  // the cooperative wake-up
  }

  Gate started;
  Gate proceed;
  std::atomic<int> exits{0};
  std::atomic<int> cancels{0};

 private:
  int result_;
};

// Waits until the thread's state is the given one (bounded).
bool WaitForState(Thread* thread, ThreadState state) {
  return qtest::WaitUntil([&] { return thread->State() == state; });
}

TEST(ThreadTextsTest, TablesNameEveryValueAndMapStrayCodes) {
  EXPECT_STREQ("Thread state: INVALID", ThreadStateText(ThreadState::INVALID));
  EXPECT_STREQ("Thread state: CANCELED", ThreadStateText(ThreadState::CANCELED));
  EXPECT_STREQ("Thread state: SUSPENED", ThreadStateText(ThreadState::SUSPENDED));
  EXPECT_STREQ("Thread state: WAITING", ThreadStateText(ThreadState::WAITING));
  EXPECT_STREQ("Thread priority: HIGH", ThreadPriorityText(3));
  EXPECT_STREQ("Thread priority class: ROUND ROBIN", ThreadPriorityClassText(3));
  EXPECT_STREQ("Thread type: DETACHED", ThreadTypeText(ThreadType::DETACHED));
  EXPECT_STREQ("Thread type: JOINABLE", ThreadTypeText(ThreadType::JOINABLE));
  EXPECT_STREQ("Thread exception: Error suspending thread", ThreadErrorCodeText(14));
  EXPECT_STREQ("Thread exception: Invalid exception code", ThreadErrorCodeText(15));
  EXPECT_STREQ("Thread exception: Invalid exception code", ThreadErrorCodeText(-3));
  EXPECT_STREQ("Mutex exception: Error unlocking the mutex", MutexErrorText(9));
  EXPECT_STREQ("Mutex exception: Invalid exception code", MutexErrorText(10));
  EXPECT_STREQ("Condition exception: Error waiting", ConditionErrorText(12));
  EXPECT_STREQ("Condition exception: Invalid exception code", ConditionErrorText(13));
  EXPECT_STREQ("Semaphore exception: Error waiting", SemaphoreErrorText(6));
  EXPECT_STREQ("Semaphore exception: Invalid exception code", SemaphoreErrorText(7));
}

TEST(ThreadTest, JoinWaitsForTheTaskThenOnExitAndKeepsItsResult) {
  CountingTask task(-7);
  Thread* thread = task.StartThread(ThreadType::JOINABLE);
  ASSERT_NE(nullptr, thread);
  ASSERT_EQ(THREAD_NO_ERROR, thread->ErrorCode());
  EXPECT_EQ(THREAD_PRIORITY_NORMAL, thread->Priority());
  EXPECT_EQ(THREAD_PRIORITY_CLASS_OTHER, thread->PriorityClass());
  ASSERT_TRUE(task.started.WaitOpen());
  std::thread opener([&task] {
    std::this_thread::sleep_for(milliseconds(50));
    task.proceed.Open();
  });
  const auto begin = steady_clock::now();
  EXPECT_EQ(0, task.JoinThread(thread));
  EXPECT_GE(steady_clock::now() - begin, milliseconds(40));
  opener.join();
  EXPECT_EQ(-7, thread->ExitValue());
  EXPECT_EQ(1, task.exits.load());  // OnExit has run by the time a join returns
  ASSERT_TRUE(WaitForState(thread, ThreadState::EXITED));
  EXPECT_EQ(0, task.JoinThread(thread));  // again: at once
  EXPECT_EQ(0, task.DestroyThread(thread, true));
  EXPECT_EQ(0, task.cancels.load());  // an exited thread is not cancelled
}

TEST(ThreadTest, DetachedThreadCannotBeJoinedOrCancelled) {
  CountingTask task;
  Thread* thread = task.StartThread(ThreadType::DETACHED);
  ASSERT_TRUE(task.started.WaitOpen());
  EXPECT_EQ(1, task.JoinThread(thread));
  EXPECT_EQ(1, task.CancelThread(thread));
  EXPECT_EQ(ThreadState::RUNNING, thread->State());
  EXPECT_EQ(0, task.cancels.load());
  task.proceed.Open();
  ASSERT_TRUE(WaitForState(thread, ThreadState::EXITED));
  EXPECT_EQ(0, task.DestroyThread(thread, true));
}

TEST(ThreadTest, CancelRunsOnCancelOnCallerAndSkipsOnExit) {
  CountingTask task;
  Thread* thread = task.StartThread(ThreadType::JOINABLE);
  ASSERT_TRUE(task.started.WaitOpen());
  EXPECT_EQ(0, task.CancelThread(thread));
  EXPECT_EQ(ThreadState::CANCELED, thread->State());
  EXPECT_TRUE(thread->IsCanceled());
  EXPECT_EQ(1, task.cancels.load());
  EXPECT_EQ(0, task.JoinThread(thread));  // cancelled: at once
  EXPECT_EQ(0, task.DestroyThread(thread, true));
  EXPECT_EQ(0, task.exits.load());
  EXPECT_EQ(1, task.cancels.load());  // destroy does not cancel twice
  // Destroy with cancel-first stops a running thread the same way.
  CountingTask running;
  thread = running.StartThread(ThreadType::JOINABLE);
  ASSERT_TRUE(running.started.WaitOpen());
  EXPECT_EQ(0, running.DestroyThread(thread, true));
  EXPECT_EQ(1, running.cancels.load());
  EXPECT_EQ(0, running.exits.load());
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

TEST(ThreadTest, NullThreadsAndThreadsWithoutTaskAreRefused) {
  CountingTask task;
  EXPECT_EQ(1, task.JoinThread(nullptr));
  EXPECT_EQ(1, task.CancelThread(nullptr));
  EXPECT_EQ(1, task.DestroyThread(nullptr, true));
  EXPECT_STREQ("Thread exception: Invalid exception code", task.Manager().ThreadErrorText(nullptr));
  ThreadManager manager;
  Thread* thread = manager.StartThread(nullptr, ThreadType::JOINABLE);
  ASSERT_NE(nullptr, thread);
  qtest::WaitUntil([&] { return thread->ErrorCode() == THREAD_EXECUTE_ERROR; });
  EXPECT_STREQ("Thread exception: Thread cannot be executed", manager.ThreadErrorText(thread));
  EXPECT_EQ(ThreadState::NEW, thread->State());
  EXPECT_EQ(0, manager.DestroyThread(thread, false));
}

// A task whose wait is only ended by its own OnCancel: DestroyThread wakes
// it and joins it, and no thread is left running afterwards.
class WakeableTask : public ThreadTask {
 public:
  int Run(Thread*) override {
    started.Open();
    release.WaitOpen(milliseconds(20000));
    finished.Open();
    return 0;
  }
  void OnCancel(Thread*) override { release.Open(); }
  Gate started;
  Gate release;
  Gate finished;
};

TEST(ThreadTest, DestroyWakesAndJoinsInsteadOfAbandoning) {
  WakeableTask task;
  Thread* thread = task.StartThread(ThreadType::JOINABLE);
  ASSERT_TRUE(task.started.WaitOpen());
  EXPECT_EQ(0, task.DestroyThread(thread, true));
  // Joined: Run has finished by the time DestroyThread returns.
  EXPECT_TRUE(task.finished.WaitOpen(milliseconds(0)));
}

}  // namespace
