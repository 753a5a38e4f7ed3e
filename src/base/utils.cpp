// The fixed text forms of dates, amounts and Booleans, the text conversions behind the XML
// accessors, and the number and field helpers used for file names and parameters.
#include "base/utils.h"

#include <cstdio>
#include <cstdlib>

#include "platform/error.h"
#include "platform/regional_settings.h"

namespace qv::base {

namespace {

bool IsDigit(char aChar) { return aChar >= '0' && aChar <= '9'; }

// A decimal number as written: the digits of its mantissa without the point and the power
// of ten that applies to them.
struct DecimalNumber {
  bool negative = false;
  std::string digits;
  int64_t exponent = 0;
};

// Reads blanks, an optional sign, digits with an optional decimal point (aPoint), an
// optional exponent ("E" or "e", optional sign, digits) and blanks. The mantissa needs at
// least one digit. No digit grouping.
bool ParseDecimal(std::string_view aText, std::string_view aPoint, DecimalNumber& aResult) {
  size_t i = 0;
  const size_t n = aText.size();
  while (i < n && aText[i] == ' ') ++i;
  if (i < n && (aText[i] == '+' || aText[i] == '-')) aResult.negative = aText[i++] == '-';
  bool anyDigit = false;
  while (i < n && IsDigit(aText[i])) {
    aResult.digits.push_back(aText[i++]);
    anyDigit = true;
  }
  if (!aPoint.empty() && aText.substr(i, aPoint.size()) == aPoint) {
    i += aPoint.size();
    while (i < n && IsDigit(aText[i])) {
      aResult.digits.push_back(aText[i++]);
      --aResult.exponent;
      anyDigit = true;
    }
  }
  if (!anyDigit) return false;
  if (i < n && (aText[i] == 'E' || aText[i] == 'e')) {
    ++i;
    bool negativeExponent = false;
    if (i < n && (aText[i] == '+' || aText[i] == '-')) negativeExponent = aText[i++] == '-';
    if (i >= n || !IsDigit(aText[i])) return false;
    int64_t exponent = 0;
    while (i < n && IsDigit(aText[i])) {
      // Beyond a million the number is out of every range anyway.
      if (exponent < 1000000) exponent = exponent * 10 + (aText[i] - '0');
      ++i;
    }
    aResult.exponent += negativeExponent ? -exponent : exponent;
  }
  while (i < n && aText[i] == ' ') ++i;
  return i == n;
}

bool AllZero(std::string_view aDigits) {
  return aDigits.find_first_not_of('0') == std::string_view::npos;
}

// The count of ten-thousandths of a decimal number, rounded half to even; false when it is
// outside the Currency range.
bool DecimalToCurrency(const DecimalNumber& aNumber, Currency& aResult) {
  std::string_view digits = aNumber.digits;
  const size_t firstSignificant = digits.find_first_not_of('0');
  if (firstSignificant == std::string_view::npos) {
    aResult = Currency();
    return true;
  }
  digits.remove_prefix(firstSignificant);
  const int64_t scale = aNumber.exponent + 4;  // power of ten applied to digits, in 1/10000
  std::string_view kept = digits;
  bool roundUp = false;
  if (scale < 0) {
    const int64_t dropCount = -scale;
    const int64_t length = static_cast<int64_t>(digits.size());
    if (dropCount > length) {
      kept = {};
      // Only a first dropped digit of 5 or more could round up, and here it is 0.
    } else {
      kept = digits.substr(0, static_cast<size_t>(length - dropCount));
      std::string_view dropped = digits.substr(kept.size());
      const char first = dropped.front();
      if (first > '5') {
        roundUp = true;
      } else if (first == '5') {
        const bool exactHalf = AllZero(dropped.substr(1));
        const bool keptOdd = !kept.empty() && ((kept.back() - '0') % 2 == 1);
        roundUp = !exactHalf || keptOdd;
      }
    }
  }
  // The magnitude may reach 2^63 (the smallest value); every step checks against it.
  constexpr uint64_t kLimit = uint64_t{1} << 63;
  if (kept.size() > 19) return false;
  uint64_t value = 0;
  for (char digit : kept) value = value * 10 + static_cast<uint64_t>(digit - '0');
  if (value > kLimit) return false;
  for (int64_t k = 0; k < scale; ++k) {
    if (value > kLimit / 10) return false;
    value *= 10;
  }
  if (roundUp) ++value;
  if (value > kLimit || (value == kLimit && !aNumber.negative)) return false;
  const int64_t signedValue = !aNumber.negative ? static_cast<int64_t>(value)
                              : value == kLimit ? INT64_MIN
                                                : -static_cast<int64_t>(value);
  aResult = Currency::FromRaw(signedValue);
  return true;
}

std::string Quoted(std::string_view aText) { return "'" + std::string(aText) + "'"; }

// Copy(aText, aStart + 1, aCount) of the original: the characters that exist.
std::string_view Part(std::string_view aText, size_t aStart, size_t aCount) {
  if (aStart >= aText.size()) return {};
  return aText.substr(aStart, aCount);
}

}  // namespace

bool TryStrToInt(std::string_view aText, int32_t& aResult) {
  size_t i = 0;
  bool negative = false;
  if (i < aText.size() && (aText[i] == '+' || aText[i] == '-')) negative = aText[i++] == '-';
  if (i >= aText.size()) return false;
  int64_t value = 0;
  for (; i < aText.size(); ++i) {
    if (!IsDigit(aText[i])) return false;
    value = value * 10 + (aText[i] - '0');
    if (value > static_cast<int64_t>(INT32_MAX) + 1) return false;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return false;
  aResult = static_cast<int32_t>(value);
  return true;
}

int32_t StrToInt(std::string_view aText) {
  int32_t result = 0;
  if (!TryStrToInt(aText, result)) throw Error(Quoted(aText) + " is not a valid integer value");
  return result;
}

// The usual amount of a request ("-12.5", "1000", "6.6667"): an optional sign, at most 14
// digits, an optional point with at most 4 decimals, nothing else. Such a text converts
// exactly, without rounding or range checks; false leaves every other text to the full rule.
// The text ends at aEnd or at a NUL character, whichever comes first.
bool TryPlainAmount(const char* aText, const char* aEnd, Currency& aResult) {
  const char* at = aText;
  const auto ended = [&aEnd](const char* aAt) { return aAt == aEnd || *aAt == '\0'; };
  if (ended(at)) return false;
  const bool negative = *at == '-';
  if (*at == '-' || *at == '+') ++at;
  const char* const firstDigit = at;
  int64_t value = 0;
  while (!ended(at) && IsDigit(*at)) {
    if (at - firstDigit == 14) return false;
    value = value * 10 + (*at++ - '0');
  }
  const auto digits = at - firstDigit;
  int64_t decimals = 0;
  if (!ended(at) && *at == '.') {
    const char* const firstDecimal = ++at;
    while (!ended(at) && IsDigit(*at)) {
      if (at - firstDecimal == 4) return false;
      value = value * 10 + (*at++ - '0');
    }
    decimals = at - firstDecimal;
  }
  if (at != aEnd && (aEnd != nullptr || *at != '\0')) return false;
  if (digits + decimals == 0) return false;
  static constexpr int64_t kScaleOf[] = {10000, 1000, 100, 10, 1};
  value *= kScaleOf[decimals];
  aResult = Currency::FromRaw(negative ? -value : value);
  return true;
}

bool TryStrToCurrency(std::string_view aText, Currency& aResult) {
  if (TryPlainAmount(aText.data(), aText.data() + aText.size(), aResult)) return true;
  DecimalNumber number;
  return ParseDecimal(aText, ".", number) && DecimalToCurrency(number, aResult);
}

bool TryCStringToCurrency(const char* aText, Currency& aResult) {
  return TryPlainAmount(aText, nullptr, aResult) || TryStrToCurrency(aText, aResult);
}

Currency StrToCurrency(std::string_view aText) {
  Currency result;
  if (!TryStrToCurrency(aText, result)) {
    throw Error(Quoted(aText) + " is not a valid floating point value");
  }
  return result;
}

bool StrToBool(std::string_view aText) {
  // A number, written with the machine's decimal separator, counts first: 0 is False.
  DecimalNumber number;
  if (ParseDecimal(aText, platform::CurrentRegionalSettings().decimalSeparator, number)) {
    return !AllZero(number.digits);
  }
  if (SameText(aText, "true")) return true;
  if (SameText(aText, "false")) return false;
  throw Error(Quoted(aText) + " is not a valid boolean value");
}

std::string DateTimeToXmlText(bool aWithMilliseconds, DateTime aDateTime) {
  return FormatDateTime(
      aWithMilliseconds ? "yyyy'-'mm'-'dd'T'hh':'nn':'ss'.'zzz" : "yyyy'-'mm'-'dd'T'hh':'nn':'ss",
      aDateTime);
}

DateTime XmlTextToDateTime(std::string_view aText) {
  DateTimeParts parts;
  const bool numeric =
      TryStrToInt(Part(aText, 0, 4), parts.year) && TryStrToInt(Part(aText, 5, 2), parts.month) &&
      TryStrToInt(Part(aText, 8, 2), parts.day) && TryStrToInt(Part(aText, 11, 2), parts.hour) &&
      TryStrToInt(Part(aText, 14, 2), parts.minute) &&
      TryStrToInt(Part(aText, 17, 2), parts.second);
  // The milliseconds are read as written (".5" is 5 ms) and default to 0.
  if (!TryStrToInt(Part(aText, 20, 3), parts.millisecond)) parts.millisecond = 0;
  DateTime result = 0;
  if (!numeric || !TryEncodeDateTime(parts, result)) {
    throw Error("DateTime Format invalid: [" + std::string(aText) + "]");
  }
  return result;
}

std::string CurrencyToXmlText(Currency aValue) {
  const int64_t raw = aValue.Raw();
  const uint64_t magnitude = raw < 0 ? 0 - static_cast<uint64_t>(raw) : static_cast<uint64_t>(raw);
  std::string text = raw < 0 ? "-" : "";
  text += std::to_string(magnitude / Currency::kScale);
  uint64_t fraction = magnitude % Currency::kScale;
  if (fraction != 0) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%04llu", static_cast<unsigned long long>(fraction));
    std::string decimals = buffer;
    decimals.erase(decimals.find_last_not_of('0') + 1);
    text += "." + decimals;
  }
  return text;
}

std::string BooleanToXmlText(bool aValue) { return aValue ? "True" : "False"; }

Currency RoundToCents(Currency aValue) {
  int64_t n = aValue.Raw();
  const int64_t remainder = n % 100;  // truncated division: sign of n
  n -= remainder;
  if (remainder >= 50) n += 100;
  if (remainder <= -50) n -= 100;
  return Currency::FromRaw(n);
}

std::string FixedWidthNumber(double aValue, int aWidth, int aDecimals, bool aSigned,
                             std::string_view aDecimalSeparator) {
  if (aWidth <= 0) return {};
  const int decimals = aDecimals < 0 ? 0 : (aDecimals > 30 ? 30 : aDecimals);
  // A signed field shows its sign in the first position: the digits are those of the
  // magnitude, so that a negative value does not carry a second "-" inside the digits.
  const double shown = aSigned && aValue < 0 ? -aValue : aValue;
  const int length = std::snprintf(nullptr, 0, "%.*f", decimals, shown);
  std::string formatted(static_cast<size_t>(length > 0 ? length : 0), '\0');
  std::snprintf(formatted.data(), formatted.size() + 1, "%.*f", decimals, shown);
  std::string text;
  for (char c : formatted) {
    if (c == '.') {
      text.append(aDecimalSeparator);
    } else {
      text.push_back(c);
    }
  }
  text = std::string(static_cast<size_t>(aWidth), '0') + text;
  text = text.substr(text.size() - static_cast<size_t>(aWidth));
  if (aSigned) text[0] = aValue < 0 ? '-' : '+';
  return text;
}

std::string TextField(std::string_view aText, int aIndex, char aSeparator, bool aToEnd) {
  if (aIndex < 1) return {};
  size_t start = 0;
  for (int field = 1; field < aIndex; ++field) {
    const size_t next = aText.find(aSeparator, start);
    if (next == std::string_view::npos) return {};
    start = next + 1;
  }
  if (aToEnd) return std::string(aText.substr(start));
  const size_t end = aText.find(aSeparator, start);
  return std::string(aText.substr(start, end == std::string_view::npos ? end : end - start));
}

int32_t MillisecondsOfDay(DateTime aDateTime) {
  const DateTimeParts parts = DecodeDateTime(aDateTime);
  return ((parts.hour * 3600 + parts.minute * 60 + parts.second) * 1000) + parts.millisecond;
}

std::string ShortDateText(DateTime aValue) {
  const platform::RegionalSettings settings = platform::CurrentRegionalSettings();
  return FormatDateTime(settings.shortDateFormat, aValue, settings.dateSeparator,
                        settings.timeSeparator);
}

std::string LowerCase(std::string_view aText) {
  std::string result(aText);
  for (char& c : result) c = LowerLetter(c);
  return result;
}

std::string UpperCase(std::string_view aText) {
  std::string result(aText);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

bool SameText(std::string_view aLeft, std::string_view aRight) {
  if (aLeft.size() != aRight.size()) return false;
  for (size_t i = 0; i < aLeft.size(); ++i) {
    if (aLeft[i] != aRight[i] && LowerLetter(aLeft[i]) != LowerLetter(aRight[i])) return false;
  }
  return true;
}

}  // namespace qv::base
