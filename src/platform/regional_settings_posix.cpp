// Regional settings from the environment's locale, read through a locale object of their
// own (newlocale / nl_langinfo_l) so that the host's process locale is never changed.
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <mutex>

#include "platform/date_pattern.h"
#include "platform/regional_settings.h"

namespace qv::platform {
namespace {

std::mutex gSettingsMutex;
std::optional<RegionalSettings> gMachineSettings;  // read once
std::optional<RegionalSettings> gOverride;

// The locale a category uses: LC_ALL, else the category's own variable, else LANG.
std::string LocaleNameFor(const char* aCategoryVariable) {
  for (const char* variable : {"LC_ALL", aCategoryVariable, "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

// "C", "POSIX" and "C.UTF-8" carry no regional choice of the till's owner.
bool IsNeutralLocale(const std::string& aName) {
  return aName == "C" || aName == "POSIX" || aName.rfind("C.", 0) == 0;
}

// A short locale text in aCharacterSet as UTF-8; empty when it cannot be converted.
std::string ToUtf8(const std::string& aText, const std::string& aCharacterSet) {
  if (aCharacterSet == "UTF-8" || aCharacterSet == "ANSI_X3.4-1968") return aText;
  const iconv_t converter = iconv_open("UTF-8", aCharacterSet.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) return {};
  char buffer[64];
  char* in = const_cast<char*>(aText.data());
  std::size_t inLeft = aText.size();
  char* out = buffer;
  std::size_t outLeft = sizeof buffer;
  const bool converted =
      iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1);
  iconv_close(converter);
  return converted ? std::string(buffer, out - buffer) : std::string();
}

// Owns one locale object.
class Locale {
 public:
  Locale(int aMask, const std::string& aName)
      : fHandle(IsNeutralLocale(aName) ? locale_t{} : newlocale(aMask, aName.c_str(), locale_t{})) {
  }
  ~Locale() {
    if (fHandle != locale_t{}) freelocale(fHandle);
  }
  Locale(const Locale&) = delete;
  Locale& operator=(const Locale&) = delete;
  bool IsValid() const { return fHandle != locale_t{}; }
  // The item as UTF-8 (a locale with an 8-bit character set gives its own bytes).
  std::string Info(nl_item aItem) const {
    return ToUtf8(nl_langinfo_l(aItem, fHandle), nl_langinfo_l(CODESET, fHandle));
  }

 private:
  locale_t fHandle;
};

void ReadNumbers(const std::string& aLocaleName, RegionalSettings& aSettings) {
  const Locale locale(LC_NUMERIC_MASK, aLocaleName);
  if (!locale.IsValid()) return;
  const std::string decimal = locale.Info(RADIXCHAR);
  if (!decimal.empty()) aSettings.decimalSeparator = decimal;
  aSettings.thousandSeparator = locale.Info(THOUSEP);
}

void ReadDates(const std::string& aLocaleName, RegionalSettings& aSettings) {
  const Locale locale(LC_TIME_MASK, aLocaleName);
  if (!locale.IsValid()) return;
  const DateOrder order = DateOrderFromStrftime(locale.Info(D_FMT));
  if (order.shortDateFormat.empty()) return;
  aSettings.dateSeparator = order.separator;
  aSettings.shortDateFormat = order.shortDateFormat;
}

RegionalSettings ReadSettings(const std::string& aNumericLocale, const std::string& aTimeLocale) {
  RegionalSettings settings;
  ReadNumbers(aNumericLocale, settings);
  ReadDates(aTimeLocale, settings);
  return settings;
}

}  // namespace

RegionalSettings CurrentRegionalSettings() {
  std::lock_guard<std::mutex> lock(gSettingsMutex);
  if (gOverride) return *gOverride;
  if (!gMachineSettings) {
    gMachineSettings = ReadSettings(LocaleNameFor("LC_NUMERIC"), LocaleNameFor("LC_TIME"));
  }
  return *gMachineSettings;
}

RegionalSettings RegionalSettingsOfLocale(const std::string& aLocaleName) {
  return ReadSettings(aLocaleName, aLocaleName);
}

void OverrideRegionalSettings(std::optional<RegionalSettings> aSettings) {
  std::lock_guard<std::mutex> lock(gSettingsMutex);
  gOverride = std::move(aSettings);
}

}  // namespace qv::platform
