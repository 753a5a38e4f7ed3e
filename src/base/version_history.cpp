// Reading the version strings into the version information.
#include "base/version_history.h"

#include "base/utils.h"
#include "platform/error.h"
#include "platform/unicode.h"

namespace qv::base {

namespace {

// A resource string is read into a buffer of this many characters.
constexpr size_t kMaxStringLength = 1024;

int NumberOrOne(std::string_view aText) {
  int32_t value = 0;
  return TryStrToInt(aText, value) ? value : 1;
}

std::string_view Part(std::string_view aText, size_t aStart, size_t aCount) {
  return aStart >= aText.size() ? std::string_view() : aText.substr(aStart, aCount);
}

// "dd/mm/yyyy" read by position; a part that is not a number counts as 1.
DateTime ReleaseDateOf(std::string_view aValue) {
  DateTimeParts parts;
  parts.day = NumberOrOne(Part(aValue, 0, 2));
  parts.month = NumberOrOne(Part(aValue, 3, 2));
  parts.year = NumberOrOne(Part(aValue, 6, 4));
  DateTime result = 0;
  if (!TryEncodeDateTime(parts, result)) throw Error("Invalid argument to date encode");
  return result;
}

}  // namespace

void tQV_ApplicationInfo::Load(const VersionStringLookup& aStrings) {
  tQV_ApplicationHistory* current = nullptr;
  int misses = 0;
  for (int id = kFirstId; misses <= kMaxGap; ++id) {
    const std::optional<std::string> text = aStrings(id);
    if (!text) {
      ++misses;
      continue;
    }
    misses = 0;
    ProcessString(platform::Utf16Left(*text, kMaxStringLength), current);
  }
}

void tQV_ApplicationInfo::ProcessString(const std::string& aText,
                                        tQV_ApplicationHistory*& aCurrent) {
  const size_t equals = aText.find('=');
  const std::string key = UpperCase(aText.substr(0, equals));
  const std::string value = equals == std::string::npos ? std::string() : aText.substr(equals + 1);
  if (key == "$APPDESCRIPTION") {
    fDescription = value;
  } else if (key == "$COPYRIGHT") {
    fCopyright = value;
  } else if (key == "$VERSION") {
    fVersion = value;
    fHistory.push_back(std::make_unique<tQV_ApplicationHistory>(value));
    aCurrent = fHistory.back().get();
  } else if (aCurrent == nullptr) {
    return;  // entry details before the first "$VERSION" belong to nothing
  } else if (key == "$AUTHOR") {
    aCurrent->SetAuthor(value);
  } else if (key == "$RELEASEDATE") {
    fReleaseDate = ReleaseDateOf(value);
    aCurrent->SetReleaseDate(fReleaseDate);
  } else if (key == "$PTEXT" || key == "$TEXT") {
    aCurrent->AddText(value);
  }
}

std::string tQV_ApplicationInfo::GetVersionString() const {
  return "[" + fVersion + " - " + ShortDateText(fReleaseDate) + "]";
}

}  // namespace qv::base
