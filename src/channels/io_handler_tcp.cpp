#include "channels/io_handler_tcp.h"

#include "framework/device_handler.h"

namespace qv::channels {

using framework::let_error;
using framework::let_info;

kIOHandler_TCP::kIOHandler_TCP(const framework::kConnection* aConnection,
                               const std::string& aDirectory, const std::string& aFileName)
    : kIOHandler(aConnection, aDirectory, aFileName) {
  if (aConnection != nullptr) {
    fTCPClient.host = aConnection->Address();
    fTCPClient.port = static_cast<uint16_t>(aConnection->Port());
  }
  fTCPClient.connectTimeout = ConnectTimeout();
}

// The client holds no open connection, so nothing is left to close before the base part
// writes the STOP line.
kIOHandler_TCP::~kIOHandler_TCP() = default;

bool kIOHandler_TCP::Connected() { return false; }

bool kIOHandler_TCP::Connect() {
  kIOHandler::Connect();
  Debug(let_info, "Host=" + fTCPClient.host);
  Debug(let_info, "Port=" + std::to_string(fTCPClient.port));
  WriteLog(let_error, "Connect Error", "TCP transport is not available in this build");
  return false;
}

}  // namespace qv::channels
