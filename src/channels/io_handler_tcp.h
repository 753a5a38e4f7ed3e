// kIOHandler_TCP: the channel of the TCP connection type, a plain TCP client connection to
// Address:Port. Every fiscal processor owns one as its log and error channel and never
// connects it, so its construction and destruction (with the START and STOP lines of the
// device log) happen for every processor.
//
// This build carries the channel's client settings but no socket transport: Connected is
// false and Connect logs the banner, the host and port and a "Connect Error", and yields
// false. The transfer operations come with the socket transport.
//
// Threading: one thread at a time.
#pragma once

#include <cstdint>
#include <string>

#include "framework/io_handler.h"

namespace qv::channels {

// The TCP client of a channel: the peer it talks to and how long a connect may take.
struct TcpClientSettings {
  std::string host;
  uint16_t port = 0;
  int32_t connectTimeout = 0;
};

class kIOHandler_TCP : public framework::kIOHandler {
 public:
  // Base construction (time-outs, device log, START line), then the client for the
  // connection's Address and Port with the channel's connect time-out.
  kIOHandler_TCP(const framework::kConnection* aConnection, const std::string& aDirectory,
                 const std::string& aFileName);
  ~kIOHandler_TCP() override;

  bool Connected() override;
  bool Connect() override;
  std::string ClassName() const override { return "kIOHandler_TCP"; }

  const TcpClientSettings& TCPClient() const { return fTCPClient; }

 private:
  TcpClientSettings fTCPClient;
};

}  // namespace qv::channels
