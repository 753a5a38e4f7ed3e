// The machine's regional settings, used by report and version texts.
//
// On Linux they are read once from the environment's locale (LC_ALL, else LC_NUMERIC /
// LC_TIME, else LANG) through newlocale and nl_langinfo_l, never by changing the process
// locale. A machine without regional settings (no variable set, the "C" / "POSIX" locales,
// or a locale that is not installed) gets the defaults below, the conventions of a Cypriot
// till. Tests may override them in-process. All functions are safe from any thread.
#pragma once

#include <optional>
#include <string>

namespace qv::platform {

struct RegionalSettings {
  std::string decimalSeparator = ".";
  std::string thousandSeparator;  // empty: no grouping
  std::string dateSeparator = "/";
  std::string timeSeparator = ":";
  // The short date pattern in the day/month/year letters "d", "m", "y" with the date
  // separator written as "/" (for example "dd/mm/yyyy" or "m/d/yyyy").
  std::string shortDateFormat = "dd/mm/yyyy";
};

RegionalSettings CurrentRegionalSettings();
// The settings of one named locale ("el_CY.UTF-8" on Linux), read afresh, without the cache
// and the override; the defaults above when that locale is not installed.
RegionalSettings RegionalSettingsOfLocale(const std::string& aLocaleName);
// Replaces the machine's settings for this process (nullopt: back to the machine's).
void OverrideRegionalSettings(std::optional<RegionalSettings> aSettings);

}  // namespace qv::platform
