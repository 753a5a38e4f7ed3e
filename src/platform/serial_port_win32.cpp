// Serial ports on the Windows communications functions: the COM device opened exclusively,
// the device-control block for the line, the communications time-outs for reads.
#include "platform/windows_headers_win32.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

#include "platform/serial_port.h"
#include "platform/serial_port_system.h"

namespace qv::platform {
namespace {

using Clock = std::chrono::steady_clock;

// The port keeps its handle in an int: kernel handles have only 32 significant bits.
HANDLE ToHandle(int aHandle) { return LongToHandle(aHandle); }

// A COM port carries bytes as they are, unless an earlier user left software flow control,
// error-character replacement or null stripping switched on: those go.
void MakeRaw(HANDLE aHandle) {
  DCB settings{};
  settings.DCBlength = sizeof settings;
  if (GetCommState(aHandle, &settings)) {
    settings.fBinary = TRUE;
    settings.fOutX = FALSE;
    settings.fInX = FALSE;
    settings.fErrorChar = FALSE;
    settings.fNull = FALSE;
    settings.fAbortOnError = FALSE;
    SetCommState(aHandle, &settings);
  }
  // No time-outs: a read waits for its bytes, as on a freshly opened terminal.
  COMMTIMEOUTS timeouts{};
  SetCommTimeouts(aHandle, &timeouts);
}

}  // namespace

std::string SerialDevicePath(const std::string& aDeviceName) {
  const std::optional<uint64_t> number = serial_system::ComPortNumber(aDeviceName);
  if (!number) return aDeviceName;
  if (*number == 0) return {};
  // The device namespace reaches COM10 and above too, which the bare name does not.
  return std::string(serial_system::kDevicePrefix) + "COM" + std::to_string(*number);
}

int SerialPort::Open(const std::string& aDeviceName) {
  Close();
  const std::string path = SerialDevicePath(aDeviceName);
  if (path.empty()) return ERROR_FILE_NOT_FOUND;
  // No sharing: a second opener gets ERROR_ACCESS_DENIED, as with every COM port.
  const HANDLE handle = CreateFileW(ToWide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
  MakeRaw(handle);
  fHandle = HandleToLong(handle);
  fIntervalTimeout = 0;
  fTotalTimeout = 0;
  return 0;
}

SerialSettingsResult SerialPort::SetLineParameters(uint32_t aBaudRate, uint8_t aDataBits,
                                                   SerialStopBits aStopBits, SerialParity aParity) {
  DCB settings{};
  settings.DCBlength = sizeof settings;
  if (fHandle < 0 || !GetCommState(ToHandle(fHandle), &settings)) {
    return SerialSettingsResult::ReadFailed;
  }
  if (aBaudRate == 0) return SerialSettingsResult::WriteFailed;
  settings.BaudRate = aBaudRate;
  settings.ByteSize = aDataBits;
  settings.StopBits = static_cast<BYTE>(aStopBits);
  settings.Parity = static_cast<BYTE>(aParity);
  settings.fParity = aParity != SerialParity::None ? TRUE : FALSE;
  if (!SetCommState(ToHandle(fHandle), &settings)) return SerialSettingsResult::WriteFailed;
  return SerialSettingsResult::Ok;
}

SerialSettingsResult SerialPort::SetReadTimeouts(uint32_t aIntervalMs, uint32_t aTotalMs) {
  COMMTIMEOUTS timeouts{};
  if (fHandle < 0 || !GetCommTimeouts(ToHandle(fHandle), &timeouts)) {
    return SerialSettingsResult::ReadFailed;
  }
  // A read ends aTotalMs after it began, or aIntervalMs after a byte once one has come.
  timeouts.ReadIntervalTimeout = aIntervalMs;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = aTotalMs;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = 0;
  if (!SetCommTimeouts(ToHandle(fHandle), &timeouts)) return SerialSettingsResult::WriteFailed;
  fIntervalTimeout = aIntervalMs;
  fTotalTimeout = aTotalMs;
  return SerialSettingsResult::Ok;
}

int32_t SerialPort::Read(void* aBuffer, uint32_t aCount, uint32_t& aErrorCode) {
  if (fHandle < 0) {
    aErrorCode = ERROR_INVALID_HANDLE;
    return -1;
  }
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(fTotalTimeout);
  DWORD got = 0;
  if (ReadFile(ToHandle(fHandle), aBuffer, aCount, &got, nullptr)) {
    return static_cast<int32_t>(got);
  }
  const DWORD error = GetLastError();
  // Bytes that came before a failure are handed over; the failure shows on the next read.
  if (got > 0) return static_cast<int32_t>(got);
  if (fTotalTimeout > 0) std::this_thread::sleep_until(deadline);
  aErrorCode = error;
  return -1;
}

int64_t SerialPort::Write(std::string_view aBytes, int& aErrorCode) {
  if (fHandle < 0) {
    aErrorCode = ERROR_INVALID_HANDLE;
    return -1;
  }
  // No write time-outs are set, so each write waits until the device took its bytes.
  size_t written = 0;
  while (written < aBytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(aBytes.size() - written, 1u << 30));
    DWORD put = 0;
    if (!WriteFile(ToHandle(fHandle), aBytes.data() + written, chunk, &put, nullptr)) {
      aErrorCode = static_cast<int>(GetLastError());
      return -1;
    }
    if (put == 0) break;
    written += put;
  }
  return static_cast<int64_t>(written);
}

bool SerialPort::Purge() {
  return fHandle >= 0 && PurgeComm(ToHandle(fHandle), PURGE_RXABORT | PURGE_RXCLEAR |
                                                          PURGE_TXABORT | PURGE_TXCLEAR) != FALSE;
}

int32_t SerialPort::BytesPending() const {
  DWORD errors = 0;
  COMSTAT status{};
  if (fHandle < 0 || !ClearCommError(ToHandle(fHandle), &errors, &status)) return -1;
  return static_cast<int32_t>(std::min<DWORD>(status.cbInQue, INT32_MAX));
}

bool SerialPort::SetDTR(bool aAssert) {
  return fHandle >= 0 && EscapeCommFunction(ToHandle(fHandle), aAssert ? SETDTR : CLRDTR) != FALSE;
}

bool SerialPort::SetRTS(bool aAssert) {
  return fHandle >= 0 && EscapeCommFunction(ToHandle(fHandle), aAssert ? SETRTS : CLRRTS) != FALSE;
}

void SerialPort::Close() {
  if (fHandle < 0) return;
  CloseHandle(ToHandle(fHandle));
  fHandle = -1;
  fIntervalTimeout = 0;
  fTotalTimeout = 0;
}

}  // namespace qv::platform
