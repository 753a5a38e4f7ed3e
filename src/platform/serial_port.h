// A serial communications port, the way the Windows communications functions offer it: a
// device opened exclusively by its name ("\\.\COM3"), line parameters (baud rate, data bits,
// stop bits, parity) changed in place, reads bounded by an interval and a total time-out,
// writes of a whole buffer, purging of both queues and the DTR and RTS lines.
//
// On Linux the port is a terminal device put in raw mode. The Windows name of port n
// ("\\.\COMn" or "COMn") maps to the path in the environment variable QVFP_COM<n> when it is
// set, else to /dev/ttyS<n-1>; so a till can point COM3 at /dev/ttyUSB0 and a test at one
// end of a pseudo-terminal.
//
// Threading: one thread at a time per port.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv::platform {

// The ordinals are the codes of the Windows device-control block.
enum class SerialParity : uint8_t { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };
enum class SerialStopBits : uint8_t { One = 0, OneHalf = 1, Two = 2 };

// Which half of a read-modify-write of the port's settings failed.
enum class SerialSettingsResult { Ok, ReadFailed, WriteFailed };

// The path opened for a Windows port name "\\.\COMn" or "COMn" (letter case ignored). Any
// other name is taken as a path as it is. Port 0 maps to no device (the empty path).
std::string SerialDevicePath(const std::string& aDeviceName);

class SerialPort {
 public:
  SerialPort() = default;
  // Closes the port when it is open.
  ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens the device for reading and writing, shared with no other opener, and puts it in raw
  // mode (no echo, no line editing, no character translation). Returns 0, or the system
  // error code when it cannot be opened: 2 when the device does not exist, 16 when another
  // opener holds it. A port that is already open is closed first.
  int Open(const std::string& aDeviceName);
  bool IsOpen() const { return fHandle >= 0; }

  // Replaces the baud rate, byte size, stop bits and parity of the port's current settings;
  // every other setting stays. Rates and sizes the device does not take (a baud rate of 0,
  // 9 data bits, 1.5 stop bits on Linux) make the write half fail.
  SerialSettingsResult SetLineParameters(uint32_t aBaudRate, uint8_t aDataBits,
                                         SerialStopBits aStopBits, SerialParity aParity);
  // Read time-outs in milliseconds: a read ends aTotalMs after it began, or aIntervalMs after
  // the last byte once one byte has come, whichever is first (0: no such limit). Write
  // time-outs are not used.
  SerialSettingsResult SetReadTimeouts(uint32_t aIntervalMs, uint32_t aTotalMs);

  // Reads up to aCount bytes into aBuffer within the read time-outs. Returns the number of
  // bytes read (0 when the time-out passed without data), or -1 with aErrorCode set to the
  // system error code when the read fails; a failure is reported only once the total
  // time-out has passed, so that a caller who retries does not spin on a vanished device.
  int32_t Read(void* aBuffer, uint32_t aCount, uint32_t& aErrorCode);
  // Writes every byte of aBytes, waiting while the device's output queue is full. Returns
  // the number of bytes written, or -1 with aErrorCode set when the write fails.
  int64_t Write(std::string_view aBytes, int& aErrorCode);

  // Discards the pending input and output. False when the device refuses.
  bool Purge();
  // Bytes waiting in the input queue, or -1 when the device cannot tell.
  int32_t BytesPending() const;
  // Raises (true) or drops (false) the DTR or RTS line. False when the device refuses.
  bool SetDTR(bool aAssert);
  bool SetRTS(bool aAssert);

  // Releases the device. Nothing happens on a closed port.
  void Close();

 private:
  int fHandle = -1;
  uint32_t fIntervalTimeout = 0;
  uint32_t fTotalTimeout = 0;
};

}  // namespace qv::platform
