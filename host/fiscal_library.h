// The fiscal library as a point-of-sale host sees it: loaded at run time by path, its five
// exports called with OLE strings that the host allocates and frees itself.
// One object per loaded library; one call at a time.
#pragma once

#include <cstdint>
#include <string>

#include "platform/dynamic_library.h"
#include "platform/export.h"
#include "platform/ole_string.h"

namespace qv::host {

struct CallResult {
  int32_t code = -1;   // 0 success, -1 failure
  int32_t handle = 0;  // OPEN only
  std::string output;  // the result document (empty for OPEN)
  std::string error;   // the error text; empty when the library returned a null string
};

class FiscalLibrary {
 public:
  // Loads the library; throws qv::Error("Cannot load the fiscal library <path>: <reason>")
  // when it cannot be loaded or lacks one of its exports.
  explicit FiscalLibrary(const std::string& aPath);

  // Calls one export by name: OPEN, PROCESSRECEIPT, PROCESSZREPORT, PROCESSXREPORT or
  // PROCESSGETSTATUS. Throws qv::Error for an unknown export name.
  CallResult Call(const std::string& aExport, const std::string& aRequest);

  const std::string& Path() const { return fPath; }

 private:
  using OleStr = platform::OleStr;
  using OleChar = platform::OleChar;
  using OpenFunction = int32_t(QV_STDCALL*)(OleStr, int32_t*, OleStr*);
  using CallFunction = int32_t(QV_STDCALL*)(OleStr, OleStr*, OleStr*);
  // oleaut32's allocator on Windows is a stdcall function.
  using AllocFunction = OleStr(QV_STDCALL*)(const OleChar*, uint32_t);
  using FreeFunction = void(QV_STDCALL*)(OleStr);

  void* RequireSymbol(const char* aName);
  OleStr Allocate(const std::string& aText);
  std::string TakeText(OleStr aText);

  std::string fPath;
  platform::DynamicLibrary fLibrary;
  AllocFunction fAlloc = nullptr;
  FreeFunction fFree = nullptr;
};

// The library built beside this program.
std::string DefaultLibraryPath();

}  // namespace qv::host
