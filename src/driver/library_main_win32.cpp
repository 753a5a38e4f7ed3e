// The load and unload of the fiscal processor library on Windows.
//
// The loader calls DllMain while it holds the loader lock, and a thread can neither start
// running nor end while that lock is held. Joining the log threads there (as the unload
// does) would therefore hang a host that calls FreeLibrary, and at process end Windows has
// already stopped every other thread, possibly in the middle of a log line with its queue
// locked. So:
//   load:   the library pins itself in memory (FreeLibrary never unmaps the code that the
//           log threads run), builds its state (driver/library_lifetime.h) and asks the
//           host's C runtime to call the unload when the host calls exit(), which happens
//           before Windows stops the threads and outside the loader lock;
//   unload: runs once, from that exit call: every queued log line is written out and the
//           log threads are joined. A host whose runtime does not call it (one that ends
//           with ExitProcess) only loses the lines still queued at that moment;
//   DLL_PROCESS_DETACH: joins nothing; the system takes back memory and handles.
#include <atomic>

#include "driver/library_lifetime.h"
#include "driver/processor_registry.h"
// clang-format off
#include "platform/windows_headers_win32.h"
// clang-format on

namespace {

std::atomic<bool> gUnloaded{false};

void UnloadOnce() {
  if (!gUnloaded.exchange(true)) qv::driver::UnloadLibraryState();
}

extern "C" void __cdecl UnloadAtHostExit() { UnloadOnce(); }

// Keeps this library mapped until the process ends, whatever FreeLibrary calls the host
// makes.
void PinLibrary() {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&PinLibrary), &self);
}

// Registers the unload with the process-wide exit list of the system's C runtime
// (msvcrt.dll), which exit() runs before the process ends. A host built on another runtime
// never runs it.
void RegisterUnloadAtHostExit() {
  HMODULE runtime = GetModuleHandleW(L"msvcrt.dll");
  if (runtime == nullptr) return;
  using AtExitFunction = int(__cdecl*)(void(__cdecl*)());
  auto atExit = reinterpret_cast<AtExitFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(runtime, "atexit")));
  if (atExit != nullptr) atExit(&UnloadAtHostExit);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE aModule, DWORD aReason, LPVOID /*aReserved*/) {
  switch (aReason) {
    case DLL_PROCESS_ATTACH:
      DisableThreadLibraryCalls(aModule);
      PinLibrary();
      qv::driver::LoadLibraryState(&qv::driver::RegisterBuiltInProcessors);
      RegisterUnloadAtHostExit();
      break;
    case DLL_PROCESS_DETACH:
      // Under the loader lock, with the other threads already stopped: see above.
      gUnloaded.store(true);
      break;
    default:
      break;
  }
  return TRUE;
}
