// Currency: amounts, prices, quantities, rates and percentages as a signed 64-bit count of
// ten-thousandths. Sums and differences are exact; products and quotients are computed with
// 128-bit intermediates and rounded to four decimals, halves to even. Overflow of the 64-bit
// range throws qv::Error("Currency overflow"); division by zero throws
// qv::Error("Division by zero").
#pragma once

#include <compare>
#include <cstdint>

namespace qv::base {

class Currency {
 public:
  static constexpr int64_t kScale = 10000;

  constexpr Currency() = default;
  static constexpr Currency FromRaw(int64_t aTenThousandths) { return Currency(aTenThousandths); }
  static Currency FromInteger(int64_t aValue);
  // Rounded to four decimals, halves to even.
  static Currency FromDouble(double aValue);

  constexpr int64_t Raw() const { return fValue; }
  double ToDouble() const { return static_cast<double>(fValue) / kScale; }
  bool IsZero() const { return fValue == 0; }

  Currency operator-() const;
  Currency operator+(Currency aOther) const;
  Currency operator-(Currency aOther) const;
  Currency operator*(Currency aOther) const;
  Currency operator/(Currency aOther) const;
  Currency& operator+=(Currency aOther) { return *this = *this + aOther; }
  Currency& operator-=(Currency aOther) { return *this = *this - aOther; }
  Currency& operator*=(Currency aOther) { return *this = *this * aOther; }
  Currency& operator/=(Currency aOther) { return *this = *this / aOther; }
  constexpr auto operator<=>(const Currency&) const = default;

 private:
  constexpr explicit Currency(int64_t aRaw) : fValue(aRaw) {}
  int64_t fValue = 0;
};

}  // namespace qv::base
