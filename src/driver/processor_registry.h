// The two process-wide tables of the driver: the registry of processor classes by driver
// name and the table of open processors by handle, with the handle counter.
//
// Both tables are created empty when the library is loaded, after the application object
// and before the processor modules register their classes; they are freed at unload. The
// processors themselves are never destroyed while the library is loaded: the table of open
// processors does not own them, and at unload their logs are written out (their log threads
// end) but the processors are left alive, so their logs get no STOP line.
//
// Threading: none. The host makes one call at a time; nothing here takes a lock.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "framework/fiscal_processor.h"

namespace qv::driver {

using framework::kFiscalProcessor;
using framework::kFiscalProcessorClass;

// Driver name (exact, case-sensitive) -> processor class.
using tProcessorClasses = std::map<std::string, kFiscalProcessorClass>;
// Handle -> open processor (not owned).
using tProcessorHandles = std::map<int32_t, kFiscalProcessor*>;

// Creates both tables empty and sets the handle counter to 0 (library load). Creating them
// again while they exist keeps the existing ones.
void CreateProcessorTables();
// Library unload: writes out every queued log line of every live log writer and ends their
// threads, then frees both tables. The processors are not destroyed.
void FreeProcessorTables();
bool ProcessorTablesExist();

// The tables; they fail with "Processor tables not created" outside load and unload.
tProcessorClasses& ProcessorClasses();
tProcessorHandles& ProcessorHandles();
// The last handle given out: 0 at load, then 1, 2, 3, ... Never reused.
int32_t& LastProcessorHandle();

// Registers aClass under aDriverName (a processor module calls it at load). A second
// registration of the same name replaces the first.
void RegisterProcessorClass(const std::string& aDriverName, kFiscalProcessorClass aClass);

// Takes over a newly constructed processor for the rest of the library's life: advances the
// handle counter, gives the processor the new handle and enters it in ProcessorHandles.
// Returns the processor.
kFiscalProcessor& AdoptProcessor(std::unique_ptr<kFiscalProcessor> aProcessor);

// Registers the processor classes built into this library (the load routine calls it once,
// after the tables were created). Each processor module of the library adds its
// registration here.
void RegisterBuiltInProcessors();

}  // namespace qv::driver
