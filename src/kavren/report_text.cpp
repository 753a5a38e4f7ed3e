#include "kavren/report_text.h"

#include <cstdint>
#include <string>

#include "base/utils.h"
#include "platform/unicode.h"

namespace qv::kavren {

namespace {

constexpr const char* kCrLf = "\r\n";
constexpr size_t kLabelWidth = 34;
constexpr size_t kValueWidth = 10;

uint64_t PowerOfTen(int aExponent) {
  uint64_t power = 1;
  for (int i = 0; i < aExponent; ++i) power *= 10;
  return power;
}

// Divides by 10^aDigits, rounding halves away from zero (on a magnitude).
uint64_t RoundAway(uint64_t aValue, int aDigits) {
  if (aDigits <= 0) return aValue;
  uint64_t unit = PowerOfTen(aDigits);
  uint64_t quotient = aValue / unit;
  if ((aValue % unit) * 2 >= unit) ++quotient;
  return quotient;
}

std::string Grouped(const std::string& aDigits, const std::string& aSeparator) {
  if (aSeparator.empty()) return aDigits;
  std::string grouped;
  for (size_t i = 0; i < aDigits.size(); ++i) {
    if (i > 0 && (aDigits.size() - i) % 3 == 0) grouped += aSeparator;
    grouped += aDigits[i];
  }
  return grouped;
}

// aMagnitude is the value times 10^aScale. Writes the exact value rounded to aDecimals
// decimals (2 for amounts, 0 for counts), grouped by thousands, with exactly aDecimals
// decimals shown.
std::string ReportNumber(bool aNegative, uint64_t aMagnitude, int aScale, int aDecimals,
                         const platform::RegionalSettings& aSettings) {
  const uint64_t rounded = RoundAway(aMagnitude, aScale - aDecimals);
  const uint64_t unit = PowerOfTen(aDecimals);
  std::string text = aNegative && rounded != 0 ? "-" : "";
  text += Grouped(std::to_string(rounded / unit), aSettings.thousandSeparator);
  if (aDecimals > 0) {
    std::string fraction = std::to_string(rounded % unit);
    fraction.insert(0, static_cast<size_t>(aDecimals) - fraction.size(), '0');
    text += aSettings.decimalSeparator + fraction;
  }
  return text;
}

std::string PadRight(const std::string& aText, size_t aWidth) {
  size_t length = platform::Utf16Length(aText);
  return length >= aWidth ? aText : aText + std::string(aWidth - length, ' ');
}

std::string PadLeft(const std::string& aText, size_t aWidth) {
  size_t length = platform::Utf16Length(aText);
  return length >= aWidth ? aText : std::string(aWidth - length, ' ') + aText;
}

class tReportWriter {
 public:
  explicit tReportWriter(const platform::RegionalSettings& aSettings) : fSettings(aSettings) {}
  void Line(const std::string& aText = {}) { fText += aText + kCrLf; }
  void Separator() { Line(std::string(44, '-')); }
  void Amount(const std::string& aLabel, base::Currency aValue) {
    Line(PadRight(aLabel, kLabelWidth) + PadLeft(ReportAmount(aValue, fSettings), kValueWidth));
  }
  // The last line of a report: no line break after it.
  std::string FinishWithCount(const std::string& aLabel, int64_t aValue) {
    return fText + PadRight(aLabel, kLabelWidth) +
           PadLeft(ReportCount(aValue, fSettings), kValueWidth);
  }
  void Heading(const tReportHeading& aHeading) {
    Line("Cassa " + aHeading.till);
    Line("Data " + base::FormatDateTime("dd/mm/yyyy hh:nn", aHeading.now, fSettings.dateSeparator,
                                        fSettings.timeSeparator));
  }
  void DailyFigures(const framework::qvDayFigures& aFigures) {
    Amount("Totale Giorno", aFigures.DailyTotal);
    Line();
    Amount("Totale Giorno Vendite", aFigures.DailySales);
    Amount("Totale Giorno Resi", aFigures.DailyRefunds);
    Amount("Totale Giorno Annullamenti", aFigures.DailyVoids);
    Line();
    Separator();
    Line();
  }

