// kIOHandler: the channel through which a driver talks to its device, logs and reports
// errors. It owns the device log (a daily tQV_LogWriter framed by START and STOP lines),
// carries the error state (ErrorFound, ErrorCode, ErrorMessage) and the time-outs, and is
// the base of the concrete channels (kIOHandler_TCP, and the serial, COM, HTTP, OPOS,
// library and spooler channels of channels/, which register their classes by connection
// type in channel_registry.h). A fiscal processor uses its channel only for logging and
// for the error state; it never connects it.
//
// Every concrete channel implements the transport operations (Connected, Disconnect,
// ClearBuffers, Write, ReadUpTo, ReadChars, ReadAll, DecodeError, InputBufferContainsData,
// SetParameter), pure virtual here in that order; Connect writes the connect banner before
// a channel opens its transport.
//
// Threading: one thread at a time per channel; the log lines go through the writer's queue,
// so no operation here waits for the disk.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/currency.h"
#include "framework/log_writer.h"

namespace qv::framework {

class kConnection;

class kIOHandler {
 public:
  // Copies the time-outs from aConnection when it is given. With a non-empty aDirectory and
  // aFileName, creates the daily log "<aDirectory>\<aFileName>_<yyyymmdd>.log" (no message
  // length limit; each line goes to the file of its day, and each day's file starts with the
  // START line) and writes the START line; otherwise the channel logs nothing. Fails with
  // the log writer's messages ("Invalid characters in path", ...).
  kIOHandler(const kConnection* aConnection, const std::string& aDirectory,
             const std::string& aFileName);
  // Writes the STOP line and destroys the writer, which writes out every queued line.
  virtual ~kIOHandler();
  kIOHandler(const kIOHandler&) = delete;
  kIOHandler& operator=(const kIOHandler&) = delete;

  // Whether the transport is open.
  virtual bool Connected() = 0;
  // Writes the connect banner (asterisks, class name, Version, ConnectTimeout=,
  // ReadTimeout=) and yields true; channels call it first, then open their transport.
  virtual bool Connect();
  // The transport operations, in their fixed order; every channel implements them (a channel
  // without the facility fails with "<Operation> Unsupported" or answers empty).
  // Closes the transport; says whether the channel is closed afterwards.
  virtual bool Disconnect() = 0;
  // Discards pending input and output.
  virtual void ClearBuffers() = 0;
  virtual bool Write(const std::string& aMessage) = 0;
  // Reads until one of the given byte values arrives.
  virtual std::string ReadUpTo(const std::vector<uint8_t>& aChars) = 0;
  // Reads a given number of characters.
  virtual std::string ReadChars(int32_t aCharsNum) = 0;
  // Reads what is available.
  virtual std::string ReadAll() = 0;
  // The channel's text for an error code.
  virtual std::string DecodeError(int32_t aErrorCode) = 0;
  virtual bool InputBufferContainsData() = 0;
  // A channel-specific setting.
  virtual void SetParameter(const std::string& aName, const std::string& aValue) = 0;
  // The channel's class name as written in the connect banner ("kIOHandler_TCP").
  virtual std::string ClassName() const = 0;

  // aMessage unchanged into the log; nothing without a log writer. Fails only with
  // "Log filename is empty ".
  void Debug(tQV_MessageType aEntryType, const std::string& aMessage);
  // "aTitle:aMessage", with HexLog "aTitle:aMessage [<HexString(aMessage)>]".
  void WriteLog(tQV_MessageType aEntryType, const std::string& aTitle, const std::string& aMessage);

  void SetCustomError(int32_t aErrorCode, const std::string& aErrorMessage);
  void ResetCustomError();
  bool ErrorFound() const { return fErrorFound; }
  int32_t ErrorCode() const { return fErrorCode; }
  const std::string& ErrorMessage() const { return fErrorMessage; }

  // A channel that is not used for a while gives back its log thread (the queued lines are
  // written first; a line logged meanwhile is written on the caller's thread), and takes a
  // new one with ResumeLog. Nothing for a channel without a log.
  void SuspendLog();
  void ResumeLog();

  // Full path of the log file; the empty text for a channel without a log.
  std::string GetLogFileName() const;

  // Logs the change, then (only for aNewTimeout > 0) keeps the current ReadTimeout and
  // sets aNewTimeout. ResetTemporaryReadTimeout logs and restores the kept value when one
  // was ever kept; the kept value is not cleared.
  void SetTemporaryReadTimeout(int32_t aNewTimeout);
  void ResetTemporaryReadTimeout();

  bool HexLog() const { return fHexLog; }
  void SetHexLog(bool aValue) { fHexLog = aValue; }
  int32_t ConnectTimeout() const { return fConnectTimeout; }
  void SetConnectTimeout(int32_t aValue) { fConnectTimeout = aValue; }
  int32_t ReadTimeout() const { return fReadTimeout; }
  void SetReadTimeout(int32_t aValue) { fReadTimeout = aValue; }
  const std::string& Version() const { return fVersion; }
  void SetVersion(const std::string& aValue) { fVersion = aValue; }
  int32_t CodePage() const { return fCodePage; }
  void SetCodePage(int32_t aValue) { fCodePage = aValue; }

  // Each UTF-16 code unit as lower-case hexadecimal of at least two digits, separated by
  // one blank: "AB" gives "41 42", "\r€" gives "0d 20ac".
  static std::string HexString(const std::string& aText);
  // Shortest decimal form with "." and no grouping, whatever the locale: 12.5, 3, -0.125.
  static std::string FormatAmount(base::Currency aAmount);

 protected:
  // The device log, or nullptr for a channel without one.
  tQV_LogWriter* Logger() const { return fLogger.get(); }
  // The spool channel records a failure in the message alone.
  void SetErrorMessage(const std::string& aValue) { fErrorMessage = aValue; }

 private:
  bool fErrorFound = false;
  int32_t fErrorCode = 0;
  std::string fErrorMessage;
  std::unique_ptr<tQV_LogWriter> fLogger;
  bool fHexLog = false;
  int32_t fConnectTimeout = 0;
  int32_t fReadTimeout = 0;
  int32_t fTemporaryReadTimeout = 0;
  std::string fVersion;
  int32_t fCodePage = 0;
};

// The folder of the device logs: "LogFiles\FiscalPrinter" beside the host executable.
std::string DeviceLogFolder();

}  // namespace qv::framework
