// Descriptor helpers of the POSIX file functions.
#include "platform/file_handle_posix.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/file_replace_system.h"

namespace qv::platform {
namespace {

constexpr int kUniqueNameAttempts = 100;

}  // namespace

bool FileHandle::Close() {
  if (fDescriptor < 0) return true;
  const int result = close(fDescriptor);
  fDescriptor = -1;
  return result == 0;
}

bool WriteAll(int aDescriptor, std::string_view aData) {
  while (!aData.empty()) {
    const ssize_t written = write(aDescriptor, aData.data(), aData.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    aData.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

int CreateUniqueFile(const std::string& aFolder, std::string_view aPrefix, std::string_view aSuffix,
                     std::string& aPath) {
  for (int attempt = 0; attempt < kUniqueNameAttempts; ++attempt) {
    std::string path = aFolder;
    path += aPrefix;
    path += file_replace_system::UniqueNamePart();
    path += aSuffix;
    const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor >= 0) {
      aPath = path;
      return descriptor;
    }
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}

std::string FolderOfNativePath(const std::string& aPath) {
  const auto slash = aPath.find_last_of('/');
  if (slash == std::string::npos) return "./";
  return aPath.substr(0, slash + 1);
}

void SyncFolder(const std::string& aFolder) {
  FileHandle folder(open(aFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.IsOpen()) fsync(folder.Get());
}

}  // namespace qv::platform
