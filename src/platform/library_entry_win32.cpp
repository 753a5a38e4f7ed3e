#include "platform/library_entry.h"

// clang-format off
#include "platform/windows_headers_win32.h"
// clang-format on

namespace qv::platform {

void SkipThreadNotifications(void* aLibrary) {
  DisableThreadLibraryCalls(static_cast<HMODULE>(aLibrary));
}

void PinLibraryOf(const void* aAddress) {
  HMODULE library = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     static_cast<LPCWSTR>(aAddress), &library);
}

bool CallAtHostExit(void(__cdecl* aFunction)()) {
  HMODULE runtime = GetModuleHandleW(L"msvcrt.dll");
  if (runtime == nullptr) return false;
  using AtExitFunction = int(__cdecl*)(void(__cdecl*)());
  auto atExit = reinterpret_cast<AtExitFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(runtime, "atexit")));
  return atExit != nullptr && atExit(aFunction) == 0;
}

}  // namespace qv::platform
