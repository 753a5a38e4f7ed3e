// The text form of a SHA-256 digest, the same on every platform.
#include "platform/sha256.h"

namespace qv::platform {

std::string Sha256Hex(const Sha256Digest& aDigest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(aDigest.size() * 2);
  for (std::uint8_t byte : aDigest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

}  // namespace qv::platform
