// UTF-8 <-> UTF-16 conversion. Text is UTF-8 inside the library; it becomes UTF-16 only at
// the boundaries. Invalid input in either direction becomes U+FFFD, never a crash.
// Where the system counts characters (log message limits, column padding, the hexadecimal
// log form, signature halves) it counts UTF-16 code units: use Utf16Length and Utf16Left.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qv::platform {

std::u16string Utf8ToUtf16(std::string_view aText);
std::string Utf16ToUtf8(std::u16string_view aText);

// Appends the UTF-8 form of aCodePoint to aOut. A value that is no character (a UTF-16
// surrogate, or above U+10FFFF) is appended as U+FFFD, so that the text stays valid UTF-8.
void AppendUtf8(std::string& aOut, char32_t aCodePoint);

// The number of UTF-16 code units of a UTF-8 text.
std::size_t Utf16Length(std::string_view aText);
// The first aCount UTF-16 code units of aText, as UTF-8 (a surrogate pair cut in half
// becomes U+FFFD). Utf16Mid takes aCount units from the 0-based unit aStart. Both read the
// text only up to the end of the piece they take, so their cost is linear in aStart +
// aCount; to walk a long text piece by piece, convert it once with Utf8ToUtf16 instead.
std::string Utf16Left(std::string_view aText, std::size_t aCount);
std::string Utf16Mid(std::string_view aText, std::size_t aStart, std::size_t aCount);

// The 0-based position of the first surrogate without its partner in aText (a high one not
// followed by a low one, or a low one not preceded by a high one); npos when there is none.
std::size_t FindUnpairedSurrogate(std::u16string_view aText);

}  // namespace qv::platform
