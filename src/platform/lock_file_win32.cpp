// The lock file as a file opened with share mode 0: while one handle is open no other open
// of the file succeeds, in this process or another, and the system closes the handle (so
// drops the lock) if the process dies.
#include "platform/windows_headers_win32.h"

#include "platform/file_system.h"
#include "platform/lock_file.h"
#include "platform/system_error.h"

namespace qv::platform {

namespace {

// Kernel handles are small numbers that fit 32 bits on 64-bit Windows too (the system keeps
// them so for 32-bit processes that share them).
long AsField(HANDLE aHandle) { return static_cast<long>(reinterpret_cast<intptr_t>(aHandle)); }
HANDLE AsHandle(long aField) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(aField)); }

// The code a refused write reports when the failure-injection seam makes it fail.
constexpr DWORD kInjectedError = ERROR_WRITE_FAULT;

HANDLE OpenUnshared(const std::string& aPath, DWORD aDisposition) {
  return CreateFileW(ToWide(NativePath(aPath)).c_str(), GENERIC_READ | GENERIC_WRITE,
                     /*dwShareMode=*/0, nullptr, aDisposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool WriteContent(HANDLE aFile, std::string_view aContent) {
  if (ShouldFailFileOperation(FileOperation::Write)) {
    SetLastError(kInjectedError);
    return false;
  }
  while (!aContent.empty()) {
    const DWORD chunk =
        aContent.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(aContent.size());
    DWORD written = 0;
    if (!WriteFile(aFile, aContent.data(), chunk, &written, nullptr)) return false;
    aContent.remove_prefix(written);
  }
  return true;
}

// FlushFileBuffers through the failure seam, as every flush of a durable record goes.
bool FlushToDisk(HANDLE aFile) {
  if (ShouldFailFileOperation(FileOperation::Flush)) {
    SetLastError(kInjectedError);
    return false;
  }
  return FlushFileBuffers(aFile) != 0;
}

// A lock file's failures carry the system's text alone.
FileStatus Failed(DWORD aCode) {
  return FileStatus::Failure(SystemErrorText(static_cast<int>(aCode)));
}

}  // namespace

LockFile::~LockFile() { Release(); }

FileStatus LockFile::TryCreateHeld(const std::string& aPath, std::string_view aContent) {
  Release();
  if (ShouldFailFileOperation(FileOperation::Lock)) {  // as if another holder had it
    return Failed(ERROR_SHARING_VIOLATION);
  }
  HANDLE file = OpenUnshared(aPath, CREATE_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) return Failed(GetLastError());
  // A record that must outlive a power cut: on disk before it is held.
  if (!WriteContent(file, aContent) || !FlushToDisk(file)) {
    const DWORD error = GetLastError();
    CloseHandle(file);
    return Failed(error);
  }
  fHandle = AsField(file);
  return FileStatus();
}

FileStatus LockFile::TryAcquireExisting(const std::string& aPath) {
  Release();
  if (ShouldFailFileOperation(FileOperation::Lock)) {  // as if another holder had it
    return Failed(ERROR_SHARING_VIOLATION);
  }
  HANDLE file = OpenUnshared(aPath, OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE) return Failed(GetLastError());
  fHandle = AsField(file);
  return FileStatus();
}

FileStatus LockFile::ReadHeld(std::string& aContent) const {
  aContent.clear();
  if (fHandle < 0) return Failed(ERROR_INVALID_HANDLE);
  HANDLE file = AsHandle(fHandle);
  if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
    return Failed(GetLastError());
  }
  char buffer[8192];
  for (;;) {
    DWORD count = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &count, nullptr)) return Failed(GetLastError());
    if (count == 0) return FileStatus();
    aContent.append(buffer, count);
  }
}

FileStatus LockFile::TryAcquire(const std::string& aPath) {
  return Acquire(aPath, /*aTruncate=*/true);
}

FileStatus LockFile::TryAcquireWithoutTruncating(const std::string& aPath) {
  return Acquire(aPath, /*aTruncate=*/false);
}

FileStatus LockFile::Acquire(const std::string& aPath, bool aTruncate) {
  Release();
  if (ShouldFailFileOperation(FileOperation::Lock)) {  // as if another holder had it
    return Failed(ERROR_SHARING_VIOLATION);
  }
  HANDLE file = CreateFileW(ToWide(NativePath(aPath)).c_str(), GENERIC_READ | GENERIC_WRITE,
                            /*dwShareMode=*/0, nullptr, aTruncate ? CREATE_ALWAYS : OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Failed(GetLastError());
  fHandle = AsField(file);
  return FileStatus();
}

bool LockFile::HoldsFile(const std::string& aPath) const {
  if (fHandle < 0) return false;
  BY_HANDLE_FILE_INFORMATION held{}, named{};
  if (!GetFileInformationByHandle(AsHandle(fHandle), &held)) return false;
  // Asking for no data access passes the share mode 0 of the held handle.
  HANDLE file = CreateFileW(ToWide(NativePath(aPath)).c_str(), /*dwDesiredAccess=*/0,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool read = GetFileInformationByHandle(file, &named) != 0;
  CloseHandle(file);
  return read && held.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
         held.nFileIndexHigh == named.nFileIndexHigh && held.nFileIndexLow == named.nFileIndexLow;
}

void LockFile::Release() {
  if (fHandle < 0) return;
  CloseHandle(AsHandle(fHandle));
  fHandle = -1;
}

}  // namespace qv::platform
