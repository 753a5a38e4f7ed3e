// Encoding and decoding of date-times (days since 1899-12-30, time of day as the fraction)
// and their formatting with the date-time letters.
#include "base/date_time.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "platform/error.h"

namespace qv::base {

namespace {

constexpr int64_t kMillisecondsPerDay = 86400000;
// Days from 1970-01-01 back to 1899-12-30, the day 0 of a date-time.
constexpr int64_t kDaysBefore1970 = 25569;

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t aYear, int aMonth, int aDay) {
  aYear -= aMonth <= 2 ? 1 : 0;
  const int64_t era = (aYear >= 0 ? aYear : aYear - 399) / 400;
  const int64_t yearOfEra = aYear - era * 400;
  const int64_t dayOfYear = (153 * (aMonth + (aMonth > 2 ? -3 : 9)) + 2) / 5 + aDay - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t aDays, int& aYear, int& aMonth, int& aDay) {
  aDays += 719468;
  const int64_t era = (aDays >= 0 ? aDays : aDays - 146096) / 146097;
  const int64_t dayOfEra = aDays - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  aDay = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  aMonth = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  aYear = static_cast<int>(yearOfEra + era * 400 + (aMonth <= 2 ? 1 : 0));
}

bool IsLeapYear(int aYear) { return (aYear % 4 == 0 && aYear % 100 != 0) || aYear % 400 == 0; }

int DaysInMonth(int aYear, int aMonth) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return aMonth == 2 && IsLeapYear(aYear) ? 29 : kDays[aMonth - 1];
}

bool IsValid(const DateTimeParts& aParts) {
  return aParts.year >= 1 && aParts.year <= 9999 && aParts.month >= 1 && aParts.month <= 12 &&
         aParts.day >= 1 && aParts.day <= DaysInMonth(aParts.year, aParts.month) &&
         aParts.hour >= 0 && aParts.hour < 24 && aParts.minute >= 0 && aParts.minute < 60 &&
         aParts.second >= 0 && aParts.second < 60 && aParts.millisecond >= 0 &&
         aParts.millisecond < 1000;
}

std::string Padded(int aValue, int aDigits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", aDigits, aValue);
  return buffer;
}

char Lower(char aChar) { return aChar >= 'A' && aChar <= 'Z' ? aChar - 'A' + 'a' : aChar; }

// Appends the text of one run of a date-time letter (aCount times aLetter, lower case).
void AppendField(std::string& aOut, char aLetter, size_t aCount, const DateTimeParts& aParts) {
  switch (aLetter) {
    case 'y':
      aOut += aCount <= 2 ? Padded(aParts.year % 100, 2) : Padded(aParts.year, 4);
      break;
    case 'm':
      aOut += Padded(aParts.month, aCount >= 2 ? 2 : 1);
      break;
    case 'd':
      aOut += Padded(aParts.day, aCount >= 2 ? 2 : 1);
      break;
    case 'h':
      aOut += Padded(aParts.hour, aCount >= 2 ? 2 : 1);
      break;
    case 'n':
      aOut += Padded(aParts.minute, aCount >= 2 ? 2 : 1);
      break;
    case 's':
      aOut += Padded(aParts.second, aCount >= 2 ? 2 : 1);
      break;
    case 'z':
      aOut += Padded(aParts.millisecond, aCount >= 3 ? 3 : 1);
      break;
  }
}

bool IsDateTimeLetter(char aLower) {
  return aLower == 'y' || aLower == 'm' || aLower == 'd' || aLower == 'h' || aLower == 'n' ||
         aLower == 's' || aLower == 'z';
}

}  // namespace

bool TryEncodeDateTime(const DateTimeParts& aParts, DateTime& aResult) {
  if (!IsValid(aParts)) return false;
  const double date =
      static_cast<double>(DaysFromCivil(aParts.year, aParts.month, aParts.day) + kDaysBefore1970);
  const double time =
      static_cast<double>(((aParts.hour * 60 + aParts.minute) * 60 + aParts.second) * 1000 +
                          aParts.millisecond) /
      kMillisecondsPerDay;
  // Before 1899-12-30 the time of day still counts forward from midnight: its fraction is the
  // magnitude below the (negative) day number.
  aResult = date >= 0 ? date + time : date - time;
  return true;
}

DateTime EncodeDateTime(const DateTimeParts& aParts) {
  DateTime result = 0;
  if (!TryEncodeDateTime(aParts, result)) throw Error("Invalid date or time");
  return result;
}

DateTimeParts DecodeDateTime(DateTime aValue) {
  DateTimeParts parts;
  if (!std::isfinite(aValue)) return parts;
  const double magnitude = std::fabs(aValue) * kMillisecondsPerDay;
  if (magnitude > 1e18) return parts;
  const int64_t totalMilliseconds = std::llround(magnitude);
  int64_t days = totalMilliseconds / kMillisecondsPerDay;
  int64_t milliseconds = totalMilliseconds % kMillisecondsPerDay;
  if (aValue < 0) days = -days;
  CivilFromDays(days - kDaysBefore1970, parts.year, parts.month, parts.day);
  parts.millisecond = static_cast<int>(milliseconds % 1000);
  milliseconds /= 1000;
  parts.second = static_cast<int>(milliseconds % 60);
  milliseconds /= 60;
  parts.minute = static_cast<int>(milliseconds % 60);
  parts.hour = static_cast<int>(milliseconds / 60);
  return parts;
}

DateTime ToDateTime(const platform::LocalTime& aTime) {
  return EncodeDateTime(DateTimeParts{aTime.year, aTime.month, aTime.day, aTime.hour, aTime.minute,
                                      aTime.second, aTime.millisecond});
}

DateTime NowDateTime() { return ToDateTime(platform::Now()); }

DateTime DateOf(DateTime aValue) {
  DateTimeParts parts = DecodeDateTime(aValue);
  parts.hour = parts.minute = parts.second = parts.millisecond = 0;
  DateTime result = 0;
  return TryEncodeDateTime(parts, result) ? result : 0;
}

std::string FormatDateTime(std::string_view aPattern, DateTime aValue,
                           std::string_view aDateSeparator, std::string_view aTimeSeparator) {
  const DateTimeParts parts = DecodeDateTime(aValue);
  std::string out;
  size_t i = 0;
  while (i < aPattern.size()) {
    const char c = aPattern[i];
    if (c == '\'' || c == '"') {
      const size_t end = aPattern.find(c, i + 1);
      const size_t stop = end == std::string_view::npos ? aPattern.size() : end;
      out.append(aPattern.substr(i + 1, stop - i - 1));
      i = end == std::string_view::npos ? aPattern.size() : end + 1;
    } else if (c == '/') {
      out.append(aDateSeparator);
      ++i;
    } else if (c == ':') {
      out.append(aTimeSeparator);
      ++i;
    } else if (IsDateTimeLetter(Lower(c))) {
      size_t run = i;
      while (run < aPattern.size() && Lower(aPattern[run]) == Lower(c)) ++run;
      AppendField(out, Lower(c), run - i, parts);
      i = run;
    } else {
      out.push_back(c);
      ++i;
    }
  }
  return out;
}

}  // namespace qv::base
