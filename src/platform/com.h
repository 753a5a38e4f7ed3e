// COM-style objects: class and interface ids, result codes, the standard interfaces as plain
// abstract classes with COM's table of operations, and creation of an object from an
// in-process server library.
//
// The interfaces are laid out exactly as COM lays them out (single inheritance, no virtual
// destructor, the operations in COM's slot order, the standard calling convention on 32-bit
// Windows), so the same declarations serve a real COM server on Windows and an in-process
// server library on Linux.
//
// In-process servers on Linux: the library exports
//   HRESULT DllGetClassObject(const Guid* aClsid, const Guid* aIid, void** aOut)
// with C linkage, and, when its objects report failures with an error object,
//   HRESULT DllGetErrorInfo(uint32_t aReserved, IErrorInfo** aInfo)
// which hands over (and clears) the error object that the calling thread left in that
// library. GetErrorInfo below consults every server loaded through CreateInProcessObject
// that way, so an error set in the server is seen by the caller as COM's per-thread error
// object would be.
//
// Threading: the functions may be called from any thread; an object is used by one thread at
// a time unless its own header says otherwise.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ole_string.h"

#if defined(_WIN32) && (defined(__i386__) || defined(_M_IX86))
#define QV_COMCALL __stdcall
#else
#define QV_COMCALL
#endif

namespace qv::platform {

// ---------------------------------------------------------------------------------------
// Class and interface ids.

struct Guid {
  uint32_t Data1 = 0;
  uint16_t Data2 = 0;
  uint16_t Data3 = 0;
  uint8_t Data4[8] = {};

