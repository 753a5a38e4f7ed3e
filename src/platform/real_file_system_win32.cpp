// The operating system's file system on Windows: the primitive steps of the durable file
// work as calls on file handles.
#include "platform/file_handle_win32.h"
#include "platform/file_system.h"

namespace qv::platform {
namespace {

HANDLE AsHandle(NativeFile aFile) { return reinterpret_cast<HANDLE>(aFile); }

int LastError() { return static_cast<int>(GetLastError()); }

class SystemFileSystem final : public FileSystem {
 public:
  int Write(NativeFile aFile, std::string_view aData) override {
    return WriteAll(AsHandle(aFile), aData) ? 0 : LastError();
  }

  int Flush(NativeFile aFile) override {
    return FlushFileBuffers(AsHandle(aFile)) ? 0 : LastError();
  }

  int Rename(const std::string& aFrom, const std::string& aTo, bool aKeepExisting) override {
    const DWORD flags =
        aKeepExisting ? MOVEFILE_WRITE_THROUGH : MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    return MoveFileExW(ToWide(aFrom).c_str(), ToWide(aTo).c_str(), flags) ? 0 : LastError();
  }

  // The lock file is opened with share mode 0: its open is the hold.
  int Lock(NativeFile) override { return 0; }
};

}  // namespace

int FileSystem::RefusalCode(FileOperation aOperation) {
  return static_cast<int>(aOperation == FileOperation::Lock ? ERROR_SHARING_VIOLATION
                                                            : ERROR_WRITE_FAULT);
}

FileSystem& RealFileSystem() {
  // Never destroyed: a library unloaded at exit, or a thread still writing then, must not
  // find it gone.
  static SystemFileSystem* const system = new SystemFileSystem;
  return *system;
}

}  // namespace qv::platform
