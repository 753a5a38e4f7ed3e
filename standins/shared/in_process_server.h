// What the two in-process server stand-ins (the signing device's AlgoDll and the OPOS
// Fiscal Printer control) have in common: the exports DllGetClassObject, DllCanUnloadNow and
// DllGetErrorInfo (in_process_server.cpp, compiled into each), served by the server's one
// class factory and its count of living objects.
//
// Threading: any thread; the count is atomic.
#pragma once

#include <atomic>

#include "platform/com.h"

namespace qv::standins {

// The class factory of the server's one class; each server defines it.
extern platform::InProcessClassFactory gClassFactory;

// The server's objects alive now: each object counts itself in on construction and out on
// destruction. The library may be unloaded when it is 0 and the factory is not locked.
extern std::atomic<long> gLiveObjects;

}  // namespace qv::standins
