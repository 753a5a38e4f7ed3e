// The local time of a POSIX time stamp, for the POSIX clock and file functions.
#pragma once

#include <time.h>

#include "platform/clock.h"

namespace qv::platform {

// aTime in the local time zone; a leap second shows as 59, as on Windows.
LocalTime LocalTimeOf(const timespec& aTime);

}  // namespace qv::platform
