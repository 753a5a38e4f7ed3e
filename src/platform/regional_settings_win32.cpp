// Regional settings from the user's locale through GetLocaleInfoEx: decimal and thousands
// separators, the date separator and the short date pattern ("dd/MM/yyyy" becomes
// "dd/mm/yyyy"). Read once; tests may override them in-process.
#include "platform/windows_headers_win32.h"

#include <mutex>

#include "platform/date_pattern.h"
#include "platform/regional_settings.h"

namespace qv::platform {
namespace {

std::mutex gSettingsMutex;
std::optional<RegionalSettings> gMachineSettings;  // read once
std::optional<RegionalSettings> gOverride;

std::string LocaleInfo(const wchar_t* aLocale, LCTYPE aItem) {
  wchar_t buffer[96] = {};
  const int length = GetLocaleInfoEx(aLocale, aItem, buffer, 96);
  if (length <= 1) return {};
  return FromWide(std::wstring_view(buffer, static_cast<std::size_t>(length - 1)));
}

// The short date pattern of the system's letters (d, M, y; quoted literals; g for the era)
// in the report letters, the fields joined by "/"; the separator is the text between the
// first two fields. Empty when the pattern names no day, month and year.
DateOrder DateOrderFromPicture(const std::string& aPicture) {
  DateOrder order;
  std::string separator;
  int fields = 0;
  bool seenDay = false, seenMonth = false, seenYear = false;
  for (std::size_t at = 0; at < aPicture.size();) {
    const char letter = aPicture[at];
    std::size_t run = 1;
    while (at + run < aPicture.size() && aPicture[at + run] == letter) ++run;
    std::string field;
    if (letter == 'd' && run <= 2) {
      field = std::string(run, 'd');
      seenDay = true;
    } else if (letter == 'M' && run <= 2) {
      field = std::string(run, 'm');
      seenMonth = true;
    } else if (letter == 'y') {
      field = run <= 2 ? "yy" : "yyyy";
      seenYear = true;
    } else if (letter == '\'') {
      const auto close = aPicture.find('\'', at + 1);
      const std::size_t end = close == std::string::npos ? aPicture.size() : close + 1;
      if (fields == 1) separator += aPicture.substr(at + 1, end - at - 2);
      at = end;
      continue;
    } else if (std::string("dMyg").find(letter) == std::string::npos) {
      if (fields == 1) separator.append(run, letter);
    }
    if (!field.empty()) {
      if (fields > 0) order.shortDateFormat += '/';
      order.shortDateFormat += field;
      ++fields;
    }
    at += run;
  }
  if (!seenDay || !seenMonth || !seenYear) return {};
  order.separator = separator.empty() ? "/" : separator;
  return order;
}

RegionalSettings ReadSettings(const wchar_t* aLocale) {
  RegionalSettings settings;
  const std::string decimal = LocaleInfo(aLocale, LOCALE_SDECIMAL);
  if (decimal.empty()) return settings;  // no such locale: the defaults
  settings.decimalSeparator = decimal;
  settings.thousandSeparator = LocaleInfo(aLocale, LOCALE_STHOUSAND);
  const std::string time = LocaleInfo(aLocale, LOCALE_STIME);
  if (!time.empty()) settings.timeSeparator = time;
  const DateOrder order = DateOrderFromPicture(LocaleInfo(aLocale, LOCALE_SSHORTDATE));
  if (!order.shortDateFormat.empty()) {
    settings.dateSeparator = order.separator;
    settings.shortDateFormat = order.shortDateFormat;
  }
  return settings;
}

// "el_CY.UTF-8" or "el-CY" as the system's locale name "el-CY".
std::wstring SystemLocaleName(const std::string& aName) {
  std::string name = aName.substr(0, aName.find_first_of(".@"));
  for (char& c : name) {
    if (c == '_') c = '-';
  }
  return ToWide(name);
}

}  // namespace

RegionalSettings CurrentRegionalSettings() {
  std::lock_guard<std::mutex> lock(gSettingsMutex);
  if (gOverride) return *gOverride;
  if (!gMachineSettings) gMachineSettings = ReadSettings(LOCALE_NAME_USER_DEFAULT);
  return *gMachineSettings;
}

RegionalSettings RegionalSettingsOfLocale(const std::string& aLocaleName) {
  const std::wstring name = SystemLocaleName(aLocaleName);
  if (name.empty() || !IsValidLocaleName(name.c_str())) return RegionalSettings{};
  return ReadSettings(name.c_str());
}

void OverrideRegionalSettings(std::optional<RegionalSettings> aSettings) {
  std::lock_guard<std::mutex> lock(gSettingsMutex);
  gOverride = std::move(aSettings);
}

}  // namespace qv::platform
