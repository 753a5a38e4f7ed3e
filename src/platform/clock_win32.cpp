// The local clock from GetLocalTime. The override is kept under a mutex and called outside
// it, so a test's clock may itself take its time; Now and OverrideClock are safe from any
// thread.
#include "platform/windows_headers_win32.h"

#include <mutex>

#include "platform/clock.h"

namespace qv::platform {
namespace {

std::mutex gClockMutex;
std::function<LocalTime()> gClockOverride;

LocalTime SystemLocalTime() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  LocalTime result;
  result.year = now.wYear;
  result.month = now.wMonth;
  result.day = now.wDay;
  result.hour = now.wHour;
  result.minute = now.wMinute;
  result.second = now.wSecond > 59 ? 59 : now.wSecond;
  result.millisecond = now.wMilliseconds;
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
  Sleep(static_cast<DWORD>(aMilliseconds));
}

void OverrideClock(std::function<LocalTime()> aClock) {
  std::lock_guard<std::mutex> lock(gClockMutex);
  gClockOverride = std::move(aClock);
}

}  // namespace qv::platform
