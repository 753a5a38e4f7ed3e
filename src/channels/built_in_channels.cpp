#include "channels/built_in_channels.h"

#include "channels/io_handler_com.h"
#include "channels/io_handler_dll.h"
#include "channels/io_handler_http.h"
#include "channels/io_handler_opos.h"
#include "channels/io_handler_serial.h"
#include "channels/io_handler_spool.h"
#include "channels/io_handler_tcp.h"
#include "framework/channel_registry.h"

namespace qv::channels {

void RegisterBuiltInChannels() {
  using framework::ChannelClassOf;
  using framework::qvConnectionType;
  using framework::RegisterChannelClass;
  RegisterChannelClass(qvConnectionType::OPOS, ChannelClassOf<kIOHandler_OPOS>());
  RegisterChannelClass(qvConnectionType::TCP, ChannelClassOf<kIOHandler_TCP>());
  RegisterChannelClass(qvConnectionType::HTTP, ChannelClassOf<kIOHandler_HTTP>());
  RegisterChannelClass(qvConnectionType::Serial, ChannelClassOf<kIOHandler_Serial>());
  RegisterChannelClass(qvConnectionType::DLL, ChannelClassOf<kIOHandler_Dll>());
  RegisterChannelClass(qvConnectionType::Com, ChannelClassOf<kIOHandler_Com>());
  RegisterChannelClass(qvConnectionType::Spool, ChannelClassOf<kIOHandler_Spool>());
}

}  // namespace qv::channels
