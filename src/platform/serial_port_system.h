// What both systems' halves of the serial port (serial_port_posix.cpp, serial_port_win32.cpp)
// read from a Windows port name, implemented once in serial_port.cpp. Used inside the
// platform layer only.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace qv::platform::serial_system {

// The prefix of the device namespace in a port name: "\\.\".
inline constexpr std::string_view kDevicePrefix = "\\\\.\\";

// The n of the port name "\\.\COMn" or "COMn" (letter case ignored, at most ten digits);
// nothing for any other name.
std::optional<uint64_t> ComPortNumber(std::string_view aDeviceName);

}  // namespace qv::platform::serial_system
