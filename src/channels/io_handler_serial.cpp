#include "channels/io_handler_serial.h"

#include <chrono>

#include "base/utils.h"
#include "framework/device_handler.h"
#include "platform/code_page.h"
#include "platform/error.h"
#include "platform/unicode.h"

namespace qv::channels {

using framework::kConnection;
using framework::let_error;
using framework::let_info;
using framework::qvParity;

namespace {

// Every read of the channel waits this long for one byte.
constexpr uint32_t kPortTimeoutMs = 100;
constexpr uint32_t kAnsiCodePage = 0;

// The character whose code is the byte's value, as UTF-8.
void AppendByteAsCharacter(std::string& aText, uint8_t aByte) {
  if (aByte < 0x80) {
    aText += static_cast<char>(aByte);
  } else {
    aText += static_cast<char>(0xC0 | (aByte >> 6));
    aText += static_cast<char>(0x80 | (aByte & 0x3F));
  }
}

std::string ByteAsCharacter(uint8_t aByte) {
  std::string text;
  AppendByteAsCharacter(text, aByte);
  return text;
}

uint32_t PortNumberOf(const std::string& aSerialPort) {
  // The digits after "COM": at most three of them.
  return static_cast<uint32_t>(base::StrToInt(platform::Utf16Mid(aSerialPort, 3, 3)));
}

TParity PortParityOf(qvParity aParity) {
  switch (aParity) {
    case qvParity::None:
      return ptNone;
    case qvParity::Even:
      return ptEven;
    case qvParity::Odd:
      return ptOdd;
  }
  throw Error("Parity invalid");
}

TStopBits PortStopBitsOf(int32_t aStopBits) {
  if (aStopBits == 1) return sbOne;
  if (aStopBits == 2) return sbTwo;
  throw Error("Stop Bits " + std::to_string(aStopBits) + " invalid");
}

std::string ParityText(TParity aParity) {
  switch (aParity) {
    case ptNone:
      return "Parity=none";
    case ptOdd:
      return "Parity=odd";
    case ptEven:
      return "Parity=even";
    case ptMark:
      return "Parity=mark";
    case ptSpace:
      return "Parity=space";
  }
  return "Parity=" + std::to_string(static_cast<int>(aParity));
}

std::string StopBitsText(TStopBits aStopBits) {
  switch (aStopBits) {
    case sbOne:
      return "StopBits=1";
    case sbOneHalf:
      return "StopBits=1.5";
    case sbTwo:
      return "StopBits=2";
  }
  return "StopBits=" + std::to_string(static_cast<int>(aStopBits));
}

// Milliseconds on a clock that never jumps, for the channel's read time-out.
class Stopwatch {
 public:
  Stopwatch() : fStart(std::chrono::steady_clock::now()) {}
  // Whether more than aMilliseconds have passed since the start.
  bool MoreThan(int32_t aMilliseconds) const {
    return std::chrono::steady_clock::now() - fStart > std::chrono::milliseconds(aMilliseconds);
  }

