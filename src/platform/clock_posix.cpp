// The local clock. The override is kept under a mutex and called outside it, so a test's
// clock may itself take its time; Now and OverrideClock are safe from any thread.
#include <time.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "platform/clock.h"

namespace qv::platform {
namespace {

std::mutex gClockMutex;
std::function<LocalTime()> gClockOverride;

LocalTime SystemLocalTime() {
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

}  // namespace

LocalTime Now() {
  std::function<LocalTime()> clock;
  {
    std::lock_guard<std::mutex> lock(gClockMutex);
    clock = gClockOverride;
  }
  return clock ? clock() : SystemLocalTime();
}

void SleepMilliseconds(int aMilliseconds) {
  if (aMilliseconds <= 0) return;
  std::this_thread::sleep_for(std::chrono::milliseconds(aMilliseconds));
}

void OverrideClock(std::function<LocalTime()> aClock) {
  std::lock_guard<std::mutex> lock(gClockMutex);
  gClockOverride = std::move(aClock);
}

}  // namespace qv::platform