 private:
  const platform::RegionalSettings& fSettings;
  std::string fText;
};

std::string ReplaceAllIgnoringCase(const std::string& aText, const std::string& aWhat,
                                   const std::string& aWith) {
  std::string lowerText = base::LowerCase(aText);
  std::string lowerWhat = base::LowerCase(aWhat);
  std::string result;
  size_t from = 0;
  for (size_t at = lowerText.find(lowerWhat); at != std::string::npos;
       at = lowerText.find(lowerWhat, from)) {
    result += aText.substr(from, at - from) + aWith;
    from = at + aWhat.size();
  }
  return result + aText.substr(from);
}

}  // namespace

std::string ReportAmount(base::Currency aValue, const platform::RegionalSettings& aSettings) {
  int64_t raw = aValue.Raw();
  uint64_t magnitude = raw < 0 ? uint64_t{0} - static_cast<uint64_t>(raw) : raw;
  return ReportNumber(raw < 0, magnitude, /*aScale=*/4, /*aDecimals=*/2, aSettings);
}

std::string ReportCount(int64_t aValue, const platform::RegionalSettings& aSettings) {
  uint64_t magnitude = aValue < 0 ? uint64_t{0} - static_cast<uint64_t>(aValue) : aValue;
  return ReportNumber(aValue < 0, magnitude, /*aScale=*/0, /*aDecimals=*/0, aSettings);
}

std::string ReportZNumberText(int32_t aNumber) {
  return base::FixedWidthNumber(aNumber, 4, 0, false, "");
}

std::string BuildZReportText(const framework::qvDayFigures& aFigures,
                             const tReportHeading& aHeading,
                             const platform::RegionalSettings& aSettings) {
  tReportWriter report(aSettings);
  report.Line("Z-REPORT # " + ReportZNumberText(aFigures.CurrentReportNo));
  report.Line();
  report.Separator();
  report.Line();
  report.Heading(aHeading);
  report.Line();
  report.Separator();
  report.Line();
  report.Amount("Grantotale", aFigures.GrandTotalTotal);
  report.Line();
  report.Amount("Grantotale Vendite", aFigures.GrandTotalSales);
  report.Amount("Grantotale Resi", aFigures.GrandTotalRefunds);
  report.Amount("Grantotale Annullamenti", aFigures.GrandTotalVoids);
  report.Line();
  report.Separator();
  report.Line();
  report.DailyFigures(aFigures);
  return report.FinishWithCount("Scontrini Emessi", aFigures.CurrentReceiptNo);
}

std::string BuildXReportText(const framework::qvDayFigures& aFigures,
                             const tReportHeading& aHeading,
                             const platform::RegionalSettings& aSettings) {
  tReportWriter report(aSettings);
  report.Line("X-REPORT");
  report.Separator();
  report.Line();
  report.Heading(aHeading);
  report.Line();
  report.Separator();
  report.Line();
  report.DailyFigures(aFigures);
  return report.FinishWithCount("Scontrini Emessi", aFigures.CurrentReceiptNo);
}

std::string HostZReportText(const std::vector<std::string>& aLines, const std::string& aZNumber) {
  std::string text;
  for (const std::string& line : aLines) text += line + kCrLf;
  if (text.find("DAILY REPORT") == std::string::npos)
    text = "DAILY REPORT" + std::string(kCrLf) + text;
  return ReplaceAllIgnoringCase(text, "DAILY REPORT", "Z-REPORT # " + aZNumber);
}

std::string SignatureBlock(const std::string& aDeviceSerial, const std::string& aAnswer) {
  return std::string(kCrLf) + kCrLf + "S/N: " + aDeviceSerial + kCrLf + aAnswer + kCrLf + kCrLf +
         "LEGAL RECEIPT";
}

std::string ZReportRefusalText(int aStatus, const std::string& aAnswer) {
  return "Error when closing the day in the signing device: [" + std::to_string(aStatus) + "]" +
         aAnswer + ". The day is closed in the till.";
}

}  // namespace qv::kavren
