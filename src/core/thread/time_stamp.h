#ifndef QUILLO_CORE_THREAD_TIME_STAMP_H
#define QUILLO_CORE_THREAD_TIME_STAMP_H

#include <ctime>
#include <string>

// The text of a moment in local time, such as "Dec 05, 2026 07:48:06".
class TimeStamp {
 public:
  TimeStamp();  // takes the current time

  // Takes the current time again and returns its text; the month is "%b",
  // or "%B" when long_month is set.
  const std::string& Text(bool long_month = false);

  time_t CalendarTime() const { return calendar_time_; }
  const struct tm& LocalTime() const { return local_time_; }

 private:
  void Take();

  std::string text_;
  time_t calendar_time_ = 0;
  struct tm local_time_ {};
};

#endif  // QUILLO_CORE_THREAD_TIME_STAMP_H
