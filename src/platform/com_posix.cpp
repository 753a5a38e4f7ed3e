// COM-style objects on Linux: ids, result texts, error objects and in-process servers.
//
// There is no object registration on Linux: a class lives in a library that is loaded by name
// (DESIGN: library search order) and asked for its class factory. Loaded servers are never
// unloaded, as a COM client that never calls CoFreeUnusedLibraries: their objects may live as
// long as the process (the fiscal processors are never destroyed).
#include <dlfcn.h>
#include <stdlib.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/com.h"
#include "platform/com_system.h"
#include "platform/dynamic_library.h"

namespace qv::platform {
namespace {

using GetClassObjectFunction = HRESULT(QV_COMCALL*)(const Guid*, const Guid*, void**);
using GetErrorInfoFunction = HRESULT(QV_COMCALL*)(uint32_t, IErrorInfo**);

// ----- result texts -------------------------------------------------------------------

using com_system::ResultText;

// The system's message table words these (the COM codes' own texts are shared with Windows);
// trailing periods are dropped as the system's error dialogs and Delphi's SysErrorMessage do.
constexpr ResultText kResultTexts[] = {
    {0x00000000u, "The operation completed successfully"},
    {0x00000001u, "Incorrect function"},
    {0x80004001u, "Not implemented"},
    {0x80004002u, "No such interface supported"},
    {0x80004003u, "Invalid pointer"},
    {0x80004004u, "Operation aborted"},
    {0x80004005u, "Unspecified error"},
    {0x8000FFFFu, "Catastrophic failure"},
    {0x80070002u, "The system cannot find the file specified"},
    {0x80070003u, "The system cannot find the path specified"},
    {0x80070005u, "Access is denied"},
    {0x80070006u, "The handle is invalid"},
    {0x8007000Eu, "Not enough memory resources are available to complete this operation"},
    {0x80070015u, "The device is not ready"},
    {0x80070020u, "The process cannot access the file because it is being used by another process"},
    {0x80070057u, "The parameter is incorrect"},
    {0x8007007Eu, "The specified module could not be found"},
    {0x8007007Fu, "The specified procedure could not be found"},
    {0x800705B4u, "This operation returned because the timeout period expired"},
    {0x80010108u, "The object invoked has disconnected from its clients"},
};

// ----- error objects --------------------------------------------------------------------

class tErrorInfo final : public IErrorInfo {
 public:
  tErrorInfo(std::string_view aDescription, std::string_view aSource, const Guid& aIid)
      : fDescription(aDescription), fSource(aSource), fIid(aIid) {}

  HRESULT QV_COMCALL QueryInterface(const Guid& aIid, void** aObject) override {
    if (aObject == nullptr) return E_POINTER;
    if (aIid == IID_IUnknown || aIid == IID_IErrorInfo) {
      AddRef();
      *aObject = static_cast<IErrorInfo*>(this);
      return S_OK;
    }
    *aObject = nullptr;
    return E_NOINTERFACE;
  }
  uint32_t QV_COMCALL AddRef() override { return ++fReferences; }
  uint32_t QV_COMCALL Release() override {
    const uint32_t left = --fReferences;
    if (left == 0) delete this;
    return left;
  }
  HRESULT QV_COMCALL GetGUID(Guid* aIid) override {
    if (aIid == nullptr) return E_POINTER;
    *aIid = fIid;
    return S_OK;
  }
  HRESULT QV_COMCALL GetSource(OleStr* aSource) override { return Give(fSource, aSource); }
  HRESULT QV_COMCALL GetDescription(OleStr* aDescription) override {
    return Give(fDescription, aDescription);
  }
  HRESULT QV_COMCALL GetHelpFile(OleStr* aHelpFile) override { return Give({}, aHelpFile); }
  HRESULT QV_COMCALL GetHelpContext(uint32_t* aHelpContext) override {
    if (aHelpContext == nullptr) return E_POINTER;
    *aHelpContext = 0;
    return S_OK;
  }

 private:
  static HRESULT Give(const std::string& aText, OleStr* aOut) {
    if (aOut == nullptr) return E_POINTER;
    *aOut = NewOleString(aText);
    return S_OK;
  }

