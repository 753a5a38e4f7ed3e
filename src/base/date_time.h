// DateTime: days since 1899-12-30 as a double, the time of day as the fraction, local time.
// 0 (1899-12-30 00:00:00) stands for a value that was not given. This module is the only
// place that encodes and decodes it.
#pragma once

#include <string>
#include <string_view>

#include "platform/clock.h"

namespace qv::base {

using DateTime = double;

struct DateTimeParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// False for a value out of range (month 13, 30 February, hour 24, ...).
bool TryEncodeDateTime(const DateTimeParts& aParts, DateTime& aResult);
// Throws qv::Error("Invalid date or time") for a value out of range.
DateTime EncodeDateTime(const DateTimeParts& aParts);
// Splits a date-time into its parts, rounded to the nearest millisecond.
DateTimeParts DecodeDateTime(DateTime aValue);

DateTime NowDateTime();  // the platform's local clock
DateTime ToDateTime(const platform::LocalTime& aTime);
DateTime DateOf(DateTime aValue);  // midnight of the same day

// Formats with the date-time letters: yyyy, yy, mm, m, dd, d, hh, h, nn, n, ss, s, zzz;
// text between single or double quotes is copied as it stands, "/" becomes aDateSeparator
// and ":" becomes aTimeSeparator. Example: FormatDateTime("yyyymmdd", v) gives 20230809.
std::string FormatDateTime(std::string_view aPattern, DateTime aValue,
                           std::string_view aDateSeparator = "/",
                           std::string_view aTimeSeparator = ":");

}  // namespace qv::base
