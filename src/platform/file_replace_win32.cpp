// Whole-file replacement that a crash or a full disk cannot tear: the new content goes to a
// temporary file in the target's folder, reaches the disk (FlushFileBuffers), and only then
// replaces the target with MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH),
// so the counters file is always either the old or the new one. The write, flush and
// rename steps pass through the failure-injection seam.
#include "platform/file_handle_win32.h"

#include <functional>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/system_error.h"

namespace qv::platform {
namespace {

// The code a refused call reports when the seam makes it fail.
constexpr DWORD kInjectedError = ERROR_WRITE_FAULT;

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

bool RenameStep(const std::string& aFrom, const std::string& aTo) {
  if (ShouldFailFileOperation(FileOperation::Rename)) {
    SetLastError(kInjectedError);
    return false;
  }
  return MoveFileExW(ToWide(aFrom).c_str(), ToWide(aTo).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

// Replaces the native file aTarget with what aWriter writes; 0, or the system's error code
// with the temporary file removed and aTarget untouched.
DWORD ReplaceWith(const std::string& aTarget, const ContentWriter& aWriter) {
  const std::string folder = FolderOfNativePath(aTarget);
  std::string temporary;
  FileHandle file(CreateUniqueFile(folder, "~" + BaseNameOf(aTarget) + ".", ".tmp", temporary));
  if (!file.IsOpen()) return GetLastError();
  const bool replaced = WriteStep(file.Get(), aWriter) && FlushStep(file.Get()) && file.Close() &&
                        RenameStep(temporary, aTarget);
  if (!replaced) {
    const DWORD error = GetLastError();
    file.Close();
    DeleteFileW(ToWide(temporary).c_str());
    return error;
  }
  return 0;
}

}  // namespace

void ReplaceFileAtomically(std::string_view aPath, std::string_view aData) {
  const DWORD error =
      ReplaceWith(NativePath(aPath), [aData](HANDLE aFile) { return WriteAll(aFile, aData); });
  if (error != 0) {
    throw Error("Cannot write file \"" + std::string(aPath) + "\". " +
                SystemErrorText(static_cast<int>(error)));
  }
}

bool CopyFileReplace(std::string_view aSource, std::string_view aTarget, std::string& aError) {
  const std::string source = NativePath(aSource);
  const std::string target = NativePath(aTarget);
  FileHandle input(OpenForReading(source));
  if (!input.IsOpen()) {
    aError = SystemErrorMessage("Cannot open \"" + source + "\"", LastSystemError());
    return false;
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
    aError = SystemErrorMessage("Cannot copy to \"" + target + "\"", static_cast<int>(error));
    return false;
  }
  return true;
}

}  // namespace qv::platform
