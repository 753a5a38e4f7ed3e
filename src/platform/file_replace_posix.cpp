// Whole-file replacement that a crash or a full disk cannot tear: the new content goes to a
// temporary file in the target's folder, reaches the disk, and only then is renamed over the
// target, so the counters file is always either the old or the new one. The write, flush
// and rename steps pass through the failure-injection seam.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>

#include "platform/error.h"
#include "platform/file_handle_posix.h"
#include "platform/file_system.h"
#include "platform/system_error.h"

namespace qv::platform {
namespace {

// The code a refused call reports when the seam makes it fail.
constexpr int kInjectedError = EIO;

using ContentWriter = std::function<bool(int aDescriptor)>;

std::string BaseNameOf(const std::string& aPath) {
  const auto slash = aPath.find_last_of('/');
  return slash == std::string::npos ? aPath : aPath.substr(slash + 1);
}

bool WriteStep(int aDescriptor, const ContentWriter& aWriter) {
  if (ShouldFailFileOperation(FileOperation::Write)) {
    errno = kInjectedError;
    return false;
  }
  return aWriter(aDescriptor);
}

bool FlushStep(int aDescriptor) {
  if (ShouldFailFileOperation(FileOperation::Flush)) {
    errno = kInjectedError;
    return false;
  }
  return fsync(aDescriptor) == 0;
}

bool RenameStep(const std::string& aFrom, const std::string& aTo) {
  if (ShouldFailFileOperation(FileOperation::Rename)) {
    errno = kInjectedError;
    return false;
  }
  return rename(aFrom.c_str(), aTo.c_str()) == 0;
}

// Makes the rename itself durable. Some file systems refuse fsync on a folder; the new
// content is in place by then, so this step is best effort.
void SyncFolder(const std::string& aFolder) {
  FileHandle folder(open(aFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.IsOpen()) fsync(folder.Get());
}

// Replaces the native file aTarget with what aWriter writes; 0, or the system's error code
// with the temporary file removed and aTarget untouched.
int ReplaceWith(const std::string& aTarget, const ContentWriter& aWriter) {
  const std::string folder = FolderOfNativePath(aTarget);
  std::string temporary;
  // Built step by step: "." + name trips a false -Wrestrict of g++ 12 in optimised builds.
  std::string prefix = ".";
  prefix += BaseNameOf(aTarget);
  prefix += '.';
  FileHandle file(CreateUniqueFile(folder, prefix, ".tmp", temporary));
  if (!file.IsOpen()) return errno;
  struct stat existing {};
  if (stat(aTarget.c_str(), &existing) == 0) fchmod(file.Get(), existing.st_mode & 07777);
  const bool replaced = WriteStep(file.Get(), aWriter) && FlushStep(file.Get()) && file.Close() &&
                        RenameStep(temporary, aTarget);
  if (!replaced) {
    const int error = errno;
    file.Close();
    unlink(temporary.c_str());
    return error;
  }
  SyncFolder(folder);
  return 0;
}

}  // namespace

void ReplaceFileAtomically(std::string_view aPath, std::string_view aData) {
  const int error = ReplaceWith(NativePath(aPath),
                                [aData](int aDescriptor) { return WriteAll(aDescriptor, aData); });
  if (error != 0) {
    throw Error("Cannot write file \"" + std::string(aPath) + "\". " + SystemErrorText(error));
  }
}

bool CopyFileReplace(std::string_view aSource, std::string_view aTarget, std::string& aError) {
  const std::string source = NativePath(aSource);
  const std::string target = NativePath(aTarget);
  FileHandle input(open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (!input.IsOpen()) {
    aError = SystemErrorMessage("Cannot open \"" + source + "\"", errno);
    return false;
  }
  const int error = ReplaceWith(target, [&input](int aDescriptor) {
    char buffer[65536];
    for (;;) {
      const ssize_t count = read(input.Get(), buffer, sizeof buffer);
      if (count == 0) return true;
      if (count < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (!WriteAll(aDescriptor, std::string_view(buffer, static_cast<std::size_t>(count)))) {
        return false;
      }
    }
  });
  if (error != 0) {
    aError = SystemErrorMessage("Cannot copy to \"" + target + "\"", error);
    return false;
  }
  return true;
}

}  // namespace qv::platform
