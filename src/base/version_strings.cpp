// The library's version strings. Windows builds carry them as a string-table resource with
// the same ids; here they are compiled in.
#include <array>
#include <string_view>

#include "base/version_history.h"

namespace qv::base {

namespace {

constexpr std::array<std::string_view, 31> kVersionStrings = {
    "$APPDESCRIPTION=ZEB Driver - Kavren Processor (CY)",
    "$COPYRIGHT=Copyright (C) 2022-2023 ZEB",
    "$VERSION=1.00",
    "$RELEASEDATE=29/09/2022",
    "$AUTHOR=QV",
    "$PTEXT=Initial Release",
    "$VERSION=1.01",
    "$RELEASEDATE=04/04/2023",
    "$AUTHOR=QV",
    "$PTEXT=Added Z-Report support",
    "$VERSION=1.02",
    "$RELEASEDATE=16/05/2023",
    "$AUTHOR=QV",
    "$PTEXT=Z-Report Bug Fixing",
    "$VERSION=1.03",
    "$RELEASEDATE=17/05/2023",
    "$AUTHOR=QV",
    "$PTEXT=Changed Z-Report numbering",
    "$VERSION=1.04",
    "$RELEASEDATE=19/05/2023",
    "$AUTHOR=QV",
    "$PTEXT=Added Lock/Unlock support",
    "$VERSION=1.05",
    "$RELEASEDATE=08/08/2023",
    "$AUTHOR=QV",
    "$PTEXT=Bug Fixing: removed processing instructions before printing to text",
    "$PTEXT=Checked Result codes in GetVersionInfo and Sign methods",
    "$VERSION=1.06",
    "$RELEASEDATE=09/08/2023",
    "$AUTHOR=QV",
    "$PTEXT=Added support for external receipt numbering",
};

}  // namespace

std::optional<std::string> LibraryVersionString(int aId) {
  const int index = aId - tQV_ApplicationInfo::kFirstId;
  if (index < 0 || index >= static_cast<int>(kVersionStrings.size())) return std::nullopt;
  return std::string(kVersionStrings[static_cast<size_t>(index)]);
}

}  // namespace qv::base
