// Whole-file replacement that a crash or a full disk cannot tear: the new content goes to a
// temporary file in the target's folder, reaches the disk (FlushFileBuffers), and only then
// replaces the target with MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH),
// so the file is always either the old or the new one; a file that must never be
// overwritten is moved without MOVEFILE_REPLACE_EXISTING. The write, flush and rename steps
// pass through the failure-injection seam.
//
// The temporary file is named "~" + target name + "." + six letters or digits + ".tmp" and
// is open without sharing while it is written, so that the clean-up of the debris of
// interrupted replaces cannot delete the file of a living one.
#include "platform/file_handle_win32.h"

#include <cctype>
#include <functional>

#include "platform/file_system.h"
#include "platform/system_error.h"

namespace qv::platform {
namespace {

// The code a refused call reports when the seam makes it fail.
constexpr DWORD kInjectedError = ERROR_WRITE_FAULT;
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kUniquePartLength = 6;

using ContentWriter = std::function<bool(HANDLE aFile)>;

std::string BaseNameOf(const std::string& aPath) {
  const auto delimiter = aPath.find_last_of("\\/:");
  return delimiter == std::string::npos ? aPath : aPath.substr(delimiter + 1);
}

bool WriteStep(HANDLE aFile, const ContentWriter& aWriter) {
  if (ShouldFailFileOperation(FileOperation::Write)) {
    SetLastError(kInjectedError);
    return false;
  }
  return aWriter(aFile);
}

bool FlushStep(HANDLE aFile) {
  if (ShouldFailFileOperation(FileOperation::Flush)) {
    SetLastError(kInjectedError);
    return false;
  }
  return FlushFileBuffers(aFile) != FALSE;
}

// Moves the finished temporary file over aTo, or, with aKeepExisting, only where no file aTo
// exists (ERROR_ALREADY_EXISTS otherwise).
bool RenameStep(const std::string& aFrom, const std::string& aTo, bool aKeepExisting) {
  if (ShouldFailFileOperation(FileOperation::Rename)) {
    SetLastError(kInjectedError);
    return false;
  }
  const DWORD flags =
      aKeepExisting ? MOVEFILE_WRITE_THROUGH : MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  return MoveFileExW(ToWide(aFrom).c_str(), ToWide(aTo).c_str(), flags) != FALSE;
}

// Replaces the native file aTarget with what aWriter writes; 0, or the system's error code
// with the temporary file removed and aTarget untouched.
// With aKeepExisting an existing aTarget is never replaced: ERROR_ALREADY_EXISTS.
DWORD ReplaceWith(const std::string& aTarget, const ContentWriter& aWriter,
                  bool aKeepExisting = false) {
  const std::string folder = FolderOfNativePath(aTarget);
  std::string temporary;
  FileHandle file(CreateUniqueFile(folder, "~" + BaseNameOf(aTarget) + ".", ".tmp", temporary));
  if (!file.IsOpen()) return GetLastError();
  const bool replaced = WriteStep(file.Get(), aWriter) && FlushStep(file.Get()) && file.Close() &&
                        RenameStep(temporary, aTarget, aKeepExisting);
  if (!replaced) {
    const DWORD error = GetLastError();
    file.Close();
    DeleteFileW(ToWide(temporary).c_str());
    return error;
  }
  return 0;
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

FileStatus CreateFileAtomically(std::string_view aPath, std::string_view aData, bool& aCreated) {
  const DWORD error = ReplaceWith(
      NativePath(aPath), [aData](HANDLE aFile) { return WriteAll(aFile, aData); },
      /*aKeepExisting=*/true);
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

FileStatus ReplaceFileAtomically(std::string_view aPath, std::string_view aData) {
  const DWORD error =
      ReplaceWith(NativePath(aPath), [aData](HANDLE aFile) { return WriteAll(aFile, aData); });
  if (error != 0) return CannotWrite(aPath, error);
  return FileStatus();
}

FileStatus CopyFileReplace(std::string_view aSource, std::string_view aTarget) {
  const std::string source = NativePath(aSource);
  const std::string target = NativePath(aTarget);
  FileHandle input(OpenForReading(source));
  if (!input.IsOpen()) {
    return FileStatus::Failure(
        SystemErrorMessage("Cannot open \"" + source + "\"", LastSystemError()));
  }
  const DWORD error = ReplaceWith(target, [&input](HANDLE aFile) {
    char buffer[65536];
    for (;;) {
      DWORD count = 0;
      if (!ReadFile(input.Get(), buffer, sizeof buffer, &count, nullptr)) return false;
      if (count == 0) return true;
      if (!WriteAll(aFile, std::string_view(buffer, count))) return false;
    }
  });
  if (error != 0) {
    return FileStatus::Failure(
        SystemErrorMessage("Cannot copy to \"" + target + "\"", static_cast<int>(error)));
  }
  return FileStatus();
}

}  // namespace qv::platform
