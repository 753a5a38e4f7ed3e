// The Z- and X-report texts: the report number form in the machine's separators, the fixed
// 44-column layout, the host's own Z text and the signature block.
#include "kavren/report_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/currency.h"
#include "base/date_time.h"
#include "platform/unicode.h"

namespace qv::kavren {
namespace {

using base::Currency;
using platform::RegionalSettings;

RegionalSettings Settings(const std::string& aThousands, const std::string& aDecimal) {
  RegionalSettings settings;
  settings.thousandSeparator = aThousands;
  settings.decimalSeparator = aDecimal;
  return settings;
}

const RegionalSettings kEnglish = Settings(",", ".");
const RegionalSettings kItalian = Settings(".", ",");
const RegionalSettings kUngrouped = Settings("", ".");

Currency Amount(int64_t aTenThousandths) { return Currency::FromRaw(aTenThousandths); }

std::vector<std::string> Lines(const std::string& aText) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end = aText.find("\r\n"); end != std::string::npos;
       end = aText.find("\r\n", start)) {
    lines.push_back(aText.substr(start, end - start));
    start = end + 2;
  }
  lines.push_back(aText.substr(start));
  return lines;
}

framework::qvDayFigures SampleCounters() {
  framework::qvDayFigures counters;
  counters.CurrentReceiptNo = 17;
  counters.CurrentReportNo = 3;
  counters.GrandTotalTotal = Amount(123456789);  // 12345.6789
  counters.GrandTotalSales = Amount(150000000);
  counters.GrandTotalRefunds = Amount(26543211);
  counters.GrandTotalVoids = Amount(0);
  counters.DailyTotal = Amount(-50000);  // more refunds than sales
  counters.DailySales = Amount(100000);
  counters.DailyRefunds = Amount(150000);
  counters.DailyVoids = Amount(0);
  counters.DailyDiscounts = Amount(99990000);  // never shown
  return counters;
}

tReportHeading Heading() {
  return tReportHeading{"T1", base::EncodeDateTime({2023, 8, 9, 9, 39, 19, 0})};
}

std::string Row(const std::string& aLabel, const std::string& aValue) {
  std::string row = aLabel + std::string(34 - aLabel.size(), ' ');
  return row + std::string(aValue.size() < 10 ? 10 - aValue.size() : 0, ' ') + aValue;
}

TEST(ReportNumberForm, AmountsAreExactToTwoDecimalsRoundedHalfAwayFromZero) {
  EXPECT_EQ(ReportAmount(Amount(123456789), kEnglish), "12,345.68");  // 12345.6789
  EXPECT_EQ(ReportAmount(Amount(123456750), kEnglish), "12,345.68");  // 12345.675
  EXPECT_EQ(ReportAmount(Amount(123456749), kEnglish), "12,345.67");
  EXPECT_EQ(ReportAmount(Amount(1234567800), kEnglish), "123,456.78");
  EXPECT_EQ(ReportAmount(Amount(999999950), kEnglish), "100,000.00");  // 99999.995
  EXPECT_EQ(ReportAmount(Amount(12345), kEnglish), "1.23");
  EXPECT_EQ(ReportAmount(Amount(50), kEnglish), "0.01");  // 0.005, half away from zero
  EXPECT_EQ(ReportAmount(Amount(-50), kEnglish), "-0.01");
  EXPECT_EQ(ReportAmount(Amount(-123456750), kEnglish), "-12,345.68");
  EXPECT_EQ(ReportAmount(Amount(49), kEnglish), "0.00");
  EXPECT_EQ(ReportAmount(Amount(-49), kEnglish), "0.00");  // no "-" for a rounded zero
  EXPECT_EQ(ReportAmount(Amount(0), kEnglish), "0.00");
  EXPECT_EQ(ReportAmount(Amount(-50000), kEnglish), "-5.00");
  EXPECT_EQ(ReportAmount(Amount(10000000), kEnglish), "1,000.00");
  EXPECT_EQ(ReportAmount(Amount(-1234567800), kEnglish), "-123,456.78");
}