  friend constexpr bool operator==(const Guid& aLeft, const Guid& aRight) {
    if (aLeft.Data1 != aRight.Data1 || aLeft.Data2 != aRight.Data2 || aLeft.Data3 != aRight.Data3) {
      return false;
    }
    for (int i = 0; i < 8; ++i) {
      if (aLeft.Data4[i] != aRight.Data4[i]) return false;
    }
    return true;
  }
};

namespace detail {
constexpr int HexDigit(char aChar) {
  if (aChar >= '0' && aChar <= '9') return aChar - '0';
  if (aChar >= 'a' && aChar <= 'f') return aChar - 'a' + 10;
  if (aChar >= 'A' && aChar <= 'F') return aChar - 'A' + 10;
  return -1;
}
constexpr bool ParseHex(std::string_view aText, std::size_t aFrom, int aDigits, uint64_t& aValue) {
  aValue = 0;
  for (int i = 0; i < aDigits; ++i) {
    const int digit = HexDigit(aText[aFrom + i]);
    if (digit < 0) return false;
    aValue = aValue * 16 + static_cast<uint64_t>(digit);
  }
  return true;
}
}  // namespace detail

// Reads "{27C3D64C-4341-11D7-AAF9-00D0592E132D}" (the braces may be left out, letters in
// either case). False for any other text; aGuid is then unchanged.
constexpr bool TryParseGuid(std::string_view aText, Guid& aGuid) {
  if (aText.size() == 38) {
    if (aText.front() != '{' || aText.back() != '}') return false;
    aText = aText.substr(1, 36);
  }
  if (aText.size() != 36) return false;
  if (aText[8] != '-' || aText[13] != '-' || aText[18] != '-' || aText[23] != '-') return false;
  Guid result;
  uint64_t value = 0;
  if (!detail::ParseHex(aText, 0, 8, value)) return false;
  result.Data1 = static_cast<uint32_t>(value);
  if (!detail::ParseHex(aText, 9, 4, value)) return false;
  result.Data2 = static_cast<uint16_t>(value);
  if (!detail::ParseHex(aText, 14, 4, value)) return false;
  result.Data3 = static_cast<uint16_t>(value);
  for (int i = 0; i < 8; ++i) {
    const std::size_t at = i < 2 ? 19 + 2 * i : 24 + 2 * (i - 2);
    if (!detail::ParseHex(aText, at, 2, value)) return false;
    result.Data4[i] = static_cast<uint8_t>(value);
  }
  aGuid = result;
  return true;
}

// A compiled-in id; a malformed text stops the compilation where it is used as a constant.
consteval Guid GuidOf(std::string_view aText) {
  Guid result;
  if (!TryParseGuid(aText, result)) throw "malformed class or interface id";
  return result;
}

// Throws qv::Error("Invalid class string <text>") for a malformed text.
Guid ParseGuid(std::string_view aText);
// "{27C3D64C-4341-11D7-AAF9-00D0592E132D}": upper-case hexadecimal in braces.
std::string GuidToString(const Guid& aGuid);

// ---------------------------------------------------------------------------------------
// Result codes: negative means failure.

using HRESULT = int32_t;

constexpr HRESULT MakeHResult(uint32_t aCode) { return static_cast<HRESULT>(aCode); }
constexpr bool Succeeded(HRESULT aResult) { return aResult >= 0; }
constexpr bool Failed(HRESULT aResult) { return aResult < 0; }
// A Windows system error code (2: file not found) as a result code, 0x80070002.
constexpr HRESULT HResultFromWin32(uint32_t aCode) {
  return aCode == 0 ? 0 : MakeHResult((aCode & 0xFFFFu) | 0x80070000u);
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeHResult(0x80004001u);
constexpr HRESULT E_NOINTERFACE = MakeHResult(0x80004002u);
constexpr HRESULT E_POINTER = MakeHResult(0x80004003u);
constexpr HRESULT E_ABORT = MakeHResult(0x80004004u);
constexpr HRESULT E_FAIL = MakeHResult(0x80004005u);
constexpr HRESULT E_UNEXPECTED = MakeHResult(0x8000FFFFu);
constexpr HRESULT E_ACCESSDENIED = MakeHResult(0x80070005u);
constexpr HRESULT E_HANDLE = MakeHResult(0x80070006u);
constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057u);
constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHResult(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHResult(0x80040111u);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154u);
constexpr HRESULT CO_E_NOTINITIALIZED = MakeHResult(0x800401F0u);
constexpr HRESULT CO_E_DLLNOTFOUND = MakeHResult(0x800401F8u);
constexpr HRESULT CO_E_ERRORINDLL = MakeHResult(0x800401F9u);
constexpr HRESULT DISP_E_UNKNOWNNAME = MakeHResult(0x80020006u);
constexpr HRESULT DISP_E_EXCEPTION = MakeHResult(0x80020009u);
constexpr HRESULT RPC_E_DISCONNECTED = MakeHResult(0x80010108u);
constexpr HRESULT CO_E_SERVER_EXEC_FAILURE = MakeHResult(0x80080005u);

// The system's text for a result code, as the system's message table words it, without a
// trailing period: "Class not registered" for REGDB_E_CLASSNOTREG, "Unspecified error" for
// E_FAIL. A code without a text gives "OLE error 80004021" (eight upper-case hex digits).
std::string HResultText(HRESULT aResult);

// ---------------------------------------------------------------------------------------
// The standard interfaces. The destructors are protected and not virtual: COM objects are
// destroyed by their own Release, and a virtual destructor would add slots to the table.

class IUnknown {
 public:
  virtual HRESULT QV_COMCALL QueryInterface(const Guid& aIid, void** aObject) = 0;
  virtual uint32_t QV_COMCALL AddRef() = 0;
  virtual uint32_t QV_COMCALL Release() = 0;

 protected:
  ~IUnknown() = default;
};

class IClassFactory : public IUnknown {
 public:
  virtual HRESULT QV_COMCALL CreateInstance(IUnknown* aOuter, const Guid& aIid, void** aObject) = 0;
  virtual HRESULT QV_COMCALL LockServer(int32_t aLock) = 0;

