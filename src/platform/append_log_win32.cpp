#include "platform/append_log.h"

#include "platform/file_handle_win32.h"
#include "platform/file_system.h"
#include "platform/system_error.h"

namespace qv::platform {

namespace {
HANDLE AsHandle(intptr_t aValue) { return reinterpret_cast<HANDLE>(aValue); }
}  // namespace

AppendLog::~AppendLog() { Close(); }

FileStatus AppendLog::Open(const std::string& aPath) {
  Close();
  fPath = NativePath(aPath);
  // FILE_APPEND_DATA only: every write goes to the end of the file.
  HANDLE file = CreateFileW(ToWide(fPath).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return FileStatus::Failure(
        SystemErrorMessage("Cannot open \"" + fPath + "\"", LastSystemError()));
  }
  fHandle = reinterpret_cast<intptr_t>(file);
  return FileStatus();
}

FileStatus AppendLog::Append(std::string_view aRecord, bool aDurable) {
  if (fHandle == -1) {
    return FileStatus::Failure("Cannot write \"" + fPath + "\": the file is not open");
  }
  HANDLE file = AsHandle(fHandle);
  if (!WriteAll(file, aRecord) || (aDurable && !FlushFileBuffers(file))) {
    return FileStatus::Failure(
        SystemErrorMessage("Cannot write \"" + fPath + "\"", LastSystemError()));
  }
  return FileStatus();
}

void AppendLog::Close() {
  if (fHandle != -1) CloseHandle(AsHandle(fHandle));
  fHandle = -1;
}

bool AppendLog::IsOpen() const { return fHandle != -1; }

}  // namespace qv::platform
