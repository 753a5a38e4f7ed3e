// Durable appends and the tail of a file, for records that only ever grow (the journal
// chain): an append reaches the disk before it returns, and a torn last line can be cut.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_handle_posix.h"
#include "platform/file_system.h"
#include "platform/system_error.h"

namespace qv::platform {
namespace {

std::string Quoted(const std::string& aPath) { return "\"" + aPath + "\""; }

FileStatus Failed(const std::string& aContext, int aCode) {
  return FileStatus::Failure(SystemErrorMessage(aContext, aCode));
}

}  // namespace

FileStatus AppendToFileDurably(std::string_view aPath, std::string_view aData,
                               FileSystem& aFileSystem) {
  const std::string path = NativePath(aPath);
  const bool existed = access(path.c_str(), F_OK) == 0;
  FileHandle file(open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
  if (!file.IsOpen()) return Failed("Cannot open " + Quoted(path), errno);
  if (const int error = aFileSystem.Write(file.Get(), aData); error != 0) {
    return Failed("Cannot write " + Quoted(path), error);
  }
  if (const int error = aFileSystem.Flush(file.Get()); error != 0) {
    return Failed("Cannot flush " + Quoted(path), error);
  }
  if (!file.Close()) return Failed("Cannot flush " + Quoted(path), errno);
  if (!existed) SyncFolder(FolderOfNativePath(path));
  return FileStatus();
}

FileStatus ReadFileTail(std::string_view aPath, std::size_t aMaxBytes, std::string& aTail,
                        int64_t& aFileSize) {
  const std::string path = NativePath(aPath);
  FileHandle file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat status {};
  if (!file.IsOpen() || fstat(file.Get(), &status) != 0) {
    return Failed("Cannot open " + Quoted(path), errno);
  }
  const int64_t size = status.st_size;
  const int64_t from = size > static_cast<int64_t>(aMaxBytes) ? size - aMaxBytes : 0;
  std::string tail(static_cast<std::size_t>(size - from), '\0');
  std::size_t done = 0;
  while (done < tail.size()) {
    const ssize_t count = pread(file.Get(), tail.data() + done, tail.size() - done,
                                static_cast<off_t>(from + static_cast<int64_t>(done)));
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return Failed("Cannot read " + Quoted(path), errno);
    if (count == 0) break;  // the file shrank meanwhile
    done += static_cast<std::size_t>(count);
  }
  tail.resize(done);
  aTail = std::move(tail);
  aFileSize = from + static_cast<int64_t>(done);
  return FileStatus();
}

FileStatus TruncateFile(std::string_view aPath, int64_t aSize) {
  const std::string path = NativePath(aPath);
  FileHandle file(open(path.c_str(), O_WRONLY | O_CLOEXEC));
  if (!file.IsOpen() || ftruncate(file.Get(), static_cast<off_t>(aSize)) != 0 ||
      fsync(file.Get()) != 0 || !file.Close()) {
    return Failed("Cannot cut " + Quoted(path), errno);
  }
  return FileStatus();
}

}  // namespace qv::platform