 protected:
  ~IClassFactory() = default;
};

// The four slots give interfaces derived from IDispatch COM's layout. Their structured
// arguments are left opaque here: late binding goes through InvokeByName below.
class IDispatch : public IUnknown {
 public:
  virtual HRESULT QV_COMCALL GetTypeInfoCount(uint32_t* aCount) = 0;
  virtual HRESULT QV_COMCALL GetTypeInfo(uint32_t aIndex, uint32_t aLocale, void** aTypeInfo) = 0;
  virtual HRESULT QV_COMCALL GetIDsOfNames(const Guid& aIid, OleStr* aNames, uint32_t aCount,
                                           uint32_t aLocale, int32_t* aDispIds) = 0;
  virtual HRESULT QV_COMCALL Invoke(int32_t aDispId, const Guid& aIid, uint32_t aLocale,
                                    uint16_t aFlags, void* aParams, void* aResult,
                                    void* aExceptionInfo, uint32_t* aArgumentError) = 0;

 protected:
  ~IDispatch() = default;
};

// The four IDispatch slots of an object that is called through its own table only: it offers
// no type information and no late binding.
template <class TInterface>
class DispatchByTableOnly : public TInterface {
 public:
  HRESULT QV_COMCALL GetTypeInfoCount(uint32_t* aCount) override {
    if (aCount == nullptr) return E_POINTER;
    *aCount = 0;
    return S_OK;
  }
  HRESULT QV_COMCALL GetTypeInfo(uint32_t, uint32_t, void** aTypeInfo) override {
    if (aTypeInfo != nullptr) *aTypeInfo = nullptr;
    return E_NOTIMPL;
  }
  HRESULT QV_COMCALL GetIDsOfNames(const Guid&, OleStr*, uint32_t, uint32_t, int32_t*) override {
    return E_NOTIMPL;
  }
  HRESULT QV_COMCALL Invoke(int32_t, const Guid&, uint32_t, uint16_t, void*, void*, void*,
                            uint32_t*) override {
    return E_NOTIMPL;
  }

 protected:
  ~DispatchByTableOnly() = default;
};

// The error object that a failing method leaves for its caller.
class IErrorInfo : public IUnknown {
 public:
  virtual HRESULT QV_COMCALL GetGUID(Guid* aIid) = 0;
  virtual HRESULT QV_COMCALL GetSource(OleStr* aSource) = 0;
  virtual HRESULT QV_COMCALL GetDescription(OleStr* aDescription) = 0;
  virtual HRESULT QV_COMCALL GetHelpFile(OleStr* aHelpFile) = 0;
  virtual HRESULT QV_COMCALL GetHelpContext(uint32_t* aHelpContext) = 0;

 protected:
  ~IErrorInfo() = default;
};

class ISupportErrorInfo : public IUnknown {
 public:
  virtual HRESULT QV_COMCALL InterfaceSupportsErrorInfo(const Guid& aIid) = 0;

 protected:
  ~ISupportErrorInfo() = default;
};

inline constexpr Guid IID_IUnknown = GuidOf("{00000000-0000-0000-C000-000000000046}");
inline constexpr Guid IID_IClassFactory = GuidOf("{00000001-0000-0000-C000-000000000046}");
inline constexpr Guid IID_IDispatch = GuidOf("{00020400-0000-0000-C000-000000000046}");
inline constexpr Guid IID_IErrorInfo = GuidOf("{1CF2B120-547D-101B-8E65-08002B2BD119}");
inline constexpr Guid IID_ISupportErrorInfo = GuidOf("{DF0B3D60-548F-101B-8E65-08002B2BD119}");

// ---------------------------------------------------------------------------------------
// An owning interface pointer: AddRef when copied, Release when dropped.

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over a reference the caller already holds (as returned by CreateInstance).
  static ComPtr Attach(T* aObject) {
    ComPtr result;
    result.fObject = aObject;
    return result;
  }
  ComPtr(const ComPtr& aOther) : fObject(aOther.fObject) {
    if (fObject != nullptr) fObject->AddRef();
  }
  ComPtr(ComPtr&& aOther) noexcept : fObject(aOther.Detach()) {}
  ComPtr& operator=(ComPtr aOther) noexcept {
    T* old = fObject;
    fObject = aOther.fObject;
    aOther.fObject = old;
    return *this;
  }
  ~ComPtr() { Reset(); }

