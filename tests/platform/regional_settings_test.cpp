#include "platform/regional_settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "platform/date_pattern.h"
#include "platform/support/platform_test_support.h"

namespace qv::platform {
namespace {

using test::HelperProgram;
using test::RunProgram;
using test::ScratchFolder;
using test::ShellQuote;

void ExpectSettings(const RegionalSettings& aSettings, const std::string& aDecimal,
                    const std::string& aThousands, const std::string& aDate,
                    const std::string& aShortDate) {
  EXPECT_EQ(aSettings.decimalSeparator, aDecimal);
  EXPECT_EQ(aSettings.thousandSeparator, aThousands);
  EXPECT_EQ(aSettings.dateSeparator, aDate);
  EXPECT_EQ(aSettings.timeSeparator, ":");
  EXPECT_EQ(aSettings.shortDateFormat, aShortDate);
}

TEST(DatePattern, LocaleDateFormatsBecomeReportPatterns) {
  struct Case {
    const char* pattern;
    const char* separator;
    const char* format;
  };
  const Case cases[] = {
      {"%d/%m/%Y", "/", "dd/mm/yyyy"},     {"%m/%d/%y", "/", "mm/dd/yy"},
      {"%d.%m.%Y", ".", "dd/mm/yyyy"},     {"%Y-%m-%d", "-", "yyyy/mm/dd"},
      {"%Y. %m. %d.", ". ", "yyyy/mm/dd"}, {"%-d/%-m/%Y", "/", "d/m/yyyy"},
      {"%e/%m/%Y", "/", "d/mm/yyyy"},      {"%D", "/", "mm/dd/yy"},
      {"%F", "-", "yyyy/mm/dd"},           {"%Od.%Om.%EY", ".", "dd/mm/yyyy"},
  };
  for (const Case& c : cases) {
    const DateOrder order = DateOrderFromStrftime(c.pattern);
    EXPECT_EQ(order.separator, c.separator) << c.pattern;
    EXPECT_EQ(order.shortDateFormat, c.format) << c.pattern;
  }
  EXPECT_EQ(DateOrderFromStrftime("%H:%M").shortDateFormat, "");
  EXPECT_EQ(DateOrderFromStrftime("%d/%m").shortDateFormat, "");
  EXPECT_EQ(DateOrderFromStrftime("").shortDateFormat, "");
}

TEST(RegionalSettings, NeutralOrMissingLocaleGivesTheTillDefaults) {
  for (const char* name : {"C", "POSIX", "C.UTF-8", "xx_XX.UTF-8"}) {
    SCOPED_TRACE(name);
    ExpectSettings(RegionalSettingsOfLocale(name), ".", "", "/", "dd/mm/yyyy");
  }
}

TEST(RegionalSettings, OverrideReplacesTheMachinesSettings) {
  const RegionalSettings machine = CurrentRegionalSettings();
  RegionalSettings american;
  american.decimalSeparator = ".";
  american.thousandSeparator = ",";
  american.shortDateFormat = "m/d/yyyy";
  OverrideRegionalSettings(american);
  ExpectSettings(CurrentRegionalSettings(), ".", ",", "/", "m/d/yyyy");
  OverrideRegionalSettings(std::nullopt);
  EXPECT_EQ(CurrentRegionalSettings().shortDateFormat, machine.shortDateFormat);
  EXPECT_EQ(CurrentRegionalSettings().decimalSeparator, machine.decimalSeparator);
}

// Installed locales are rare on build machines: the tests compile the two they need into a
// folder of their own and point LOCPATH at it.
class InstalledLocales : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fFolder = new ScratchFolder;
    // 8-bit character sets build several times faster than UTF-8.
    for (const char* name : {"el_CY.ISO-8859-7", "de_DE.ISO-8859-1"}) {
      const std::string source = std::string(name).substr(0, 5);
      const std::string charset = std::string(name).substr(6);
      const std::string command = "localedef -i " + source + " -f " + charset + " " +
                                  ShellQuote(fFolder->File(name)) + " >/dev/null 2>&1";
      fAvailable = fAvailable && std::system(command.c_str()) == 0;
    }
  }
  static void TearDownTestSuite() {
    delete fFolder;
    fFolder = nullptr;
  }
  void SetUp() override {
    if (!fAvailable) GTEST_SKIP() << "localedef cannot build el_CY and de_DE here";
  }

  std::string ShowSettings(const std::string& aEnvironment) {
    const auto result = RunProgram("env -u LC_ALL -u LC_NUMERIC -u LC_TIME -u LANG LOCPATH=" +
                                   ShellQuote(fFolder->Path().string()) + " " + aEnvironment + " " +
                                   ShellQuote(HelperProgram("platform_show_process")));
    EXPECT_EQ(result.status, 0);
    std::string settings;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);) {
      for (const char* name : {"decimal=", "thousands=", "date=", "shortdate="}) {
        if (line.rfind(name, 0) == 0) settings += line + ";";
      }
    }
    return settings;
  }

  static inline ScratchFolder* fFolder = nullptr;
  static inline bool fAvailable = true;
};

TEST_F(InstalledLocales, GreekCypriotAndGermanLocales) {
  test::ScopedEnvironment path("LOCPATH", fFolder->Path().string());
  ExpectSettings(RegionalSettingsOfLocale("el_CY.ISO-8859-7"), ",", ".", "/", "dd/mm/yyyy");
  ExpectSettings(RegionalSettingsOfLocale("de_DE.ISO-8859-1"), ",", ".", ".", "dd/mm/yyyy");
}

TEST_F(InstalledLocales, EnvironmentChoosesTheLocalePerCategory) {
  EXPECT_EQ(ShowSettings("LANG=de_DE.ISO-8859-1"),
            "decimal=,;thousands=.;date=.;shortdate=dd/mm/yyyy;");
  EXPECT_EQ(ShowSettings("LANG=de_DE.ISO-8859-1 LC_ALL=C"),
            "decimal=.;thousands=;date=/;shortdate=dd/mm/yyyy;");
  EXPECT_EQ(ShowSettings("LANG=C LC_NUMERIC=de_DE.ISO-8859-1"),
            "decimal=,;thousands=.;date=/;shortdate=dd/mm/yyyy;");
  EXPECT_EQ(ShowSettings("LANG=C LC_TIME=de_DE.ISO-8859-1"),
            "decimal=.;thousands=;date=.;shortdate=dd/mm/yyyy;");
}

}  // namespace
}  // namespace qv::platform
