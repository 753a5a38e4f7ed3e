#include "channels/io_handler_tcp.h"

#include <chrono>

#include "framework/device_handler.h"
#include "platform/code_page.h"
#include "platform/unicode.h"

namespace qv::channels {

using framework::kConnection;
using framework::let_error;
using framework::let_info;

namespace {

// The character whose code is the byte's value, as UTF-8.
void AppendByteAsCharacter(std::string& aText, uint8_t aByte) {
  if (aByte < 0x80) {
    aText += static_cast<char>(aByte);
  } else {
    aText += static_cast<char>(0xC0 | (aByte >> 6));
    aText += static_cast<char>(0x80 | (aByte & 0x3F));
  }
}

std::string BytesAsCharacters(const std::string& aBytes) {
  std::string text;
  text.reserve(aBytes.size());
  for (char byte : aBytes) AppendByteAsCharacter(text, static_cast<uint8_t>(byte));
  return text;
}

// The 8-bit form of a text: each character 0 to 255 as the byte of that value, any other
// character (each half of a surrogate pair too) as "?".
std::string EightBitBytes(const std::string& aText) {
  std::string bytes;
  for (char16_t unit : platform::Utf8ToUtf16(aText)) {
    bytes += unit <= 0xFF ? static_cast<char>(unit) : '?';
  }
  return bytes;
}

// Bytes read as ASCII: 0 to 127 as themselves, the others as "?".
std::string BytesAsAscii(const std::string& aBytes) {
  std::string text = aBytes;
  for (char& byte : text) {
    if (static_cast<uint8_t>(byte) >= 0x80) byte = '?';
  }
  return text;
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

std::string AddressOf(const kConnection* aConnection) {
  return aConnection != nullptr ? aConnection->Address() : std::string();
}

uint16_t PortOf(const kConnection* aConnection) {
  return aConnection != nullptr ? static_cast<uint16_t>(aConnection->Port()) : 0;
}

}  // namespace

kIOHandler_TCP::kIOHandler_TCP(const kConnection* aConnection, const std::string& aDirectory,
                               const std::string& aFileName)
    : kIOHandler(aConnection, aDirectory, aFileName),
      fTCPClient(AddressOf(aConnection), PortOf(aConnection), ConnectTimeout()) {}

kIOHandler_TCP::~kIOHandler_TCP() { fTCPClient.Disconnect(); }

bool kIOHandler_TCP::Connected() {
  try {
    return fTCPClient.Connected();
  } catch (...) {
    return false;
  }
}

bool kIOHandler_TCP::Connect() {
  kIOHandler::Connect();
  Debug(let_info, "Host=" + fTCPClient.Host());
  Debug(let_info, "Port=" + std::to_string(fTCPClient.Port()));
  try {
    if (!fTCPClient.Connected()) fTCPClient.Connect();
    const bool connected = fTCPClient.Connected();
    if (!connected) WriteLog(let_error, "Connect Timeout", "");
    return connected;
  } catch (const std::exception& error) {
    WriteLog(let_error, "Connect Error", error.what());
    return false;
  }
}

bool kIOHandler_TCP::Disconnect() {
  if (fTCPClient.Connected()) fTCPClient.Disconnect();
  return !fTCPClient.Connected();
}

void kIOHandler_TCP::ClearBuffers() { fTCPClient.ClearInputBuffer(); }

bool kIOHandler_TCP::Write(const std::string& aMessage) {
  WriteLog(let_info, "Write", aMessage);
  if (CodePage() != 0) {
    fTCPClient.Write(platform::Utf8ToCodePage(aMessage, CodePage()));
  } else {
    fTCPClient.Write(EightBitBytes(aMessage));
  }
  return true;
}

bool kIOHandler_TCP::WriteBytes(const std::string& aBytes) {
  WriteLog(let_info, "Write", BytesAsAscii(aBytes));
  fTCPClient.Write(aBytes);
  return true;
}

void kIOHandler_TCP::UseChannelReadTimeout() { fTCPClient.SetReadTimeout(ReadTimeout()); }

void kIOHandler_TCP::LogWaitingFor(const std::vector<uint8_t>& aChars) {
  if (Logger() == nullptr) return;
  std::string characters;
  std::string hexForms;
  for (size_t i = 0; i < aChars.size(); ++i) {
    if (i > 0) {
      characters += ",";
      hexForms += ",";
    }
    std::string character;
    AppendByteAsCharacter(character, aChars[i]);
    characters += character;
    hexForms += HexString(character);
  }
  std::string entry = "Waiting for:" + characters;
  if (HexLog()) entry += " [" + hexForms + "]";
  Logger()->Write(let_info, entry);
}

std::string kIOHandler_TCP::ReadUpTo(const std::vector<uint8_t>& aChars) {
  UseChannelReadTimeout();
  LogWaitingFor(aChars);
  std::string result;
  const Stopwatch stopwatch;
  try {
    bool found = false;
    bool timedOut = false;
    while (!found && !timedOut) {
      const uint8_t byte = fTCPClient.ReadByte();
      AppendByteAsCharacter(result, byte);
      timedOut = stopwatch.MoreThan(ReadTimeout());
      for (uint8_t terminator : aChars) found = found || byte == terminator;
    }
    if (timedOut) {
      WriteLog(let_error, "Read Timeout", result);
    } else {
      WriteLog(let_info, "Read", result);
    }
  } catch (const std::exception& error) {
    WriteLog(let_error, "ReadUpTo Unexpected error", error.what());
  }
  return result;
}

std::string kIOHandler_TCP::ReadChars(int32_t aCharsNum) {
  UseChannelReadTimeout();
  try {
    const std::string result =
        aCharsNum > 0 ? BytesAsCharacters(fTCPClient.ReadBytes(static_cast<size_t>(aCharsNum)))
                      : std::string();
    // The hexadecimal form is part of the logged text here, so with HexLog the entry carries
    // it twice: once from here and once from WriteLog.
    const std::string logText = HexLog() ? result + " [" + HexString(result) + "]" : result;
    if (static_cast<int64_t>(platform::Utf16Length(result)) < aCharsNum) {
      WriteLog(let_error, "Read Timeout", logText);
    } else {
      WriteLog(let_info, "Read", logText);
    }
    return result;
  } catch (const std::exception& error) {
    WriteLog(let_error, "ReadChars Unexpected error", error.what());
    return std::string();
  }
}

std::string kIOHandler_TCP::ReadAll() {
  UseChannelReadTimeout();
  std::string result;
  const Stopwatch stopwatch;
  try {
    for (;;) {
      AppendByteAsCharacter(result, fTCPClient.ReadByte());
      if (stopwatch.MoreThan(ReadTimeout())) {
        WriteLog(let_error, "Read Timeout", result);
        break;
      }
    }
  } catch (const platform::ConnectionClosedError&) {
    WriteLog(let_info, "Read", result);
  } catch (const std::exception& error) {
    WriteLog(let_error, "ReadAll Unexpected error", error.what());
  }
  return result;
}

std::string kIOHandler_TCP::ReadBytes(int32_t aCount) {
  if (aCount <= 0) return std::string();
  return fTCPClient.ReadBytes(static_cast<size_t>(aCount));
}

std::string kIOHandler_TCP::DecodeError(int32_t /*aErrorCode*/) { return std::string(); }

bool kIOHandler_TCP::InputBufferContainsData() {
  try {
    return fTCPClient.InputBufferSize() > 0;
  } catch (const std::exception&) {
    // A connection that failed holds nothing more to read.
    return false;
  }
}

void kIOHandler_TCP::SetParameter(const std::string& /*aName*/, const std::string& /*aValue*/) {}

}  // namespace qv::channels
