// The LocalTime of a Windows SYSTEMTIME, for the Windows clock and file functions.
#pragma once

#include "platform/clock.h"
#include "platform/windows_headers_win32.h"

namespace qv::platform {

// The fields of aTime as they stand (no time-zone conversion); a leap second shows as 59.
LocalTime LocalTimeOf(const SYSTEMTIME& aTime);

}  // namespace qv::platform
