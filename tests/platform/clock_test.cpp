#include "platform/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

namespace qv::platform {
namespace {

TEST(Clock, OverrideChoosesTheTimeAndEmptyGoesBack) {
  OverrideClock([] { return LocalTime{2023, 8, 9, 9, 39, 19, 123}; });
  const LocalTime fixed = Now();
  EXPECT_EQ(fixed.year, 2023);
  EXPECT_EQ(fixed.month, 8);
  EXPECT_EQ(fixed.day, 9);
  EXPECT_EQ(fixed.hour, 9);
  EXPECT_EQ(fixed.minute, 39);
  EXPECT_EQ(fixed.second, 19);
  EXPECT_EQ(fixed.millisecond, 123);
  OverrideClock(nullptr);
  EXPECT_GT(Now().year, 2023);
}

TEST(Clock, RealClockIsTheLocalTime) {
  const std::time_t before = std::time(nullptr);
  const LocalTime now = Now();
  const std::time_t after = std::time(nullptr);
  std::tm local{};
  std::tm* reference = std::localtime(&before);
  ASSERT_NE(reference, nullptr);
  local = *reference;
  if (before == after) {
    EXPECT_EQ(now.year, local.tm_year + 1900);
    EXPECT_EQ(now.month, local.tm_mon + 1);
    EXPECT_EQ(now.day, local.tm_mday);
    EXPECT_EQ(now.hour, local.tm_hour);
    EXPECT_EQ(now.minute, local.tm_min);
    EXPECT_EQ(now.second, local.tm_sec);
  }
  EXPECT_GE(now.millisecond, 0);
  EXPECT_LE(now.millisecond, 999);
}

TEST(Clock, SleepWaitsAtLeastTheGivenTime) {
  const auto start = std::chrono::steady_clock::now();
  SleepMilliseconds(30);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

}  // namespace
}  // namespace qv::platform