  T* Get() const { return fObject; }
  T* operator->() const { return fObject; }
  explicit operator bool() const { return fObject != nullptr; }
  // Releases the held object and gives the slot for an out-argument.
  T** Out() {
    Reset();
    return &fObject;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }
  T* Detach() {
    T* object = fObject;
    fObject = nullptr;
    return object;
  }
  void Reset() {
    if (fObject != nullptr) {
      T* object = fObject;
      fObject = nullptr;
      object->Release();
    }
  }

 private:
  T* fObject = nullptr;
};

// ---------------------------------------------------------------------------------------
// Error objects.

// A new error object with reference count 1 (the caller owns that reference).
IErrorInfo* NewErrorInfo(std::string_view aDescription, std::string_view aSource, const Guid& aIid);
// Stores aInfo (AddRef'ed; null clears) as the calling thread's error object.
HRESULT SetErrorInfo(uint32_t aReserved, IErrorInfo* aInfo);
// Hands over the calling thread's error object (the caller releases it) and clears it:
// S_OK with the object, S_FALSE with null when there is none.
HRESULT GetErrorInfo(uint32_t aReserved, IErrorInfo** aInfo);

// The message of a failed call on an interface: the description of the thread's error object
// when one was left (it is taken and cleared), otherwise HResultText(aResult).
std::string FailedCallMessage(HRESULT aResult);

// ---------------------------------------------------------------------------------------
// In-process servers.

// The class factory of an in-process server that serves one class: a static object of the
// server library, whose references and LockServer calls are the library's locks. The server's
// DllGetClassObject hands over to GetClassObject, its DllCanUnloadNow asks Locked.
//
// Threading: any thread; the lock count is atomic.
class InProcessClassFactory final : public IClassFactory {
 public:
  // Makes a new object and gives its interface aIid in *aObject (the caller owns that
  // reference; aObject is never null), or a failure code with *aObject null. It runs with the
  // thread's error object cleared and catches every exception itself.
  using Creator = HRESULT (*)(const Guid& aIid, void** aObject);

  constexpr InProcessClassFactory(const Guid& aClsid, Creator aCreate)
      : fClsid(aClsid), fCreate(aCreate) {}
  InProcessClassFactory(const InProcessClassFactory&) = delete;
  InProcessClassFactory& operator=(const InProcessClassFactory&) = delete;

  // The factory's IUnknown or IClassFactory; E_NOINTERFACE for any other interface.
  HRESULT QV_COMCALL QueryInterface(const Guid& aIid, void** aObject) override;
  uint32_t QV_COMCALL AddRef() override;
  uint32_t QV_COMCALL Release() override;
  // E_POINTER without aObject, CLASS_E_NOAGGREGATION with aOuter (nothing is created then);
  // otherwise clears the thread's error object and gives what the creator gives.
  HRESULT QV_COMCALL CreateInstance(IUnknown* aOuter, const Guid& aIid, void** aObject) override;
  HRESULT QV_COMCALL LockServer(int32_t aLock) override;

  // DllGetClassObject: this factory's interface aIid for its own class id;
  // CLASS_E_CLASSNOTAVAILABLE for another class, E_POINTER for a missing argument.
  HRESULT GetClassObject(const Guid* aClsid, const Guid* aIid, void** aObject);
  // Whether a reference to the factory or a LockServer lock is still held.
  bool Locked() const { return fLocks.load() != 0; }

 private:
  const Guid fClsid;
  const Creator fCreate;
  std::atomic<long> fLocks{0};
};

// Gives the interface aIid of a newly made object in *aObject, and drops the reference the
// object was made with: an object that lacks aIid is destroyed again (E_NOINTERFACE).
template <class TObject>
HRESULT QueryNewObject(TObject* aObject, const Guid& aIid, void** aResult) {
  const HRESULT result = aObject->QueryInterface(aIid, aResult);
  aObject->Release();
  return result;
}

