// Stateless helpers shared by the whole library: the fixed text forms of every XML document
// and of the counters file, a fixed-width number format for file names, a field splitter and
// the host process's executable and command line. Safe from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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
int32_t MillisecondsOfDay(DateTime aDateTime);

// Text conversions used by the accessors; they throw qv::Error with the conversion
// messages "'%s' is not a valid integer value", "'%s' is not a valid floating point value"
// and "'%s' is not a valid boolean value".
int32_t StrToInt(std::string_view aText);
Currency StrToCurrency(std::string_view aText);
bool StrToBool(std::string_view aText);

// ASCII letter case.
std::string LowerCase(std::string_view aText);
std::string UpperCase(std::string_view aText);
bool SameText(std::string_view aLeft, std::string_view aRight);  // case-insensitive ASCII

}  // namespace qv::base
