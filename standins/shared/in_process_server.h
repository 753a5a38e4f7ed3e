// What the two in-process server stand-ins (the signing device's AlgoDll and the OPOS
// Fiscal Printer control) have in common: the exports DllGetClassObject, DllCanUnloadNow and
// DllGetErrorInfo (in_process_server.cpp, compiled into each), served by the server's one
// class factory and its count of living objects, and the error objects of failed calls.
//
// Threading: any thread; the count is atomic.
#pragma once

#include <atomic>
#include <optional>
#include <string>

#include "platform/com.h"

namespace qv::standins {

// The class factory of the server's one class; each server defines it.
extern platform::InProcessClassFactory gClassFactory;

// The server's objects alive now: each object counts itself in on construction and out on
// destruction. The library may be unloaded when it is 0 and the factory is not locked.
extern std::atomic<long> gLiveObjects;

// Leaves an error object with aDescription (from aSource, about the interface aIid) on the
// calling thread, for the caller's DllGetErrorInfo, and gives aResult back. Leaves none when
// aDescription is nullopt.
platform::HRESULT FailWithErrorInfo(platform::HRESULT aResult, const char* aSource,
                                    const platform::Guid& aIid,
                                    const std::optional<std::string>& aDescription);

}  // namespace qv::standins
