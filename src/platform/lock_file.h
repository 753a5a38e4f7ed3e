// An exclusively held lock file, the cross-process lock of the counters store, and the way a
// process holds a record of work in flight (a receipt's queue record) so that others can
// tell whether its holder still lives: the system drops the lock when the process dies.
//
// Acquire opens (creating or truncating) the file and takes the exclusive lock; on Linux that
// is flock(LOCK_EX | LOCK_NB) on the opened descriptor, on Windows CreateFileW with share
// mode 0. Each object has its own descriptor, so two objects of one process exclude each
// other like two processes. The file stays on disk after Release. The system's text of a
// failure is for example "Resource temporarily unavailable" (another holder). The lock, the
// write and the flush of a held record go through the file system object the lock is given.
// One object is used by one thread at a time.
#pragma once

#include <string>
#include <string_view>

#include "platform/file_status.h"
#include "platform/file_system.h"

namespace qv::platform {

class LockFile {
 public:
  // aFileSystem outlives the object.
  explicit LockFile(FileSystem& aFileSystem = RealFileSystem()) : fFileSystem(&aFileSystem) {}
  ~LockFile();  // releases
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;

  // Every failure's message is the system's text alone, without a context.
  //
  // Tries once, without waiting; fails when another holder has the file or it cannot be
  // created.
  FileStatus TryAcquire(const std::string& aPath);
  // As TryAcquire, but while another holder keeps the file it tries again after pauses of
  // 1 ms growing to 8 ms, so that it holds the file within milliseconds of its release,
  // until aMilliseconds have passed (a last attempt is made then). A failure is that of the
  // last attempt.
  FileStatus TryAcquireWithin(const std::string& aPath, int aMilliseconds);
  // As TryAcquire, but keeps the file's content (creating it when missing): holds an
  // ordinary file, such as a log file, exclusively, so that AppendToFile fails meanwhile.
  FileStatus TryAcquireWithoutTruncating(const std::string& aPath);
  // Creates aPath (or empties it once held), holds it, writes aContent into it and flushes it
  // and its folder entry to disk, so that the record outlives a power cut as well as the
  // process. A failure leaves
  // no hold; a file created but not written may remain.
  FileStatus TryCreateHeld(const std::string& aPath, std::string_view aContent);
  // Holds the existing file aPath without changing it. Fails when it is missing, when
  // another holder has it, or when it was removed while this call took it.
  FileStatus TryAcquireExisting(const std::string& aPath);
  // The whole content of the held file into aContent.
  FileStatus ReadHeld(std::string& aContent) const;
  void Release();
  bool IsHeld() const { return fHandle >= 0; }
  // True while this object holds the very file that aPath names (through another spelling,
  // a link or the same path): a second lock on it would only wait for this one.
  bool HoldsFile(const std::string& aPath) const;

 private:
  FileStatus Acquire(const std::string& aPath, bool aTruncate);

  FileSystem* fFileSystem;
  long fHandle = -1;
};

}  // namespace qv::platform
