// 8-bit code pages through MultiByteToWideChar / WideCharToMultiByte. Code page 0 is the
// machine's ANSI code page (CP_ACP). Characters the target lacks become the system's default
// character "?"; bytes the source cannot decode become U+FFFD. Safe from any thread.
#include "platform/windows_headers_win32.h"

#include "platform/code_page.h"
#include "platform/error.h"

namespace qv::platform {
namespace {

constexpr int kUtf8CodePage = 65001;

UINT CheckedCodePage(int aCodePage) {
  const UINT codePage = aCodePage == 0 ? CP_ACP : static_cast<UINT>(aCodePage);
  if (aCodePage < 0 || (codePage != CP_ACP && !IsValidCodePage(codePage))) {
    throw Error("Code page " + std::to_string(aCodePage) + " is not supported");
  }
  return codePage;
}

// Invalid UTF-8 replaced by U+FFFD.
std::wstring WideOfUtf8(std::string_view aText) { return ToWide(aText); }

}  // namespace

std::string Utf8ToCodePage(std::string_view aText, int aCodePage) {
  const UINT codePage = CheckedCodePage(aCodePage);
  const std::wstring wide = WideOfUtf8(aText);
  if (wide.empty()) return {};
  if (codePage == kUtf8CodePage) return FromWide(wide);
  const int wideLength = static_cast<int>(wide.size());
  const int size =
      WideCharToMultiByte(codePage, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  if (size <= 0) throw Error("Code page " + std::to_string(aCodePage) + " is not supported");
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), wideLength, bytes.data(), size, nullptr, nullptr);
  return bytes;
}

std::string CodePageToUtf8(std::string_view aBytes, int aCodePage) {
  const UINT codePage = CheckedCodePage(aCodePage);
  if (aBytes.empty()) return {};
  if (codePage == kUtf8CodePage) return FromWide(WideOfUtf8(aBytes));
  const int byteCount = static_cast<int>(aBytes.size());
  const int size = MultiByteToWideChar(codePage, 0, aBytes.data(), byteCount, nullptr, 0);
  if (size <= 0) throw Error("Code page " + std::to_string(aCodePage) + " is not supported");
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(codePage, 0, aBytes.data(), byteCount, wide.data(), size);
  return FromWide(wide);
}

}  // namespace qv::platform
