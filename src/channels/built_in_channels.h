// The channel classes of this library, one per connection type. The library's load routine
// registers them once, before any processor is opened; test programs that open devices
// without loading the library register them themselves.
#pragma once

namespace qv::channels {

// Registers every channel class of this folder in the framework's channel registry under
// its connection type. Registering again replaces the classes with themselves.
void RegisterBuiltInChannels();

}  // namespace qv::channels
