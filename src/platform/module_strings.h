// The string-table resources of the module (library or program) that holds this code:
// on Windows the STRINGTABLE linked into it; Linux modules carry none.
// Safe from any thread.
#pragma once

#include <optional>
#include <string>

namespace qv::platform {

// The string of resource id aId, or nothing when the module has no string of that id.
std::optional<std::string> ModuleStringResource(int aId);

}  // namespace qv::platform
