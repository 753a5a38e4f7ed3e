// Helper of the lock file tests, a second till process sharing the working directory.
//   platform_lock_holder hold <path> <milliseconds>: takes the lock, prints "locked", keeps
//     it for the given time, prints "released" and ends (exit code 1 when refused).
//   platform_lock_holder try <path>: tries once and prints "locked" or "refused: <text>".
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/clock.h"
#include "platform/lock_file.h"
#include "support/file_status_assertions.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: platform_lock_holder hold|try <path> [milliseconds]\n");
    return 2;
  }
  const std::string mode = argv[1];
  qv::platform::LockFile lock;
  std::string error;
  if (!Ok(lock.TryAcquire(argv[2]), error)) {
    std::printf("refused: %s\n", error.c_str());
    return mode == "try" ? 0 : 1;
  }
  std::printf("locked\n");
  std::fflush(stdout);
  if (mode == "hold" && argc > 3) qv::platform::SleepMilliseconds(std::atoi(argv[3]));
  lock.Release();
  std::printf("released\n");
  return 0;
}
