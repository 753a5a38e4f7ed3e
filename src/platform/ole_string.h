// OLE strings: the texts that cross the library boundary (the exports, the signing
// component and the receipt-printer driver).
//
// On Linux an OleStr points at UTF-16 code units that are preceded by a uint32_t byte
// length and followed by a 16-bit NUL; the block comes from malloc and starts 4 bytes before
// the pointer, so SysFreeString(p) is free((char*)p - 4). A null OleStr is an empty text.
// On Windows these are the real BSTR functions of oleaut32.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/export.h"

namespace qv::platform {
#if defined(_WIN32)
using OleChar = wchar_t;
#else
using OleChar = char16_t;
#endif
using OleStr = OleChar*;
}  // namespace qv::platform

#if !defined(_WIN32)
extern "C" {
QV_EXPORT qv::platform::OleStr SysAllocString(const qv::platform::OleChar* aText);
QV_EXPORT qv::platform::OleStr SysAllocStringLen(const qv::platform::OleChar* aText,
                                                 uint32_t aLength);
QV_EXPORT void SysFreeString(qv::platform::OleStr aText);
QV_EXPORT uint32_t SysStringLen(qv::platform::OleStr aText);
QV_EXPORT uint32_t SysStringByteLen(qv::platform::OleStr aText);
}
#else
// oleaut32's BSTR functions, declared as the system declares them.
extern "C" {
__declspec(dllimport) qv::platform::OleStr __stdcall SysAllocString(const qv::platform::OleChar*);
__declspec(dllimport) qv::platform::OleStr
    __stdcall SysAllocStringLen(const qv::platform::OleChar*, unsigned int);
__declspec(dllimport) void __stdcall SysFreeString(qv::platform::OleStr);
__declspec(dllimport) unsigned int __stdcall SysStringLen(qv::platform::OleStr);
__declspec(dllimport) unsigned int __stdcall SysStringByteLen(qv::platform::OleStr);
}
#endif

namespace qv::platform {

// Allocates a new OLE string holding aText (UTF-8, converted to UTF-16). The caller owns it
// and frees it with SysFreeString. Never returns null for a non-empty text; throws
// std::bad_alloc when memory runs out.
OleStr NewOleString(std::string_view aText);

// The UTF-8 text of an OLE string; null gives empty text. Invalid UTF-16 becomes U+FFFD.
std::string OleStringToUtf8(const OleChar* aText);

// Owns one OLE string and frees it on destruction.
class OleString {
 public:
  OleString() = default;
  explicit OleString(std::string_view aText) : fText(NewOleString(aText)) {}
  ~OleString() { Reset(); }
  OleString(const OleString&) = delete;
  OleString& operator=(const OleString&) = delete;
  OleString(OleString&& aOther) noexcept : fText(aOther.Release()) {}
  OleString& operator=(OleString&& aOther) noexcept;

  OleStr Get() const { return fText; }
  // The address of the owned pointer, for out-arguments; frees the current text first.
  OleStr* Out();
  // The address of the owned pointer, for in-out arguments: the callee reads the current
  // text and may free it and leave another one, which this object then owns.
  OleStr* InOut() { return &fText; }
  OleStr Release();
  void Reset(OleStr aText = nullptr);
  std::string ToUtf8() const { return OleStringToUtf8(fText); }

 private:
  OleStr fText = nullptr;
};

}  // namespace qv::platform
