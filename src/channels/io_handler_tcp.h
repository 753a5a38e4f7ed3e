// kIOHandler_TCP: the channel of the TCP connection type, a plain TCP client connection to
// Address:Port. It writes text or bytes and reads up to a terminator, a number of
// characters, a number of bytes, or everything until the peer closes, and logs every
// transfer in the device log ("Write:", "Read:", "Read Timeout:", "... Unexpected error:").
//
// Every fiscal processor owns one as its log and error channel and never connects it, so
// construction opens nothing: only Connect does.
//
// Text goes out 8-bit (each character 0 to 255 as the byte of that value, others as "?")
// or, with a CodePage set, in that code page; every byte read becomes the character of the
// same code.
//
// Threading: one thread at a time; a read blocks the caller for at most the read time-out
// per byte awaited (ReadUpTo and ReadAll also stop once the read time-out has passed since
// they began).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/io_handler.h"
#include "platform/socket.h"

namespace qv::channels {

class kIOHandler_TCP : public framework::kIOHandler {
 public:
  // Base construction (time-outs, device log, START line), then the client, unconnected,
  // for the connection's Address and Port with the channel's connect time-out.
  kIOHandler_TCP(const framework::kConnection* aConnection, const std::string& aDirectory,
                 const std::string& aFileName);
  // Closes a connection still open, then the base part writes the STOP line.
  ~kIOHandler_TCP() override;

  // The client's connected state; false when asking fails.
  bool Connected() override;
  // The connect banner, "Host=" and "Port=", then connects unless connected. Never fails:
  // a failure is logged as "Connect Error:<message>" and gives false.
  bool Connect() override;
  std::string ClassName() const override { return "kIOHandler_TCP"; }

  // Closes the connection when open; true when it is no longer connected.
  bool Disconnect() override;
  // Drops what was received and not read yet.
  void ClearBuffers() override;
  // Logs "Write:<aMessage>" and sends the text (8-bit, or in CodePage). True; transport
  // failures propagate.
  bool Write(const std::string& aMessage) override;
  // Logs "Write:" with the bytes as ASCII text (others as "?") and sends them. True;
  // transport failures propagate.
  bool WriteBytes(const std::string& aBytes);
  // Reads until one of the terminator bytes aChars arrives and yields what was read, the
  // terminator included. Logs "Waiting for:", then "Read:" or, when the read time-out passes
  // since the call began, "Read Timeout:" as an error; a failed read (no byte within the
  // read time-out, a closed connection) is logged as "ReadUpTo Unexpected error:<message>".
  // Never fails.
  std::string ReadUpTo(const std::vector<uint8_t>& aChars) override;
  // Reads exactly aCharsNum bytes as characters and logs "Read:"; a failed read is logged
  // as "ReadChars Unexpected error:<message>" and gives the empty text. Never fails.
  std::string ReadChars(int32_t aCharsNum) override;
  // Reads until the peer closes ("Read:"), the read time-out passes since the call began
  // ("Read Timeout:") or a read fails ("ReadAll Unexpected error:"). Never fails.
  std::string ReadAll() override;
  // Exactly aCount bytes with the client's current read time-out (no limit before any other
  // read has set one); nothing is logged; failures propagate.
  std::string ReadBytes(int32_t aCount);
  // The empty text: the TCP channel has no error texts of its own.
  std::string DecodeError(int32_t aErrorCode) override;
  // Whether received bytes wait to be read; never waits for the peer.
  bool InputBufferContainsData() override;
  // The TCP channel has no settings of its own; ignored.
  void SetParameter(const std::string& aName, const std::string& aValue) override;

  const platform::TcpClient& TCPClient() const { return fTCPClient; }
  platform::TcpClient& TCPClient() { return fTCPClient; }

 private:
  void LogWaitingFor(const std::vector<uint8_t>& aChars);
  // The client waits at most the channel's read time-out for each byte.
  void UseChannelReadTimeout();

  platform::TcpClient fTCPClient;
};

}  // namespace qv::channels
