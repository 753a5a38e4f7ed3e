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
#include "platform/file_replace_system.h"

namespace qv::platform {
namespace {

std::string BaseNameOf(const std::string& aPath) {
  const auto delimiter = aPath.find_last_of("\\/:");
  return delimiter == std::string::npos ? aPath : aPath.substr(delimiter + 1);
}

}  // namespace

namespace file_replace_system {

int ReplaceWith(const std::string& aTarget, std::string_view aData, FileSystem& aFileSystem,
                bool aKeepExisting) {
  const std::string folder = FolderOfNativePath(aTarget);
  std::string temporary;
  FileHandle file(
      CreateUniqueFile(folder, "~" + BaseNameOf(aTarget) + ".", kTemporarySuffix, temporary));
  if (!file.IsOpen()) return static_cast<int>(GetLastError());
  const NativeFile native = reinterpret_cast<NativeFile>(file.Get());
  int error = aFileSystem.Write(native, aData);
  if (error == 0) error = aFileSystem.Flush(native);
  if (error == 0 && !file.Close()) error = static_cast<int>(GetLastError());
  if (error == 0) error = aFileSystem.Rename(temporary, aTarget, aKeepExisting);
  if (error != 0) {
    file.Close();
    DeleteFileW(ToWide(temporary).c_str());
  }
  return error;
}

bool IsFileExistsCode(int aError) {
  return aError == ERROR_ALREADY_EXISTS || aError == ERROR_FILE_EXISTS;
}

}  // namespace file_replace_system

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
    if (file_replace_system::IsTemporaryName(name, '~') &&
        DeleteFileW(ToWide(folder + name).c_str()))
      ++removed;
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return removed;
}

}  // namespace qv::platform
