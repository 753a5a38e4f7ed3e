// The processor classes built into this library. The load routine calls
// RegisterBuiltInProcessors once, right after the processor tables were created; each
// processor module adds the registration of its class here, under its driver name.
#include "driver/processor_registry.h"
#include "kavren/fiscal_processor_kavren.h"

namespace qv::driver {

void RegisterBuiltInProcessors() {
  RegisterProcessorClass(kavren::kFiscalProcessor_KAVREN::kDriverName,
                         framework::ProcessorClassOf<kavren::kFiscalProcessor_KAVREN>());
}

}  // namespace qv::driver
