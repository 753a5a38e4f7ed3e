// The processor classes built into this library. The load routine calls
// RegisterBuiltInProcessors once, right after the processor tables were created; each
// processor module adds the registration of its class here, under its driver name.
#include "driver/processor_registry.h"

namespace qv::driver {

void RegisterBuiltInProcessors() {
  // The signing processor registers "QVFP_CYKAVREN_10" here.
}

}  // namespace qv::driver
