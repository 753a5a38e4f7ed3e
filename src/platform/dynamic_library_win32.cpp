// Companion libraries through LoadLibraryW. A bare name is found by the system's own search
// order, which starts with the host executable's folder; a name with a folder is loaded from
// there. Error dialogs of the loader are suppressed: a till has no one to click them.
#include "platform/windows_headers_win32.h"

#include "platform/dynamic_library.h"
#include "platform/file_system.h"
#include "platform/system_error.h"

namespace qv::platform {
namespace {

bool HasFolder(const std::string& aName) {
  for (char c : aName) {
    if (IsPathDelimiter(c)) return true;
  }
  return false;
}

// aErrorCode receives the loader's error, read right after LoadLibraryW, before any other
// call can change it.
HMODULE OpenLibrary(const std::string& aFile, std::string& aError, int& aErrorCode) {
  DWORD previousMode = 0;
  SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
  HMODULE module = LoadLibraryW(ToWide(aFile).c_str());
  const DWORD error = GetLastError();
  SetThreadErrorMode(previousMode, nullptr);
  aErrorCode = module == nullptr ? static_cast<int>(error) : 0;
  if (module == nullptr) aError = aFile + ": " + SystemErrorText(aErrorCode);
  return module;
}

}  // namespace

DynamicLibrary::~DynamicLibrary() { Unload(); }

bool DynamicLibrary::Load(const std::string& aName, std::string& aError) {
  Unload();
  fHandle = OpenLibrary(HasFolder(aName) ? NativePath(aName) : aName, aError, fLoadErrorCode);
  fLoadErrorMessage = fHandle == nullptr ? SystemErrorText(fLoadErrorCode) : std::string();
  return fHandle != nullptr;
}

void* DynamicLibrary::Symbol(const char* aName) const {
  if (fHandle == nullptr || aName == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(fHandle), aName));
}

void* DynamicLibrary::Symbol(const char* aName, std::string& aError) const {
  if (fHandle == nullptr || aName == nullptr) {
    aError = SystemErrorText(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  void* symbol = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(fHandle), aName));
  if (symbol == nullptr) aError = SystemErrorText(static_cast<int>(GetLastError()));
  return symbol;
}

void DynamicLibrary::Unload() {
  if (fHandle == nullptr) return;
  FreeLibrary(static_cast<HMODULE>(fHandle));
  fHandle = nullptr;
}

}  // namespace qv::platform
