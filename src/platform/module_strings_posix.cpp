// Linux modules have no resource section: their strings are compiled-in tables instead.
#include "platform/module_strings.h"

namespace qv::platform {

std::optional<std::string> ModuleStringResource(int /*aId*/) { return std::nullopt; }

}  // namespace qv::platform