TEST(ReportNumberForm, LargeAmountsKeepEveryDigit) {
  EXPECT_EQ(ReportAmount(Amount(12345675000), kEnglish), "1,234,567.50");  // 1234567.5
  EXPECT_EQ(ReportAmount(Amount(10000000000), kEnglish), "1,000,000.00");
  EXPECT_EQ(ReportAmount(Amount(9999995000), kEnglish), "999,999.50");
  EXPECT_EQ(ReportAmount(Amount(-12345675000), kEnglish), "-1,234,567.50");
  EXPECT_EQ(ReportAmount(Amount(123456789012345), kEnglish), "12,345,678,901.23");
  EXPECT_EQ(ReportAmount(Amount(INT64_MAX), kEnglish), "922,337,203,685,477.58");
  EXPECT_EQ(ReportAmount(Amount(INT64_MIN), kEnglish), "-922,337,203,685,477.58");
  EXPECT_EQ(ReportAmount(Amount(12345675000), kItalian), "1.234.567,50");
}

TEST(ReportNumberForm, CountsAreWholeNumbers) {
  EXPECT_EQ(ReportCount(0, kEnglish), "0");
  EXPECT_EQ(ReportCount(999, kEnglish), "999");
  EXPECT_EQ(ReportCount(1000, kEnglish), "1,000");
  EXPECT_EQ(ReportCount(999999, kEnglish), "999,999");
  EXPECT_EQ(ReportCount(1000000, kEnglish), "1,000,000");
  EXPECT_EQ(ReportCount(1234567, kEnglish), "1,234,567");
  EXPECT_EQ(ReportCount(2147483647, kEnglish), "2,147,483,647");
  EXPECT_EQ(ReportCount(-3, kEnglish), "-3");
  EXPECT_EQ(ReportCount(1000, kItalian), "1.000");
  EXPECT_EQ(ReportCount(1234567, kUngrouped), "1234567");
}

TEST(ReportNumberForm, FollowsTheMachineSeparators) {
  EXPECT_EQ(ReportAmount(Amount(123456789), kItalian), "12.345,68");
  EXPECT_EQ(ReportAmount(Amount(123456789), kUngrouped), "12345.68");
  EXPECT_EQ(ReportAmount(Amount(0), kItalian), "0,00");
  EXPECT_EQ(ReportAmount(Amount(12345678900), kUngrouped), "1234567.89");
  // Separators of more than one character (a narrow no-break space, UTF-8) stay whole.
  EXPECT_EQ(ReportAmount(Amount(12345675000), Settings("\u202f", ",")), "1\u202f234\u202f567,50");
}

TEST(ReportZNumber, KeepsTheLastFourDigits) {
  EXPECT_EQ(ReportZNumberText(1), "0001");
  EXPECT_EQ(ReportZNumberText(9999), "9999");
  EXPECT_EQ(ReportZNumberText(10000), "0000");
  EXPECT_EQ(ReportZNumberText(12345), "2345");
}

TEST(ZReportText, HasItsFixedLayout) {
  const std::string text = BuildZReportText(SampleCounters(), Heading(), kEnglish);
  const std::vector<std::string> lines = Lines(text);
  ASSERT_EQ(lines.size(), 26u) << text;
  const std::string separator(44, '-');
  const std::vector<std::string> expected = {
      "Z-REPORT # 0003",
      "",
      separator,
      "",
      "Cassa T1",
      "Data 09/08/2023 09:39",
      "",
      separator,
      "",
      Row("Grantotale", "12,345.68"),
      "",
      Row("Grantotale Vendite", "15,000.00"),
      Row("Grantotale Resi", "2,654.32"),
      Row("Grantotale Annullamenti", "0.00"),
      "",
      separator,
      "",
      Row("Totale Giorno", "-5.00"),
      "",
      Row("Totale Giorno Vendite", "10.00"),
      Row("Totale Giorno Resi", "15.00"),
      Row("Totale Giorno Annullamenti", "0.00"),
      "",
      separator,
      "",
      Row("Scontrini Emessi", "17"),
  };
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(lines[21], "Totale Giorno Annullamenti" + std::string(8, ' ') + "      0.00");
  EXPECT_EQ(lines[9], "Grantotale" + std::string(24, ' ') + " 12,345.68");
  for (std::size_t i : {9u, 11u, 12u, 13u, 17u, 19u, 20u, 21u, 25u}) {
    EXPECT_EQ(lines[i].size(), 44u) << lines[i];
  }
  EXPECT_EQ(text.substr(text.size() - 44),
            Row("Scontrini Emessi", "17"));        // no line break at the end
  EXPECT_EQ(text.find("999"), std::string::npos);  // discounts are not shown
}

