// Mutex, condition and time-stamp text.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <thread>

#include "core/thread/condition.h"
#include "core/thread/mutex.h"
#include "core/thread/time_stamp.h"

namespace {

TEST(MutexTest, InitialisingTwiceAndDestroyingUninitialisedDoNothingAndLockingFails) {
  Mutex mutex;
  EXPECT_EQ(0, mutex.Destroy());
  EXPECT_EQ(0, mutex.Initialize(0));
  EXPECT_EQ(0, mutex.Initialize(1));  // ignored: still kind 0
  EXPECT_EQ(0, mutex.Kind());
  EXPECT_EQ(0, mutex.Destroy());
  EXPECT_EQ(0, mutex.Destroy());
  EXPECT_EQ(1, mutex.Lock());  // destroyed: locking fails with its code
  EXPECT_STREQ("Mutex exception: Error locking the mutex", mutex.ErrorText());
  EXPECT_EQ(1, mutex.TryLock());
  EXPECT_EQ(MUTEX_TRY_LOCK_ERROR, mutex.ErrorCode());
  EXPECT_EQ(1, mutex.Unlock());
  EXPECT_EQ(MUTEX_UNLOCK_ERROR, mutex.ErrorCode());
}

TEST(MutexTest, ExcludesOtherThreadsAllowsTheHolderAgainAndSurvivesADestroyWhileHeld) {
  Mutex mutex;
  ASSERT_EQ(0, mutex.Initialize(1));
  ASSERT_EQ(0, mutex.Lock());
  EXPECT_EQ(0, mutex.Lock());  // recursive for its holder
  int other = -1;
  std::thread([&] { other = mutex.TryLock(); }).join();
  EXPECT_EQ(1, other);
  EXPECT_EQ(MUTEX_NO_ERROR, mutex.ErrorCode());  // busy is not an error
  EXPECT_EQ(1, mutex.Destroy());                 // still held: it stays usable
  EXPECT_EQ(MUTEX_DESTROY_ERROR, mutex.ErrorCode());
  EXPECT_TRUE(mutex.IsInitialized());
  EXPECT_EQ(0, mutex.Unlock());
  EXPECT_EQ(0, mutex.Unlock());
  std::thread([&] {
    other = mutex.TryLock();
    if (other == 0) mutex.Unlock();
  }).join();
  EXPECT_EQ(0, other);
  EXPECT_EQ(0, mutex.Destroy());
}

TEST(ConditionTest, SignalWakesATimedWaiterAndTimedWaitTimesOut) {
  Mutex mutex;
  Condition condition;
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
  EXPECT_EQ(0, condition.Destroy());
  EXPECT_EQ(0, condition.Destroy());
}

// Every call on a condition that is no longer initialised, or with no
// usable mutex, fails with its own code instead of reaching pthreads.
TEST(ConditionTest, CallsWithoutAConditionOrAMutexFailWithTheirCodes) {
  Mutex mutex, unusable;
  ASSERT_EQ(0, mutex.Initialize(0));
  Condition gone, ready;
  ASSERT_EQ(0, ready.Initialize(0));
  ASSERT_EQ(0, gone.Initialize(0));
  ASSERT_EQ(0, gone.Destroy());
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
    EXPECT_EQ(1, ready.Wait(bad));
    EXPECT_EQ(1, ready.TimedWait(bad, 1));
    EXPECT_STREQ("Condition exception: External mutex error", ready.ErrorText());
  }
}

TEST(TimeStampTest, TextHasMonthDayCommaYearAndTime) {
  TimeStamp stamp;
  const std::string text = stamp.Text();
  EXPECT_TRUE(std::regex_match(text, std::regex("[A-Z][a-z]{2} [0-3][0-9], [0-9]{4} "
                                                "[0-2][0-9]:[0-5][0-9]:[0-6][0-9]")))
      << text;
  char year[8];
  strftime(year, sizeof year, "%Y", &stamp.LocalTime());
  EXPECT_NE(std::string::npos, text.find(std::string(", ") + year + " "));
  char month[32];
  strftime(month, sizeof month, "%B ", &stamp.LocalTime());
  EXPECT_EQ(0u, stamp.Text(true).find(month));
}

}  // namespace
