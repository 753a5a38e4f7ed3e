// The local clock from GetLocalTime.
#include "platform/windows_headers_win32.h"

#include "platform/clock.h"
#include "platform/clock_system.h"

namespace qv::platform {

LocalTime clock_system::SystemLocalTime() {
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

void SleepMilliseconds(int aMilliseconds) {
  if (aMilliseconds <= 0) return;
  Sleep(static_cast<DWORD>(aMilliseconds));
}

}  // namespace qv::platform
