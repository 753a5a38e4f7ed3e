// The channel factory of the device configuration: one channel class per connection type.

#include "base/utils.h"
#include "channels/io_handler_com.h"
#include "channels/io_handler_dll.h"
#include "channels/io_handler_http.h"
#include "channels/io_handler_opos.h"
#include "channels/io_handler_serial.h"
#include "channels/io_handler_spool.h"
#include "channels/io_handler_tcp.h"
#include "framework/device_handler.h"
#include "framework/io_handler.h"
#include "platform/error.h"

namespace qv::framework {

namespace {

const char* ConnectionTypeName(qvConnectionType aType) {
  switch (aType) {
    case qvConnectionType::OPOS:
      return "OPOS";
    case qvConnectionType::TCP:
      return "TCP";
    case qvConnectionType::HTTP:
      return "HTTP";
    case qvConnectionType::Serial:
      return "Serial";
    case qvConnectionType::DLL:
      return "DLL";
    case qvConnectionType::Com:
      return "Com";
    case qvConnectionType::Spool:
      return "Spool";
  }
  return "?";
}

std::unique_ptr<kIOHandler> NewChannel(const kConnection& aConnection, const std::string& aLogDir,
                                       const std::string& aFileName) {
  switch (aConnection.ConnectionType()) {
    case qvConnectionType::OPOS:
      return std::make_unique<channels::kIOHandler_OPOS>(&aConnection, aLogDir, aFileName);
    case qvConnectionType::TCP:
      return std::make_unique<channels::kIOHandler_TCP>(&aConnection, aLogDir, aFileName);
    case qvConnectionType::HTTP:
      return std::make_unique<channels::kIOHandler_HTTP>(&aConnection, aLogDir, aFileName);
    case qvConnectionType::Serial:
      return std::make_unique<channels::kIOHandler_Serial>(&aConnection, aLogDir, aFileName);
    case qvConnectionType::Com:
      return std::make_unique<channels::kIOHandler_Com>(&aConnection, aLogDir, aFileName);
    case qvConnectionType::DLL:
      return std::make_unique<channels::kIOHandler_Dll>(&aConnection, aLogDir, aFileName);
    case qvConnectionType::Spool:
      return std::make_unique<channels::kIOHandler_Spool>(&aConnection, aLogDir, aFileName);
    default:
      throw Error(std::string("Connection type ") +
                  ConnectionTypeName(aConnection.ConnectionType()) +
                  " is not available in this build");
  }
}

}  // namespace

std::unique_ptr<kIOHandler> kDeviceHandler::CreateIOHandler(const std::string& aLogDir) const {
  const std::string fileName = fDriver + "_" + fLogId;
  std::unique_ptr<kIOHandler> channel = NewChannel(fConnection, aLogDir, fileName);
  channel->SetHexLog(base::LowerCase(GetParameter("HexLog")) == "true");
  return channel;
}

}  // namespace qv::framework
