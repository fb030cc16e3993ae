#include "core/thread/time_stamp.h"

#include <cstdio>

TimeStamp::TimeStamp() { Take(); }

void TimeStamp::Take() {
  calendar_time_ = time(nullptr);
  localtime_r(&calendar_time_, &local_time_);
}

const std::string& TimeStamp::Text(bool long_month) {
  Take();
  const char* const formats[6] = {long_month ? "%B" : "%b", "%d", "%Y", "%H", "%M", "%S"};
  char pieces[6][25];
  for (int i = 0; i < 6; ++i) {
    if (strftime(pieces[i], sizeof pieces[i], formats[i], &local_time_) == 0) pieces[i][0] = '\0';
  }
  char text[6 * 25 + 8];
  snprintf(text, sizeof text, "%s %s, %s %s:%s:%s", pieces[0], pieces[1], pieces[2], pieces[3],
           pieces[4], pieces[5]);
  text_ = text;
  return text_;
}
