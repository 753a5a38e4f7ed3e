#include "platform/append_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_handle_posix.h"
#include "platform/file_system.h"
#include "platform/system_error.h"

namespace qv::platform {

AppendLog::~AppendLog() { Close(); }

FileStatus AppendLog::Open(const std::string& aPath) {
  Close();
  fPath = NativePath(aPath);
  const int descriptor = open(fPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (descriptor < 0) {
    return FileStatus::Failure(SystemErrorMessage("Cannot open \"" + fPath + "\"", errno));
  }
  fHandle = descriptor;
  return FileStatus();
}

FileStatus AppendLog::Append(std::string_view aRecord, bool aDurable) {
  const int descriptor = static_cast<int>(fHandle);
  if (descriptor < 0) {
    return FileStatus::Failure("Cannot write \"" + fPath + "\": the file is not open");
  }
  if (!WriteAll(descriptor, aRecord) || (aDurable && fdatasync(descriptor) != 0)) {
    return FileStatus::Failure(SystemErrorMessage("Cannot write \"" + fPath + "\"", errno));
  }
  return FileStatus();
}

void AppendLog::Close() {
  if (fHandle >= 0) close(static_cast<int>(fHandle));
  fHandle = -1;
}

bool AppendLog::IsOpen() const { return fHandle >= 0; }

}  // namespace qv::platform
