#include "base/date_time.h"

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/error.h"

namespace qv::base {
namespace {

DateTime Make(int aYear, int aMonth, int aDay, int aHour = 0, int aMinute = 0, int aSecond = 0,
              int aMillisecond = 0) {
  return EncodeDateTime(DateTimeParts{aYear, aMonth, aDay, aHour, aMinute, aSecond, aMillisecond});
}

TEST(DateTime, EncodesDaysSince18991230) {
  EXPECT_DOUBLE_EQ(Make(1899, 12, 30), 0.0);
  EXPECT_DOUBLE_EQ(Make(1900, 1, 1), 2.0);
  EXPECT_DOUBLE_EQ(Make(2023, 8, 9), 45147.0);
  EXPECT_DOUBLE_EQ(Make(2023, 8, 9, 12), 45147.5);
  EXPECT_DOUBLE_EQ(Make(2000, 2, 29), 36585.0);
}

TEST(DateTime, DaysBefore18991230CarryTheTimeAsMagnitude) {
  // 1899-12-29 06:00 is -1.25: the day -1 and a quarter day below it.
  EXPECT_DOUBLE_EQ(Make(1899, 12, 29, 6), -1.25);
  const DateTimeParts parts = DecodeDateTime(-1.25);
  EXPECT_EQ(parts.year, 1899);
  EXPECT_EQ(parts.month, 12);
  EXPECT_EQ(parts.day, 29);
  EXPECT_EQ(parts.hour, 6);
  const DateTimeParts early = DecodeDateTime(Make(1, 1, 1, 23, 59, 59, 999));
  EXPECT_EQ(early.year, 1);
  EXPECT_EQ(early.day, 1);
  EXPECT_EQ(early.hour, 23);
  EXPECT_EQ(early.millisecond, 999);
}

TEST(DateTime, RoundTripsToTheMillisecond) {
  for (int ms : {0, 1, 42, 500, 999}) {
    const DateTimeParts parts = DecodeDateTime(Make(2023, 8, 9, 9, 39, 19, ms));
    EXPECT_EQ(parts.year, 2023);
    EXPECT_EQ(parts.month, 8);
    EXPECT_EQ(parts.day, 9);
    EXPECT_EQ(parts.hour, 9);
    EXPECT_EQ(parts.minute, 39);
    EXPECT_EQ(parts.second, 19);
    EXPECT_EQ(parts.millisecond, ms);
  }
  // Just before midnight rounds into the next day only at the half millisecond.
  const DateTimeParts nextDay = DecodeDateTime(Make(2023, 8, 9) + 0.9999999999);
  EXPECT_EQ(nextDay.day, 10);
  EXPECT_EQ(nextDay.hour, 0);
}

TEST(DateTime, RefusesImpossibleValues) {
  DateTime value = 7;
  EXPECT_FALSE(TryEncodeDateTime(DateTimeParts{2023, 13, 9}, value));
  EXPECT_FALSE(TryEncodeDateTime(DateTimeParts{2023, 2, 30}, value));
  EXPECT_FALSE(TryEncodeDateTime(DateTimeParts{2023, 2, 29}, value));
  EXPECT_FALSE(TryEncodeDateTime(DateTimeParts{1900, 2, 29}, value));
  EXPECT_FALSE(TryEncodeDateTime(DateTimeParts{2023, 1, 1, 24}, value));
  EXPECT_FALSE(TryEncodeDateTime(DateTimeParts{0, 1, 1}, value));
  EXPECT_FALSE(TryEncodeDateTime(DateTimeParts{2023, 1, 1, 0, 0, 0, 1000}, value));
  EXPECT_DOUBLE_EQ(value, 7.0);
  EXPECT_TRUE(TryEncodeDateTime(DateTimeParts{2024, 2, 29}, value));
  try {
    EncodeDateTime(DateTimeParts{2023, 2, 30});
    FAIL();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Invalid date or time");
  }
}

TEST(DateTime, FormatsWithDateTimeLetters) {
  const DateTime value = Make(2023, 8, 9, 9, 5, 7, 42);
  EXPECT_EQ(FormatDateTime("yyyymmdd", value), "20230809");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss:zzz", value), "2023-08-09 09:05:07:042");
  EXPECT_EQ(FormatDateTime("d/m/yy h:n:s z", value, ".", "-"), "9.8.23 9-5-7 42");
  EXPECT_EQ(FormatDateTime("yyyy'-'mm'T'\"/:\"", value), "2023-08T/:");
  EXPECT_EQ(FormatDateTime("YYYY/MM/DD", value, "/"), "2023/08/09");
}

TEST(DateTime, NowFollowsThePlatformClockAndDateOfDropsTheTime) {
  platform::OverrideClock([] { return platform::LocalTime{2023, 8, 9, 15, 30, 12, 345}; });
  const DateTime now = NowDateTime();
  platform::OverrideClock({});
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", now), "2023-08-09 15:30:12.345");
  EXPECT_DOUBLE_EQ(DateOf(now), Make(2023, 8, 9));
  EXPECT_DOUBLE_EQ(DateOf(Make(1899, 12, 29, 6)), -1.0);
}

}  // namespace
}  // namespace qv::base
