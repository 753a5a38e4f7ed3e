// The lock file as an exclusive flock on a descriptor of its own, taken through the lock's
// file system object. flock locks belong to
// the open file description, so two LockFile objects of one process exclude each other
// exactly as two processes do, and the system drops the lock if the process dies.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_handle_posix.h"
#include "platform/file_system.h"
#include "platform/lock_file.h"
#include "platform/system_error.h"

namespace qv::platform {

namespace {

// Whether aPath still names the file open as aDescriptor (not removed or replaced).
bool SameFile(const std::string& aPath, int aDescriptor) {
  struct stat named {
  }, open{};
  return stat(aPath.c_str(), &named) == 0 && fstat(aDescriptor, &open) == 0 &&
         named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

// A lock file's failures carry the system's text alone.
FileStatus Failed(int aCode) { return FileStatus::Failure(SystemErrorText(aCode)); }

}  // namespace

LockFile::~LockFile() { Release(); }

FileStatus LockFile::TryCreateHeld(const std::string& aPath, std::string_view aContent) {
  Release();
  const std::string path = NativePath(aPath);
  // Truncated only once held: a refused creation leaves another holder's record whole.
  const int descriptor = open(path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0666);
  if (descriptor < 0) return Failed(errno);
  int error = fFileSystem->Lock(descriptor);
  if (error == 0 && ftruncate(descriptor, 0) != 0) error = errno;
  if (error == 0) error = fFileSystem->Write(descriptor, aContent);
  // A record that must outlive a power cut: on disk, name and content, before it is held.
  if (error == 0) error = fFileSystem->Flush(descriptor);
  if (error != 0) {
    close(descriptor);
    return Failed(error);
  }
  SyncFolder(FolderOfNativePath(path));
  fHandle = descriptor;
  return FileStatus();
}

FileStatus LockFile::TryAcquireExisting(const std::string& aPath) {
  Release();
  const std::string path = NativePath(aPath);
  const int descriptor = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (descriptor < 0) return Failed(errno);
  int error = fFileSystem->Lock(descriptor);
  // The holder may have removed the file between the open and the lock.
  if (error == 0 && !SameFile(path, descriptor)) error = ENOENT;
  if (error != 0) {
    close(descriptor);
    return Failed(error);
  }
  fHandle = descriptor;
  return FileStatus();
}

FileStatus LockFile::ReadHeld(std::string& aContent) const {
  aContent.clear();
  if (fHandle < 0) return Failed(EBADF);
  const int descriptor = static_cast<int>(fHandle);
  char buffer[8192];
  for (off_t offset = 0;;) {
    const ssize_t count = pread(descriptor, buffer, sizeof buffer, offset);
    if (count == 0) return FileStatus();
    if (count < 0) {
      if (errno == EINTR) continue;
      return Failed(errno);
    }
    aContent.append(buffer, static_cast<std::size_t>(count));
    offset += count;
  }
}

FileStatus LockFile::Acquire(const std::string& aPath, bool aTruncate) {
  Release();
  const std::string path = NativePath(aPath);
  const int flags = O_CREAT | O_WRONLY | O_CLOEXEC | (aTruncate ? O_TRUNC : 0);
  const int descriptor = open(path.c_str(), flags, 0666);
  if (descriptor < 0) return Failed(errno);
  const int error = fFileSystem->Lock(descriptor);
  if (error != 0) {
    close(descriptor);
    return Failed(error);
  }
  fHandle = descriptor;
  return FileStatus();
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
