// Whole-file replacement that a crash or a full disk cannot tear: the new content goes to a
// temporary file in the target's folder, reaches the disk (FlushFileBuffers), and only then
// replaces the target with MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH),
// so the file is always either the old or the new one; a file that must never be
// overwritten is moved without MOVEFILE_REPLACE_EXISTING. The write, flush and rename steps
// go through the file system object the caller gives.
//
// The temporary file is named "~" + target name + "." + six letters or digits + ".tmp" and
// is open without sharing while it is written, so that the clean-up of the debris of
// interrupted replaces cannot delete the file of a living one.
#include "platform/file_handle_win32.h"

#include <cctype>

#include "platform/file_system.h"
#include "platform/system_error.h"

namespace qv::platform {
namespace {

constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kUniquePartLength = 6;

std::string BaseNameOf(const std::string& aPath) {
  const auto delimiter = aPath.find_last_of("\\/:");
  return delimiter == std::string::npos ? aPath : aPath.substr(delimiter + 1);
}

// Replaces the native file aTarget with aData; 0, or the system's error code with the
// temporary file removed and aTarget untouched.
// With aKeepExisting an existing aTarget is never replaced: ERROR_ALREADY_EXISTS.
DWORD ReplaceWith(const std::string& aTarget, std::string_view aData, FileSystem& aFileSystem,
                  bool aKeepExisting = false) {
  const std::string folder = FolderOfNativePath(aTarget);
  std::string temporary;
  FileHandle file(CreateUniqueFile(folder, "~" + BaseNameOf(aTarget) + ".", ".tmp", temporary));
  if (!file.IsOpen()) return GetLastError();
  const NativeFile native = reinterpret_cast<NativeFile>(file.Get());
  int error = aFileSystem.Write(native, aData);
  if (error == 0) error = aFileSystem.Flush(native);
  if (error == 0 && !file.Close()) error = static_cast<int>(GetLastError());
  if (error == 0) error = aFileSystem.Rename(temporary, aTarget, aKeepExisting);
  if (error != 0) {
    file.Close();
    DeleteFileW(ToWide(temporary).c_str());
  }
  return static_cast<DWORD>(error);
}

// "~" + a name + "." + six letters or digits + ".tmp", the temporary file of ReplaceWith.
bool IsReplaceTemporaryName(std::string_view aName) {
  const std::size_t tail = 1 + kUniquePartLength + kTemporarySuffix.size();
  if (aName.size() < 2 + tail || aName[0] != '~') return false;
  if (aName.substr(aName.size() - kTemporarySuffix.size()) != kTemporarySuffix) return false;
  if (aName[aName.size() - tail] != '.') return false;
  for (std::size_t i = aName.size() - tail + 1; i < aName.size() - kTemporarySuffix.size(); ++i) {
    if (!std::isalnum(static_cast<unsigned char>(aName[i]))) return false;
  }
  return true;
}

// The failure of a replace or a creation, in the words the till's log has always shown.
FileStatus CannotWrite(std::string_view aPath, DWORD aError) {
  return FileStatus::Failure("Cannot write file \"" + std::string(aPath) + "\". " +
                             SystemErrorText(static_cast<int>(aError)));
}

}  // namespace

FileStatus CreateFileAtomically(std::string_view aPath, std::string_view aData, bool& aCreated,
                                FileSystem& aFileSystem) {
  const DWORD error = ReplaceWith(NativePath(aPath), aData, aFileSystem, /*aKeepExisting=*/true);
  aCreated = error == 0;
  if (error == 0 || error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
    return FileStatus();
  }
  return CannotWrite(aPath, error);
}

int RemoveInterruptedReplaceFiles(std::string_view aFolder) {
  std::string folder = NativePath(aFolder);
  if (!folder.empty() && !IsPathDelimiter(folder.back())) folder += '\\';
  WIN32_FIND_DATAW entry{};
  HANDLE search = FindFirstFileW(ToWide(folder + "~*.tmp").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int removed = 0;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    const std::string name = FromWide(entry.cFileName);
    // A living replace keeps its file open without sharing: deleting it fails.
    if (IsReplaceTemporaryName(name) && DeleteFileW(ToWide(folder + name).c_str())) ++removed;
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return removed;
}

FileStatus ReplaceFileAtomically(std::string_view aPath, std::string_view aData,
                                 FileSystem& aFileSystem) {
  const DWORD error = ReplaceWith(NativePath(aPath), aData, aFileSystem);
  if (error != 0) return CannotWrite(aPath, error);
  return FileStatus();
}

FileStatus CopyFileReplace(std::string_view aSource, std::string_view aTarget,
                           FileSystem& aFileSystem) {
  std::string content;
  // "Cannot open \"<source>\": <OS text>" when the source cannot be read.
  if (FileStatus read = ReadWholeFile(aSource, content); !read.IsOk()) return read;
  const std::string target = NativePath(aTarget);
  const DWORD error = ReplaceWith(target, content, aFileSystem);
  if (error != 0) {
    return FileStatus::Failure(
        SystemErrorMessage("Cannot copy to \"" + target + "\"", static_cast<int>(error)));
  }
  return FileStatus();
}

}  // namespace qv::platform
