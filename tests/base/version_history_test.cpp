#include "base/version_history.h"

#include <gtest/gtest.h>

#include <map>

#include "base/utils.h"
#include "platform/error.h"
#include "platform/regional_settings.h"

namespace qv::base {
namespace {

using Table = std::map<int, std::string>;

VersionStringLookup LookupIn(const Table& aTable) {
  return [aTable](int aId) -> std::optional<std::string> {
    const auto found = aTable.find(aId);
    if (found == aTable.end()) return std::nullopt;
    return found->second;
  };
}

DateTime Date(int aYear, int aMonth, int aDay) {
  return EncodeDateTime(DateTimeParts{aYear, aMonth, aDay});
}

const Table kDemo = {
    {10000, "$APPDESCRIPTION=Demo Fiscal Driver"},
    {10001, "$COPYRIGHT=Example Works"},
    {10002, "$VERSION=3.20"},
    {10003, "$RELEASEDATE=14/02/2021"},
    {10004, "$AUTHOR=XQZ"},
    {10005, "$PTEXT=First delivery"},
    {10006, "$VERSION=3.21"},
    {10007, "$RELEASEDATE=02/03/2021"},
    {10008, "$AUTHOR=XQZ"},
    {10009, "$PTEXT=Faster start-up"},
    {10010, "$PTEXT=Receipt printing fixed"},
};

TEST(VersionHistory, ReadsTheEntriesOldestFirst) {
  tQV_ApplicationInfo info;
  info.Load(LookupIn(kDemo));
  EXPECT_EQ(info.Description(), "Demo Fiscal Driver");
  EXPECT_EQ(info.Copyright(), "Example Works");
  EXPECT_EQ(info.Version(), "3.21");
  EXPECT_DOUBLE_EQ(info.ReleaseDate(), Date(2021, 3, 2));
  ASSERT_EQ(info.History().size(), 2u);
  EXPECT_EQ(info.History()[0]->Version(), "3.20");
  EXPECT_DOUBLE_EQ(info.History()[0]->ReleaseDate(), Date(2021, 2, 14));
  EXPECT_EQ(info.History()[0]->Text(), std::vector<std::string>{"First delivery"});
  EXPECT_EQ(info.History()[1]->Author(), "XQZ");
  EXPECT_EQ(info.History()[1]->Text(),
            (std::vector<std::string>{"Faster start-up", "Receipt printing fixed"}));

  platform::RegionalSettings dayMonthYear;
  dayMonthYear.shortDateFormat = "dd/mm/yyyy";
  platform::OverrideRegionalSettings(dayMonthYear);
  const std::string versionString = info.GetVersionString();
  platform::OverrideRegionalSettings(std::nullopt);
  EXPECT_EQ(versionString, "[3.21 - 02/03/2021]");
}

TEST(VersionHistory, GapsOfUpToTenIdsAreBridged) {
  Table table = {{10000, "$VERSION=1.0"}, {10011, "$VERSION=1.1"}, {10022, "$AUTHOR=AB"}};
  tQV_ApplicationInfo info;
  info.Load(LookupIn(table));
  EXPECT_EQ(info.Version(), "1.1");
  ASSERT_EQ(info.History().size(), 2u);
  EXPECT_EQ(info.History()[1]->Author(), "AB");

  // Eleven ids without a string end the reading.
  table[10034] = "$VERSION=2.0";
  tQV_ApplicationInfo stopped;
  stopped.Load(LookupIn(table));
  EXPECT_EQ(stopped.Version(), "1.1");
  EXPECT_EQ(stopped.History().size(), 2u);

  // Nothing at the first eleven ids: nothing is read at all.
  tQV_ApplicationInfo empty;
  empty.Load(LookupIn({{10011, "$VERSION=9"}}));
  EXPECT_EQ(empty.Version(), "");
  EXPECT_TRUE(empty.History().empty());
}

TEST(VersionHistory, KeysIgnoreCaseAndValuesKeepFurtherEquals) {
  tQV_ApplicationInfo info;
  info.Load(LookupIn({{10000, "$version=1.0=beta"},
                      {10001, "$releasedate=31/12/2020"},
                      {10002, "$Text=second form"},
                      {10003, "$UNKNOWN=ignored"},
                      {10004, "no key at all"}}));
  EXPECT_EQ(info.Version(), "1.0=beta");
  EXPECT_DOUBLE_EQ(info.ReleaseDate(), Date(2020, 12, 31));
  ASSERT_EQ(info.History().size(), 1u);
  EXPECT_EQ(info.History()[0]->Text(), std::vector<std::string>{"second form"});
}

TEST(VersionHistory, EntryDetailsBeforeTheFirstVersionAreIgnored) {
  tQV_ApplicationInfo info;
  info.Load(LookupIn({{10000, "$PTEXT=orphan"},
                      {10001, "$RELEASEDATE=01/01/2020"},
                      {10002, "$AUTHOR=ZZ"},
                      {10003, "$VERSION=1.0"},
                      {10004, "$PTEXT=kept"}}));
  EXPECT_DOUBLE_EQ(info.ReleaseDate(), 0.0);
  ASSERT_EQ(info.History().size(), 1u);
  EXPECT_EQ(info.History()[0]->Author(), "");
  EXPECT_EQ(info.History()[0]->Text(), std::vector<std::string>{"kept"});
}

TEST(VersionHistory, ReleaseDatePartsThatAreNoNumberCountAsOne) {
  tQV_ApplicationInfo info;
  info.Load(LookupIn({{10000, "$VERSION=1"}, {10001, "$RELEASEDATE=xx/05/2023"}}));
  EXPECT_DOUBLE_EQ(info.ReleaseDate(), Date(2023, 5, 1));
  tQV_ApplicationInfo shortDate;
  shortDate.Load(LookupIn({{10000, "$VERSION=1"}, {10001, "$RELEASEDATE=07"}}));
  EXPECT_DOUBLE_EQ(shortDate.ReleaseDate(), Date(1, 1, 7));
}

TEST(VersionHistory, AnImpossibleReleaseDateFailsTheLoad) {
  tQV_ApplicationInfo info;
  try {
    info.Load(LookupIn({{10000, "$VERSION=1"}, {10001, "$RELEASEDATE=31/02/2021"}}));
    FAIL() << "31 February was accepted";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Invalid argument to date encode");
  }
}

TEST(VersionHistory, TheLibrarysOwnTable) {
  int strings = 0;
  for (int id = 10000; id <= 10040; ++id) strings += LibraryVersionString(id).has_value();
  EXPECT_EQ(strings, 31);
  EXPECT_FALSE(LibraryVersionString(10031).has_value());
  EXPECT_FALSE(LibraryVersionString(9999).has_value());

  tQV_ApplicationInfo info;
  info.Load(&LibraryVersionString);
  EXPECT_EQ(info.Description(), "ZEB Driver - Kavren Processor (CY)");
  EXPECT_FALSE(info.Copyright().empty());
  EXPECT_EQ(info.Version(), "1.06");
  EXPECT_DOUBLE_EQ(info.ReleaseDate(), Date(2023, 8, 9));
  ASSERT_EQ(info.History().size(), 7u);
  const std::vector<std::pair<std::string, DateTime>> expected = {
      {"1.00", Date(2022, 9, 29)}, {"1.01", Date(2023, 4, 4)},  {"1.02", Date(2023, 5, 16)},
      {"1.03", Date(2023, 5, 17)}, {"1.04", Date(2023, 5, 19)}, {"1.05", Date(2023, 8, 8)},
      {"1.06", Date(2023, 8, 9)}};
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(info.History()[i]->Version(), expected[i].first);
    EXPECT_DOUBLE_EQ(info.History()[i]->ReleaseDate(), expected[i].second);
    EXPECT_FALSE(info.History()[i]->Author().empty());
  }
  EXPECT_EQ(info.History()[0]->Text(), std::vector<std::string>{"Initial Release"});
  EXPECT_EQ(info.History()[5]->Text(),
            (std::vector<std::string>{
                "Bug Fixing: removed processing instructions before printing to text",
                "Checked Result codes in GetVersionInfo and Sign methods"}));
  EXPECT_EQ(info.History()[6]->Text(),
            std::vector<std::string>{"Added support for external receipt numbering"});
}

}  // namespace
}  // namespace qv::base
