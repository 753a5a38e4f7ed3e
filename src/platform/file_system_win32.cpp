// Files and folders through the Windows API. The system's paths are native here: drive
// letters are real drives, and "/" is accepted as a delimiter as Windows itself does. Every
// function is safe from any thread; none keeps state.
#include "platform/file_handle_win32.h"

#include <cctype>

#include "platform/clock_win32.h"
#include "platform/file_system.h"
#include "platform/system_error.h"

namespace qv::platform {
namespace {

std::string Quoted(const std::string& aPath) { return "\"" + aPath + "\""; }

FileStatus Failed(const std::string& aContext, DWORD aCode) {
  return FileStatus::Failure(SystemErrorMessage(aContext, static_cast<int>(aCode)));
}

DWORD Attributes(std::string_view aPath) {
  return GetFileAttributesW(ToWide(NativePath(aPath)).c_str());
}

LocalTime ToLocalTime(const FILETIME& aTime) {
  SYSTEMTIME universal{};
  SYSTEMTIME local{};
  FileTimeToSystemTime(&aTime, &universal);
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local)) local = universal;
  return LocalTimeOf(local);
}

}  // namespace

std::string NativePath(std::string_view aPath) { return std::string(aPath); }

bool IsPathDelimiter(char aChar) { return aChar == '\\' || aChar == '/'; }

bool IsAbsolutePath(std::string_view aPath) {
  if (aPath.size() >= 2 && std::isalpha(static_cast<unsigned char>(aPath[0])) && aPath[1] == ':') {
    return aPath.size() >= 3 && IsPathDelimiter(aPath[2]);
  }
  return !aPath.empty() && IsPathDelimiter(aPath[0]);
}