  std::atomic<uint32_t> fReferences{1};
  std::string fDescription;
  std::string fSource;
  Guid fIid;
};

// The calling thread's error object in this module; released when the thread ends.
thread_local ComPtr<IErrorInfo> tThreadErrorInfo;

IErrorInfo* TakeLocalErrorInfo() { return tThreadErrorInfo.Detach(); }

// ----- loaded servers -------------------------------------------------------------------

struct InProcessServer {
  std::string name;
  DynamicLibrary library;
  GetClassObjectFunction getClassObject = nullptr;
  GetErrorInfoFunction getErrorInfo = nullptr;
};

std::mutex gServersMutex;
// Deliberately never freed: the servers stay loaded until the process ends.
std::vector<InProcessServer*>* gServers = new std::vector<InProcessServer*>();

std::vector<GetErrorInfoFunction> ServerErrorSources() {
  std::lock_guard<std::mutex> lock(gServersMutex);
  std::vector<GetErrorInfoFunction> sources;
  for (const InProcessServer* server : *gServers) {
    if (server->getErrorInfo != nullptr) sources.push_back(server->getErrorInfo);
  }
  return sources;
}

// The loaded server of that name, loading it on first use. Null with aError and aResult set
// when it cannot be loaded or is no server.
InProcessServer* FindOrLoadServer(const std::string& aName, std::string& aError, HRESULT& aResult) {
  std::lock_guard<std::mutex> lock(gServersMutex);
  for (InProcessServer* server : *gServers) {
    if (server->name == aName) return server;
  }
  auto server = std::make_unique<InProcessServer>();
  server->name = aName;
  if (!server->library.Load(aName, aError)) {
    aResult = REGDB_E_CLASSNOTREG;
    return nullptr;
  }
  server->getClassObject =
      reinterpret_cast<GetClassObjectFunction>(server->library.Symbol("DllGetClassObject"));
  if (server->getClassObject == nullptr) {
    aError = aName + " exports no DllGetClassObject";
    aResult = CO_E_ERRORINDLL;
    return nullptr;
  }
  server->getErrorInfo =
      reinterpret_cast<GetErrorInfoFunction>(server->library.Symbol("DllGetErrorInfo"));
  gServers->push_back(server.release());
  return gServers->back();
}

}  // namespace

std::string HResultText(HRESULT aResult) {
  if (const char* text = com_system::FindResultText(kResultTexts, aResult)) return text;
  return com_system::ComResultText(aResult);
}

IErrorInfo* NewErrorInfo(std::string_view aDescription, std::string_view aSource,
                         const Guid& aIid) {
  return new tErrorInfo(aDescription, aSource, aIid);
}

HRESULT SetErrorInfo(uint32_t /*aReserved*/, IErrorInfo* aInfo) {
  if (aInfo != nullptr) aInfo->AddRef();
  tThreadErrorInfo = ComPtr<IErrorInfo>::Attach(aInfo);
  return S_OK;
}

HRESULT GetErrorInfo(uint32_t /*aReserved*/, IErrorInfo** aInfo) {
  if (aInfo == nullptr) return E_POINTER;
  // COM keeps one error object per thread; here each module keeps its own, so every slot
  // is taken (and so cleared) and the servers', which fail on the caller's behalf, win.
  ComPtr<IErrorInfo> found;
  for (GetErrorInfoFunction source : ServerErrorSources()) {
    ComPtr<IErrorInfo> info;
    if (source(0, info.Out()) == S_OK && info && !found) found = info;
  }
  ComPtr<IErrorInfo> local = ComPtr<IErrorInfo>::Attach(TakeLocalErrorInfo());
  if (!found) found = local;
  *aInfo = found.Detach();
  return *aInfo != nullptr ? S_OK : S_FALSE;
}

HRESULT CreateInProcessObject(const std::string& aLibraryName, const Guid& aClsid, const Guid& aIid,
                              void** aObject, std::string& aError) {
  aError.clear();
  if (aObject == nullptr) return E_POINTER;
  *aObject = nullptr;
  HRESULT result = S_OK;
  InProcessServer* server = FindOrLoadServer(aLibraryName, aError, result);
  if (server == nullptr) return result;

  ComPtr<IClassFactory> factory;
  result = server->getClassObject(&aClsid, &IID_IClassFactory, factory.OutVoid());
  if (Failed(result) || !factory) {
    if (Succeeded(result)) result = E_NOINTERFACE;
    aError = FailedCallMessage(result);
    return result;
  }
  result = factory->CreateInstance(nullptr, aIid, aObject);
  if (Failed(result) || *aObject == nullptr) {
    if (Succeeded(result)) result = E_NOINTERFACE;
    *aObject = nullptr;
    aError = FailedCallMessage(result);
    return result;
  }
  return S_OK;
}

HRESULT CreateAutomationObject(std::string_view /*aProgId*/, IDispatch** aObject,
                               std::string& aError) {
  if (aObject != nullptr) *aObject = nullptr;
  aError = HResultText(REGDB_E_CLASSNOTREG);  // there is no class registration to look in
  return REGDB_E_CLASSNOTREG;
}

HRESULT InvokeByName(IDispatch& /*aObject*/, std::string_view /*aName*/, AutomationCall /*aCall*/,
                     std::vector<AutomationValue>& /*aArguments*/, AutomationValue& aResult,
                     std::string& aError) {
  aResult = {};
  aError = HResultText(E_NOTIMPL);
  return E_NOTIMPL;
}

std::string ModulePathOf(const void* aAddress) {
  Dl_info info{};
  if (dladdr(aAddress, &info) == 0 || info.dli_fname == nullptr) return {};
  char* resolved = realpath(info.dli_fname, nullptr);
  if (resolved == nullptr) return info.dli_fname;
  std::string path(resolved);
  free(resolved);
  return path;
}

}  // namespace qv::platform
