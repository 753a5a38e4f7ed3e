// An exclusively held lock file, the cross-process lock of the counters store.
//
// Acquire opens (creating or truncating) the file and takes the exclusive lock; on Linux that
// is flock(LOCK_EX | LOCK_NB) on the opened descriptor, on Windows CreateFileW with share
// mode 0. Each object has its own descriptor, so two objects of one process exclude each
// other like two processes. The file stays on disk after Release.
#pragma once

#include <string>

namespace qv::platform {

class LockFile {
 public:
  LockFile() = default;
  ~LockFile();  // releases
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;

  // Tries once, without waiting. On failure (another holder, or the file cannot be created)
  // returns false and sets aError to the system's text.
  bool TryAcquire(const std::string& aPath, std::string& aError);
  void Release();
  bool IsHeld() const { return fHandle >= 0; }

 private:
  long fHandle = -1;
};

}  // namespace qv::platform
