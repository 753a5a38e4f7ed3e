// Dynamic libraries loaded by name at run time.
//
// A library that the system names "NAME.dll" is the file "NAME.so" on Linux. It is looked for
// first in the host executable's folder, then by the bare name through the dynamic loader
// (LD_LIBRARY_PATH, the calling library's RUNPATH of $ORIGIN, system folders). Loaded with
// RTLD_LOCAL, so that two libraries exporting the same names never bind to each other.
// A path with a folder is loaded as given (with ".dll" mapped to ".so").
// One object per loaded library; not shared between threads.
#pragma once

#include <string>

namespace qv::platform {

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary();  // unloads
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // Loads aName. On failure returns false and sets aError to the system's error text.
  bool Load(const std::string& aName, std::string& aError);
  // The system's error code of the last failed Load, read right after the failed call
  // (Windows: GetLastError; Linux, where the loader keeps errno to itself: the errno its
  // text names, 0 when it names none), and the system's message for it (Linux: the loader's
  // own text when it names no errno). 0 and empty after a successful Load.
  int LoadErrorCode() const { return fLoadErrorCode; }
  const std::string& LoadErrorMessage() const { return fLoadErrorMessage; }
  // The address of an exported symbol, or nullptr when the library has none of that name.
  void* Symbol(const char* aName) const;
  // The same; when there is none, aError receives the system's message for the failure
  // (Windows: the text of GetLastError; Linux: the loader's text).
  void* Symbol(const char* aName, std::string& aError) const;
  void Unload();
  bool IsLoaded() const { return fHandle != nullptr; }

 private:
  void* fHandle = nullptr;
  int fLoadErrorCode = 0;
  std::string fLoadErrorMessage;
};

}  // namespace qv::platform
