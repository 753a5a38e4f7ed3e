// The parts of the serial port that are the same on every system.
#include <algorithm>

#include "platform/serial_port.h"
#include "platform/serial_port_system.h"

namespace qv::platform {

namespace {

bool SameLetters(std::string_view aLeft, std::string_view aRight) {
  return std::equal(aLeft.begin(), aLeft.end(), aRight.begin(), aRight.end(), [](char a, char b) {
    return (a >= 'a' && a <= 'z' ? a - 32 : a) == (b >= 'a' && b <= 'z' ? b - 32 : b);
  });
}

}  // namespace

std::optional<uint64_t> serial_system::ComPortNumber(std::string_view aDeviceName) {
  std::string_view name = aDeviceName;
  if (name.substr(0, kDevicePrefix.size()) == kDevicePrefix) {
    name.remove_prefix(kDevicePrefix.size());
  }
  if (name.size() < 4 || name.size() > 13 || !SameLetters(name.substr(0, 3), "COM")) {
    return std::nullopt;
  }
  uint64_t number = 0;
  for (char digit : name.substr(3)) {
    if (digit < '0' || digit > '9') return std::nullopt;
    number = number * 10 + static_cast<uint64_t>(digit - '0');
  }
  return number;
}

SerialPort::~SerialPort() { Close(); }

}  // namespace qv::platform