 private:
  std::chrono::steady_clock::time_point fStart;
};

}  // namespace

kIOHandler_Serial::kIOHandler_Serial(const kConnection* aConnection, const std::string& aDirectory,
                                     const std::string& aFileName)
    : kIOHandler(aConnection, aDirectory, aFileName) {
  const kConnection settings = aConnection != nullptr ? *aConnection : kConnection();
  const uint32_t number = PortNumberOf(settings.SerialPort());
  const TParity parity = PortParityOf(settings.Parity());
  const TStopBits stopBits = PortStopBitsOf(settings.StopBits());
  fComPort =
      std::make_unique<TComPort>(number, static_cast<uint32_t>(settings.Speed()),
                                 static_cast<uint8_t>(settings.DataBits()), stopBits, parity);
}

kIOHandler_Serial::~kIOHandler_Serial() { fComPort.reset(); }

bool kIOHandler_Serial::Connected() { return fComPort->ComIsOpen(); }

bool kIOHandler_Serial::Connect() {
  kIOHandler::Connect();
  Debug(let_info, "Serial Driver Version: " + fComPort->DriverVersion());
  Debug(let_info, "SerialPort=COM" + std::to_string(fComPort->ComNumber()));
  Debug(let_info, "Speed=" + std::to_string(fComPort->BaudRate()));
  Debug(let_info, ParityText(fComPort->Parity()));
  Debug(let_info, "DataBits=" + std::to_string(fComPort->DataBits()));
  Debug(let_info, StopBitsText(fComPort->StopBits()));
  fComPort->Open();
  return fComPort->ComIsOpen();
}

bool kIOHandler_Serial::Disconnect() {
  fComPort->Close();
  return !fComPort->ComIsOpen();
}

void kIOHandler_Serial::ClearBuffers() { fComPort->ClearBuffers(); }

bool kIOHandler_Serial::Write(const std::string& aMessage) {
  WriteLog(let_info, "Write", aMessage);
  fComPort->WriteText(platform::Utf8ToCodePage(aMessage, kAnsiCodePage));
  return true;
}

int32_t kIOHandler_Serial::ReadOneByte(uint8_t& aByte, uint32_t& aErrorCode) {
  return fComPort->Read(&aByte, 1, kPortTimeoutMs, aErrorCode);
}

void kIOHandler_Serial::LogWaitingFor(const std::vector<uint8_t>& aChars) {
  if (Logger() == nullptr) return;
  std::string characters;
  std::string hexForms;
  for (size_t i = 0; i < aChars.size(); ++i) {
    if (i > 0) {
      characters += ",";
      hexForms += ",";
    }
    characters += ByteAsCharacter(aChars[i]);
    hexForms += HexString(ByteAsCharacter(aChars[i]));
  }
  std::string entry = "Waiting for:" + characters;
  if (HexLog()) entry += " [" + hexForms + "]";
  Logger()->Write(let_info, entry);
}

std::string kIOHandler_Serial::ReadUpTo(const std::vector<uint8_t>& aChars) {
  LogWaitingFor(aChars);
  std::string result;
  const Stopwatch stopwatch;
  bool found = false;
  bool timedOut = false;
  while (!found && !timedOut) {
    uint8_t byte = 0;
    uint32_t errorCode = 0;
    const int32_t count = ReadOneByte(byte, errorCode);
    if (count < 0) WriteLog(let_error, "Read Error", std::to_string(errorCode));
    if (count <= 0) {
      timedOut = stopwatch.MoreThan(ReadTimeout());
      continue;
    }
    AppendByteAsCharacter(result, byte);
    for (uint8_t terminator : aChars) found = found || byte == terminator;
  }
  if (timedOut) {
    WriteLog(let_error, "Read Timeout", result);
  } else {
    WriteLog(let_info, "Read", result);
  }
  return result;
}

std::string kIOHandler_Serial::ReadChars(int32_t aCharsNum) {
  std::string result;
  int64_t characters = 0;
  const Stopwatch stopwatch;
  bool timedOut = false;
  // Like every read of the port, the first byte is asked for before the count is looked at.
  do {
    uint8_t byte = 0;
    uint32_t errorCode = 0;
    if (ReadOneByte(byte, errorCode) == 1) {
      AppendByteAsCharacter(result, byte);
      ++characters;
    }
    timedOut = stopwatch.MoreThan(ReadTimeout());
  } while (!timedOut && characters != aCharsNum);
  if (timedOut) {
    WriteLog(let_error, "Read Timeout", result);
  } else {
    WriteLog(let_info, "Read", result);
  }
  return result;
}

std::string kIOHandler_Serial::ReadAll() { throw Error("ReadAll Unsupported"); }

std::string kIOHandler_Serial::DecodeError(int32_t aErrorCode) { return {}; }

bool kIOHandler_Serial::InputBufferContainsData() { return fComPort->GetBytesPending() > 0; }

void kIOHandler_Serial::SetParameter(const std::string& aName, const std::string& aValue) {}

}  // namespace qv::channels
