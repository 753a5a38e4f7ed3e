// The host process seen from the library: its executable and its command-line parameters.
#include <string>

#include "base/utils.h"
#include "platform/process.h"

namespace qv::base {

namespace {

size_t AfterLastDelimiter(std::string_view aPath) {
  const size_t last = aPath.find_last_of("\\/");
  return last == std::string_view::npos ? 0 : last + 1;
}

}  // namespace

std::string ExecutableFolder() {
  const std::string path = platform::ExecutablePath();
  return path.substr(0, AfterLastDelimiter(path));
}

std::string ExecutableBaseName() {
  const std::string path = platform::ExecutablePath();
  std::string name = path.substr(AfterLastDelimiter(path));
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

std::string CommandLineValueIn(const std::vector<std::string>& aParameters, std::string_view aName,
                               bool aWhole) {
  const std::string name = LowerCase(aName);
  for (const std::string& parameter : aParameters) {
    const std::string lower = LowerCase(parameter);
    const bool matches =
        lower == name || lower.starts_with(name + ":") || lower.starts_with(name + "=");
    if (!matches) continue;
    if (aWhole) return parameter;
    return parameter.size() > name.size() ? parameter.substr(name.size() + 1) : std::string();
  }
  return {};
}

std::string CommandLineValue(std::string_view aName, bool aWhole) {
  return CommandLineValueIn(platform::CommandLineParameters(), aName, aWhole);
}

}  // namespace qv::base
