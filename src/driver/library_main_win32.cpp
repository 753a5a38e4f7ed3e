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
#include "platform/library_entry.h"

namespace {

std::atomic<bool> gUnloaded{false};

void UnloadOnce() {
  if (!gUnloaded.exchange(true)) qv::driver::UnloadLibraryState();
}

extern "C" void __cdecl UnloadAtHostExit() { UnloadOnce(); }

}  // namespace

// The library's entry point, with the loader's own argument types (module handle, reason,
// reserved pointer) spelled without the system's headers.
extern "C" int __stdcall DllMain(void* aLibrary, unsigned long aReason, void* /*aReserved*/) {
  switch (aReason) {
    case qv::platform::kLibraryAttachedToProcess:
      qv::platform::SkipThreadNotifications(aLibrary);
      qv::platform::PinLibraryOf(reinterpret_cast<const void*>(&UnloadOnce));
      qv::driver::LoadLibraryState(&qv::driver::RegisterBuiltInProcessors);
      // A host built on another C runtime never runs it: see above.
      qv::platform::CallAtHostExit(&UnloadAtHostExit);
      break;
    case qv::platform::kLibraryDetachedFromProcess:
      // Under the loader lock, with the other threads already stopped: see above.
      gUnloaded.store(true);
      break;
    default:
      break;
  }
  return 1;
}
