// The load and unload of the fiscal processor library "QVFP_CYKAVREN_10": one object whose
// construction runs when the library is loaded and whose destruction runs when it is
// unloaded (see driver/library_lifetime.h for what happens then).
#include "driver/library_lifetime.h"
#include "driver/processor_registry.h"

namespace {

class tLibraryLifetime {
 public:
  tLibraryLifetime() { qv::driver::LoadLibraryState(&qv::driver::RegisterBuiltInProcessors); }
  ~tLibraryLifetime() { qv::driver::UnloadLibraryState(); }
  tLibraryLifetime(const tLibraryLifetime&) = delete;
  tLibraryLifetime& operator=(const tLibraryLifetime&) = delete;
};

const tLibraryLifetime gLibraryLifetime;

}  // namespace
