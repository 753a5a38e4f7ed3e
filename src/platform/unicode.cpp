// UTF-8 and UTF-16 conversion shared by every platform. Decoding follows the "maximal
// subpart" rule: each ill-formed piece of input becomes exactly one U+FFFD and decoding
// resumes at the first byte that cannot continue it, so a damaged receipt text keeps every
// intact character around the damage.
#include "platform/unicode.h"

#include <cstdint>

namespace qv::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

struct Decoded {
  char32_t codePoint;
  std::size_t length;  // bytes consumed, at least 1
};

bool IsContinuation(unsigned char aByte) { return (aByte & 0xC0) == 0x80; }

// The allowed range of the second byte after a lead byte; it excludes overlong forms,
// UTF-16 surrogates (ED A0..BF) and code points above U+10FFFF.
void SecondByteRange(unsigned char aLead, unsigned char& aLow, unsigned char& aHigh) {
  aLow = 0x80;
  aHigh = 0xBF;
  if (aLead == 0xE0) aLow = 0xA0;
  if (aLead == 0xED) aHigh = 0x9F;
  if (aLead == 0xF0) aLow = 0x90;
  if (aLead == 0xF4) aHigh = 0x8F;
}

Decoded DecodeUtf8(std::string_view aText, std::size_t aPos) {
  const auto lead = static_cast<unsigned char>(aText[aPos]);
  if (lead < 0x80) return {lead, 1};
  std::size_t length;
  char32_t codePoint;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    codePoint = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    codePoint = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    codePoint = lead & 0x07;
  } else {
    return {kReplacement, 1};  // stray continuation byte, C0, C1 or F5..FF
  }
  unsigned char low, high;
  SecondByteRange(lead, low, high);
  std::size_t used = 1;
  for (; used < length; ++used) {
    if (aPos + used >= aText.size()) return {kReplacement, used};  // truncated at the end
    const auto next = static_cast<unsigned char>(aText[aPos + used]);
    const bool valid = used == 1 ? next >= low && next <= high : IsContinuation(next);
    if (!valid) return {kReplacement, used};
    codePoint = (codePoint << 6) | (next & 0x3F);
  }
  return {codePoint, length};
}

void AppendUtf16(std::u16string& aOut, char32_t aCodePoint) {
  if (aCodePoint < 0x10000) {
    aOut += static_cast<char16_t>(aCodePoint);
    return;
  }
  aCodePoint -= 0x10000;
  aOut += static_cast<char16_t>(0xD800 + (aCodePoint >> 10));
  aOut += static_cast<char16_t>(0xDC00 + (aCodePoint & 0x3FF));
}

bool IsHighSurrogate(char16_t aUnit) { return aUnit >= 0xD800 && aUnit <= 0xDBFF; }
bool IsLowSurrogate(char16_t aUnit) { return aUnit >= 0xDC00 && aUnit <= 0xDFFF; }

}  // namespace

void AppendUtf8(std::string& aOut, char32_t aCodePoint) {
  if (aCodePoint > 0x10FFFF || (aCodePoint >= 0xD800 && aCodePoint <= 0xDFFF)) {
    aCodePoint = kReplacement;
  }
  if (aCodePoint < 0x80) {
    aOut += static_cast<char>(aCodePoint);
  } else if (aCodePoint < 0x800) {
    aOut += static_cast<char>(0xC0 | (aCodePoint >> 6));
    aOut += static_cast<char>(0x80 | (aCodePoint & 0x3F));
  } else if (aCodePoint < 0x10000) {
    aOut += static_cast<char>(0xE0 | (aCodePoint >> 12));
    aOut += static_cast<char>(0x80 | ((aCodePoint >> 6) & 0x3F));
    aOut += static_cast<char>(0x80 | (aCodePoint & 0x3F));
  } else {
    aOut += static_cast<char>(0xF0 | (aCodePoint >> 18));
    aOut += static_cast<char>(0x80 | ((aCodePoint >> 12) & 0x3F));
    aOut += static_cast<char>(0x80 | ((aCodePoint >> 6) & 0x3F));
    aOut += static_cast<char>(0x80 | (aCodePoint & 0x3F));
  }
}

std::u16string Utf8ToUtf16(std::string_view aText) {
  std::u16string result;
  result.reserve(aText.size());
  for (std::size_t pos = 0; pos < aText.size();) {
    const Decoded decoded = DecodeUtf8(aText, pos);
    AppendUtf16(result, decoded.codePoint);
    pos += decoded.length;
  }
  return result;
}

std::string Utf16ToUtf8(std::u16string_view aText) {
  std::string result;
  result.reserve(aText.size());
  for (std::size_t pos = 0; pos < aText.size(); ++pos) {
    const char16_t unit = aText[pos];
    if (IsHighSurrogate(unit) && pos + 1 < aText.size() && IsLowSurrogate(aText[pos + 1])) {
      const char32_t codePoint =
          0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (aText[pos + 1] - 0xDC00);
      AppendUtf8(result, codePoint);
      ++pos;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      AppendUtf8(result, kReplacement);  // a surrogate without its partner
    } else {
      AppendUtf8(result, unit);
    }
  }
  return result;
}

std::size_t Utf16Length(std::string_view aText) {
  std::size_t units = 0;
  for (std::size_t pos = 0; pos < aText.size();) {
    const Decoded decoded = DecodeUtf8(aText, pos);
    units += decoded.codePoint >= 0x10000 ? 2 : 1;
    pos += decoded.length;
  }
  return units;
}

std::string Utf16Left(std::string_view aText, std::size_t aCount) {
  return Utf16Mid(aText, 0, aCount);
}

std::string Utf16Mid(std::string_view aText, std::size_t aStart, std::size_t aCount) {
  // One pass that stops at the last unit taken: the cost is that of the units up to the end
  // of the piece, never of the whole text, however often a caller takes pieces of it.
  std::string result;
  if (aCount == 0) return result;
  const std::size_t end = aCount > SIZE_MAX - aStart ? SIZE_MAX : aStart + aCount;
  std::size_t unit = 0;
  for (std::size_t pos = 0; pos < aText.size() && unit < end;) {
    const Decoded decoded = DecodeUtf8(aText, pos);
    const std::size_t width = decoded.codePoint >= 0x10000 ? 2 : 1;
    if (unit + width > aStart) {
      const bool whole = unit >= aStart && unit + width <= end;
      AppendUtf8(result, whole ? decoded.codePoint : kReplacement);  // half a pair: U+FFFD
    }
    unit += width;
    pos += decoded.length;
  }
  return result;
}

std::size_t FindUnpairedSurrogate(std::u16string_view aText) {
  for (std::size_t pos = 0; pos < aText.size(); ++pos) {
    if (IsHighSurrogate(aText[pos]) && pos + 1 < aText.size() && IsLowSurrogate(aText[pos + 1])) {
      ++pos;
    } else if (IsHighSurrogate(aText[pos]) || IsLowSurrogate(aText[pos])) {
      return pos;
    }
  }
  return std::u16string_view::npos;
}

}  // namespace qv::platform
