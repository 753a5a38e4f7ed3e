// Currency arithmetic: exact sums and differences, products and quotients through 128-bit
// intermediates rounded to four decimals with halves to even.
#include "base/currency.h"

#include <cmath>
#include <limits>

#include "base/wide_integer.h"
#include "platform/error.h"

namespace qv::base {

namespace {

constexpr uint64_t kNegativeLimit = uint64_t{1} << 63;  // magnitude of the smallest value

[[noreturn]] void ThrowOverflow() { throw Error("Currency overflow"); }

uint64_t Magnitude(int64_t aValue) {
  return aValue < 0 ? 0 - static_cast<uint64_t>(aValue) : static_cast<uint64_t>(aValue);
}

// The signed value of a magnitude, or an overflow failure.
int64_t Signed(uint64_t aMagnitude, bool aNegative) {
  if (aNegative) {
    if (aMagnitude > kNegativeLimit) ThrowOverflow();
    return aMagnitude == kNegativeLimit ? std::numeric_limits<int64_t>::min()
                                        : -static_cast<int64_t>(aMagnitude);
  }
  if (aMagnitude >= kNegativeLimit) ThrowOverflow();
  return static_cast<int64_t>(aMagnitude);
}

// aNumerator / aDenominator rounded to the nearest integer, halves to the even neighbour,
// as a signed 64-bit value.
int64_t DivideHalfEven(UInt128 aNumerator, uint64_t aDenominator, bool aNegative) {
  uint64_t remainder = 0;
  const UInt128 quotient = aNumerator.DivideBy(aDenominator, remainder);
  if (quotient.high != 0) ThrowOverflow();
  uint64_t magnitude = quotient.low;
  const uint64_t rest = aDenominator - remainder;  // remainder < denominator: no wrap
  const bool roundUp = remainder > rest || (remainder == rest && remainder != 0 && magnitude % 2);
  if (roundUp) {
    if (magnitude == std::numeric_limits<uint64_t>::max()) ThrowOverflow();
    ++magnitude;
  }
  return Signed(magnitude, aNegative);
}

}  // namespace

Currency Currency::FromInteger(int64_t aValue) {
  const UInt128 scaled = UInt128::Multiply(Magnitude(aValue), kScale);
  if (scaled.high != 0) ThrowOverflow();
  return Currency(Signed(scaled.low, aValue < 0));
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

Currency Currency::operator-() const { return Currency(Signed(Magnitude(fValue), fValue > 0)); }

Currency Currency::operator+(Currency aOther) const {
  int64_t result = 0;
  if (__builtin_add_overflow(fValue, aOther.fValue, &result)) ThrowOverflow();
  return Currency(result);
}

Currency Currency::operator-(Currency aOther) const {
  int64_t result = 0;
  if (__builtin_sub_overflow(fValue, aOther.fValue, &result)) ThrowOverflow();
  return Currency(result);
}

Currency Currency::operator*(Currency aOther) const {
  const UInt128 product = UInt128::Multiply(Magnitude(fValue), Magnitude(aOther.fValue));
  return Currency(DivideHalfEven(product, kScale, (fValue < 0) != (aOther.fValue < 0)));
}

Currency Currency::operator/(Currency aOther) const {
  if (aOther.fValue == 0) throw Error("Division by zero");
  const UInt128 numerator = UInt128::Multiply(Magnitude(fValue), kScale);
  return Currency(
      DivideHalfEven(numerator, Magnitude(aOther.fValue), (fValue < 0) != (aOther.fValue < 0)));
}

}  // namespace qv::base
