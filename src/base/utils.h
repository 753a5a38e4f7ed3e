// Stateless helpers shared by the whole library: the fixed text forms of every XML document
// and of the counters file, a fixed-width number format for file names, a field splitter and
// the host process's executable and command line. Safe from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/currency.h"
#include "base/date_time.h"

namespace qv::base {

// "yyyy-mm-ddThh:nn:ss", or with aWithMilliseconds "yyyy-mm-ddThh:nn:ss.zzz".
std::string DateTimeToXmlText(bool aWithMilliseconds, DateTime aDateTime);
// Reads the date-time form by character position; fails with
// "DateTime Format invalid: [<text>]".
DateTime XmlTextToDateTime(std::string_view aText);
// Shortest decimal form, "." as decimal point, no grouping: 0, 12.5, -3, 0.0001.
std::string CurrencyToXmlText(Currency aValue);
std::string BooleanToXmlText(bool aValue);  // "True" / "False"
// Rounds to two decimals, halves away from zero.
Currency RoundToCents(Currency aValue);

// Fixed-width digits: FixedWidthNumber(12.5, 8, 2, false, "") gives "00001250".
std::string FixedWidthNumber(double aValue, int aWidth, int aDecimals, bool aSigned,
                             std::string_view aDecimalSeparator);
// Field aIndex (1-based) of aText split at aSeparator; with aToEnd, everything from that
// field to the end.
std::string TextField(std::string_view aText, int aIndex, char aSeparator, bool aToEnd);

// Folder of the host executable with a trailing delimiter, and its name without folder and
// extension.
std::string ExecutableFolder();
std::string ExecutableBaseName();
// The first command-line parameter that equals aName or starts with aName + ":" or "="
// (compared in lower case): whole, or the value after the separator. Empty when none.
std::string CommandLineValue(std::string_view aName, bool aWhole);
// The same search in a given parameter list (without the program name).
std::string CommandLineValueIn(const std::vector<std::string>& aParameters, std::string_view aName,
                               bool aWhole);
int32_t MillisecondsOfDay(DateTime aDateTime);

// Text conversions used by the accessors; they throw qv::Error with the conversion
// messages "'%s' is not a valid integer value", "'%s' is not a valid floating point value"
// and "'%s' is not a valid boolean value".
int32_t StrToInt(std::string_view aText);
Currency StrToCurrency(std::string_view aText);
bool StrToBool(std::string_view aText);
// The same conversions without failing: false when the text does not convert.
bool TryStrToInt(std::string_view aText, int32_t& aResult);
bool TryStrToCurrency(std::string_view aText, Currency& aResult);
// The same for a NUL-terminated text, without measuring it first in the usual case.
bool TryCStringToCurrency(const char* aText, Currency& aResult);

// The date in the machine's short date format (regional settings): 09/08/2023 with the
// day-month-year format. The zero date-time gives 30/12/1899 like any other date.
std::string ShortDateText(DateTime aValue);

// A printf-like format of aValues: %s (any value), %d (integer), %f (number), %x (integer in
// hexadecimal), %% (a percent sign), each with optional "-", width and ".precision".
// A directive without a fitting value fails with
// "Format '<pattern>' invalid or incompatible with argument".
using FormatValue = std::variant<int64_t, double, std::string>;
std::string FormatText(std::string_view aPattern, const std::vector<FormatValue>& aValues);

// ASCII letter case.
constexpr char LowerLetter(char aChar) {
  return aChar >= 'A' && aChar <= 'Z' ? static_cast<char>(aChar - 'A' + 'a') : aChar;
}
std::string LowerCase(std::string_view aText);
std::string UpperCase(std::string_view aText);
bool SameText(std::string_view aLeft, std::string_view aRight);  // case-insensitive ASCII

}  // namespace qv::base
