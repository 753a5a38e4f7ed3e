// COM on Windows: the system's class registration, error objects and result texts.
//
// The layer's interface declarations (platform/com.h) have COM's exact layout, so the
// system's objects are used through them as they are. The Box is created with
// CoCreateInstance from its registration (an in-process server, or a local server); a
// calling thread without COM is given an apartment first, which it keeps: the created
// objects live as long as the processors that hold them, which is until the process ends.
// The layer's result constants (S_OK ...) are macros in the system's headers: platform/com.h
// comes first.
#include "platform/com.h"
#include "platform/com_system.h"
// clang-format off
#include "platform/windows_headers_win32.h"
#include <objbase.h>
#include <oleauto.h>
// clang-format on

#include <string>
#include <vector>

namespace qv::platform {
namespace {

static_assert(sizeof(Guid) == sizeof(GUID), "a class id has the system's layout");

const GUID& SystemGuid(const Guid& aGuid) { return reinterpret_cast<const GUID&>(aGuid); }

::IErrorInfo* SystemErrorInfo(IErrorInfo* aInfo) { return reinterpret_cast<::IErrorInfo*>(aInfo); }

// CoCreateInstance, giving the thread an apartment when it has none yet.
HRESULT CreateRegisteredObject(const Guid& aClsid, const Guid& aIid, void** aObject) {
  constexpr DWORD kContexts = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER;
  ::HRESULT result =
      CoCreateInstance(SystemGuid(aClsid), nullptr, kContexts, SystemGuid(aIid), aObject);
  if (result == static_cast<::HRESULT>(CO_E_NOTINITIALIZED)) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    result = CoCreateInstance(SystemGuid(aClsid), nullptr, kContexts, SystemGuid(aIid), aObject);
  }
  return static_cast<HRESULT>(result);
}

}  // namespace

std::string HResultText(HRESULT aResult) {
  std::string text = MessageTableText(static_cast<DWORD>(aResult));
  if (!text.empty()) return text;
  return com_system::ComResultText(aResult);
}

IErrorInfo* NewErrorInfo(std::string_view aDescription, std::string_view aSource,
                         const Guid& aIid) {
  ICreateErrorInfo* creator = nullptr;
  if (FAILED(CreateErrorInfo(&creator)) || creator == nullptr) return nullptr;
  creator->SetDescription(const_cast<LPOLESTR>(ToWide(aDescription).c_str()));
  creator->SetSource(const_cast<LPOLESTR>(ToWide(aSource).c_str()));
  creator->SetGUID(SystemGuid(aIid));
  ::IErrorInfo* info = nullptr;
  creator->QueryInterface(::IID_IErrorInfo, reinterpret_cast<void**>(&info));
  creator->Release();
  return reinterpret_cast<IErrorInfo*>(info);
}

HRESULT SetErrorInfo(uint32_t aReserved, IErrorInfo* aInfo) {
  return static_cast<HRESULT>(::SetErrorInfo(aReserved, SystemErrorInfo(aInfo)));
}

HRESULT GetErrorInfo(uint32_t aReserved, IErrorInfo** aInfo) {
  if (aInfo == nullptr) return E_POINTER;
  ::IErrorInfo* info = nullptr;
  const ::HRESULT result = ::GetErrorInfo(aReserved, &info);
  *aInfo = reinterpret_cast<IErrorInfo*>(info);
  return static_cast<HRESULT>(result);
}

HRESULT CreateInProcessObject(const std::string& /*aLibraryName*/, const Guid& aClsid,
                              const Guid& aIid, void** aObject, std::string& aError) {
  aError.clear();
  if (aObject == nullptr) return E_POINTER;
  *aObject = nullptr;
  const HRESULT result = CreateRegisteredObject(aClsid, aIid, aObject);
  if (Failed(result) || *aObject == nullptr) {
    *aObject = nullptr;
    const HRESULT failure = Failed(result) ? result : E_NOINTERFACE;
    aError = FailedCallMessage(failure);
    return failure;
  }
  return S_OK;
}

