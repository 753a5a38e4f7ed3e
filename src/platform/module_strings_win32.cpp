// String-table resources through LoadStringW on the module that holds this code (found by
// an address inside it, so a library reads its own table, not the host program's).
#include "platform/module_strings.h"
// clang-format off
#include "platform/windows_headers_win32.h"
// clang-format on

namespace qv::platform {
namespace {

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

}  // namespace

std::optional<std::string> ModuleStringResource(int aId) {
  if (aId < 0 || aId > 0xFFFF) return std::nullopt;
  const wchar_t* text = nullptr;
  // A buffer size of 0 gives a read-only pointer into the resource itself, of any length.
  const int length =
      LoadStringW(ThisModule(), static_cast<UINT>(aId), reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) return std::nullopt;
  return FromWide(std::wstring_view(text, static_cast<std::size_t>(length)));
}

}  // namespace qv::platform
