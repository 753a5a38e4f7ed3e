// File handles for the Windows file functions: complete writes and uniquely named new
// files. Private to the platform layer.
#pragma once

#include <string>
#include <string_view>

#include "platform/windows_headers_win32.h"

namespace qv::platform {

using FileHandle = Win32Handle;

// Writes all of aData; false with GetLastError set on failure.
bool WriteAll(HANDLE aFile, std::string_view aData);
// Creates a new file aFolder + aPrefix + unique part + aSuffix (CREATE_NEW) and opens it
// for writing; INVALID_HANDLE_VALUE with GetLastError set when none could be created.
HANDLE CreateUniqueFile(const std::string& aFolder, std::string_view aPrefix,
                        std::string_view aSuffix, std::string& aPath);
// The folder part of a native path with its trailing delimiter, or ".\" for a bare name.
std::string FolderOfNativePath(const std::string& aPath);
// Opens an existing file for reading, shared with readers and writers.
HANDLE OpenForReading(const std::string& aPath);

}  // namespace qv::platform
