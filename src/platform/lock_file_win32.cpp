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

}  // namespace

LockFile::~LockFile() { Release(); }

bool LockFile::TryAcquire(const std::string& aPath, std::string& aError) {
  return Acquire(aPath, /*aTruncate=*/true, aError);
}

bool LockFile::TryAcquireWithoutTruncating(const std::string& aPath, std::string& aError) {
  return Acquire(aPath, /*aTruncate=*/false, aError);
}

bool LockFile::Acquire(const std::string& aPath, bool aTruncate, std::string& aError) {
  Release();
  if (ShouldFailFileOperation(FileOperation::Lock)) {  // as if another holder had it
    aError = SystemErrorText(ERROR_SHARING_VIOLATION);
    return false;
  }
  HANDLE file = CreateFileW(ToWide(NativePath(aPath)).c_str(), GENERIC_READ | GENERIC_WRITE,
                            /*dwShareMode=*/0, nullptr, aTruncate ? CREATE_ALWAYS : OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    aError = SystemErrorText(LastSystemError());
    return false;
  }
  fHandle = AsField(file);
  return true;
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
