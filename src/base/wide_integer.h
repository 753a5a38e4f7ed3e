// Unsigned 128-bit arithmetic for the exact Currency products and quotients. Written out by
// hand because 32-bit targets have no built-in 128-bit integer. Stateless.
#pragma once

#include <cstdint>

namespace qv::base {

struct UInt128 {
  uint64_t high = 0;
  uint64_t low = 0;

  // The full product of two 64-bit values.
  static UInt128 Multiply(uint64_t aLeft, uint64_t aRight) {
    const uint64_t leftLow = aLeft & 0xFFFFFFFFu, leftHigh = aLeft >> 32;
    const uint64_t rightLow = aRight & 0xFFFFFFFFu, rightHigh = aRight >> 32;
    const uint64_t lowLow = leftLow * rightLow;
    const uint64_t highLow = leftHigh * rightLow;
    const uint64_t lowHigh = leftLow * rightHigh;
    const uint64_t highHigh = leftHigh * rightHigh;
    const uint64_t middle = (lowLow >> 32) + (highLow & 0xFFFFFFFFu) + (lowHigh & 0xFFFFFFFFu);
    UInt128 result;
    result.low = (middle << 32) | (lowLow & 0xFFFFFFFFu);
    result.high = highHigh + (highLow >> 32) + (lowHigh >> 32) + (middle >> 32);
    return result;
  }

  // The quotient by a non-zero divisor; the remainder goes to aRemainder.
  UInt128 DivideBy(uint64_t aDivisor, uint64_t& aRemainder) const {
    UInt128 quotient;
    uint64_t remainder = 0;
    for (int bit = 127; bit >= 0; --bit) {
      const bool carry = (remainder >> 63) != 0;
      const uint64_t next = bit >= 64 ? (high >> (bit - 64)) & 1u : (low >> bit) & 1u;
      remainder = (remainder << 1) | next;
      if (carry || remainder >= aDivisor) {
        remainder -= aDivisor;  // wraps correctly when the shifted value had 65 bits
        if (bit >= 64) {
          quotient.high |= uint64_t{1} << (bit - 64);
        } else {
          quotient.low |= uint64_t{1} << bit;
        }
      }
    }
    aRemainder = remainder;
    return quotient;
  }
};

}  // namespace qv::base
