#include "base/utils.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/regional_settings.h"
#include "support/file_status_assertions.h"

namespace qv::base {
namespace {

std::string MessageOf(auto aCall) {
  try {
    aCall();
  } catch (const Error& e) {
    return e.what();
  }
  return "(no error)";
}

DateTime Make(int aYear, int aMonth, int aDay, int aHour = 0, int aMinute = 0, int aSecond = 0,
              int aMillisecond = 0) {
  return EncodeDateTime(DateTimeParts{aYear, aMonth, aDay, aHour, aMinute, aSecond, aMillisecond});
}

TEST(DateTimeText, WritesTheFixedFormWithAndWithoutMilliseconds) {
  EXPECT_EQ(DateTimeToXmlText(false, 0), "1899-12-30T00:00:00");
  EXPECT_EQ(DateTimeToXmlText(true, 0), "1899-12-30T00:00:00.000");
  const DateTime value = Make(2023, 8, 9, 9, 39, 19, 42);
  EXPECT_EQ(DateTimeToXmlText(false, value), "2023-08-09T09:39:19");
  EXPECT_EQ(DateTimeToXmlText(true, value), "2023-08-09T09:39:19.042");
  EXPECT_EQ(DateTimeToXmlText(false, Make(2023, 12, 31, 23, 59, 59)), "2023-12-31T23:59:59");
}

TEST(DateTimeText, ReadsByPositionAndRoundTrips) {
  const DateTime value = Make(2023, 8, 9, 9, 39, 19, 42);
  EXPECT_DOUBLE_EQ(XmlTextToDateTime(DateTimeToXmlText(true, value)), value);
  EXPECT_DOUBLE_EQ(XmlTextToDateTime("2023-08-09T09:39:19"), Make(2023, 8, 9, 9, 39, 19));
  // Separators are not examined, a zone after the milliseconds is ignored.
  EXPECT_DOUBLE_EQ(XmlTextToDateTime("2023/08/09 09.39.19"), Make(2023, 8, 9, 9, 39, 19));
  EXPECT_DOUBLE_EQ(XmlTextToDateTime("2023-08-09T09:39:19.042+02:00"), value);
  EXPECT_DOUBLE_EQ(XmlTextToDateTime("2023-08-09T09:39:19Z"), Make(2023, 8, 9, 9, 39, 19));
  // Milliseconds are taken as written.
  EXPECT_DOUBLE_EQ(XmlTextToDateTime("2023-08-09T09:39:19.5"), Make(2023, 8, 9, 9, 39, 19, 5));
  EXPECT_DOUBLE_EQ(XmlTextToDateTime("2023-08-09T09:39:19.xyz"), Make(2023, 8, 9, 9, 39, 19));
  EXPECT_DOUBLE_EQ(XmlTextToDateTime("1899-12-30T00:00:00"), 0.0);
}

TEST(DateTimeText, RefusesMissingOrImpossibleParts) {
  for (const char* text : {"2023-13-09T09:39:19", "2023-02-30T09:39:19", "2023-08-09T24:00:00",
                           "2023-08-09", "", "2023-0x-09T09:39:19", "abcd-08-09T09:39:19"}) {
    EXPECT_EQ(MessageOf([&] { XmlTextToDateTime(text); }),
              std::string("DateTime Format invalid: [") + text + "]");
  }
}

TEST(AmountText, WritesTheShortestDecimalForm) {
  EXPECT_EQ(CurrencyToXmlText(Currency()), "0");
  EXPECT_EQ(CurrencyToXmlText(Currency::FromDouble(12.5)), "12.5");
  EXPECT_EQ(CurrencyToXmlText(Currency::FromDouble(1234.5678)), "1234.5678");
  EXPECT_EQ(CurrencyToXmlText(Currency::FromInteger(-3)), "-3");
  EXPECT_EQ(CurrencyToXmlText(Currency::FromRaw(1)), "0.0001");
  EXPECT_EQ(CurrencyToXmlText(Currency::FromRaw(-1)), "-0.0001");
  EXPECT_EQ(CurrencyToXmlText(Currency::FromDouble(-1234.5)), "-1234.5");
  EXPECT_EQ(CurrencyToXmlText(Currency::FromRaw(INT64_MIN)), "-922337203685477.5808");
  for (const char* text : {"0", "12.5", "-0.0001", "922337203685477.5807", "-3.1"}) {
    EXPECT_EQ(CurrencyToXmlText(StrToCurrency(text)), text);
  }
}

TEST(AmountText, BooleansAreTrueAndFalse) {
  EXPECT_EQ(BooleanToXmlText(true), "True");
  EXPECT_EQ(BooleanToXmlText(false), "False");
}

TEST(RoundToCents, RoundsHalvesAwayFromZero) {
  EXPECT_EQ(RoundToCents(StrToCurrency("1.005")), StrToCurrency("1.01"));
  EXPECT_EQ(RoundToCents(StrToCurrency("-1.005")), StrToCurrency("-1.01"));
  EXPECT_EQ(RoundToCents(StrToCurrency("1.0049")), StrToCurrency("1"));
  EXPECT_EQ(RoundToCents(StrToCurrency("-1.0049")), StrToCurrency("-1"));
  EXPECT_EQ(RoundToCents(StrToCurrency("2.0099")), StrToCurrency("2.01"));
  EXPECT_EQ(RoundToCents(StrToCurrency("0.015")), StrToCurrency("0.02"));
  EXPECT_EQ(RoundToCents(StrToCurrency("0.025")), StrToCurrency("0.03"));
  EXPECT_EQ(RoundToCents(StrToCurrency("7.12")), StrToCurrency("7.12"));
  EXPECT_EQ(RoundToCents(Currency::FromRaw(INT64_MAX)).Raw(), INT64_MAX - 7);
}

TEST(Conversions, IntegersAreDecimalWithOptionalSign) {
  EXPECT_EQ(StrToInt("12"), 12);
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
  EXPECT_EQ(StrToInt("+7"), 7);
  for (const char* text : {"x", "", "1.5", "2147483648", " 1", "1 ", "-"}) {
    EXPECT_EQ(MessageOf([&] { StrToInt(text); }),
              std::string("'") + text + "' is not a valid integer value");
  }
}

TEST(Conversions, CurrencyTextsRoundToFourDecimals) {
  EXPECT_EQ(StrToCurrency("12.3456").Raw(), 123456);
  EXPECT_EQ(StrToCurrency("  -12.5  ").Raw(), -125000);
  EXPECT_EQ(StrToCurrency("1.5E2").Raw(), 1500000);
  EXPECT_EQ(StrToCurrency("125e-3").Raw(), 1250);
  EXPECT_EQ(StrToCurrency(".5").Raw(), 5000);
  EXPECT_EQ(StrToCurrency("0.00005").Raw(), 0);  // half to even
  EXPECT_EQ(StrToCurrency("0.00015").Raw(), 2);  // half to even
  EXPECT_EQ(StrToCurrency("0.000151").Raw(), 2);
  EXPECT_EQ(StrToCurrency("-0.00025").Raw(), -2);
  EXPECT_EQ(StrToCurrency("0.00005000001").Raw(), 1);
  EXPECT_EQ(StrToCurrency("1e-999999999").Raw(), 0);
  EXPECT_EQ(StrToCurrency("-922337203685477.5808").Raw(), INT64_MIN);
  for (const char* text :
       {"1,234.50", "", "abc", "1.2.3", "1e", "--1", "922337203685477.5808", "1e30", "12,5"}) {
    EXPECT_EQ(MessageOf([&] { StrToCurrency(text); }),
              std::string("'") + text + "' is not a valid floating point value");
  }
}

// Amounts as tills write them take a short way; their neighbours (more digits, more decimals,
// signs alone) must convert exactly as by the full rule.
TEST(Conversions, PlainAmountsAndTheirNeighboursConvertAlike) {
  EXPECT_EQ(StrToCurrency("99999999999999.9999").Raw(), 999999999999999999);
  EXPECT_EQ(StrToCurrency("-99999999999999.9999").Raw(), -999999999999999999);
  EXPECT_EQ(StrToCurrency("922337203685477").Raw(), 9223372036854770000);
  EXPECT_EQ(StrToCurrency("000000000000000001.5").Raw(), 15000);
  EXPECT_EQ(StrToCurrency("1.23455").Raw(), 12346);  // a fifth decimal: half to even
  EXPECT_EQ(StrToCurrency("1.23445").Raw(), 12344);
  EXPECT_EQ(StrToCurrency("1.234500000").Raw(), 12345);
  EXPECT_EQ(StrToCurrency("5.").Raw(), 50000);
  EXPECT_EQ(StrToCurrency("+.5").Raw(), 5000);
  EXPECT_EQ(StrToCurrency("-0").Raw(), 0);
  EXPECT_EQ(StrToCurrency("-0.0001").Raw(), -1);
  EXPECT_EQ(StrToCurrency("1.2345678901234567890").Raw(), 12346);
  // Read from a NUL-terminated text the same way, and refused the same way.
  for (const char* text :
       {"6.6667", "-12.5", "1.23455", "  7 ", "1e2", "5.", "+.5", "x", "", "-"}) {
    Currency fromView, fromCString;
    const bool viewOk = TryStrToCurrency(text, fromView);
    EXPECT_EQ(TryCStringToCurrency(text, fromCString), viewOk) << text;
    EXPECT_EQ(fromCString, fromView) << text;
  }
  for (const char* text : {"+", "-", ".", "-.", "+-1", "1.-5", "0x10", "1 .5", "922337203685478",
                           "12345678901234567890"}) {
    EXPECT_EQ(MessageOf([&] { StrToCurrency(text); }),
              std::string("'") + text + "' is not a valid floating point value");
  }
}

TEST(Conversions, BooleansAreWordsOrNumbersWithTheMachineSeparator) {
  EXPECT_TRUE(StrToBool("true"));
  EXPECT_TRUE(StrToBool("TRUE"));
  EXPECT_FALSE(StrToBool("FALSE"));
  EXPECT_TRUE(StrToBool("1"));
  EXPECT_TRUE(StrToBool("-2"));
  EXPECT_FALSE(StrToBool("0"));
  EXPECT_FALSE(StrToBool("0.000"));
  EXPECT_EQ(MessageOf([] { StrToBool("yes"); }), "'yes' is not a valid boolean value");
  EXPECT_EQ(MessageOf([] { StrToBool(""); }), "'' is not a valid boolean value");

  platform::RegionalSettings comma;
  comma.decimalSeparator = ",";
  platform::OverrideRegionalSettings(comma);
  const bool halfWithComma = StrToBool("0,5");
  const std::string pointMessage = MessageOf([] { StrToBool("0.5"); });
  platform::OverrideRegionalSettings(std::nullopt);
  EXPECT_TRUE(halfWithComma);
  EXPECT_EQ(pointMessage, "'0.5' is not a valid boolean value");
}

TEST(FixedWidthNumber, PadsCutsAndSigns) {
  EXPECT_EQ(FixedWidthNumber(1, 4, 0, false, ""), "0001");
  EXPECT_EQ(FixedWidthNumber(12, 7, 0, false, ""), "0000012");
  EXPECT_EQ(FixedWidthNumber(12.5, 8, 2, false, ""), "00001250");
  EXPECT_EQ(FixedWidthNumber(12.5, 8, 2, true, ""), "+0001250");
  EXPECT_EQ(FixedWidthNumber(12.5, 8, 2, false, ","), "00012,50");
  EXPECT_EQ(FixedWidthNumber(12345, 4, 0, false, ""), "2345");
  EXPECT_EQ(FixedWidthNumber(10000, 4, 0, false, ""), "0000");
  EXPECT_EQ(FixedWidthNumber(9999999, 7, 0, false, ""), "9999999");
  EXPECT_EQ(FixedWidthNumber(-12, 7, 0, true, ""), "-000012");
  EXPECT_EQ(FixedWidthNumber(0, 3, 0, true, ""), "+00");
  EXPECT_EQ(FixedWidthNumber(5, 0, 0, true, ""), "");
}

TEST(TextField, SplitsAtTheSeparator) {
  EXPECT_EQ(TextField("a;b;c", 1, ';', false), "a");
  EXPECT_EQ(TextField("a;b;c", 2, ';', false), "b");
  EXPECT_EQ(TextField("a;b;c", 3, ';', false), "c");
  EXPECT_EQ(TextField("a;b;c", 2, ';', true), "b;c");
  EXPECT_EQ(TextField("a;b", 3, ';', false), "");
  EXPECT_EQ(TextField("a;b", 3, ';', true), "");
  EXPECT_EQ(TextField("a;b", 0, ';', false), "");
  EXPECT_EQ(TextField("a;;c", 2, ';', false), "");
  EXPECT_EQ(TextField("a;;c", 3, ';', false), "c");
  EXPECT_EQ(TextField("$KEY=x=y", 2, '=', true), "x=y");
  EXPECT_EQ(TextField("$KEY=x=y", 2, '=', false), "x");
  EXPECT_EQ(TextField("", 1, ';', false), "");
}

TEST(CommandLineValue, MatchesFlagsAndValuesIgnoringCase) {
  const std::vector<std::string> batch = {"x.xml", "/batch"};
  EXPECT_EQ(CommandLineValueIn(batch, "/BATCH", true), "/batch");
  EXPECT_EQ(CommandLineValueIn(batch, "/BATCH", false), "");
  const std::vector<std::string> valued = {"/Batch=1", "/Port:COM3", "/Debugger"};
  EXPECT_EQ(CommandLineValueIn(valued, "/BATCH", false), "1");
  EXPECT_EQ(CommandLineValueIn(valued, "/BATCH", true), "/Batch=1");
  EXPECT_EQ(CommandLineValueIn(valued, "/port", false), "COM3");
  // A longer parameter that only starts with the name does not count.
  EXPECT_EQ(CommandLineValueIn(valued, "/DEBUG", true), "");
  EXPECT_EQ(CommandLineValueIn({}, "/TEST", true), "");
  // The first match wins.
  EXPECT_EQ(CommandLineValueIn({"/a=1", "/A=2"}, "/a", false), "1");
}

TEST(CommandLineValue, ReadsTheRealCommandLineOfAChildProgram) {
  const std::string output = NewTemporaryFile("tmp");
  const std::string command = std::string(QV_BIN_DIR) +
                              "/base_command_line_probe /Batch=1 /debug other > \"" + output + "\"";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::string content;
  ASSERT_TRUE(StatusOk(platform::ReadWholeFile(output, content)));
  platform::DeleteFile(output).IgnoreFailure();
  // The C runtime of Windows writes its text output with CR LF line ends.
  std::erase(content, '\r');
  EXPECT_EQ(content, "BATCH=1\nDEBUG=/debug\nTEST=\nBASE=base_command_line_probe\n");
}

TEST(ProcessInfo, ExecutableFolderAndBaseName) {
  EXPECT_EQ(ExecutableBaseName(), "base_tests");
  const std::string folder = ExecutableFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(platform::IsPathDelimiter(folder.back()));
#ifdef _WIN32
  EXPECT_EQ(folder + "base_tests.exe", platform::ExecutablePath());
#else
  EXPECT_EQ(folder + "base_tests", platform::ExecutablePath());
#endif
}

TEST(MillisecondsOfDay, CountsFromMidnightOfTheTimePart) {
  EXPECT_EQ(MillisecondsOfDay(Make(2023, 8, 9, 9, 39, 19, 42)),
            ((9 * 3600 + 39 * 60 + 19) * 1000) + 42);
  EXPECT_EQ(MillisecondsOfDay(Make(2023, 8, 9)), 0);
  EXPECT_EQ(MillisecondsOfDay(Make(1899, 12, 29, 6)), 6 * 3600 * 1000);
}

TEST(FormatText, FillsValuesIntoAPattern) {
  EXPECT_EQ(FormatText("%s has %d lines (%.2f%%)", {std::string("Receipt"), int64_t{3}, 12.5}),
            "Receipt has 3 lines (12.50%)");
  EXPECT_EQ(FormatText("[%5s][%-3d][%x]", {std::string("ab"), int64_t{7}, int64_t{255}}),
            "[   ab][7  ][FF]");
  EXPECT_EQ(MessageOf([] { FormatText("%d", {std::string("x")}); }),
            "Format '%d' invalid or incompatible with argument");
  EXPECT_EQ(MessageOf([] { FormatText("%s %s", {std::string("x")}); }),
            "Format '%s %s' invalid or incompatible with argument");
}

TEST(ShortDateText, FollowsTheRegionalFormat) {
  platform::RegionalSettings settings;
  settings.shortDateFormat = "m/d/yyyy";
  settings.dateSeparator = "-";
  platform::OverrideRegionalSettings(settings);
  const std::string american = ShortDateText(Make(2021, 3, 2));
  settings.shortDateFormat = "dd/mm/yyyy";
  settings.dateSeparator = "/";
  platform::OverrideRegionalSettings(settings);
  const std::string european = ShortDateText(Make(2021, 3, 2));
  platform::OverrideRegionalSettings(std::nullopt);
  EXPECT_EQ(american, "3-2-2021");
  EXPECT_EQ(european, "02/03/2021");
}

}  // namespace
}  // namespace qv::base
