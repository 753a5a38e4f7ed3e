// 8-bit code-page text for files and devices that need it. Code page 0 is the "ANSI code
// page" of the machine: UTF-8 on Linux. Explicit code pages (1252, 1253, 437, ...) go
// through iconv on Linux. Characters the target cannot hold become "?"; bytes the source
// cannot decode become U+FFFD. Neither function fails; an unknown code page throws qv::Error
// with "Code page n is not supported".
#pragma once

#include <string>
#include <string_view>

namespace qv::platform {

std::string Utf8ToCodePage(std::string_view aText, int aCodePage);
std::string CodePageToUtf8(std::string_view aBytes, int aCodePage);

}  // namespace qv::platform