bool FileExists(std::string_view aPath) {
  const DWORD attributes = Attributes(aPath);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(std::string_view aPath) {
  const DWORD attributes = Attributes(aPath);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

FileStatus ForceDirectories(std::string_view aPath) {
  std::string path = NativePath(aPath);
  while (path.size() > 1 && IsPathDelimiter(path.back())) path.pop_back();
  if (path.empty()) return Failed("Cannot create the folder " + Quoted(path), ERROR_PATH_NOT_FOUND);
  // The common case, a folder that is there already, costs one look instead of a try at
  // every parent.
  if (DirectoryExists(path)) return FileStatus();
  // Each prefix that ends before a delimiter is a parent to create first ("C:" and the
  // "\\server\share" part of a network path simply fail and are passed over).
  for (std::size_t at = path.find_first_of("\\/", 1); at != std::string::npos;
       at = path.find_first_of("\\/", at + 1)) {
    if (!IsPathDelimiter(path[at - 1]))
      CreateDirectoryW(ToWide(path.substr(0, at)).c_str(), nullptr);
  }
  const DWORD error =
      CreateDirectoryW(ToWide(path).c_str(), nullptr) ? ERROR_SUCCESS : GetLastError();
  if (DirectoryExists(path)) return FileStatus();
  return Failed("Cannot create the folder " + Quoted(path),
                error == ERROR_SUCCESS || error == ERROR_ALREADY_EXISTS ? ERROR_DIRECTORY : error);
}

FileStatus CopyFileNoOverwrite(std::string_view aSource, std::string_view aTarget) {
  const std::string source = NativePath(aSource);
  const std::string target = NativePath(aTarget);
  if (!CopyFileW(ToWide(source).c_str(), ToWide(target).c_str(), /*bFailIfExists=*/TRUE)) {
    return Failed("Cannot copy " + Quoted(source) + " to " + Quoted(target), GetLastError());
  }
  return FileStatus();
}

FileStatus MoveFile(std::string_view aSource, std::string_view aTarget) {
  const std::string source = NativePath(aSource);
  const std::string target = NativePath(aTarget);
  // Without MOVEFILE_REPLACE_EXISTING an existing target is never replaced; between drives
  // the system copies and deletes.
  if (!MoveFileExW(ToWide(source).c_str(), ToWide(target).c_str(), MOVEFILE_COPY_ALLOWED)) {
    return Failed("Cannot move " + Quoted(source) + " to " + Quoted(target), GetLastError());
  }
  return FileStatus();
}

FileStatus DeleteFile(std::string_view aPath) {
  const std::string path = NativePath(aPath);
  if (!DeleteFileW(ToWide(path).c_str())) {
    return Failed("Cannot delete " + Quoted(path), GetLastError());
  }
  return FileStatus();
}

FileStatus AppendToFile(std::string_view aPath, std::string_view aData) {
  const std::string path = NativePath(aPath);
  // Shared with readers and other appenders; an exclusive holder makes the open fail.
  FileHandle file(CreateFileW(ToWide(path).c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsOpen()) return Failed("Cannot open " + Quoted(path), GetLastError());
  if (!WriteAll(file.Get(), aData) || !file.Close()) {
    return Failed("Cannot write " + Quoted(path), GetLastError());
  }
  return FileStatus();
}

FileStatus ReadWholeFile(std::string_view aPath, std::string& aContent) {
  const std::string path = NativePath(aPath);
  FileHandle file(OpenForReading(path));
  if (!file.IsOpen()) return Failed("Cannot open " + Quoted(path), GetLastError());
  std::string content;
  char buffer[65536];
  for (;;) {
    DWORD count = 0;
    if (!ReadFile(file.Get(), buffer, sizeof buffer, &count, nullptr)) {
      return Failed("Cannot read " + Quoted(path), GetLastError());
    }
    if (count == 0) break;
    content.append(buffer, count);
  }
  aContent = std::move(content);
  return FileStatus();
}

FileStatus WriteWholeFile(std::string_view aPath, std::string_view aData) {
  const std::string path = NativePath(aPath);
  FileHandle file(CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsOpen()) return Failed("Cannot create " + Quoted(path), GetLastError());
  if (!WriteAll(file.Get(), aData) || !file.Close()) {
    return Failed("Cannot write " + Quoted(path), GetLastError());
  }
  return FileStatus();
}

FileStatus FileSize(std::string_view aPath, int64_t& aSize) {
  const std::string path = NativePath(aPath);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(ToWide(path).c_str(), GetFileExInfoStandard, &data)) {
    return Failed("Cannot read the size of " + Quoted(path), GetLastError());
  }
  aSize = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return FileStatus();
}

std::string TemporaryFolder() {
  wchar_t buffer[MAX_PATH + 2] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  std::string folder = length > 0 ? FromWide(std::wstring_view(buffer, length)) : ".\\";
  if (!IsPathDelimiter(folder.back())) folder += '\\';
  return folder;
}

FileStatus CreateTemporaryFile(std::string_view aPrefix, std::string& aPath) {
  const std::string folder = TemporaryFolder();
  wchar_t path[MAX_PATH + 1] = {};
  // "<prefix>XXXX.tmp", created empty by the system (the prefix's first three characters).
  if (GetTempFileNameW(ToWide(folder).c_str(), ToWide(aPrefix).c_str(), 0, path) == 0) {
    return Failed("Cannot create a temporary file in " + Quoted(folder), GetLastError());
  }
  aPath = FromWide(path);
  return FileStatus();
}

std::vector<std::string> ListFileNames(std::string_view aFolder) {
  std::vector<std::string> names;
  std::string folder = NativePath(aFolder);
  if (!folder.empty() && !IsPathDelimiter(folder.back())) folder += '\\';
  WIN32_FIND_DATAW entry{};
  HANDLE search = FindFirstFileW(ToWide(folder + "*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      names.push_back(FromWide(entry.cFileName));
    }
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return names;
}

std::vector<SubFolder> ListSubFolders(std::string_view aPath) {
  std::vector<SubFolder> folders;
  std::string parent = NativePath(aPath);
  if (!parent.empty() && !IsPathDelimiter(parent.back())) parent += '\\';
  WIN32_FIND_DATAW entry{};
  HANDLE search = FindFirstFileW(ToWide(parent + "*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return folders;
  do {
    const std::string name = FromWide(entry.cFileName);
    if (name == "." || name == "..") continue;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
    folders.push_back({name, ToLocalTime(entry.ftCreationTime)});
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return folders;
}

}  // namespace qv::platform
