// Durable appends and the tail of a file, for records that only ever grow (the journal
// chain): an append reaches the disk (FlushFileBuffers) before it returns, and a torn last
// line can be cut.
#include "platform/file_handle_win32.h"

#include "platform/file_system.h"
#include "platform/system_error.h"

namespace qv::platform {
namespace {

// The code a refused call reports when the seam makes it fail.
constexpr DWORD kInjectedError = ERROR_WRITE_FAULT;

std::string Quoted(const std::string& aPath) { return "\"" + aPath + "\""; }

bool InjectedFailure(FileOperation aOperation) {
  if (!ShouldFailFileOperation(aOperation)) return false;
  SetLastError(kInjectedError);
  return true;
}

}  // namespace

bool AppendToFileDurably(std::string_view aPath, std::string_view aData, std::string& aError) {
  const std::string path = NativePath(aPath);
  FileHandle file(CreateFileW(ToWide(path).c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsOpen()) {
    aError = SystemErrorMessage("Cannot open " + Quoted(path), LastSystemError());
    return false;
  }
  if (InjectedFailure(FileOperation::Write) || !WriteAll(file.Get(), aData)) {
    aError = SystemErrorMessage("Cannot write " + Quoted(path), LastSystemError());
    return false;
  }
  if (InjectedFailure(FileOperation::Flush) || !FlushFileBuffers(file.Get()) || !file.Close()) {
    aError = SystemErrorMessage("Cannot flush " + Quoted(path), LastSystemError());
    return false;
  }
  return true;
}

bool ReadFileTail(std::string_view aPath, std::size_t aMaxBytes, std::string& aTail,
                  int64_t& aFileSize, std::string& aError) {
  const std::string path = NativePath(aPath);
  FileHandle file(OpenForReading(path));
  LARGE_INTEGER size{};
  if (!file.IsOpen() || !GetFileSizeEx(file.Get(), &size)) {
    aError = SystemErrorMessage("Cannot open " + Quoted(path), LastSystemError());
    return false;
  }
  const int64_t from =
      size.QuadPart > static_cast<int64_t>(aMaxBytes) ? size.QuadPart - aMaxBytes : 0;
  LARGE_INTEGER position{};
  position.QuadPart = from;
  std::string tail(static_cast<std::size_t>(size.QuadPart - from), '\0');
  std::size_t done = 0;
  if (!SetFilePointerEx(file.Get(), position, nullptr, FILE_BEGIN)) {
    aError = SystemErrorMessage("Cannot read " + Quoted(path), LastSystemError());
    return false;
  }
  while (done < tail.size()) {
    DWORD count = 0;
    if (!ReadFile(file.Get(), tail.data() + done, static_cast<DWORD>(tail.size() - done), &count,
                  nullptr)) {
      aError = SystemErrorMessage("Cannot read " + Quoted(path), LastSystemError());
      return false;
    }
    if (count == 0) break;  // the file shrank meanwhile
    done += count;
  }
  tail.resize(done);
  aTail = std::move(tail);
  aFileSize = from + static_cast<int64_t>(done);
  return true;
}

bool TruncateFile(std::string_view aPath, int64_t aSize, std::string& aError) {
  const std::string path = NativePath(aPath);
  FileHandle file(CreateFileW(ToWide(path).c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER position{};
  position.QuadPart = aSize;
  if (!file.IsOpen() || !SetFilePointerEx(file.Get(), position, nullptr, FILE_BEGIN) ||
      !SetEndOfFile(file.Get()) || !FlushFileBuffers(file.Get()) || !file.Close()) {
    aError = SystemErrorMessage("Cannot cut " + Quoted(path), LastSystemError());
    return false;
  }
  return true;
}

}  // namespace qv::platform
