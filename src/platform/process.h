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
// How many threads the process runs now (Linux: the entries of /proc/self/task), and how many
// files and other handles it holds open (Linux: the entries of /proc/self/fd, without the
// one used to count them; Windows: the process's handle count). -1 when they cannot be read.
int ThreadCount();
int OpenFileCount();

}  // namespace qv::platform
