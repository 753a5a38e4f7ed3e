// The host process seen through the Windows API. Safe from any thread.
#include "platform/windows_headers_win32.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <vector>

#include "platform/process.h"

namespace qv::platform {

std::string ExecutablePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return FromWide(std::wstring_view(buffer.data(), length));
    buffer.resize(buffer.size() * 2);  // the path was cut short
  }
}

std::vector<std::string> CommandLineParameters() {
  std::vector<std::string> parameters;
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr) return parameters;
  for (int i = 1; i < count; ++i) parameters.push_back(FromWide(arguments[i]));  // 0: the program
  LocalFree(arguments);
  return parameters;
}

std::string WorkingDirectory() {
  const DWORD size = GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return {};
  std::wstring folder(size, L'\0');
  const DWORD length = GetCurrentDirectoryW(size, folder.data());
  folder.resize(length);
  // "C:\" keeps its delimiter; any other folder loses a trailing one.
  if (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  return FromWide(folder);
}

int ProcessId() { return static_cast<int>(GetCurrentProcessId()); }

int ThreadCount() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  const DWORD self = GetCurrentProcessId();
  int count = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL found = Thread32First(snapshot, &entry); found;
       found = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == self) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

int OpenFileCount() {
  DWORD handles = 0;
  if (!GetProcessHandleCount(GetCurrentProcess(), &handles)) return -1;
  return static_cast<int>(handles);
}

}  // namespace qv::platform
