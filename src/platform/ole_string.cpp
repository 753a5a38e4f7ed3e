// UTF-8 texts as OLE strings and back, on top of the platform's allocator.
#include "platform/ole_string.h"

#include <new>

#include "platform/unicode.h"

namespace qv::platform {

OleStr NewOleString(std::string_view aText) {
  const std::u16string units = Utf8ToUtf16(aText);
  OleStr result = SysAllocStringLen(reinterpret_cast<const OleChar*>(units.data()),
                                    static_cast<uint32_t>(units.size()));
  if (result == nullptr && !units.empty()) throw std::bad_alloc();
  return result;
}

std::string OleStringToUtf8(const OleChar* aText) {
  if (aText == nullptr) return {};
  // The length prefix, not the first NUL, ends the text: an OLE string may hold NULs.
  const uint32_t length = SysStringLen(const_cast<OleStr>(aText));
  return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(aText), length));
}

OleString& OleString::operator=(OleString&& aOther) noexcept {
  if (this != &aOther) Reset(aOther.Release());
  return *this;
}

OleStr* OleString::Out() {
  Reset();
  return &fText;
}

OleStr OleString::Release() {
  OleStr text = fText;
  fText = nullptr;
  return text;
}

void OleString::Reset(OleStr aText) {
  if (fText != nullptr && fText != aText) SysFreeString(fText);
  fText = aText;
}

}  // namespace qv::platform
