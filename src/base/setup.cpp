// The setup registry.
#include "base/setup.h"

#include "base/utils.h"

namespace qv::base {

tQV_SetupValue tQV_Setup::GetValue(std::string_view aName) const {
  for (const tQV_SetupEntry& entry : fList) {
    if (SameText(entry.Name(), aName)) return entry.Value();
  }
  return std::monostate();
}

void tQV_Setup::SetValue(std::string_view aName, tQV_SetupValue aValue) {
  for (tQV_SetupEntry& entry : fList) {
    if (SameText(entry.Name(), aName)) {
      entry.SetValue(std::move(aValue));
      return;
    }
  }
  fList.emplace_back(std::string(aName), std::move(aValue));
}

}  // namespace qv::base
