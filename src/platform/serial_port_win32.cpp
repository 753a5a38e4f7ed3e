// Serial ports on Windows. Not yet written on the Win32 communications functions: opening a
// port fails with a clear text, so a serial channel reports it instead of pretending.
#include "platform/serial_port.h"

namespace qv::platform {

namespace {
constexpr int kNotSupported = 50;  // ERROR_NOT_SUPPORTED
}

std::string SerialDevicePath(const std::string& aDeviceName) { return "\\\\.\\" + aDeviceName; }

SerialPort::~SerialPort() { Close(); }

int SerialPort::Open(const std::string& /*aDeviceName*/) { return kNotSupported; }

SerialSettingsResult SerialPort::SetLineParameters(uint32_t, uint8_t, SerialStopBits,
                                                   SerialParity) {
  return SerialSettingsResult::ReadFailed;
}

SerialSettingsResult SerialPort::SetReadTimeouts(uint32_t aIntervalMs, uint32_t aTotalMs) {
  fIntervalTimeout = aIntervalMs;
  fTotalTimeout = aTotalMs;
  return IsOpen() ? SerialSettingsResult::Ok : SerialSettingsResult::ReadFailed;
}

int32_t SerialPort::Read(void*, uint32_t, uint32_t& aErrorCode) {
  aErrorCode = kNotSupported;
  return -1;
}

int64_t SerialPort::Write(std::string_view, int& aErrorCode) {
  aErrorCode = kNotSupported;
  return -1;
}

bool SerialPort::Purge() { return false; }
int32_t SerialPort::BytesPending() const { return 0; }
bool SerialPort::SetDTR(bool) { return false; }
bool SerialPort::SetRTS(bool) { return false; }
void SerialPort::Close() { fHandle = -1; }

}  // namespace qv::platform
