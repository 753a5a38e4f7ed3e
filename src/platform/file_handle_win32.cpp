// Handle helpers of the Windows file functions.
#include "platform/file_handle_win32.h"

#include "platform/file_replace_system.h"

namespace qv::platform {
namespace {

constexpr int kUniqueNameAttempts = 100;

}  // namespace

bool WriteAll(HANDLE aFile, std::string_view aData) {
  while (!aData.empty()) {
    const DWORD chunk = aData.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(aData.size());
    DWORD written = 0;
    if (!WriteFile(aFile, aData.data(), chunk, &written, nullptr)) return false;
    aData.remove_prefix(written);
  }
  return true;
}

HANDLE CreateUniqueFile(const std::string& aFolder, std::string_view aPrefix,
                        std::string_view aSuffix, std::string& aPath) {
  for (int attempt = 0; attempt < kUniqueNameAttempts; ++attempt) {
    std::string path = aFolder;
    path += aPrefix;
    path += file_replace_system::UniqueNamePart();
    path += aSuffix;
    HANDLE file = CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      aPath = path;
      return file;
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
      return INVALID_HANDLE_VALUE;
    }
  }
  SetLastError(ERROR_FILE_EXISTS);
  return INVALID_HANDLE_VALUE;
}

std::string FolderOfNativePath(const std::string& aPath) {
  const auto delimiter = aPath.find_last_of("\\/:");
  if (delimiter == std::string::npos) return ".\\";
  return aPath.substr(0, delimiter + 1);
}

HANDLE OpenForReading(const std::string& aPath) {
  return CreateFileW(ToWide(aPath).c_str(), GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace qv::platform
