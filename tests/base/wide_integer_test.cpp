#include "base/wide_integer.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

namespace qv::base {
namespace {

// A reference for the hand-written arithmetic that works on every target: numbers as four
// 32-bit digits, least significant first, multiplied and divided digit by digit as on paper.
// 64-bit builds also compare with the compiler's own 128-bit integers.
using Digits = std::array<uint32_t, 4>;

Digits ToDigits(const UInt128& aValue) {
  return {static_cast<uint32_t>(aValue.low), static_cast<uint32_t>(aValue.low >> 32),
          static_cast<uint32_t>(aValue.high), static_cast<uint32_t>(aValue.high >> 32)};
}

Digits ReferenceProduct(uint64_t aLeft, uint64_t aRight) {
  const uint32_t left[2] = {static_cast<uint32_t>(aLeft), static_cast<uint32_t>(aLeft >> 32)};
  const uint32_t right[2] = {static_cast<uint32_t>(aRight), static_cast<uint32_t>(aRight >> 32)};
  Digits product{};
  for (int i = 0; i < 2; ++i) {
    uint64_t carry = 0;
    for (int j = 0; j < 2; ++j) {
      const uint64_t sum = uint64_t{left[i]} * right[j] + product[i + j] + carry;
      product[i + j] = static_cast<uint32_t>(sum);
      carry = sum >> 32;
    }
    product[i + 2] = static_cast<uint32_t>(carry);
  }
  return product;
}

// Long division by a divisor below 2^32 (the digits' own base), and the remainder.
Digits ReferenceQuotient(const Digits& aValue, uint32_t aDivisor, uint32_t& aRemainder) {
  Digits quotient{};
  uint64_t remainder = 0;
  for (int i = 3; i >= 0; --i) {
    const uint64_t part = (remainder << 32) | aValue[i];
    quotient[i] = static_cast<uint32_t>(part / aDivisor);
    remainder = part % aDivisor;
  }
  aRemainder = static_cast<uint32_t>(remainder);
  return quotient;
}

// quotient * divisor + remainder, digit by digit, for divisors of any width.
Digits ReferenceMultiplyAdd(const Digits& aValue, uint64_t aFactor, uint64_t aAddend) {
  const uint32_t factor[2] = {static_cast<uint32_t>(aFactor),
                              static_cast<uint32_t>(aFactor >> 32)};
  Digits result{static_cast<uint32_t>(aAddend), static_cast<uint32_t>(aAddend >> 32), 0, 0};
  for (int j = 0; j < 2; ++j) {
    uint64_t carry = 0;
    for (int i = 0; i + j < 4; ++i) {
      const uint64_t sum = uint64_t{aValue[i]} * factor[j] + result[i + j] + carry;
      result[i + j] = static_cast<uint32_t>(sum);
      carry = sum >> 32;
    }
  }
  // Carries out of the top digit cannot happen for a true quotient and remainder.
  return result;
}

std::vector<uint64_t> Values() {
  std::mt19937_64 random(20230809);
  const uint64_t edges[] = {0,
                            1,
                            3,
                            9999,
                            10000,
                            0xFFFFFFFFull,
                            0x100000000ull,
                            0x7FFFFFFFFFFFFFFFull,
                            0x8000000000000000ull,
                            ~0ull};
  std::vector<uint64_t> values(std::begin(edges), std::end(edges));
  for (int i = 0; i < 200; ++i) values.push_back(random() >> (random() % 64));
  return values;
}

TEST(UInt128, ProductsMatchLongMultiplication) {
  for (uint64_t left : Values()) {
    for (uint64_t right : Values()) {
      ASSERT_EQ(ToDigits(UInt128::Multiply(left, right)), ReferenceProduct(left, right))
          << left << " * " << right;
    }
  }
}

TEST(UInt128, QuotientsAndRemaindersRebuildTheDividend) {
  for (uint64_t left : Values()) {
    for (uint64_t right : Values()) {
      const UInt128 dividends[] = {UInt128::Multiply(left, right), UInt128{left, right}};
      for (const UInt128& dividend : dividends) {
        for (uint64_t divisor : {right, right | 1, left | 1}) {
          if (divisor == 0) continue;
          uint64_t remainder = 0;
          const UInt128 quotient = dividend.DivideBy(divisor, remainder);
          ASSERT_LT(remainder, divisor);
          ASSERT_EQ(ReferenceMultiplyAdd(ToDigits(quotient), divisor, remainder),
                    ToDigits(dividend))
              << dividend.high << ":" << dividend.low << " / " << divisor;
          if (divisor <= 0xFFFFFFFFull) {
            uint32_t expectedRemainder = 0;
            ASSERT_EQ(ToDigits(quotient),
                      ReferenceQuotient(ToDigits(dividend), static_cast<uint32_t>(divisor),
                                        expectedRemainder));
            ASSERT_EQ(remainder, expectedRemainder);
          }
        }
      }
    }
  }
}

#if defined(__SIZEOF_INT128__)
TEST(UInt128, MatchesTheCompilersOwnIntegers) {
  using Native = unsigned __int128;
  auto native = [](const UInt128& aValue) { return (Native{aValue.high} << 64) | aValue.low; };
  for (uint64_t left : Values()) {
    for (uint64_t right : Values()) {
      const UInt128 product = UInt128::Multiply(left, right);
      ASSERT_TRUE(native(product) == Native{left} * right) << left << " * " << right;
      if (right == 0) continue;
      uint64_t remainder = 0;
      const UInt128 quotient = product.DivideBy(right, remainder);
      ASSERT_TRUE(native(quotient) == native(product) / right) << left << " / " << right;
      ASSERT_EQ(remainder, static_cast<uint64_t>(native(product) % right));
    }
  }
}
#endif

}  // namespace
}  // namespace qv::base
