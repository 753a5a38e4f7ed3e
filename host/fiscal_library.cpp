#include "fiscal_library.h"

#include <array>

#include "base/utils.h"
#include "platform/error.h"
#include "platform/unicode.h"

namespace qv::host {

namespace {
constexpr std::array<const char*, 5> kExports = {"OPEN", "PROCESSRECEIPT", "PROCESSZREPORT",
                                                 "PROCESSXREPORT", "PROCESSGETSTATUS"};
}

std::string DefaultLibraryPath() {
#if defined(_WIN32)
  return base::ExecutableFolder() + "QVFP_CYKAVREN_10.dll";
#else
  return base::ExecutableFolder() + "QVFP_CYKAVREN_10.so";
#endif
}

FiscalLibrary::FiscalLibrary(const std::string& aPath) : fPath(aPath) {
  std::string reason;
  if (!fLibrary.Load(aPath, reason)) {
    throw Error("Cannot load the fiscal library " + aPath + ": " + reason);
  }
  for (const char* name : kExports) RequireSymbol(name);
  // A host allocates with the same OLE string allocator the library frees with. On Linux the
  // library exports it; on Windows it is oleaut32's.
  fAlloc = reinterpret_cast<AllocFunction>(fLibrary.Symbol("SysAllocStringLen"));
  fFree = reinterpret_cast<FreeFunction>(fLibrary.Symbol("SysFreeString"));
  if (fAlloc == nullptr || fFree == nullptr) {
    fAlloc = &::SysAllocStringLen;
    fFree = &::SysFreeString;
  }
}

void* FiscalLibrary::RequireSymbol(const char* aName) {
  void* symbol = fLibrary.Symbol(aName);
  if (symbol == nullptr) {
    throw Error("Cannot load the fiscal library " + fPath + ": it has no export " + aName);
  }
  return symbol;
}

FiscalLibrary::OleStr FiscalLibrary::Allocate(const std::string& aText) {
  std::u16string wide = platform::Utf8ToUtf16(aText);
  OleStr text =
      fAlloc(reinterpret_cast<const OleChar*>(wide.data()), static_cast<uint32_t>(wide.size()));
  if (text == nullptr && !wide.empty()) throw std::bad_alloc();
  return text;
}

std::string FiscalLibrary::TakeText(OleStr aText) {
  std::string text = platform::OleStringToUtf8(aText);
  fFree(aText);
  return text;
}

CallResult FiscalLibrary::Call(const std::string& aExport, const std::string& aRequest) {
  CallResult result;
  OleStr request = Allocate(aRequest);
  OleStr output = nullptr;
  OleStr error = nullptr;
  if (aExport == "OPEN") {
    auto open = reinterpret_cast<OpenFunction>(RequireSymbol("OPEN"));
    result.code = open(request, &result.handle, &error);
  } else {
    bool known = false;
    for (const char* name : kExports) known = known || aExport == name;
    if (!known) {
      fFree(request);
      throw Error("Unknown export \"" + aExport +
                  "\". Use OPEN, PROCESSRECEIPT, PROCESSZREPORT, PROCESSXREPORT or "
                  "PROCESSGETSTATUS.");
    }
    auto call = reinterpret_cast<CallFunction>(RequireSymbol(aExport.c_str()));
    result.code = call(request, &output, &error);
  }
  fFree(request);
  result.output = TakeText(output);
  result.error = TakeText(error);
  return result;
}

}  // namespace qv::host
