// The local clock from GetLocalTime.
#include "platform/clock_win32.h"

#include "platform/clock_system.h"

namespace qv::platform {

LocalTime LocalTimeOf(const SYSTEMTIME& aTime) {
  LocalTime result;
  result.year = aTime.wYear;
  result.month = aTime.wMonth;
  result.day = aTime.wDay;
  result.hour = aTime.wHour;
  result.minute = aTime.wMinute;
  result.second = aTime.wSecond > 59 ? 59 : aTime.wSecond;
  result.millisecond = aTime.wMilliseconds;
  return result;
}

LocalTime clock_system::SystemLocalTime() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return LocalTimeOf(now);
}

void SleepMilliseconds(int aMilliseconds) {
  if (aMilliseconds <= 0) return;
  Sleep(static_cast<DWORD>(aMilliseconds));
}

}  // namespace qv::platform
