// The one place where the operating system's error codes become text. Every platform file
// builds its failure messages here, so that a till's log shows the same "context: OS text"
// form whatever call failed. Safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace qv::platform {

// The calling thread's last system error code (errno on Linux, GetLastError on Windows).
int LastSystemError();
// The system's text for aCode, for example "No such file or directory".
std::string SystemErrorText(int aCode);
// "aContext: OS text", or the OS text alone when aContext is empty.
std::string SystemErrorMessage(std::string_view aContext, int aCode);

}  // namespace qv::platform
