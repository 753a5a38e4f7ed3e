// Windows error codes as text, from the system's message table. As the till's own tools
// show them, trailing blanks and the closing period are dropped.
#include "platform/windows_headers_win32.h"

#include "platform/system_error.h"

namespace qv::platform {

int LastSystemError() { return static_cast<int>(GetLastError()); }

std::string SystemErrorText(int aCode) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(aCode), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length > 0 && buffer != nullptr ? std::wstring(buffer, length) : L"";
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() <= L' ' || text.back() == L'.')) text.pop_back();
  if (text.empty()) return "Error " + std::to_string(aCode);
  return FromWide(text);
}

std::string SystemErrorMessage(std::string_view aContext, int aCode) {
  if (aContext.empty()) return SystemErrorText(aCode);
  std::string message(aContext);
  message += ": ";
  message += SystemErrorText(aCode);
  return message;
}

}  // namespace qv::platform
