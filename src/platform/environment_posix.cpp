#include "platform/environment.h"

#include <cstdlib>

namespace qv::platform {

std::optional<std::string> GetEnvironmentVariable(const std::string& aName) {
  const char* value = std::getenv(aName.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

void SetEnvironmentVariable(const std::string& aName, const std::optional<std::string>& aValue) {
  if (aValue) {
    ::setenv(aName.c_str(), aValue->c_str(), 1);
  } else {
    ::unsetenv(aName.c_str());
  }
}

}  // namespace qv::platform