HRESULT CreateAutomationObject(std::string_view aProgId, IDispatch** aObject, std::string& aError) {
  aError.clear();
  if (aObject == nullptr) return E_POINTER;
  *aObject = nullptr;
  CLSID clsid{};
  const auto named = static_cast<HRESULT>(CLSIDFromProgID(ToWide(aProgId).c_str(), &clsid));
  if (Failed(named)) {
    aError = HResultText(named);
    return named;
  }
  const HRESULT result = CreateRegisteredObject(reinterpret_cast<const Guid&>(clsid), IID_IDispatch,
                                                reinterpret_cast<void**>(aObject));
  if (Failed(result) || *aObject == nullptr) {
    *aObject = nullptr;
    const HRESULT failure = Failed(result) ? result : E_NOINTERFACE;
    aError = FailedCallMessage(failure);
    return failure;
  }
  return S_OK;
}

namespace {

// The variable behind an argument passed by reference: the member reads and replaces it.
struct ReferencedVariable {
  LONG integer = 0;
  BSTR text = nullptr;
};

BSTR NewBstr(const std::string& aText) {
  const std::wstring text = ToWide(aText);
  return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

std::string BstrText(BSTR aText) {
  return aText == nullptr ? std::string() : FromWide(std::wstring_view(aText, SysStringLen(aText)));
}

// The VARIANT of an argument; the caller clears it (and frees a referenced text).
void FillVariant(const AutomationValue& aValue, ReferencedVariable& aVariable, VARIANT& aVariant) {
  VariantInit(&aVariant);
  if (aValue.byReference && aValue.kind == AutomationValue::Kind::Integer) {
    aVariable.integer = static_cast<LONG>(aValue.number);
    aVariant.vt = VT_BYREF | VT_I4;
    aVariant.plVal = &aVariable.integer;
    return;
  }
  if (aValue.byReference && aValue.kind == AutomationValue::Kind::Text) {
    aVariable.text = NewBstr(aValue.text);
    aVariant.vt = VT_BYREF | VT_BSTR;
    aVariant.pbstrVal = &aVariable.text;
    return;
  }
  switch (aValue.kind) {
    case AutomationValue::Kind::Empty:
      break;
    case AutomationValue::Kind::Integer:
      aVariant.vt = VT_I4;
      aVariant.lVal = static_cast<LONG>(aValue.number);
      break;
    case AutomationValue::Kind::Currency:
      aVariant.vt = VT_CY;
      aVariant.cyVal.int64 = aValue.number;
      break;
    case AutomationValue::Kind::Boolean:
      aVariant.vt = VT_BOOL;
      aVariant.boolVal = aValue.flag ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case AutomationValue::Kind::Text:
      aVariant.vt = VT_BSTR;
      aVariant.bstrVal = NewBstr(aValue.text);
      break;
  }
}

// A member's answer as a value: the four kinds as they are, other numbers as integers,
// anything else as its text.
bool ReadVariant(VARIANT& aVariant, AutomationValue& aValue) {
  aValue = {};
  switch (aVariant.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return true;
    case VT_CY:
      aValue = AutomationValue::Currency(aVariant.cyVal.int64);
      return true;
    case VT_BOOL:
      aValue = AutomationValue::Boolean(aVariant.boolVal != VARIANT_FALSE);
      return true;
    case VT_BSTR:
      aValue = AutomationValue::Text(BstrText(aVariant.bstrVal));
      return true;
    default:
      break;
  }
  VARIANT converted;
  VariantInit(&converted);
  if (SUCCEEDED(VariantChangeType(&converted, &aVariant, 0, VT_I4))) {
    aValue = AutomationValue::Integer(converted.lVal);
    return true;
  }
  if (SUCCEEDED(VariantChangeType(&converted, &aVariant, 0, VT_BSTR))) {
    const bool read = ReadVariant(converted, aValue);
    VariantClear(&converted);
    return read;
  }
  return false;
}

// The failure of an Invoke that raised an exception: the member's code and description.
HRESULT ExceptionFailure(EXCEPINFO& aException, std::string& aError) {
  if (aException.pfnDeferredFillIn != nullptr) aException.pfnDeferredFillIn(&aException);
  const HRESULT raised =
      aException.scode != 0 ? static_cast<HRESULT>(aException.scode) : DISP_E_EXCEPTION;
  if (aException.bstrDescription != nullptr && SysStringLen(aException.bstrDescription) > 0) {
    aError = FromWide(
        std::wstring_view(aException.bstrDescription, SysStringLen(aException.bstrDescription)));
  } else {
    aError = HResultText(raised);
  }
  SysFreeString(aException.bstrSource);
  SysFreeString(aException.bstrDescription);
  SysFreeString(aException.bstrHelpFile);
  return raised;
}

}  // namespace

HRESULT InvokeByName(IDispatch& aObject, std::string_view aName, AutomationCall aCall,
                     std::vector<AutomationValue>& aArguments, AutomationValue& aResult,
                     std::string& aError) {
  aResult = {};
  aError.clear();
  auto& dispatch = reinterpret_cast<::IDispatch&>(aObject);
  std::wstring name = ToWide(aName);
  LPOLESTR names[] = {name.data()};
  DISPID member = 0;
  auto result = static_cast<HRESULT>(
      dispatch.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &member));
  if (Failed(result)) {
    aError = HResultText(result);
    return result;
  }
  // Automation takes the arguments last first.
  const std::size_t count = aArguments.size();
  std::vector<VARIANT> arguments(count);
  std::vector<ReferencedVariable> variables(count);
  for (std::size_t i = 0; i < count; ++i) {
    FillVariant(aArguments[i], variables[i], arguments[count - 1 - i]);
  }
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS parameters{arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
  WORD flags = DISPATCH_METHOD;
  if (aCall == AutomationCall::PropertyGet) flags = DISPATCH_PROPERTYGET;
  if (aCall == AutomationCall::PropertyPut) {
    flags = DISPATCH_PROPERTYPUT;
    parameters.rgdispidNamedArgs = &putId;
    parameters.cNamedArgs = 1;
  }
  VARIANT answer;
  VariantInit(&answer);
  EXCEPINFO exception{};
  UINT wrongArgument = 0;
  result = static_cast<HRESULT>(dispatch.Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, flags,
                                                &parameters, &answer, &exception, &wrongArgument));
  for (VARIANT& argument : arguments) VariantClear(&argument);
  // What the member left in the variables, even when it failed; then they are freed.
  for (std::size_t i = 0; i < count; ++i) {
    AutomationValue& argument = aArguments[i];
    if (!argument.byReference) continue;
    if (argument.kind == AutomationValue::Kind::Integer) argument.number = variables[i].integer;
    if (argument.kind == AutomationValue::Kind::Text) argument.text = BstrText(variables[i].text);
    SysFreeString(variables[i].text);
  }
  if (result == DISP_E_EXCEPTION) return ExceptionFailure(exception, aError);
  if (Failed(result)) {
    VariantClear(&answer);
    aError = HResultText(result);
    return result;
  }
  const bool read = ReadVariant(answer, aResult);
  VariantClear(&answer);
  if (!read) {
    aError = HResultText(static_cast<HRESULT>(DISP_E_TYPEMISMATCH));
    return static_cast<HRESULT>(DISP_E_TYPEMISMATCH);
  }
  return S_OK;
}

std::string ModulePathOf(const void* aAddress) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCWSTR>(aAddress), &module)) {
    return {};
  }
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH + 1);
  return length > 0 ? FromWide(std::wstring_view(path, length)) : std::string();
}

}  // namespace qv::platform