// ---------------------------------------------------------------------------------------
// Creation.

// Creates the object aClsid of the in-process server aLibraryName ("AlgoDll.dll": found by
// the library search order of DynamicLibrary) and gives its interface aIid in *aObject (the
// caller owns that reference). The library stays loaded for the life of the process.
// Returns S_OK, or a failure code with *aObject null and aError set to the details:
// REGDB_E_CLASSNOTREG when the library cannot be loaded (aError: the loader's text),
// CO_E_ERRORINDLL when it exports no DllGetClassObject, otherwise the code of the server's
// DllGetClassObject or CreateInstance (aError: its message as FailedCallMessage gives it).
// On Windows the class is created through the system's registration instead.
HRESULT CreateInProcessObject(const std::string& aLibraryName, const Guid& aClsid, const Guid& aIid,
                              void** aObject, std::string& aError);

// ---------------------------------------------------------------------------------------
// Late binding: the members of an automation object called by their names through its
// IDispatch, as scripting hosts call them, for objects whose interface layout this library
// does not know (a device's control from any vendor). Windows only: Linux has no class
// registration, so creation fails there with REGDB_E_CLASSNOTREG.

// Whether the system registers classes by name (Windows), so that a control is created by its
// programmatic name and driven by late binding; else (Linux) a control is an in-process
// server library with the layout that this library declares for it.
#ifdef _WIN32
inline constexpr bool kClassRegistration = true;
#else
inline constexpr bool kClassRegistration = false;
#endif

// A value passed to a member or answered by it. An argument passed by reference (an integer
// or a text) is a variable of the member's: it holds what the member left in it afterwards.
struct AutomationValue {
  enum class Kind { Empty, Integer, Currency, Boolean, Text };
  Kind kind = Kind::Empty;
  int64_t number = 0;  // Integer (32-bit) and Currency (ten-thousandths)
  bool flag = false;   // Boolean
  std::string text;    // Text
  bool byReference = false;

  static AutomationValue Integer(int32_t aValue) { return {Kind::Integer, aValue, false, {}}; }
  static AutomationValue Currency(int64_t aTenThousandths) {
    return {Kind::Currency, aTenThousandths, false, {}};
  }
  static AutomationValue Boolean(bool aValue) { return {Kind::Boolean, 0, aValue, {}}; }
  static AutomationValue Text(std::string aValue) {
    return {Kind::Text, 0, false, std::move(aValue)};
  }
  static AutomationValue IntegerVariable(int32_t aValue) {
    return {Kind::Integer, aValue, false, {}, true};
  }
  static AutomationValue TextVariable(std::string aValue) {
    return {Kind::Text, 0, false, std::move(aValue), true};
  }
};

enum class AutomationCall { Method, PropertyGet, PropertyPut };

// Creates the registered object named aProgId ("OPOS.FiscalPrinter") and gives its IDispatch
// (the caller owns that reference). Returns S_OK, or the failure with aError set: the
// system's text for a name that is not registered, FailedCallMessage's text when the class
// cannot be created.
HRESULT CreateAutomationObject(std::string_view aProgId, IDispatch** aObject, std::string& aError);

// Calls the member aName of aObject with aArguments in the member's own order (a property
// put takes its new value as the last argument; the arguments passed by reference receive
// what the member left in them) and gives its answer in aResult (Empty when
// there is none; other types of answer are converted to an integer, else to a text). Returns
// S_OK, or the failure with aError set: the member's own description when it raised an
// exception (and the code it raised, when it gave one), else the system's text ("Unknown
// name" for a member the object does not have).
HRESULT InvokeByName(IDispatch& aObject, std::string_view aName, AutomationCall aCall,
                     std::vector<AutomationValue>& aArguments, AutomationValue& aResult,
                     std::string& aError);

// The full path of the loaded library (or program) that holds aAddress, for a server that
// reports where it is installed; empty when it cannot be told.
std::string ModulePathOf(const void* aAddress);

}  // namespace qv::platform
