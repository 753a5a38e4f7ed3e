// The failure-injection seam of the file functions, shared by every platform. One countdown
// per operation, kept under a mutex, so that a test may arm it while the store works on
// another thread.
#include <array>
#include <mutex>

#include "platform/file_system.h"

namespace qv::platform {
namespace {

constexpr std::size_t kOperationCount = 4;

std::mutex gFaultMutex;
std::array<int, kOperationCount> gCountdown{};  // 0: disarmed

std::size_t IndexOf(FileOperation aOperation) { return static_cast<std::size_t>(aOperation); }

}  // namespace

void InjectFileFault(FileOperation aOperation, int aNth) {
  std::lock_guard<std::mutex> lock(gFaultMutex);
  gCountdown[IndexOf(aOperation)] = aNth > 0 ? aNth : 0;
}

bool ShouldFailFileOperation(FileOperation aOperation) {
  std::lock_guard<std::mutex> lock(gFaultMutex);
  int& countdown = gCountdown[IndexOf(aOperation)];
  if (countdown == 0) return false;
  --countdown;
  return countdown == 0;
}

}  // namespace qv::platform
