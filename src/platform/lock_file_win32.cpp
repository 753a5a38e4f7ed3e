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

HANDLE OpenUnshared(const std::string& aPath, DWORD aDisposition) {
  return CreateFileW(ToWide(NativePath(aPath)).c_str(), GENERIC_READ | GENERIC_WRITE,
                     /*dwShareMode=*/0, nullptr, aDisposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// A lock file's failures carry the system's text alone.
FileStatus Failed(DWORD aCode) {
  return FileStatus::Failure(SystemErrorText(static_cast<int>(aCode)));
}

// Holds aFile, just opened unshared (INVALID_HANDLE_VALUE: the open failed), through
// aFileSystem: aField keeps it, or it is closed again.
FileStatus Hold(HANDLE aFile, FileSystem& aFileSystem, long& aField) {
  if (aFile == INVALID_HANDLE_VALUE) return Failed(GetLastError());
  if (const int error = aFileSystem.Lock(reinterpret_cast<NativeFile>(aFile)); error != 0) {
    CloseHandle(aFile);
    return Failed(static_cast<DWORD>(error));
  }
  aField = AsField(aFile);
  return FileStatus();
}

}  // namespace

LockFile::~LockFile() { Release(); }

FileStatus LockFile::TryCreateHeld(const std::string& aPath, std::string_view aContent) {
  Release();
  // Emptied only once held, as on every system: a refused hold leaves the content whole.
  HANDLE file = OpenUnshared(aPath, OPEN_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) return Failed(GetLastError());
  const NativeFile native = reinterpret_cast<NativeFile>(file);
  int error = fFileSystem->Lock(native);
  if (error == 0 && !SetEndOfFile(file)) error = static_cast<int>(GetLastError());
  if (error == 0) error = fFileSystem->Write(native, aContent);
  // A record that must outlive a power cut: on disk before it is held.
  if (error == 0) error = fFileSystem->Flush(native);
  if (error != 0) {
    CloseHandle(file);
    return Failed(static_cast<DWORD>(error));
  }
  fHandle = AsField(file);
  return FileStatus();
}

FileStatus LockFile::TryAcquireExisting(const std::string& aPath) {
  Release();
  return Hold(OpenUnshared(aPath, OPEN_EXISTING), *fFileSystem, fHandle);
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

FileStatus LockFile::Acquire(const std::string& aPath, bool aTruncate) {
  Release();
  return Hold(OpenUnshared(aPath, aTruncate ? CREATE_ALWAYS : OPEN_ALWAYS), *fFileSystem, fHandle);
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
