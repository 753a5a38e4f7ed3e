// Durable appends and the tail of a file, for records that only ever grow (the journal
// chain): an append reaches the disk (FlushFileBuffers) before it returns, and a torn last
// line can be cut.
#include "platform/file_handle_win32.h"

#include "platform/file_system.h"
#include "platform/system_error.h"

namespace qv::platform {
namespace {

std::string Quoted(const std::string& aPath) { return "\"" + aPath + "\""; }

FileStatus Failed(const std::string& aContext, DWORD aCode) {
  return FileStatus::Failure(SystemErrorMessage(aContext, static_cast<int>(aCode)));
}

}  // namespace

FileStatus AppendToFileDurably(std::string_view aPath, std::string_view aData,
                               FileSystem& aFileSystem) {
  const std::string path = NativePath(aPath);
  FileHandle file(CreateFileW(ToWide(path).c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsOpen()) return Failed("Cannot open " + Quoted(path), GetLastError());
  const NativeFile native = reinterpret_cast<NativeFile>(file.Get());
  if (const int error = aFileSystem.Write(native, aData); error != 0) {
    return Failed("Cannot write " + Quoted(path), static_cast<DWORD>(error));
  }
  if (const int error = aFileSystem.Flush(native); error != 0) {
    return Failed("Cannot flush " + Quoted(path), static_cast<DWORD>(error));
  }
  if (!file.Close()) return Failed("Cannot flush " + Quoted(path), GetLastError());
  return FileStatus();
}

FileStatus ReadFileTail(std::string_view aPath, std::size_t aMaxBytes, std::string& aTail,
                        int64_t& aFileSize) {
  const std::string path = NativePath(aPath);
  FileHandle file(OpenForReading(path));
  LARGE_INTEGER size{};
  if (!file.IsOpen() || !GetFileSizeEx(file.Get(), &size)) {
    return Failed("Cannot open " + Quoted(path), GetLastError());
  }
  const int64_t from =
      size.QuadPart > static_cast<int64_t>(aMaxBytes) ? size.QuadPart - aMaxBytes : 0;
  LARGE_INTEGER position{};
  position.QuadPart = from;
  std::string tail(static_cast<std::size_t>(size.QuadPart - from), '\0');
  std::size_t done = 0;
  if (!SetFilePointerEx(file.Get(), position, nullptr, FILE_BEGIN)) {
    return Failed("Cannot read " + Quoted(path), GetLastError());
  }
  while (done < tail.size()) {
    DWORD count = 0;
    if (!ReadFile(file.Get(), tail.data() + done, static_cast<DWORD>(tail.size() - done), &count,
                  nullptr)) {
      return Failed("Cannot read " + Quoted(path), GetLastError());
    }
    if (count == 0) break;  // the file shrank meanwhile
    done += count;
  }
  tail.resize(done);
  aTail = std::move(tail);
  aFileSize = from + static_cast<int64_t>(done);
  return FileStatus();
}

FileStatus TruncateFile(std::string_view aPath, int64_t aSize) {
  const std::string path = NativePath(aPath);
  FileHandle file(CreateFileW(ToWide(path).c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER position{};
  position.QuadPart = aSize;
  if (!file.IsOpen() || !SetFilePointerEx(file.Get(), position, nullptr, FILE_BEGIN) ||
      !SetEndOfFile(file.Get()) || !FlushFileBuffers(file.Get()) || !file.Close()) {
    return Failed("Cannot cut " + Quoted(path), GetLastError());
  }
  return FileStatus();
}

}  // namespace qv::platform
