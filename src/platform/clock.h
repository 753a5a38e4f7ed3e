// The local clock, with milliseconds.
#pragma once

#include <functional>

namespace qv::platform {

struct LocalTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

LocalTime Now();
void SleepMilliseconds(int aMilliseconds);
// Replaces the clock for this process (an empty function: back to the real clock). Tests
// use it to name daily files and stamp receipts at a chosen time.
void OverrideClock(std::function<LocalTime()> aClock);

}  // namespace qv::platform
