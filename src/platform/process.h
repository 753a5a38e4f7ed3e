// Information about the host process that loaded the library.
#pragma once

#include <string>
#include <vector>

namespace qv::platform {

// Full path of the host executable (Linux: /proc/self/exe).
std::string ExecutablePath();
// The command-line parameters, without the program name (Linux: /proc/self/cmdline).
std::vector<std::string> CommandLineParameters();
// The current working directory, without a trailing delimiter.
std::string WorkingDirectory();
int ProcessId();

}  // namespace qv::platform
