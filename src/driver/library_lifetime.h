// What happens when the library is loaded and unloaded, in this order:
//   load:   the application object (its log "<host>.log" in "<host folder>LogFiles" written
//           by a tQV_LogWriter), then the registration of the channel classes
//           (channels/built_in_channels.h), then the empty processor tables, then the
//           registration of the processor classes;
//   unload: every queued line of every log is written out and the log threads end, the
//           processor tables are freed (the processors are not destroyed, so their logs get
//           no STOP line), then the application object is destroyed.
// library_main.cpp runs these from the library's own load and unload.
//
// Threading: called by the loader, once each.
#pragma once

namespace qv::driver {

using tRegisterProcessors = void (*)();

// Never throws: an application object that cannot be created (for instance a version string
// with an impossible date) leaves the library without one (the version texts are then
// empty), and a registration that fails leaves its class unregistered.
void LoadLibraryState(tRegisterProcessors aRegisterProcessors) noexcept;
void UnloadLibraryState() noexcept;

}  // namespace qv::driver
