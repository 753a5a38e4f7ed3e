// The lock file as an exclusive flock on a descriptor of its own. flock locks belong to
// the open file description, so two LockFile objects of one process exclude each other
// exactly as two processes do, and the system drops the lock if the process dies.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_system.h"
#include "platform/lock_file.h"
#include "platform/system_error.h"

namespace qv::platform {

LockFile::~LockFile() { Release(); }

bool LockFile::TryAcquire(const std::string& aPath, std::string& aError) {
  return Acquire(aPath, /*aTruncate=*/true, aError);
}

bool LockFile::TryAcquireWithoutTruncating(const std::string& aPath, std::string& aError) {
  return Acquire(aPath, /*aTruncate=*/false, aError);
}

bool LockFile::Acquire(const std::string& aPath, bool aTruncate, std::string& aError) {
  Release();
  const std::string path = NativePath(aPath);
  const int flags = O_CREAT | O_WRONLY | O_CLOEXEC | (aTruncate ? O_TRUNC : 0);
  const int descriptor = open(path.c_str(), flags, 0666);
  if (descriptor < 0) {
    aError = SystemErrorText(errno);
    return false;
  }
  int error = 0;
  if (ShouldFailFileOperation(FileOperation::Lock)) {
    error = EWOULDBLOCK;  // as if another holder had it
  } else if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    error = errno;
  }
  if (error != 0) {
    close(descriptor);
    aError = SystemErrorText(error);
    return false;
  }
  fHandle = descriptor;
  return true;
}

bool LockFile::HoldsFile(const std::string& aPath) const {
  if (fHandle < 0) return false;
  struct stat held {
  }, named{};
  if (fstat(static_cast<int>(fHandle), &held) != 0) return false;
  if (stat(NativePath(aPath).c_str(), &named) != 0) return false;
  return held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

void LockFile::Release() {
  if (fHandle < 0) return;
  close(static_cast<int>(fHandle));  // closing the last descriptor drops the flock
  fHandle = -1;
}

}  // namespace qv::platform
