// Environment variables of the process (the drive mapping QVFP_DRIVE_<X> among them).
#pragma once

#include <optional>
#include <string>

namespace qv::platform {

std::optional<std::string> GetEnvironmentVariable(const std::string& aName);
// Sets (or, with nullopt, removes) a variable for this process and the programs it starts.
void SetEnvironmentVariable(const std::string& aName, const std::optional<std::string>& aValue);

}  // namespace qv::platform
