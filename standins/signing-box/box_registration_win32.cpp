// Registration of the Box class on Windows, as regsvr32 asks an in-process server for it:
// HKEY_CLASSES_ROOT\CLSID\{27C3D64C-4341-11D7-AAF9-00D0592E132D} with this library's path as
// its InprocServer32 (apartment threading), and the ProgID "AlgoDll.Box".
// The class id comes first: the system's headers make macros of the names S_OK and so on.
#include "kavren/algo_dll.h"
#include "platform/com.h"
// clang-format off
#include <windows.h>
// clang-format on

#include <string>

namespace {

constexpr wchar_t kProgId[] = L"AlgoDll.Box";

std::wstring Wide(const std::string& aText) { return std::wstring(aText.begin(), aText.end()); }

std::wstring ClassKey() {
  return L"CLSID\\" + Wide(qv::platform::GuidToString(qv::kavren::CLSID_Box));
}

std::wstring ThisLibraryPath() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ClassKey), &module);
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH + 1);
  return std::wstring(path, length);
}

// Sets one value (aName null: the key's default value) of HKCR\aKey, creating the key.
LONG SetValue(const std::wstring& aKey, const wchar_t* aName, const std::wstring& aValue) {
  HKEY key = nullptr;
  LONG result = RegCreateKeyExW(HKEY_CLASSES_ROOT, aKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                &key, nullptr);
  if (result != ERROR_SUCCESS) return result;
  result = RegSetValueExW(key, aName, 0, REG_SZ, reinterpret_cast<const BYTE*>(aValue.c_str()),
                          static_cast<DWORD>((aValue.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return result;
}

HRESULT AsResult(LONG aError) {
  return aError == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(aError));
}

}  // namespace

extern "C" HRESULT __stdcall DllRegisterServer() {
  const std::wstring classKey = ClassKey();
  const std::wstring classId = Wide(qv::platform::GuidToString(qv::kavren::CLSID_Box));
  for (const LONG result :
       {SetValue(classKey, nullptr, L"Box"),
        SetValue(classKey + L"\\InprocServer32", nullptr, ThisLibraryPath()),
        SetValue(classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"),
        SetValue(classKey + L"\\ProgID", nullptr, kProgId), SetValue(kProgId, nullptr, L"Box"),
        SetValue(std::wstring(kProgId) + L"\\CLSID", nullptr, classId)}) {
    if (result != ERROR_SUCCESS) return static_cast<HRESULT>(0x80040201L);  // SELFREG_E_CLASS
  }
  return S_OK;
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
  const LONG classResult = RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey().c_str());
  const LONG progIdResult = RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
  for (const LONG result : {classResult, progIdResult}) {
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) return AsResult(result);
  }
  return S_OK;
}
