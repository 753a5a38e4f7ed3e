// What the whole-file replacement of both systems shares (file_replace.cpp) and what each
// system provides (file_replace_posix.cpp, file_replace_win32.cpp): the unique part of a new
// file's name, the pattern of the replace's temporary files, and the one attempt at a
// replace. Used inside the platform layer only.
#pragma once

#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace qv::platform::file_replace_system {

// The temporary file of a replace: aLead + target name + "." + kUniquePartLength letters or
// digits + kTemporarySuffix.
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kUniquePartLength = 6;

// kUniquePartLength letters and digits, different for every call of the process.
std::string UniqueNamePart();
// Whether aName is the name of a replace's temporary file that begins with aLead.
bool IsTemporaryName(std::string_view aName, char aLead);

// Each system's own: replaces the native file aTarget with aData; 0, or the system's error
// code with the temporary file removed and aTarget untouched. With aKeepExisting an existing
// aTarget is never replaced (a code for which IsFileExistsCode holds).
int ReplaceWith(const std::string& aTarget, std::string_view aData, FileSystem& aFileSystem,
                bool aKeepExisting);
bool IsFileExistsCode(int aError);

}  // namespace qv::platform::file_replace_system
