// The OLE string allocator of Linux builds. The block layout is the contract with hosts and
// companion libraries: malloc'd, a uint32_t byte length, the UTF-16 units, a 16-bit NUL; the
// OleStr points just after the length. Any module using the same C library heap can free
// what another allocated. All functions are safe from any thread.
#include <cstdlib>
#include <cstring>

#include "platform/ole_string.h"

namespace {

using qv::platform::OleChar;
using qv::platform::OleStr;

constexpr std::size_t kPrefixBytes = sizeof(uint32_t);
// The byte length must fit the uint32_t prefix.
constexpr uint32_t kMaxLength = (UINT32_MAX - kPrefixBytes - sizeof(OleChar)) / sizeof(OleChar);

uint32_t* PrefixOf(OleStr aText) {
  return reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(aText) - kPrefixBytes);
}

std::size_t UnitCount(const OleChar* aText) {
  std::size_t count = 0;
  while (aText[count] != 0) ++count;
  return count;
}

}  // namespace

extern "C" {

OleStr SysAllocStringLen(const OleChar* aText, uint32_t aLength) {
  if (aLength > kMaxLength) return nullptr;
  const std::size_t bytes = std::size_t{aLength} * sizeof(OleChar);
  auto* block = static_cast<char*>(std::malloc(kPrefixBytes + bytes + sizeof(OleChar)));
  if (block == nullptr) return nullptr;
  const auto byteLength = static_cast<uint32_t>(bytes);
  std::memcpy(block, &byteLength, kPrefixBytes);
  auto* text = reinterpret_cast<OleStr>(block + kPrefixBytes);
  // Without source text the units are zero, not left uninitialised.
  if (aText != nullptr) {
    std::memcpy(text, aText, bytes);
  } else {
    std::memset(text, 0, bytes);
  }
  text[aLength] = 0;
  return text;
}

OleStr SysAllocString(const OleChar* aText) {
  if (aText == nullptr) return nullptr;
  const std::size_t count = UnitCount(aText);
  if (count > kMaxLength) return nullptr;
  return SysAllocStringLen(aText, static_cast<uint32_t>(count));
}

void SysFreeString(OleStr aText) {
  if (aText == nullptr) return;
  std::free(PrefixOf(aText));
}

uint32_t SysStringByteLen(OleStr aText) {
  if (aText == nullptr) return 0;
  uint32_t byteLength;
  std::memcpy(&byteLength, PrefixOf(aText), kPrefixBytes);
  return byteLength;
}

uint32_t SysStringLen(OleStr aText) {
  return SysStringByteLen(aText) / static_cast<uint32_t>(sizeof(OleChar));
}

}  // extern "C"
