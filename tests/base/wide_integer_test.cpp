#include "base/wide_integer.h"

#include <gtest/gtest.h>

#include <random>

namespace qv::base {
namespace {

// The hand-written arithmetic (needed on 32-bit targets) against the compiler's own 128-bit
// integers of this 64-bit build.
using Native = unsigned __int128;

Native ToNative(const UInt128& aValue) { return (Native{aValue.high} << 64) | aValue.low; }

TEST(UInt128, MatchesNativeProductsAndQuotients) {
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
  for (uint64_t left : values) {
    for (uint64_t right : values) {
      const UInt128 product = UInt128::Multiply(left, right);
      ASSERT_TRUE(ToNative(product) == Native{left} * right) << left << " * " << right;
      if (right == 0) continue;
      uint64_t remainder = 0;
      const UInt128 quotient = product.DivideBy(right, remainder);
      ASSERT_TRUE(ToNative(quotient) == ToNative(product) / right) << left << " / " << right;
      ASSERT_EQ(remainder, static_cast<uint64_t>(ToNative(product) % right));
      uint64_t remainder2 = 0;
      const UInt128 shifted{left, right};
      const UInt128 quotient2 = shifted.DivideBy(right | 1, remainder2);
      ASSERT_TRUE(ToNative(quotient2) == ToNative(shifted) / (right | 1));
      ASSERT_EQ(remainder2, static_cast<uint64_t>(ToNative(shifted) % (right | 1)));
    }
  }
}

}  // namespace
}  // namespace qv::base
