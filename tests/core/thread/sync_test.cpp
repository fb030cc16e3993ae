// The condition and its mutex.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "core/thread/condition.h"
#include "core/thread/mutex.h"

namespace {

// A signal wakes a timed waiter, and a timed wait times out. Every call on a
// condition that is no longer initialised, or with no usable mutex, fails
// with its own code instead of reaching pthreads.
TEST(ConditionTest, SignalWakesATimedWaiterAndCallsWithoutAConditionOrAMutexFail) {
  Mutex mutex, unusable;
  Condition condition, gone;
  ASSERT_EQ(0, mutex.Initialize(0));
  ASSERT_EQ(0, condition.Initialize(1));
  EXPECT_EQ(0, condition.Initialize(0));  // ignored: still kind 1
  EXPECT_EQ(1, condition.Kind());

  ASSERT_EQ(0, mutex.Lock());
  EXPECT_EQ(2, condition.TimedWait(&mutex, 20));
  bool ready = false;
  std::thread signaller([&] {
    MutexLock lock(&mutex);
    ready = true;
    condition.Signal();
  });
  while (!ready) ASSERT_EQ(0, condition.TimedWait(&mutex, 10000));  // signalled: 0
  mutex.Unlock();
  signaller.join();
  EXPECT_EQ(0, condition.Broadcast());

  ASSERT_EQ(0, gone.Initialize(0));
  ASSERT_EQ(0, gone.Destroy());
  EXPECT_EQ(0, gone.Destroy());
  MutexLock lock(&mutex);
  EXPECT_EQ(1, gone.Signal());
  EXPECT_EQ(CONDITION_SIGNAL_ERROR, gone.ErrorCode());
  EXPECT_EQ(1, gone.Broadcast());
  EXPECT_EQ(CONDITION_BROADCAST_ERROR, gone.ErrorCode());
  EXPECT_EQ(1, gone.Wait(&mutex));
  EXPECT_EQ(CONDITION_WAIT_ERROR, gone.ErrorCode());
  EXPECT_EQ(1, gone.TimedWait(&mutex, 1));
  EXPECT_EQ(CONDITION_TIMED_WAIT_ERROR, gone.ErrorCode());
  for (Mutex* bad : {static_cast<Mutex*>(nullptr), &unusable}) {
    EXPECT_EQ(1, condition.Wait(bad));
    EXPECT_EQ(1, condition.TimedWait(bad, 1));
    EXPECT_STREQ("Condition exception: External mutex error", condition.ErrorText());
  }
}

}  // namespace
