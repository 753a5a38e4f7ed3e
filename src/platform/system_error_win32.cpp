// Windows error codes as text, from the system's message table. As the till's own tools
// show them, trailing blanks and the closing period are dropped.
#include "platform/windows_headers_win32.h"

#include "platform/system_error.h"

namespace qv::platform {

int LastSystemError() { return static_cast<int>(GetLastError()); }

std::string MessageTableText(DWORD aCode, HMODULE aModule) {
  const DWORD source =
      aModule != nullptr ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM;
  wchar_t* buffer = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | source | FORMAT_MESSAGE_IGNORE_INSERTS,
                     aModule, aCode, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length > 0 && buffer != nullptr ? std::wstring(buffer, length) : L"";
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() <= L' ' || text.back() == L'.')) text.pop_back();
  return FromWide(text);
}

std::string SystemErrorText(int aCode) {
  std::string text = MessageTableText(static_cast<DWORD>(aCode));
  if (text.empty()) return "Error " + std::to_string(aCode);
  return text;
}

}  // namespace qv::platform
