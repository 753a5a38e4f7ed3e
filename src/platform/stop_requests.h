// The requests to stop a long-running program: Ctrl-C and the system's termination request
// (SIGINT and SIGTERM on Linux, the console control events on Windows), and a stop asked
// for by the program itself, all arriving at one wait.
//
// Threading: one object per process, created on the main thread before any other thread
// starts (on Linux the signals are blocked for every thread started afterwards and taken
// only by Wait). Wait runs on one thread; RequestStop may be called from any thread.
#pragma once

#include <string>

namespace qv::platform {

class StopRequests {
 public:
  StopRequests();
  ~StopRequests();
  StopRequests(const StopRequests&) = delete;
  StopRequests& operator=(const StopRequests&) = delete;

  // Blocks until a stop is requested; gives what asked for it ("SIGTERM", "SIGINT",
  // "Ctrl-C", "stop requested").
  std::string Wait();
  // Ends a Wait that is running or the next one.
  void RequestStop();
};

}  // namespace qv::platform
