// The local clock from clock_gettime and localtime_r.
#include <time.h>

#include <chrono>
#include <thread>

#include "platform/clock.h"
#include "platform/clock_system.h"

namespace qv::platform {

LocalTime clock_system::SystemLocalTime() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  LocalTime result;
  result.year = local.tm_year + 1900;
  result.month = local.tm_mon + 1;
  result.day = local.tm_mday;
  result.hour = local.tm_hour;
  result.minute = local.tm_min;
  // A leap second shows as 59, as on Windows.
  result.second = local.tm_sec > 59 ? 59 : local.tm_sec;
  result.millisecond = static_cast<int>(now.tv_nsec / 1000000);
  return result;
}

void SleepMilliseconds(int aMilliseconds) {
  if (aMilliseconds <= 0) return;
  std::this_thread::sleep_for(std::chrono::milliseconds(aMilliseconds));
}

}  // namespace qv::platform
