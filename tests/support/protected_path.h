// A file or folder that the system protects while the object lives, to play a disk whose
// changes the system refuses (Linux inode flags, which only root may set, on file systems
// that keep them): an immutable file can be neither changed nor removed; in an append-only
// folder files can be made but never removed. Tests run on Linux and may use its headers.
#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <string>

namespace qv::testing {

class tProtectedPath {
 public:
  enum class tKind { Immutable, AppendOnly };

  tProtectedPath(const std::string& aPath, tKind aKind)
      : fDescriptor(open(aPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)),
        fFlag(aKind == tKind::Immutable ? FS_IMMUTABLE_FL : FS_APPEND_FL) {
    int flags = 0;
    if (fDescriptor < 0 || ioctl(fDescriptor, FS_IOC_GETFLAGS, &flags) != 0) return;
    flags |= fFlag;
    fSet = ioctl(fDescriptor, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ~tProtectedPath() {
    Clear();
    if (fDescriptor >= 0) close(fDescriptor);
  }
  tProtectedPath(const tProtectedPath&) = delete;
  tProtectedPath& operator=(const tProtectedPath&) = delete;

  // False when the system could not protect the path (not root, or no such flags here).
  bool IsSet() const { return fSet; }
  void Clear() {
    int flags = 0;
    if (fSet && ioctl(fDescriptor, FS_IOC_GETFLAGS, &flags) == 0) {
      flags &= ~fFlag;
      ioctl(fDescriptor, FS_IOC_SETFLAGS, &flags);
    }
    fSet = false;
  }

 private:
  int fDescriptor;
  int fFlag;
  bool fSet = false;
};

}  // namespace qv::testing
