#include "platform/optional_library.h"

#include <utility>

#include "platform/error.h"

namespace qv::platform {

OptionalLibrary::OptionalLibrary(std::string aDescription, std::vector<std::string> aFileNames)
    : fDescription(std::move(aDescription)), fFileNames(std::move(aFileNames)) {}

void OptionalLibrary::Load() {
  std::string firstError;
  for (const std::string& file : fFileNames) {
    std::string error;
    if (fLibrary.Load(file, error)) {
      fLoadedFile = file;
      return;
    }
    if (firstError.empty()) firstError = error;
  }
  throw Error(fDescription + " " + fFileNames.front() + " cannot be loaded: " + firstError);
}

void* OptionalLibrary::Function(const char* aName) {
  std::lock_guard<std::mutex> lock(fMutex);
  if (!fLibrary.IsLoaded()) Load();
  void* function = fLibrary.Symbol(aName);
  if (function == nullptr) {
    throw Error(fDescription + " " + fLoadedFile + " has no function " + aName);
  }
  return function;
}

}  // namespace qv::platform