TEST(ZReportText, UsesTheMachineDateAndTimeSeparatorsAndTheLastFourZDigits) {
  framework::qvDayFigures counters;
  counters.CurrentReportNo = 10000;
  RegionalSettings settings = kItalian;
  settings.dateSeparator = ".";
  settings.timeSeparator = ".";
  const std::vector<std::string> lines =
      Lines(BuildZReportText(counters, tReportHeading{"ΤΑΜΕΙΟ 1", Heading().now}, settings));
  ASSERT_EQ(lines.size(), 26u);
  EXPECT_EQ(lines[0], "Z-REPORT # 0000");
  EXPECT_EQ(lines[4], "Cassa ΤΑΜΕΙΟ 1");
  EXPECT_EQ(lines[5], "Data 09.08.2023 09.39");
  EXPECT_EQ(lines[9], Row("Grantotale", "0,00"));
}

TEST(ZReportText, AFigureWiderThanItsColumnWidensItsLine) {
  framework::qvDayFigures counters;
  counters.DailySales = Amount(-12345675000);      // -1,234,567.50: 13 characters
  counters.GrandTotalTotal = Amount(12345675000);  // 1,234,567.50: 12 characters
  counters.GrandTotalSales = Amount(9999999999);   // 999,999.9999 rounds to 1,000,000.00
  counters.CurrentReceiptNo = 1234567890;          // 1,234,567,890: 13 characters
  const std::vector<std::string> lines = Lines(BuildZReportText(counters, Heading(), kEnglish));
  ASSERT_EQ(lines.size(), 26u);
  EXPECT_EQ(lines[9], "Grantotale" + std::string(24, ' ') + "1,234,567.50");
  EXPECT_EQ(lines[11], "Grantotale Vendite" + std::string(16, ' ') + "1,000,000.00");
  EXPECT_EQ(lines[19], "Totale Giorno Vendite" + std::string(13, ' ') + "-1,234,567.50");
  EXPECT_EQ(lines[25], "Scontrini Emessi" + std::string(18, ' ') + "1,234,567,890");
  EXPECT_EQ(lines[9].size(), 46u);
  EXPECT_EQ(lines[19].size(), 47u);
  // The other lines keep their width.
  EXPECT_EQ(lines[17], Row("Totale Giorno", "0.00"));
  EXPECT_EQ(lines[17].size(), 44u);
  EXPECT_EQ(lines[2], std::string(44, '-'));
}

TEST(XReportText, ShowsTheOpenDayOnly) {
  const std::string text = BuildXReportText(SampleCounters(), Heading(), kEnglish);
  const std::vector<std::string> lines = Lines(text);
  const std::string separator(44, '-');
  const std::vector<std::string> expected = {
      "X-REPORT",
      separator,
      "",
      "Cassa T1",
      "Data 09/08/2023 09:39",
      "",
      separator,
      "",
      Row("Totale Giorno", "-5.00"),
      "",
      Row("Totale Giorno Vendite", "10.00"),
      Row("Totale Giorno Resi", "15.00"),
      Row("Totale Giorno Annullamenti", "0.00"),
      "",
      separator,
      "",
      Row("Scontrini Emessi", "17"),
  };
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(text.find("Grantotale"), std::string::npos);
}

TEST(HostZReportText, PutsTheHeadingInFrontWhenMissingAndReplacesEveryCase) {
  EXPECT_EQ(HostZReportText({"Daily report", "Total 10.00"}, "0001"),
            "Z-REPORT # 0001\r\nZ-REPORT # 0001\r\nTotal 10.00\r\n");
  EXPECT_EQ(HostZReportText({"DAILY REPORT of the day", "daily REPORT"}, "0042"),
            "Z-REPORT # 0042 of the day\r\nZ-REPORT # 0042\r\n");
  EXPECT_EQ(HostZReportText({}, "0002"), "Z-REPORT # 0002\r\n");
  EXPECT_EQ(HostZReportText({"Καλή daily report σας", ""}, "0007"),
            "Z-REPORT # 0007\r\nΚαλή Z-REPORT # 0007 σας\r\n\r\n");
}

TEST(SignatureBlock, CarriesTheDeviceSerialAndTheAnswer) {
  EXPECT_EQ(SignatureBlock("KVB0000001", "DAY 1 CLOSED"),
            "\r\n\r\nS/N: KVB0000001\r\nDAY 1 CLOSED\r\n\r\nLEGAL RECEIPT");
  EXPECT_EQ(SignatureBlock("", ""), "\r\n\r\nS/N: \r\n\r\n\r\nLEGAL RECEIPT");
}

}  // namespace
}  // namespace qv::kavren
