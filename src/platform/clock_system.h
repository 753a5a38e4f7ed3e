// The system's half of the clock, for clock.cpp: the local time as the system keeps it,
// implemented in clock_posix.cpp and clock_win32.cpp. Used inside the platform layer only.
#pragma once

#include "platform/clock.h"

namespace qv::platform::clock_system {

// The system's local time now, a leap second shown as second 59.
LocalTime SystemLocalTime();

}  // namespace qv::platform::clock_system
