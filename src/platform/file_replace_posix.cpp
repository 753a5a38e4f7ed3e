// Whole-file replacement that a crash or a full disk cannot tear: the new content goes to a
// temporary file in the target's folder, reaches the disk, and only then is renamed over the
// target (or, for a file that must never be overwritten, renamed only where no file of that
// name exists), so the file is always either the old or the new one. The write, flush and
// rename steps go through the file system object the caller gives.
//
// The temporary file is named "." + target name + "." + six letters or digits + ".tmp" and
// is held with an exclusive flock while it is written, so that the clean-up of the debris of
// interrupted replaces (a process killed half-way) never takes the file of a living one.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>

#include "platform/file_handle_posix.h"
#include "platform/file_system.h"
#include "platform/system_error.h"

namespace qv::platform {
namespace {

// A clean-up of debris that took the temporary file away before it was locked: the replace
// starts again with a new one.
constexpr int kReplaceAttempts = 3;
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kUniquePartLength = 6;

std::string BaseNameOf(const std::string& aPath) {
  const auto slash = aPath.find_last_of('/');
  return slash == std::string::npos ? aPath : aPath.substr(slash + 1);
}

bool StillExists(const std::string& aPath) {
  struct stat status {};
  return lstat(aPath.c_str(), &status) == 0;
}

enum class tAttempt { Done, Failed, TakenAway };

// One attempt of ReplaceWith; aError is the system's error code when it failed.
tAttempt ReplaceOnce(const std::string& aTarget, std::string_view aData, FileSystem& aFileSystem,
                     bool aKeepExisting, int& aError) {
  const std::string folder = FolderOfNativePath(aTarget);
  std::string temporary;
  // Built step by step: "." + name trips a false -Wrestrict of g++ 12 in optimised builds.
  std::string prefix = ".";
  prefix += BaseNameOf(aTarget);
  prefix += '.';
  FileHandle file(CreateUniqueFile(folder, prefix, kTemporarySuffix, temporary));
  if (!file.IsOpen()) {
    aError = errno;
    return tAttempt::Failed;
  }
  // A file system without flock is written unguarded; a held lock means a clean-up of
  // debris has just taken the new file for abandoned.
  if (flock(file.Get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    aError = errno;
    return tAttempt::TakenAway;
  }
  struct stat existing {};
  if (stat(aTarget.c_str(), &existing) == 0) fchmod(file.Get(), existing.st_mode & 07777);
  // The flush has reported any lost write; the file stays open, and locked, until renamed.
  aError = aFileSystem.Write(file.Get(), aData);
  if (aError == 0) aError = aFileSystem.Flush(file.Get());
  if (aError == 0) aError = aFileSystem.Rename(temporary, aTarget, aKeepExisting);
  if (aError == 0) {
    SyncFolder(folder);
    return tAttempt::Done;
  }
  if (!StillExists(temporary)) return tAttempt::TakenAway;
  unlink(temporary.c_str());
  return tAttempt::Failed;
}

// Replaces the native file aTarget with aData; 0, or the system's error code with the
// temporary file removed and aTarget untouched. With aKeepExisting an existing aTarget is
// never replaced: EEXIST.
int ReplaceWith(const std::string& aTarget, std::string_view aData, FileSystem& aFileSystem,
                bool aKeepExisting = false) {
  int error = EIO;
  for (int attempt = 0; attempt < kReplaceAttempts; ++attempt) {
    switch (ReplaceOnce(aTarget, aData, aFileSystem, aKeepExisting, error)) {
      case tAttempt::Done:
        return 0;
      case tAttempt::Failed:
        return error;
      case tAttempt::TakenAway:
        break;
    }
  }
  return error;
}

// "." + a name + "." + six letters or digits + ".tmp", the temporary file of ReplaceOnce.
bool IsReplaceTemporaryName(std::string_view aName) {
  const std::size_t tail = 1 + kUniquePartLength + kTemporarySuffix.size();
  if (aName.size() < 2 + tail || aName[0] != '.') return false;
  if (aName.substr(aName.size() - kTemporarySuffix.size()) != kTemporarySuffix) return false;
  if (aName[aName.size() - tail] != '.') return false;
  for (std::size_t i = aName.size() - tail + 1; i < aName.size() - kTemporarySuffix.size(); ++i) {
    if (!std::isalnum(static_cast<unsigned char>(aName[i]))) return false;
  }
  return true;
}

// Removes the temporary file aPath unless a living replace holds it.
bool RemoveWhenAbandoned(const std::string& aPath) {
  FileHandle file(open(aPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (!file.IsOpen() || flock(file.Get(), LOCK_EX | LOCK_NB) != 0) return false;
  return unlink(aPath.c_str()) == 0;
}

// The failure of a replace or a creation, in the words the till's log has always shown.
FileStatus CannotWrite(std::string_view aPath, int aError) {
  return FileStatus::Failure("Cannot write file \"" + std::string(aPath) + "\". " +
                             SystemErrorText(aError));
}

}  // namespace

FileStatus CreateFileAtomically(std::string_view aPath, std::string_view aData, bool& aCreated,
                                FileSystem& aFileSystem) {
  const int error = ReplaceWith(NativePath(aPath), aData, aFileSystem, /*aKeepExisting=*/true);
  aCreated = error == 0;
  if (error == 0 || error == EEXIST) return FileStatus();
  return CannotWrite(aPath, error);
}

int RemoveInterruptedReplaceFiles(std::string_view aFolder) {
  std::string folder = NativePath(aFolder);
  if (folder.empty()) folder = ".";
  if (folder.back() != '/') folder += '/';
  DIR* directory = opendir(folder.c_str());
  if (directory == nullptr) return 0;
  int removed = 0;
  while (const dirent* entry = readdir(directory)) {
    if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN) continue;
    if (IsReplaceTemporaryName(entry->d_name) && RemoveWhenAbandoned(folder + entry->d_name)) {
      ++removed;
    }
  }
  closedir(directory);
  return removed;
}

FileStatus ReplaceFileAtomically(std::string_view aPath, std::string_view aData,
                                 FileSystem& aFileSystem) {
  const int error = ReplaceWith(NativePath(aPath), aData, aFileSystem);
  if (error != 0) return CannotWrite(aPath, error);
  return FileStatus();
}

FileStatus CopyFileReplace(std::string_view aSource, std::string_view aTarget,
                           FileSystem& aFileSystem) {
  std::string content;
  // "Cannot open \"<source>\": <OS text>" when the source cannot be read.
  if (FileStatus read = ReadWholeFile(aSource, content); !read.IsOk()) return read;
  const std::string target = NativePath(aTarget);
  const int error = ReplaceWith(target, content, aFileSystem);
  if (error != 0) {
    return FileStatus::Failure(SystemErrorMessage("Cannot copy to \"" + target + "\"", error));
  }
  return FileStatus();
}

}  // namespace qv::platform
