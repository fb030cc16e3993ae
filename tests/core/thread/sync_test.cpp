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
  EXPECT_FALSE(mutex.IsInitialized());
  EXPECT_EQ(0, mutex.Initialize(0));
  EXPECT_EQ(0, mutex.Initialize(1));  // ignored: still kind 0
  EXPECT_EQ(0, mutex.Kind());
  EXPECT_EQ(0, mutex.Destroy());
  EXPECT_EQ(0, mutex.Destroy());
  EXPECT_STREQ("Mutex exception: No exception reported", mutex.ErrorText());
  EXPECT_EQ(1, mutex.Lock());  // destroyed: locking fails with its code
  EXPECT_STREQ("Mutex exception: Error locking the mutex", mutex.ErrorText());
  EXPECT_EQ(1, mutex.Unlock());
  EXPECT_STREQ("Mutex exception: Error unlocking the mutex", mutex.ErrorText());
}

TEST(MutexTest, ExcludesOtherThreadsAndAllowsTheHolderAgain) {
  Mutex mutex;
  ASSERT_EQ(0, mutex.Initialize(1));
  ASSERT_EQ(0, mutex.Lock());
  EXPECT_EQ(0, mutex.Lock());  // recursive for its holder
  int other = -1;
  std::thread([&] { other = mutex.TryLock(); }).join();
  EXPECT_EQ(1, other);
  EXPECT_EQ(MUTEX_NO_ERROR, mutex.ErrorCode());  // busy is not an error
  EXPECT_EQ(0, mutex.Unlock());
  EXPECT_EQ(0, mutex.Unlock());
  std::thread([&] {
    other = mutex.TryLock();
    if (other == 0) mutex.Unlock();
  }).join();
  EXPECT_EQ(0, other);
}

TEST(ConditionTest, SignalWakesAWaiterAndTimedWaitTimesOut) {
  Mutex mutex;
  Condition condition;
  ASSERT_EQ(0, mutex.Initialize(0));
  EXPECT_EQ(0, condition.Destroy());
  ASSERT_EQ(0, condition.Initialize(0));
  EXPECT_EQ(0, condition.Initialize(0));

  ASSERT_EQ(0, mutex.Lock());
  EXPECT_EQ(2, condition.TimedWait(&mutex, 20));
  bool ready = false;
  std::thread signaller([&] {
    MutexLock lock(&mutex);
    ready = true;
    condition.Signal();
  });
  while (!ready) ASSERT_EQ(0, condition.Wait(&mutex));
  mutex.Unlock();
  signaller.join();
  EXPECT_EQ(0, condition.Broadcast());
  EXPECT_EQ(0, condition.Destroy());
  EXPECT_EQ(1, condition.Signal());
  EXPECT_STREQ("Condition exception: Error signaling", condition.ErrorText());
  EXPECT_EQ(1, condition.Wait(nullptr));
  EXPECT_STREQ("Condition exception: External mutex error", condition.ErrorText());
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
  const std::string long_text = stamp.Text(true);
  char month[32];
  strftime(month, sizeof month, "%B ", &stamp.LocalTime());
  EXPECT_EQ(0u, long_text.find(month)) << long_text;
}

}  // namespace
