// Currency arithmetic: exact sums and differences, products and quotients through 128-bit
// intermediates rounded to four decimals with halves to even.
#include "base/currency.h"

#include <cmath>
#include <limits>

#include "platform/error.h"

namespace qv::base {

namespace {

using Int128 = __int128;

constexpr Int128 kMin = std::numeric_limits<int64_t>::min();
constexpr Int128 kMax = std::numeric_limits<int64_t>::max();

[[noreturn]] void ThrowOverflow() { throw Error("Currency overflow"); }

int64_t Checked(Int128 aValue) {
  if (aValue < kMin || aValue > kMax) ThrowOverflow();
  return static_cast<int64_t>(aValue);
}

Int128 Abs(Int128 aValue) { return aValue < 0 ? -aValue : aValue; }

// aNumerator / aDenominator rounded to the nearest integer, halves to the even neighbour.
Int128 DivideHalfEven(Int128 aNumerator, Int128 aDenominator) {
  Int128 quotient = aNumerator / aDenominator;  // truncated toward zero
  Int128 remainder = aNumerator % aDenominator;
  if (remainder == 0) return quotient;
  Int128 twiceRemainder = Abs(remainder) * 2;
  Int128 divisor = Abs(aDenominator);
  bool negative = (aNumerator < 0) != (aDenominator < 0);
  bool roundAway = twiceRemainder > divisor || (twiceRemainder == divisor && (quotient % 2) != 0);
  if (roundAway) quotient += negative ? -1 : 1;
  return quotient;
}

}  // namespace

Currency Currency::FromInteger(int64_t aValue) {
  return Currency(Checked(static_cast<Int128>(aValue) * kScale));
}

Currency Currency::FromDouble(double aValue) {
  double scaled = aValue * static_cast<double>(kScale);
  // The default rounding mode of the floating-point unit rounds halves to even.
  double rounded = std::nearbyint(scaled);
  if (!std::isfinite(rounded) || rounded < -9223372036854775808.0 ||
      rounded >= 9223372036854775808.0) {
    ThrowOverflow();
  }
  return Currency(static_cast<int64_t>(rounded));
}

Currency Currency::operator-() const { return Currency(Checked(-static_cast<Int128>(fValue))); }

Currency Currency::operator+(Currency aOther) const {
  return Currency(Checked(static_cast<Int128>(fValue) + aOther.fValue));
}

Currency Currency::operator-(Currency aOther) const {
  return Currency(Checked(static_cast<Int128>(fValue) - aOther.fValue));
}

Currency Currency::operator*(Currency aOther) const {
  Int128 product = static_cast<Int128>(fValue) * aOther.fValue;
  return Currency(Checked(DivideHalfEven(product, kScale)));
}

Currency Currency::operator/(Currency aOther) const {
  if (aOther.fValue == 0) throw Error("Division by zero");
  Int128 numerator = static_cast<Int128>(fValue) * kScale;
  return Currency(Checked(DivideHalfEven(numerator, aOther.fValue)));
}

}  // namespace qv::base
