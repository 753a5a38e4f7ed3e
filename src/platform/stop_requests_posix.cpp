#include "platform/stop_requests.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace qv::platform {

namespace {

// Set by RequestStop before it raises SIGTERM, so that Wait can tell the two apart.
std::atomic<bool> gStopAskedByProgram{false};

sigset_t StopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  return signals;
}

}  // namespace

StopRequests::StopRequests() {
  sigset_t signals = StopSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

StopRequests::~StopRequests() = default;

std::string StopRequests::Wait() {
  sigset_t signals = StopSignals();
  int signal = 0;
  while (sigwait(&signals, &signal) != 0) {
  }
  if (gStopAskedByProgram.exchange(false)) return "stop requested";
  return signal == SIGINT ? "SIGINT" : "SIGTERM";
}

void StopRequests::RequestStop() {
  gStopAskedByProgram = true;
  // Every thread blocks the signal, so it stays pending until Wait takes it.
  kill(getpid(), SIGTERM);
}

}  // namespace qv::platform
