#include "base/currency.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "platform/error.h"

namespace qv::base {
namespace {

Currency Raw(int64_t aValue) { return Currency::FromRaw(aValue); }

TEST(Currency, SumsAndDifferencesAreExact) {
  EXPECT_EQ((Raw(1) + Raw(2)).Raw(), 3);
  EXPECT_EQ((Currency::FromInteger(10) - Raw(1)).Raw(), 99999);
  EXPECT_EQ((-Raw(5)).Raw(), -5);
  Currency total;
  for (int i = 0; i < 10; ++i) total += Currency::FromDouble(0.1);
  EXPECT_EQ(total, Currency::FromInteger(1));
}

TEST(Currency, ProductsRoundToFourDecimalsHalvesToEven) {
  // 1.2345 * 0.5 = 0.61725: a half at the fifth decimal goes to the even 0.6172.
  EXPECT_EQ((Raw(12345) * Raw(5000)).Raw(), 6172);
  // 1.2335 * 0.5 = 0.61675 -> 0.6168 (even).
  EXPECT_EQ((Raw(12335) * Raw(5000)).Raw(), 6168);
  // 0.0001 * 0.5 = 0.00005 -> 0 (even), 0.0003 * 0.5 -> 0.0002.
  EXPECT_EQ((Raw(1) * Raw(5000)).Raw(), 0);
  EXPECT_EQ((Raw(3) * Raw(5000)).Raw(), 2);
  EXPECT_EQ((Raw(-3) * Raw(5000)).Raw(), -2);
  // Above the half rounds up whatever the parity.
  EXPECT_EQ((Raw(12345) * Raw(5001)).Raw(), 6174);
  EXPECT_EQ((Currency::FromInteger(3) * Currency::FromDouble(2.5)).Raw(), 75000);
}

TEST(Currency, QuotientsRoundToFourDecimalsHalvesToEven) {
  EXPECT_EQ((Currency::FromInteger(10) / Currency::FromInteger(3)).Raw(), 33333);
  EXPECT_EQ((Currency::FromInteger(20) / Currency::FromInteger(3)).Raw(), 66667);
  EXPECT_EQ((Currency::FromInteger(-20) / Currency::FromInteger(3)).Raw(), -66667);
  // 0.0001 / 2 = 0.00005 -> 0; 0.0003 / 2 = 0.00015 -> 0.0002.
  EXPECT_EQ((Raw(1) / Currency::FromInteger(2)).Raw(), 0);
  EXPECT_EQ((Raw(3) / Currency::FromInteger(2)).Raw(), 2);
  EXPECT_EQ((Raw(3) / Currency::FromInteger(-2)).Raw(), -2);
}

TEST(Currency, LargeProductsUseWideIntermediates) {
  // 900,000,000,000 * 10 needs more than 64 bits before the scale is taken out.
  const Currency big = Currency::FromInteger(900000000000);
  EXPECT_EQ((big * Currency::FromInteger(10)).Raw(), 9000000000000 * Currency::kScale);
  EXPECT_EQ((big / Currency::FromInteger(9)).Raw(), 100000000000 * Currency::kScale);
}

TEST(Currency, OverflowAndDivisionByZeroFail) {
  const Currency max = Raw(std::numeric_limits<int64_t>::max());
  const Currency min = Raw(std::numeric_limits<int64_t>::min());
  EXPECT_THROW(max + Raw(1), Error);
  EXPECT_THROW(min - Raw(1), Error);
  EXPECT_THROW(-min, Error);
  EXPECT_THROW(max * Currency::FromInteger(2), Error);
  EXPECT_THROW(Currency::FromInteger(std::numeric_limits<int64_t>::max() / 1000), Error);
  EXPECT_THROW(Currency::FromDouble(1e300), Error);
  try {
    (void)(Currency::FromInteger(1) / Currency());
    FAIL() << "division by zero passed";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Division by zero");
  }
  try {
    (void)(max * max);
    FAIL() << "overflow passed";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Currency overflow");
  }
}

TEST(Currency, FromDoubleRoundsHalvesToEven) {
  EXPECT_EQ(Currency::FromDouble(12.5).Raw(), 125000);
  // Each of these scales to an exact half.
  EXPECT_EQ(Currency::FromDouble(0.00005).Raw(), 0);  // 0.5 -> 0
  EXPECT_EQ(Currency::FromDouble(0.00025).Raw(), 2);  // 2.5 -> 2
  EXPECT_EQ(Currency::FromDouble(0.00035).Raw(), 4);  // 3.5 -> 4
  EXPECT_EQ(Currency::FromDouble(1.23455).Raw(), 12346);
  EXPECT_EQ(Currency::FromDouble(2.00005).Raw(), 20000);
  EXPECT_EQ(Currency::FromDouble(-0.00025).Raw(), -2);
  EXPECT_EQ(Currency::FromDouble(-1234.56789).Raw(), -12345679);
  EXPECT_DOUBLE_EQ(Currency::FromDouble(99.99).ToDouble(), 99.99);
}

}  // namespace
}  // namespace qv::base
