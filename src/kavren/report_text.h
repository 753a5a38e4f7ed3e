// The texts of the Z- and X-reports: fixed layout, 44 columns, Italian labels, numbers in
// the machine's separators. Pure functions of their arguments; safe from any thread.
#pragma once

#include <string>
#include <vector>

#include "base/currency.h"
#include "base/date_time.h"
#include "framework/day_figures.h"
#include "platform/regional_settings.h"

namespace qv::kavren {

// A report figure: the exact value rounded to 2 decimals for an amount (whole for a count),
// halves away from zero, grouped by thousands with the machine's separators, with exactly 2
// decimals for an amount (12,345.68; 1,234,567.50; -5.00; a count 1,000,000).
std::string ReportAmount(base::Currency aValue, const platform::RegionalSettings& aSettings);
std::string ReportCount(int64_t aValue, const platform::RegionalSettings& aSettings);

// The Z number as printed and in journal names: the last four digits, zero-padded.
std::string ReportZNumberText(int32_t aNumber);

struct tReportHeading {
  std::string till;
  base::DateTime now = 0;
};

std::string BuildZReportText(const framework::qvDayFigures& aFigures,
                             const tReportHeading& aHeading,
                             const platform::RegionalSettings& aSettings);
std::string BuildXReportText(const framework::qvDayFigures& aFigures,
                             const tReportHeading& aHeading,
                             const platform::RegionalSettings& aSettings);

// The host's own Z-report text: its lines, each ended by CR LF, headed by "DAILY REPORT"
// unless it holds those words, with every "DAILY REPORT" (any letter case) replaced by
// "Z-REPORT # " and the Z number.
std::string HostZReportText(const std::vector<std::string>& aLines, const std::string& aZNumber);

// The error text of a Z-report whose day the signing device refused to close, after the
// till had closed it: "Error when closing the day in the signing device: [<status>]<answer>.
// The day is closed in the till." Hosts and the integrator's guide quote it.
std::string ZReportRefusalText(int aStatus, const std::string& aAnswer);

// The block appended when the signing component closed the day.
std::string SignatureBlock(const std::string& aDeviceSerial, const std::string& aAnswer);

}  // namespace qv::kavren
