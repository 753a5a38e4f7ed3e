// The library's version strings on Windows: the STRINGTABLE resource (ids 10000 to 10030)
// that the build makes from the list in version_strings.cpp and links into the module.
#include "base/version_history.h"
#include "platform/module_strings.h"

namespace qv::base {

std::optional<std::string> LibraryVersionString(int aId) {
  if (aId < tQV_ApplicationInfo::kFirstId) return std::nullopt;
  return platform::ModuleStringResource(aId);
}

}  // namespace qv::base
