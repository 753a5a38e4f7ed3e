// A small device library for the library channel tests: it stands in for a device maker's
// library and keeps a counter that lives as long as the library stays loaded.
#include <cstdint>

#include "platform/export.h"

namespace {

int32_t gCalls = 0;

}  // namespace

// 42, the answer that tells the test it reached this library.
extern "C" QV_EXPORT int32_t QV_STDCALL DeviceAnswer() { return 42; }

// How many times it was called since the library was loaded.
extern "C" QV_EXPORT int32_t QV_STDCALL DeviceCallCount() { return ++gCalls; }
