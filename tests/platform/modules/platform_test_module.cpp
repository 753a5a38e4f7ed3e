// A small loadable library for the dynamic library tests: it stands in for a companion
// library such as the receipt-printer driver and exports one function with C linkage.
#include <cstdint>

#include "platform/export.h"

extern "C" QV_EXPORT int32_t QV_STDCALL PlatformTestModuleAnswer() { return 42; }
