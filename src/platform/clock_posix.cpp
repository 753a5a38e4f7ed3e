// The local clock from clock_gettime and localtime_r.
#include <time.h>

#include <chrono>
#include <thread>

#include "platform/clock_posix.h"
#include "platform/clock_system.h"

namespace qv::platform {

LocalTime LocalTimeOf(const timespec& aTime) {
  tm local{};
  localtime_r(&aTime.tv_sec, &local);
  LocalTime result;
  result.year = local.tm_year + 1900;
  result.month = local.tm_mon + 1;
  result.day = local.tm_mday;
  result.hour = local.tm_hour;
  result.minute = local.tm_min;
  result.second = local.tm_sec > 59 ? 59 : local.tm_sec;
  result.millisecond = static_cast<int>(aTime.tv_nsec / 1000000);
  return result;
}

LocalTime clock_system::SystemLocalTime() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return LocalTimeOf(now);
}

void SleepMilliseconds(int aMilliseconds) {
  if (aMilliseconds <= 0) return;
  std::this_thread::sleep_for(std::chrono::milliseconds(aMilliseconds));
}

}  // namespace qv::platform
