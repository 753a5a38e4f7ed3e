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
#include "platform/file_replace_system.h"

namespace qv::platform {
namespace {

using file_replace_system::IsTemporaryName;

// A clean-up of debris that took the temporary file away before it was locked: the replace
// starts again with a new one.
constexpr int kReplaceAttempts = 3;

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
  FileHandle file(
      CreateUniqueFile(folder, prefix, file_replace_system::kTemporarySuffix, temporary));
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

// Removes the temporary file aPath unless a living replace holds it.
bool RemoveWhenAbandoned(const std::string& aPath) {
  FileHandle file(open(aPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (!file.IsOpen() || flock(file.Get(), LOCK_EX | LOCK_NB) != 0) return false;
  return unlink(aPath.c_str()) == 0;
}

}  // namespace

namespace file_replace_system {

int ReplaceWith(const std::string& aTarget, std::string_view aData, FileSystem& aFileSystem,
                bool aKeepExisting) {
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

bool IsFileExistsCode(int aError) { return aError == EEXIST; }

}  // namespace file_replace_system

int RemoveInterruptedReplaceFiles(std::string_view aFolder) {
  std::string folder = NativePath(aFolder);
  if (folder.empty()) folder = ".";
  if (folder.back() != '/') folder += '/';
  DIR* directory = opendir(folder.c_str());
  if (directory == nullptr) return 0;
  int removed = 0;
  while (const dirent* entry = readdir(directory)) {
    if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN) continue;
    if (IsTemporaryName(entry->d_name, '.') && RemoveWhenAbandoned(folder + entry->d_name)) {
      ++removed;
    }
  }
  closedir(directory);
  return removed;
}

}  // namespace qv::platform
