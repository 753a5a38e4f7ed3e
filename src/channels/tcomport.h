// TComPort: a serial port of the till ("COMn") with its line parameters, as the serial
// channel uses it. It opens the port by its Windows name "\\.\COMn" through the platform's
// serial port, reads with the port's read time-outs and writes 8-bit text.
//
// Every failure is raised as a TComPortException carrying the port's message ("COM3 is not
// a valid COM port.", "Cannot read because COM port is not open.", ...).
//
// Threading: one thread at a time; no locking.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/error.h"
#include "platform/serial_port.h"

namespace qv::channels {

// Parity and stop-bit codes of the port's device-control block.
enum TParity : uint8_t { ptNone = 0, ptOdd = 1, ptEven = 2, ptMark = 3, ptSpace = 4 };
enum TStopBits : uint8_t { sbOne = 0, sbOneHalf = 1, sbTwo = 2 };

class TComPortException : public Error {
 public:
  using Error::Error;
};

class TComPort {
 public:
  // Port aComNumber, closed, with the given line parameters; nothing is opened.
  explicit TComPort(uint32_t aComNumber, uint32_t aBaudRate = 9600, uint8_t aDataBits = 8,
                    TStopBits aStopBits = sbOne, TParity aParity = ptNone);
  // Closes the port when it is open.
  ~TComPort();
  TComPort(const TComPort&) = delete;
  TComPort& operator=(const TComPort&) = delete;

  // Opens "\\.\COMn" exclusively and applies the current line parameters. Fails with
  // "COMn is not a valid COM port." when the port does not exist, "Cannot open COMn (error
  // #e)." for any other refusal, and with the messages of SetLineParameters; after a
  // failure the port is closed. An open port is closed and opened afresh.
  void Open();
  // Discards pending input and output, then releases the port; closed afterwards in any case.
  void Close();
  // Reads the port's settings, replaces baud rate, data bits, stop bits and parity and writes
  // them back; the values are kept only after success. Fails with "GetCommState failed!" or
  // "SetCommState failed!".
  void SetLineParameters(uint32_t aBaudRate, uint8_t aDataBits, TStopBits aStopBits,
                         TParity aParity);
  // Discards pending input and output of an open port ("PurgeComm failed!" when refused);
  // nothing on a closed port.
  void ClearBuffers();

  // Reads up to aCount bytes, waiting at most aTimeoutMs for the first one and 100 ms between
  // two (0: the time-out given before). Returns the number of bytes read, 0 when none came,
  // or -1 when the read failed, with the port's error code in aErrorCode (written only
  // then). Fails with "Cannot read because COM port is not open.", "GetCommTimeouts
  // failed." or "SetCommTimeouts failed.".
  int32_t Read(void* aBuffer, uint32_t aCount, uint32_t aTimeoutMs, uint32_t& aErrorCode);
  // Writes the 8-bit text in one write; true when every byte went out. Fails with "Cannot
  // write because COM port is not open." or "Write to com port failed.".
  bool WriteText(std::string_view aText);
  // Bytes waiting in the input queue; 0 when the port cannot tell or is closed.
  uint32_t GetBytesPending() const;

  // Raise or drop the DTR and RTS lines. Fail on a closed port.
  void SetDTR(bool aAssert);
  void SetRTS(bool aAssert);

  uint32_t ComNumber() const { return fComNumber; }
  uint32_t BaudRate() const { return fBaudRate; }
  uint8_t DataBits() const { return fDataBits; }
  TStopBits StopBits() const { return fStopBits; }
  TParity Parity() const { return fParity; }
  bool ComIsOpen() const { return fIsOpen; }
  std::string DriverVersion() const { return "1.0"; }

 private:
  // The port's read time-out, once per value.
  void GiveReadTimeout(uint32_t aTimeoutMs);
  std::string PortName() const { return "COM" + std::to_string(fComNumber); }

  static constexpr uint32_t kNoTimeout = 0xFFFFFFFFu;

  uint32_t fComNumber;
  uint32_t fBaudRate;
  uint8_t fDataBits;
  TStopBits fStopBits;
  TParity fParity;
  platform::SerialPort fComHandle;
  bool fIsOpen = false;
  uint32_t fCurrentComTimeout = kNoTimeout;
};

}  // namespace qv::channels
