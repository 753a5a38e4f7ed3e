// 8-bit code pages through iconv. Code page 0 (the machine's ANSI code page) and 65001 are
// UTF-8 on Linux; the Windows code-page numbers map to iconv's names. Each call opens its own
// converter, so the functions are safe from any thread.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "platform/code_page.h"
#include "platform/error.h"
#include "platform/unicode.h"

namespace qv::platform {
namespace {

constexpr int kAnsiCodePage = 0;
constexpr int kUtf8CodePage = 65001;

bool IsUtf8CodePage(int aCodePage) {
  return aCodePage == kAnsiCodePage || aCodePage == kUtf8CodePage;
}

std::string IconvName(int aCodePage) {
  if (aCodePage >= 28591 && aCodePage <= 28605) {
    return "ISO-8859-" + std::to_string(aCodePage - 28590);
  }
  switch (aCodePage) {
    case 20127:
      return "ASCII";
    case 20866:
      return "KOI8-R";
    case 21866:
      return "KOI8-U";
    case 932:
      return "CP932";
    case 936:
      return "GBK";
    case 949:
      return "CP949";
    case 950:
      return "BIG5";
    default:
      return "CP" + std::to_string(aCodePage);
  }
}

// Owns one iconv converter.
class Converter {
 public:
  Converter(const std::string& aTo, const std::string& aFrom, int aCodePage)
      : fHandle(iconv_open(aTo.c_str(), aFrom.c_str())) {
    if (fHandle == reinterpret_cast<iconv_t>(-1)) {
      throw Error("Code page " + std::to_string(aCodePage) + " is not supported");
    }
  }
  ~Converter() { iconv_close(fHandle); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts aInput; at each input position that iconv refuses, aOnRefusal appends its
  // stand-in to the output and says how many input bytes to skip.
  template <typename OnRefusal>
  std::string Convert(std::string_view aInput, OnRefusal aOnRefusal) {
    std::string output;
    char buffer[1024];
    char* in = const_cast<char*>(aInput.data());
    std::size_t inLeft = aInput.size();
    while (inLeft > 0) {
      char* out = buffer;
      std::size_t outLeft = sizeof buffer;
      const std::size_t result = iconv(fHandle, &in, &inLeft, &out, &outLeft);
      output.append(buffer, out - buffer);
      if (result != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
      // EILSEQ (a character the target lacks or bytes the source cannot decode) or
      // EINVAL (an incomplete sequence at the end).
      const std::size_t skip = std::min(inLeft, aOnRefusal(std::string_view(in, inLeft), output));
      in += skip;
      inLeft -= skip;
    }
    char* out = buffer;
    std::size_t outLeft = sizeof buffer;
    iconv(fHandle, nullptr, nullptr, &out, &outLeft);  // the shift-state reset, if any
    output.append(buffer, out - buffer);
    return output;
  }

 private:
  iconv_t fHandle;
};

// The length of the UTF-8 character at the start of valid UTF-8 text.
std::size_t Utf8CharacterLength(std::string_view aText) {
  const auto lead = static_cast<unsigned char>(aText[0]);
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

// Invalid UTF-8 replaced by U+FFFD.
std::string CleanUtf8(std::string_view aText) { return Utf16ToUtf8(Utf8ToUtf16(aText)); }

}  // namespace

std::string Utf8ToCodePage(std::string_view aText, int aCodePage) {
  const std::string text = CleanUtf8(aText);
  if (IsUtf8CodePage(aCodePage)) return text;
  Converter converter(IconvName(aCodePage), "UTF-8", aCodePage);
  return converter.Convert(text, [](std::string_view aRest, std::string& aOutput) {
    aOutput += '?';
    return Utf8CharacterLength(aRest);
  });
}

std::string CodePageToUtf8(std::string_view aBytes, int aCodePage) {
  if (IsUtf8CodePage(aCodePage)) return CleanUtf8(aBytes);
  Converter converter("UTF-8", IconvName(aCodePage), aCodePage);
  return converter.Convert(aBytes, [](std::string_view, std::string& aOutput) {
    aOutput += "\xEF\xBF\xBD";  // U+FFFD
    return std::size_t{1};
  });
}

}  // namespace qv::platform
