#include "platform/stop_requests.h"

#include <atomic>

#include "platform/windows_headers_win32.h"

namespace qv::platform {

namespace {

HANDLE gStopEvent = nullptr;
std::atomic<DWORD> gControlEvent{0xFFFFFFFF};

BOOL WINAPI OnConsoleControl(DWORD aEvent) {
  gControlEvent = aEvent;
  SetEvent(gStopEvent);
  return TRUE;
}

}  // namespace

StopRequests::StopRequests() {
  gStopEvent = CreateEventW(nullptr, /*bManualReset=*/FALSE, /*bInitialState=*/FALSE, nullptr);
  SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
}

StopRequests::~StopRequests() {
  SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
  CloseHandle(gStopEvent);
  gStopEvent = nullptr;
}

std::string StopRequests::Wait() {
  WaitForSingleObject(gStopEvent, INFINITE);
  DWORD event = gControlEvent.exchange(0xFFFFFFFF);
  if (event == CTRL_C_EVENT) return "Ctrl-C";
  if (event == 0xFFFFFFFF) return "stop requested";
  return "console control event " + std::to_string(event);
}

void StopRequests::RequestStop() { SetEvent(gStopEvent); }

}  // namespace qv::platform
