// The operating system's file system on Linux: the primitive steps of the durable file work
// as system calls on descriptors.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/file_handle_posix.h"
#include "platform/file_system.h"

namespace qv::platform {
namespace {

int Descriptor(NativeFile aFile) { return static_cast<int>(aFile); }

class SystemFileSystem final : public FileSystem {
 public:
  int Write(NativeFile aFile, std::string_view aData) override {
    return WriteAll(Descriptor(aFile), aData) ? 0 : errno;
  }

  int Flush(NativeFile aFile) override { return fsync(Descriptor(aFile)) == 0 ? 0 : errno; }

  int Rename(const std::string& aFrom, const std::string& aTo, bool aKeepExisting) override {
    if (!aKeepExisting) return rename(aFrom.c_str(), aTo.c_str()) == 0 ? 0 : errno;
    if (renameat2(AT_FDCWD, aFrom.c_str(), AT_FDCWD, aTo.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without RENAME_NOREPLACE: a hard link refuses an existing target too.
    if (link(aFrom.c_str(), aTo.c_str()) != 0) return errno;
    unlink(aFrom.c_str());
    return 0;
  }

  int Lock(NativeFile aFile) override {
    return flock(Descriptor(aFile), LOCK_EX | LOCK_NB) == 0 ? 0 : errno;
  }
};

}  // namespace

int FileSystem::RefusalCode(FileOperation aOperation) {
  return aOperation == FileOperation::Lock ? EWOULDBLOCK : EIO;
}

FileSystem& RealFileSystem() {
  // Never destroyed: a library unloaded at exit, or a thread still writing then, must not
  // find it gone.
  static SystemFileSystem* const system = new SystemFileSystem;
  return *system;
}

}  // namespace qv::platform
