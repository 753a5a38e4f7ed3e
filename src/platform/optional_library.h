// A system library that only some channels use (the print spooler's, the HTTP transport's),
// loaded when one of them first needs it instead of when the fiscal library is loaded, so
// that a till without a printer system or an HTTP stack still loads the library and runs its
// fiscal day.
//
// The object unloads the library when it is destroyed; keep it for the life of the process
// (a function-static object made with new) where the library holds process-wide state.
//
// Threading: Function may be called from any thread; the library is loaded once.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/dynamic_library.h"

namespace qv::platform {

class OptionalLibrary {
 public:
  // aDescription names the library for the till's staff ("The print spooler library");
  // aFileNames are tried in order.
  OptionalLibrary(std::string aDescription, std::vector<std::string> aFileNames);
  OptionalLibrary(const OptionalLibrary&) = delete;
  OptionalLibrary& operator=(const OptionalLibrary&) = delete;

  // The address of the exported function aName, loading the library at the first call.
  // Throws qv::Error "<description> <file> cannot be loaded: <loader text>" when none of the
  // files loads (every later call repeats the attempt), and "<description> <file> has no
  // function <name>" when the loaded file lacks it.
  void* Function(const char* aName);

 private:
  void Load();

  const std::string fDescription;
  const std::vector<std::string> fFileNames;
  std::mutex fMutex;
  DynamicLibrary fLibrary;
  std::string fLoadedFile;
};

}  // namespace qv::platform

// Declares the struct aStruct with one pointer per function that the X-macro aList names,
// each of the type that the library's header declares for it (so the header is included,
// but the library is not linked), and aStruct::BoundFrom(OptionalLibrary&), which binds them
// all and throws as OptionalLibrary::Function does. For example:
//
//   #define QV_ZLIB_FUNCTIONS(X) X(deflate) X(inflate)
//   QV_OPTIONAL_LIBRARY_FUNCTIONS(ZlibLibrary, QV_ZLIB_FUNCTIONS)
// clang-format off
#define QV_OPTIONAL_LIBRARY_FUNCTIONS(aStruct, aList)                          \
  struct aStruct {                                                             \
    aList(QV_OPTIONAL_LIBRARY_DECLARE_FUNCTION)                                \
    static aStruct BoundFrom(::qv::platform::OptionalLibrary& aLibrary) {      \
      aStruct functions;                                                       \
      aList(QV_OPTIONAL_LIBRARY_BIND_FUNCTION)                                 \
      return functions;                                                        \
    }                                                                          \
  }
#define QV_OPTIONAL_LIBRARY_DECLARE_FUNCTION(aName) decltype(&::aName) aName;
#define QV_OPTIONAL_LIBRARY_BIND_FUNCTION(aName) \
  functions.aName = reinterpret_cast<decltype(functions.aName)>(aLibrary.Function(#aName));
// clang-format on
