// The registry of channel classes by connection type. The framework knows only the channel
// base (kIOHandler); the concrete channels register their classes here when the library is
// loaded (channels/built_in_channels.h), and kDeviceHandler::CreateIOHandler builds the
// channel of a device's connection type from it.
//
// Threading: classes are registered at load, before any request; after that the registry
// is only read, from any thread.
#pragma once

#include <memory>
#include <string>

#include "framework/device_handler.h"
#include "framework/io_handler.h"

namespace qv::framework {

// The class reference of a channel: builds an unconnected channel with the time-outs of
// aConnection, logging into aDirectory under aFileName (as the kIOHandler constructor does).
// The caller owns the result.
using kIOHandlerClass = std::unique_ptr<kIOHandler> (*)(const kConnection& aConnection,
                                                        const std::string& aDirectory,
                                                        const std::string& aFileName);

// The class reference of a channel class: ChannelClassOf<kIOHandler_TCP>().
template <typename TChannel>
kIOHandlerClass ChannelClassOf() {
  return [](const kConnection& aConnection, const std::string& aDirectory,
            const std::string& aFileName) -> std::unique_ptr<kIOHandler> {
    return std::make_unique<TChannel>(&aConnection, aDirectory, aFileName);
  };
}

// Registers aClass for aType; a second registration of the same type replaces the first.
void RegisterChannelClass(qvConnectionType aType, kIOHandlerClass aClass);

// Builds the channel registered for aConnection's type. Fails with "Connection type <name>
// is not available in this build" when no class is registered for it (before any log is
// created), and with the channel's own messages.
std::unique_ptr<kIOHandler> NewChannel(const kConnection& aConnection,
                                       const std::string& aDirectory, const std::string& aFileName);

}  // namespace qv::framework
