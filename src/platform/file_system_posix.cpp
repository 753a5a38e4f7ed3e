// Files and folders on Linux: the drive mapping of the system's Windows-style paths and the
// file functions on top of it. Every function is safe from any thread; none keeps state
// except the environment it reads.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/clock_posix.h"
#include "platform/file_handle_posix.h"
#include "platform/file_system.h"
#include "platform/system_error.h"

namespace qv::platform {
namespace {

bool HasDriveLetter(std::string_view aPath) {
  return aPath.size() >= 2 && std::isalpha(static_cast<unsigned char>(aPath[0])) && aPath[1] == ':';
}

std::string EnvironmentValue(const std::string& aName) {
  const char* value = std::getenv(aName.c_str());
  return value != nullptr ? value : "";
}

// The folder that stands for drive aLetter (upper case), without a trailing "/".
std::string DriveRoot(char aLetter) {
  std::string root = EnvironmentValue(std::string("QVFP_DRIVE_") + aLetter);
  if (root.empty()) {
    std::string home = EnvironmentValue("HOME");
    if (home.empty()) home = "/tmp";
    root = home + "/.local/share/qvfp/" + aLetter;
  }
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

std::string WithSlashes(std::string_view aPath) {
  std::string result(aPath);
  for (char& c : result) {
    if (c == '\\') c = '/';
  }
  return result;
}

bool Stat(std::string_view aPath, struct stat& aStatus) {
  return stat(NativePath(aPath).c_str(), &aStatus) == 0;
}

std::string Quoted(const std::string& aPath) { return "\"" + aPath + "\""; }

FileStatus Failed(const std::string& aContext, int aCode) {
  return FileStatus::Failure(SystemErrorMessage(aContext, aCode));
}

// Copies the open file aSource into aTarget; false with errno set on failure.
bool CopyContent(int aSource, int aTarget) {
  char buffer[65536];
  for (;;) {
    const ssize_t count = read(aSource, buffer, sizeof buffer);
    if (count == 0) return true;
    if (count < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!WriteAll(aTarget, std::string_view(buffer, static_cast<std::size_t>(count)))) {
      return false;
    }
  }
}

// The birth time where the file system keeps it, else the last status change; false when
// aPath is no folder.
bool FolderCreationTime(const std::string& aPath, timespec& aTime) {
#if defined(STATX_BTIME)
  struct statx extended {};
  if (statx(AT_FDCWD, aPath.c_str(), 0, STATX_TYPE | STATX_BTIME | STATX_CTIME, &extended) == 0) {
    if (!S_ISDIR(extended.stx_mode)) return false;
    const auto& stamp = (extended.stx_mask & STATX_BTIME) ? extended.stx_btime : extended.stx_ctime;
    aTime.tv_sec = stamp.tv_sec;
    aTime.tv_nsec = stamp.tv_nsec;
    return true;
  }
  if (errno != ENOSYS) return false;
#endif
  struct stat status {};
  if (stat(aPath.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return false;
  aTime = status.st_ctim;
  return true;
}

}  // namespace

std::string NativePath(std::string_view aPath) {
  if (!HasDriveLetter(aPath)) return WithSlashes(aPath);
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(aPath[0])));
  std::string rest = WithSlashes(aPath.substr(2));
  if (!rest.empty() && rest.front() != '/') rest.insert(rest.begin(), '/');
  return DriveRoot(letter) + rest;
}

bool IsPathDelimiter(char aChar) { return aChar == '\\' || aChar == '/'; }

bool IsAbsolutePath(std::string_view aPath) {
  if (HasDriveLetter(aPath)) return aPath.size() >= 3 && IsPathDelimiter(aPath[2]);
  return !aPath.empty() && IsPathDelimiter(aPath[0]);
}

bool FileExists(std::string_view aPath) {
  struct stat status {};
  return Stat(aPath, status) && S_ISREG(status.st_mode);
}

bool DirectoryExists(std::string_view aPath) {
  struct stat status {};
  return Stat(aPath, status) && S_ISDIR(status.st_mode);
}

FileStatus ForceDirectories(std::string_view aPath) {
  std::string path = NativePath(aPath);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (path.empty()) return Failed("Cannot create the folder " + Quoted(path), ENOENT);
  struct stat status {};
  // The common case, a folder that is there already, costs one look instead of a try at
  // every parent.
  if (stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return FileStatus();
  // Each prefix that ends before a "/" is a parent to create first.
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    if (slash > 0 && path[slash - 1] != '/') mkdir(path.substr(0, slash).c_str(), 0777);
  }
  const int error = mkdir(path.c_str(), 0777) == 0 ? 0 : errno;
  if (stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return FileStatus();
  return Failed("Cannot create the folder " + Quoted(path),
                error == 0 || error == EEXIST ? ENOTDIR : error);
}

FileStatus CopyFileNoOverwrite(std::string_view aSource, std::string_view aTarget) {
  const std::string source = NativePath(aSource);
  const std::string target = NativePath(aTarget);
  FileHandle input(open(source.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat status {};
  if (!input.IsOpen() || fstat(input.Get(), &status) != 0) {
    return Failed("Cannot open " + Quoted(source), errno);
  }
  FileHandle output(
      open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, status.st_mode & 0777));
  if (!output.IsOpen()) return Failed("Cannot create " + Quoted(target), errno);
  if (!CopyContent(input.Get(), output.Get()) || !output.Close()) {
    const int error = errno;
    unlink(target.c_str());  // no half copy stays behind
    return Failed("Cannot copy to " + Quoted(target), error);
  }
  return FileStatus();
}

FileStatus MoveFile(std::string_view aSource, std::string_view aTarget) {
  const std::string source = NativePath(aSource);
  const std::string target = NativePath(aTarget);
  const std::string context = "Cannot move " + Quoted(source) + " to " + Quoted(target);
  // As on Windows, an existing target is never replaced.
  if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
    return FileStatus();
  }
  if (errno == EINVAL || errno == ENOSYS) {  // a file system without RENAME_NOREPLACE
    struct stat status {};
    if (lstat(target.c_str(), &status) == 0) return Failed(context, EEXIST);
    if (rename(source.c_str(), target.c_str()) != 0) return Failed(context, errno);
    return FileStatus();
  }
  if (errno != EXDEV) return Failed(context, errno);
  // Another file system: copy, then remove the original.
  if (FileStatus copied = CopyFileNoOverwrite(source, target); !copied.IsOk()) return copied;
  if (unlink(source.c_str()) != 0) return Failed(context, errno);
  return FileStatus();
}

FileStatus DeleteFile(std::string_view aPath) {
  const std::string path = NativePath(aPath);
  if (unlink(path.c_str()) != 0) return Failed("Cannot delete " + Quoted(path), errno);
  return FileStatus();
}

FileStatus AppendToFile(std::string_view aPath, std::string_view aData) {
  const std::string path = NativePath(aPath);
  FileHandle file(open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
  // A shared lock lets appenders share the file but not with an exclusive holder.
  if (!file.IsOpen() || flock(file.Get(), LOCK_SH | LOCK_NB) != 0) {
    return Failed("Cannot open " + Quoted(path), errno);
  }
  if (!WriteAll(file.Get(), aData) || !file.Close()) {
    return Failed("Cannot write " + Quoted(path), errno);
  }
  return FileStatus();
}

FileStatus ReadWholeFile(std::string_view aPath, std::string& aContent) {
  const std::string path = NativePath(aPath);
  FileHandle file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.IsOpen()) return Failed("Cannot open " + Quoted(path), errno);
  std::string content;
  char buffer[65536];
  for (;;) {
    const ssize_t count = read(file.Get(), buffer, sizeof buffer);
    if (count == 0) break;
    if (count < 0) {
      if (errno == EINTR) continue;
      return Failed("Cannot read " + Quoted(path), errno);
    }
    content.append(buffer, static_cast<std::size_t>(count));
  }
  aContent = std::move(content);
  return FileStatus();
}

FileStatus WriteWholeFile(std::string_view aPath, std::string_view aData) {
  const std::string path = NativePath(aPath);
  FileHandle file(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!file.IsOpen()) return Failed("Cannot create " + Quoted(path), errno);
  if (!WriteAll(file.Get(), aData) || !file.Close()) {
    return Failed("Cannot write " + Quoted(path), errno);
  }
  return FileStatus();
}

FileStatus FileSize(std::string_view aPath, int64_t& aSize) {
  struct stat status {};
  if (!Stat(aPath, status)) {
    return Failed("Cannot read the size of " + Quoted(NativePath(aPath)), errno);
  }
  aSize = static_cast<int64_t>(status.st_size);
  return FileStatus();
}

std::string TemporaryFolder() {
  std::string folder = EnvironmentValue("TMPDIR");
  if (folder.empty()) folder = "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder;
}

FileStatus CreateTemporaryFile(std::string_view aPrefix, std::string& aPath) {
  const std::string folder = TemporaryFolder();
  std::string path;
  // "<prefix>XXXXXX.tmp", as Windows names its temporary files "<prefix>XXXX.tmp".
  FileHandle file(CreateUniqueFile(folder, aPrefix, ".tmp", path));
  if (!file.IsOpen()) return Failed("Cannot create a temporary file in " + Quoted(folder), errno);
  aPath = std::move(path);
  return FileStatus();
}

std::vector<std::string> ListFileNames(std::string_view aFolder) {
  std::vector<std::string> names;
  std::string folder = NativePath(aFolder);
  if (!folder.empty() && folder.back() != '/') folder += '/';
  DIR* directory = opendir(folder.empty() ? "." : folder.c_str());
  if (directory == nullptr) return names;
  while (const dirent* entry = readdir(directory)) {
    if (entry->d_type == DT_REG) {
      names.emplace_back(entry->d_name);
    } else if (entry->d_type == DT_UNKNOWN) {
      struct stat status {};
      if (stat((folder + entry->d_name).c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
        names.emplace_back(entry->d_name);
      }
    }
  }
  closedir(directory);
  return names;
}

std::vector<SubFolder> ListSubFolders(std::string_view aPath) {
  std::vector<SubFolder> folders;
  std::string parent = NativePath(aPath);
  if (!parent.empty() && parent.back() != '/') parent += '/';
  DIR* directory = opendir(parent.empty() ? "." : parent.c_str());
  if (directory == nullptr) return folders;
  while (const dirent* entry = readdir(directory)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK) {
      continue;
    }
    timespec created{};
    if (!FolderCreationTime(parent + name, created)) continue;
    folders.push_back({name, LocalTimeOf(created)});
  }
  closedir(directory);
  return folders;
}

}  // namespace qv::platform
