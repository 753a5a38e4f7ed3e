// Holds the counters lock of its working directory for a while, as a till process in the
// middle of a Z-report would; given a counters file, the lock of that till's folder too.
//
// counters_lock_holder <milliseconds> [<counters file>]
//
// Prints "locked" once the lock is held and "released" after letting it go; exit code 1
// (message on stderr) when the lock cannot be taken.
#include <cstdio>
#include <cstdlib>

#include "kavren/counters_store.h"
#include "platform/clock.h"
#include "platform/error.h"

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: counters_lock_holder MILLISECONDS [COUNTERS_FILE]\n");
    return 2;
  }
  try {
    qv::kavren::kFiscalProcessorCounters counters;
    if (argc == 3) counters.Init(argv[2], "T1");
    counters.Lock();
    std::printf("locked\n");
    std::fflush(stdout);
    qv::platform::SleepMilliseconds(static_cast<int>(std::strtol(argv[1], nullptr, 10)));
    counters.Unlock();
    std::printf("released\n");
    std::fflush(stdout);
    return 0;
  } catch (const qv::Error& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
}
