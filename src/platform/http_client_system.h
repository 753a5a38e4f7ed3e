// The two helpers of the HTTP client that both systems' halves (http_client_posix.cpp,
// http_client_win32.cpp) use, implemented once in http_client.cpp. Used inside the platform
// layer only.
#pragma once

#include <string>

namespace qv::platform::http_system {

// aText without its CR and LF characters, so that a header name or value cannot start a
// header of its own.
std::string WithoutLineBreaks(const std::string& aText);
// Whether two header names are the same, letter case aside ("content-type", "Content-Type").
bool SameHeaderName(const std::string& aLeft, const std::string& aRight);

}  // namespace qv::platform::http_system
