// Environment variables through the Windows API (wide text, so any character survives).
#include "platform/windows_headers_win32.h"

#include <vector>

#include "platform/environment.h"

namespace qv::platform {

std::optional<std::string> GetEnvironmentVariable(const std::string& aName) {
  const std::wstring name = ToWide(aName);
  std::vector<wchar_t> buffer(256);
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD length =
        GetEnvironmentVariableW(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (length < buffer.size()) return FromWide(std::wstring_view(buffer.data(), length));
    buffer.resize(length);
  }
}

void SetEnvironmentVariable(const std::string& aName, const std::optional<std::string>& aValue) {
  const std::wstring name = ToWide(aName);
  if (aValue) {
    SetEnvironmentVariableW(name.c_str(), ToWide(*aValue).c_str());
  } else {
    SetEnvironmentVariableW(name.c_str(), nullptr);
  }
}

}  // namespace qv::platform
