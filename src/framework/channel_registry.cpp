#include "framework/channel_registry.h"

#include <map>

#include "platform/error.h"

namespace qv::framework {

namespace {

std::map<qvConnectionType, kIOHandlerClass>& ChannelClasses() {
  static std::map<qvConnectionType, kIOHandlerClass> classes;
  return classes;
}

// The type's name as the device XML writes it, or its ordinal for a value without one.
std::string ConnectionTypeName(qvConnectionType aType) {
  const std::string name = kConnection::ConnectionTypeToString(aType);
  return name.empty() ? std::to_string(static_cast<int32_t>(aType)) : name;
}

}  // namespace

void RegisterChannelClass(qvConnectionType aType, kIOHandlerClass aClass) {
  ChannelClasses()[aType] = aClass;
}

std::unique_ptr<kIOHandler> NewChannel(const kConnection& aConnection,
                                       const std::string& aDirectory,
                                       const std::string& aFileName) {
  const auto found = ChannelClasses().find(aConnection.ConnectionType());
  if (found == ChannelClasses().end()) {
    throw Error("Connection type " + ConnectionTypeName(aConnection.ConnectionType()) +
                " is not available in this build");
  }
  return found->second(aConnection, aDirectory, aFileName);
}

}  // namespace qv::framework
