// What a lock file does the same on every platform: the two ways of taking it, and waiting
// for it. Neither an exclusive flock taken without blocking nor a file opened with share mode
// 0 can be waited for with a deadline, so the waiter looks again after short pauses that grow
// from 1 ms to at most 8 ms. A lock that is let go is taken within those few milliseconds,
// while a long wait costs a few hundred attempts of a few microseconds each.
#include <algorithm>
#include <chrono>

#include "platform/clock.h"
#include "platform/lock_file.h"

namespace qv::platform {

namespace {

constexpr int kFirstPauseMilliseconds = 1;
constexpr int kLongestPauseMilliseconds = 8;

}  // namespace

FileStatus LockFile::TryAcquire(const std::string& aPath) {
  return Acquire(aPath, /*aTruncate=*/true);
}

FileStatus LockFile::TryAcquireWithoutTruncating(const std::string& aPath) {
  return Acquire(aPath, /*aTruncate=*/false);
}

FileStatus LockFile::TryAcquireWithin(const std::string& aPath, int aMilliseconds) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(aMilliseconds);
  int pause = kFirstPauseMilliseconds;
  for (;;) {
    FileStatus attempt = TryAcquire(aPath);
    if (attempt.IsOk()) return attempt;
    const Clock::time_point now = Clock::now();
    if (now >= deadline) return attempt;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();  // at least 1
    SleepMilliseconds(static_cast<int>(std::min<long long>(pause, left)));
    pause = std::min(pause * 2, kLongestPauseMilliseconds);
  }
}

}  // namespace qv::platform
