// Companion libraries through dlopen. "NAME.dll" is the file "NAME.so"; a bare name is
// looked for beside the host executable first, as Windows does, then through the loader's
// own search. RTLD_LOCAL keeps each library's exports (OPEN and friends) to itself.
#include <dlfcn.h>

#include <cctype>
#include <cerrno>

#include "platform/dynamic_library.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/system_error.h"

namespace qv::platform {
namespace {

bool EndsWithDll(const std::string& aName) {
  if (aName.size() < 4) return false;
  std::string suffix = aName.substr(aName.size() - 4);
  for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return suffix == ".dll";
}

std::string LinuxLibraryName(const std::string& aName) {
  if (!EndsWithDll(aName)) return aName;
  return aName.substr(0, aName.size() - 4) + ".so";
}

bool HasFolder(const std::string& aName) {
  for (char c : aName) {
    if (IsPathDelimiter(c)) return true;
  }
  return false;
}

std::string FolderOf(const std::string& aPath) {
  const auto slash = aPath.find_last_of('/');
  return slash == std::string::npos ? std::string() : aPath.substr(0, slash + 1);
}

void* OpenLibrary(const std::string& aFile, std::string& aError) {
  void* handle = dlopen(aFile.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* text = dlerror();
    aError = text != nullptr ? text : aFile + ": cannot be loaded";
  }
  return handle;
}

// glibc's loader restores errno, but ends the text of a failed open with the system's text
// for the error it met ("x.so: cannot open shared object file: No such file or directory").
int ErrnoNamedBy(const std::string& aLoaderText) {
  const std::size_t colon = aLoaderText.rfind(": ");
  if (colon == std::string::npos) return 0;
  const std::string tail = aLoaderText.substr(colon + 2);
  for (int code = 1; code < 256; ++code) {
    if (SystemErrorText(code) == tail) return code;
  }
  return 0;
}

}  // namespace

DynamicLibrary::~DynamicLibrary() { Unload(); }

bool DynamicLibrary::Load(const std::string& aName, std::string& aError) {
  Unload();
  fLoadErrorCode = 0;
  fLoadErrorMessage.clear();
  const std::string fileName = LinuxLibraryName(aName);
  const std::string besideExecutable = FolderOf(ExecutablePath()) + fileName;
  if (HasFolder(fileName)) {
    fHandle = OpenLibrary(NativePath(fileName), aError);
  } else if (!besideExecutable.empty() && besideExecutable != fileName &&
             FileExists(besideExecutable)) {
    // A file beside the executable wins even when it fails to load, as on Windows: the
    // error then names the file the till actually has.
    fHandle = OpenLibrary(besideExecutable, aError);
  } else {
    fHandle = OpenLibrary(fileName, aError);
  }
  if (fHandle != nullptr) return true;
  fLoadErrorCode = ErrnoNamedBy(aError);
  fLoadErrorMessage = fLoadErrorCode != 0 ? SystemErrorText(fLoadErrorCode) : aError;
  return false;
}

void* DynamicLibrary::Symbol(const char* aName) const {
  if (fHandle == nullptr || aName == nullptr) return nullptr;
  return dlsym(fHandle, aName);
}

void* DynamicLibrary::Symbol(const char* aName, std::string& aError) const {
  if (fHandle == nullptr || aName == nullptr) {
    aError = SystemErrorText(EINVAL);
    return nullptr;
  }
  dlerror();  // clears an older text
  void* symbol = dlsym(fHandle, aName);
  if (symbol == nullptr) {
    const char* text = dlerror();
    aError = text != nullptr ? text : std::string(aName) + ": symbol is null";
  }
  return symbol;
}

void DynamicLibrary::Unload() {
  if (fHandle == nullptr) return;
  dlclose(fHandle);
  fHandle = nullptr;
}

}  // namespace qv::platform
