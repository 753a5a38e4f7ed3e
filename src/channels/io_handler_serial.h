// kIOHandler_Serial: the channel of the Serial connection type, a device on a serial port of
// the till ("COM3" with its speed, data bits, parity and stop bits). It writes text, reads a
// given number of characters or up to a terminating byte within the channel's read
// time-out, and logs every transfer in the device log ("Write:", "Read:", "Read Timeout:").
//
// Bytes read become the characters of the same code (0 to 255); text written goes out in
// the machine's ANSI code page.
//
// Threading: one thread at a time; reads block the caller for at most the read time-out
// plus 100 ms once bytes stop coming.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "channels/tcomport.h"
#include "framework/io_handler.h"

namespace qv::channels {

class kIOHandler_Serial : public framework::kIOHandler {
 public:
  // Base construction (time-outs, device log, START line), then the port, still closed: its
  // number is taken from the characters 4 to 6 of the connection's SerialPort ("COM12"
  // gives 12). Fails with "'<text>' is not a valid integer value" for a port number that is
  // no integer, "Parity invalid" and "Stop Bits <n> invalid" (only 1 and 2 are taken).
  kIOHandler_Serial(const framework::kConnection* aConnection, const std::string& aDirectory,
                    const std::string& aFileName);
  // Closes the port, then the base part writes the STOP line.
  ~kIOHandler_Serial() override;

  bool Connected() override;
  // The connect banner and the port's settings in the log, then the port is opened (its
  // failures propagate). True when the port is open.
  bool Connect() override;
  std::string ClassName() const override { return "kIOHandler_Serial"; }

  // Closes the port; true when it is closed.
  bool Disconnect() override;
  // Discards the port's pending input and output.
  void ClearBuffers() override;
  // Logs "Write:<aMessage>" and sends aMessage in the ANSI code page. True; the port's
  // failures propagate.
  bool Write(const std::string& aMessage) override;
  // Reads until one of the terminator bytes aChars arrives, and yields everything read with
  // the terminator as its last character. When no byte comes for the read time-out, yields
  // what arrived and logs "Read Timeout:" as an error; never fails on a time-out.
  std::string ReadUpTo(const std::vector<uint8_t>& aChars) override;
  // Reads aCharsNum characters, or fewer when the read time-out passes first ("Read
  // Timeout:" logged as an error).
  std::string ReadChars(int32_t aCharsNum) override;
  // Fails with "ReadAll Unsupported".
  std::string ReadAll() override;
  // The empty text: a serial port has no error texts of its own.
  std::string DecodeError(int32_t aErrorCode) override;
  // Whether bytes wait in the port's input queue.
  bool InputBufferContainsData() override;
  // The serial channel has no settings of its own; ignored.
  void SetParameter(const std::string& aName, const std::string& aValue) override;

  const TComPort& ComPort() const { return *fComPort; }
  TComPort& ComPort() { return *fComPort; }

 private:
  // One byte with the 100 ms port time-out: 1 and the byte, 0 for none, -1 for a failed
  // read with the port's error code.
  int32_t ReadOneByte(uint8_t& aByte, uint32_t& aErrorCode);
  void LogWaitingFor(const std::vector<uint8_t>& aChars);

  std::unique_ptr<TComPort> fComPort;
};

}  // namespace qv::channels
