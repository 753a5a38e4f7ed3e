// The local clock and its override, the same on every system. The override is kept under a
// mutex and called outside it, so a test's clock may itself take its time; Now and
// OverrideClock are safe from any thread.
#include <mutex>
#include <utility>

#include "platform/clock.h"
#include "platform/clock_system.h"

namespace qv::platform {
namespace {

std::mutex gClockMutex;
std::function<LocalTime()> gClockOverride;

}  // namespace

LocalTime Now() {
  std::function<LocalTime()> clock;
  {
    std::lock_guard<std::mutex> lock(gClockMutex);
    clock = gClockOverride;
  }
  return clock ? clock() : clock_system::SystemLocalTime();
}

void OverrideClock(std::function<LocalTime()> aClock) {
  std::lock_guard<std::mutex> lock(gClockMutex);
  gClockOverride = std::move(aClock);
}

}  // namespace qv::platform
