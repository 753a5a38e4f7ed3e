// What a library needs from Windows when it is loaded into a host and when the host ends:
// the pieces of the fiscal library's DllMain that call the system. Windows only (on Linux
// the library's load and unload are a static object's construction and destruction).
// Stateless; called from the library's entry point, under the loader lock.
#pragma once

#if defined(_WIN32)

namespace qv::platform {

// The entry point's reasons, as the loader passes them.
inline constexpr unsigned long kLibraryDetachedFromProcess = 0;
inline constexpr unsigned long kLibraryAttachedToProcess = 1;

// Asks the loader not to call the entry point for every thread the host starts and ends.
void SkipThreadNotifications(void* aLibrary);

// Keeps the library that holds aAddress mapped until the process ends, whatever FreeLibrary
// calls the host makes, so that code its own threads run is never unmapped under them.
void PinLibraryOf(const void* aAddress);

// Registers aFunction with the exit list of the system's C runtime (msvcrt.dll), which the
// host's exit() runs before the process ends and outside the loader lock. False, with
// nothing registered, when the host has no such runtime loaded.
bool CallAtHostExit(void(__cdecl* aFunction)());

}  // namespace qv::platform

#endif
