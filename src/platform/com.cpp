// The parts of COM that are the same on every system: class ids as text, the texts of the
// COM result codes, the message of a failed call and the class factory of an in-process
// server.
#include <cstdio>

#include "platform/com.h"
#include "platform/com_system.h"
#include "platform/error.h"
#include "platform/ole_string.h"

namespace qv::platform {

namespace {

using com_system::ResultText;

constexpr ResultText kComResultTexts[] = {
    {0x80020003u, "Member not found"},
    {0x80020005u, "Type mismatch"},
    {0x80020006u, "Unknown name"},
    {0x80020009u, "Exception occurred"},
    {0x8002000Eu, "Invalid number of parameters"},
    {0x80040110u, "Class does not support aggregation (or class object is remote)"},
    {0x80040111u, "ClassFactory cannot supply requested class"},
    {0x80040154u, "Class not registered"},
    {0x800401F0u, "CoInitialize has not been called"},
    {0x800401F3u, "Invalid class string"},
    {0x800401F8u, "DLL for class not found"},
    {0x800401F9u, "Error in the DLL"},
    {0x80080005u, "Server execution failed"},
};

}  // namespace

const char* com_system::FindResultText(std::span<const ResultText> aTable, HRESULT aResult) {
  const auto code = static_cast<uint32_t>(aResult);
  for (const ResultText& entry : aTable) {
    if (entry.code == code) return entry.text;
  }
  return nullptr;
}

std::string com_system::ComResultText(HRESULT aResult) {
  if (const char* text = FindResultText(kComResultTexts, aResult)) return text;
  char text[32];
  std::snprintf(text, sizeof text, "OLE error %08X", static_cast<unsigned>(aResult));
  return text;
}

std::string FailedCallMessage(HRESULT aResult) {
  ComPtr<IErrorInfo> info;
  std::string description;
  if (GetErrorInfo(0, info.Out()) == S_OK && info) {
    OleString text;
    if (Succeeded(info->GetDescription(text.Out()))) description = text.ToUtf8();
  }
  return description.empty() ? HResultText(aResult) : description;
}

Guid ParseGuid(std::string_view aText) {
  Guid result;
  if (!TryParseGuid(aText, result)) throw Error("Invalid class string " + std::string(aText));
  return result;
}

std::string GuidToString(const Guid& aGuid) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(aGuid.Data1), static_cast<unsigned>(aGuid.Data2),
                static_cast<unsigned>(aGuid.Data3), aGuid.Data4[0], aGuid.Data4[1], aGuid.Data4[2],
                aGuid.Data4[3], aGuid.Data4[4], aGuid.Data4[5], aGuid.Data4[6], aGuid.Data4[7]);
  return text;
}

// ----- the class factory of an in-process server ---------------------------------------

HRESULT QV_COMCALL InProcessClassFactory::QueryInterface(const Guid& aIid, void** aObject) {
  if (aObject == nullptr) return E_POINTER;
  if (aIid == IID_IUnknown || aIid == IID_IClassFactory) {
    *aObject = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *aObject = nullptr;
  return E_NOINTERFACE;
}

// The factory is a static object of the library: its count is the library's lock count.
uint32_t QV_COMCALL InProcessClassFactory::AddRef() { return ++fLocks + 1; }

uint32_t QV_COMCALL InProcessClassFactory::Release() { return --fLocks + 1; }

HRESULT QV_COMCALL InProcessClassFactory::CreateInstance(IUnknown* aOuter, const Guid& aIid,
                                                         void** aObject) {
  if (aObject == nullptr) return E_POINTER;
  *aObject = nullptr;
  if (aOuter != nullptr) return CLASS_E_NOAGGREGATION;
  SetErrorInfo(0, nullptr);
  return fCreate(aIid, aObject);
}

HRESULT QV_COMCALL InProcessClassFactory::LockServer(int32_t aLock) {
  if (aLock != 0) {
    ++fLocks;
  } else {
    --fLocks;
  }
  return S_OK;
}

HRESULT InProcessClassFactory::GetClassObject(const Guid* aClsid, const Guid* aIid,
                                              void** aObject) {
  if (aObject == nullptr || aClsid == nullptr || aIid == nullptr) return E_POINTER;
  *aObject = nullptr;
  if (!(*aClsid == fClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  return QueryInterface(*aIid, aObject);
}

}  // namespace qv::platform
