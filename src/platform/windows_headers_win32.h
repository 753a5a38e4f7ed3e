// The Windows headers for the platform layer's Windows files, and the few conversions they
// all need. Private to the platform layer.
//
// <windows.h> turns some names of this layer into macros (MoveFile, DeleteFile,
// GetEnvironmentVariable ...): they are undone here, so include this header before the
// layer's own headers.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef MoveFile
#undef DeleteFile
#undef CopyFile
#undef GetEnvironmentVariable
#undef SetEnvironmentVariable
#undef CreateFile
#undef GetTempFileName

#include <string>
#include <string_view>

#include "platform/unicode.h"

namespace qv::platform {

// UTF-8 <-> the system's wide text (UTF-16 in wchar_t).
inline std::wstring ToWide(std::string_view aText) {
  const std::u16string units = Utf8ToUtf16(aText);
  return std::wstring(units.begin(), units.end());
}
inline std::string FromWide(std::wstring_view aText) {
  return Utf16ToUtf8(std::u16string(aText.begin(), aText.end()));
}

// The text of aCode in the message table of aModule (null: the system's own table), without
// trailing blanks and the closing period, as the till's own tools show it; empty when the
// table has no text for it (system_error_win32.cpp).
std::string MessageTableText(DWORD aCode, HMODULE aModule = nullptr);

// Owns one kernel handle (INVALID_HANDLE_VALUE or null: none) and closes it.
class Win32Handle {
 public:
  Win32Handle() = default;
  explicit Win32Handle(HANDLE aHandle) : fHandle(aHandle) {}
  ~Win32Handle() { Close(); }
  Win32Handle(const Win32Handle&) = delete;
  Win32Handle& operator=(const Win32Handle&) = delete;

  HANDLE Get() const { return fHandle; }
  bool IsOpen() const { return fHandle != INVALID_HANDLE_VALUE && fHandle != nullptr; }
  HANDLE Release() {
    HANDLE handle = fHandle;
    fHandle = INVALID_HANDLE_VALUE;
    return handle;
  }
  // False (GetLastError set) when the system reports a failure.
  bool Close() {
    if (!IsOpen()) return true;
    const BOOL closed = CloseHandle(fHandle);
    fHandle = INVALID_HANDLE_VALUE;
    return closed != FALSE;
  }

 private:
  HANDLE fHandle = INVALID_HANDLE_VALUE;
};

}  // namespace qv::platform
