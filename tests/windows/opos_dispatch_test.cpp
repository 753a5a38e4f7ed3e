// The OPOS control driven by late binding, against a control of the test's own that
// records every call as automation hands it over: member names, argument types and values in
// their declared order, property reads and writes, in-out arguments, and the failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "channels/io_handler_opos.h"
#include "channels/opos_dispatch.h"
#include "framework/device_handler.h"
#include "platform/com.h"
#include "platform/file_system.h"
#include "platform/ole_string.h"
// clang-format off
#include "platform/windows_headers_win32.h"
#include "support/file_status_assertions.h"
#include <oleauto.h>
// clang-format on

namespace qv::channels {
namespace {

using platform::ComPtr;
using platform::OleString;

// A control that knows a fixed list of members. Each call is written down as "Name" or
// "get Name"/"put Name" followed by its arguments, e.g. "PrintRecSubtotal CY:15000".
class RecordingControl : public ::IDispatch {
 public:
  std::vector<std::string> calls;
  LONG nextResult = 0;
  bool answerNothing = false;  // methods answer no result code

  ::HRESULT STDMETHODCALLTYPE QueryInterface(REFIID aIid, void** aObject) override {
    if (aIid == ::IID_IUnknown || aIid == ::IID_IDispatch) {
      *aObject = this;
      AddRef();
      return S_OK;
    }
    *aObject = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++fReferences; }
  ULONG STDMETHODCALLTYPE Release() override { return --fReferences; }  // lives on the stack
  ::HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  ::HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  ::HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* aNames, UINT aCount, LCID,
                                            DISPID* aIds) override {
    if (aCount != 1) return E_INVALIDARG;
    const std::string name = platform::FromWide(aNames[0]);  // a plain string, not a BSTR
    for (size_t i = 0; i < kMembers.size(); ++i) {
      if (name == kMembers[i]) {
        aIds[0] = static_cast<DISPID>(i + 1);
        return S_OK;
      }
    }
    aIds[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  ::HRESULT STDMETHODCALLTYPE Invoke(DISPID aId, REFIID, LCID, WORD aFlags, DISPPARAMS* aParameters,
                                     VARIANT* aAnswer, EXCEPINFO* aException, UINT*) override {
    const std::string name = kMembers.at(static_cast<size_t>(aId - 1));
    std::string call = aFlags == DISPATCH_PROPERTYGET   ? "get " + name
                       : aFlags == DISPATCH_PROPERTYPUT ? "put " + name
                                                        : name;
    if (aFlags == DISPATCH_PROPERTYPUT &&
        (aParameters->cNamedArgs != 1 || aParameters->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)) {
      call += " (without the named value)";
    }
    for (UINT i = aParameters->cArgs; i-- > 0;) call += " " + Describe(aParameters->rgvarg[i]);
    calls.push_back(call);

    if (name == "Fail") {
      aException->scode = static_cast<SCODE>(0x80040300);
      aException->bstrDescription = SysAllocString(L"Printer offline");
      return DISP_E_EXCEPTION;
    }
    if (name == "DirectIO" || name == "GetData" || name == "GetDate") {
      // In-out arguments come last first: the text is [0], the number (if any) [1].
      VARIANT& text = aParameters->rgvarg[0];
      SysFreeString(*text.pbstrVal);
      *text.pbstrVal = SysAllocString(name == "GetDate" ? L"091220261230" : L"out");
      if (name != "GetDate") *aParameters->rgvarg[1].plVal += 4;
    }
    if (aFlags == DISPATCH_PROPERTYPUT && name == "DeviceEnabled") {
      fEnabled = aParameters->rgvarg[0].boolVal != VARIANT_FALSE;
    }
    if (aAnswer == nullptr) return S_OK;
    VariantInit(aAnswer);
    if (aFlags == DISPATCH_PROPERTYGET) {
      if (name == "DeviceEnabled") {
        aAnswer->vt = VT_BOOL;
        aAnswer->boolVal = fEnabled ? VARIANT_TRUE : VARIANT_FALSE;
      } else if (name == "CoverOpen") {
        aAnswer->vt = VT_BOOL;
        aAnswer->boolVal = VARIANT_TRUE;
      } else if (name == "ErrorString") {
        aAnswer->vt = VT_BSTR;
        aAnswer->bstrVal = SysAllocString(L"Paper out");
      } else if (name == "PrinterState") {
        aAnswer->vt = VT_I2;  // any integer type reads as a number
        aAnswer->iVal = 2;
      } else {
        aAnswer->vt = VT_I4;
        aAnswer->lVal = 203;
      }
    } else if (aFlags == DISPATCH_METHOD && !answerNothing) {
      aAnswer->vt = VT_I4;
      aAnswer->lVal = nextResult;
    }
    return S_OK;
  }

 private:
  static std::string Describe(const VARIANT& aValue) {
    switch (aValue.vt) {
      case VT_I4:
        return "I4:" + std::to_string(aValue.lVal);
      case VT_CY:
        return "CY:" + std::to_string(aValue.cyVal.int64);
      case VT_BOOL:
        return "BOOL:" + std::to_string(aValue.boolVal);
      case VT_BSTR:
        return "BSTR:" + platform::OleStringToUtf8(aValue.bstrVal);
      case VT_BYREF | VT_I4:
        return "REF I4:" + std::to_string(*aValue.plVal);
      case VT_BYREF | VT_BSTR:
        return "REF BSTR:" + platform::OleStringToUtf8(*aValue.pbstrVal);
      default:
        return "VT" + std::to_string(aValue.vt);
    }
  }

  // The members of the control, as its type library lists them.
  inline static const std::vector<std::string> kMembers = {"Open",          "Close",
                                                           "ClaimDevice",   "ReleaseDevice",
                                                           "DirectIO",      "BeginFiscalReceipt",
                                                           "PrintRecItem",  "PrintRecSubtotal",
                                                           "PrintRecTotal", "GetDate",
                                                           "GetData",       "ResultCodeExtended",
                                                           "CoverOpen",     "ErrorString",
                                                           "PrinterState",  "DeviceEnabled",
                                                           "PreLine",       "Fail"};
  ULONG fReferences = 1;
  bool fEnabled = false;
};

class OposByName : public ::testing::Test {
 protected:
  void SetUp() override {
    fPrinter = NewDispatchFiscalPrinter(
        ComPtr<platform::IDispatch>::Attach(reinterpret_cast<platform::IDispatch*>(&fControl)));
    fControl.AddRef();  // the reference that Attach took over
  }

  RecordingControl fControl;
  ComPtr<IOPOSFiscalPrinter> fPrinter;
};

TEST_F(OposByName, MethodsGoByNameWithTheirArgumentsInOrder) {
  int32_t result = -1;
  OleString device("FiscalPrinter1");
  EXPECT_EQ(fPrinter->Open(device.Get(), &result), S_OK);
  EXPECT_EQ(result, 0);
  fControl.nextResult = 114;
  OleString description("Ελιές 500 g"), unit("PCS");
  EXPECT_EQ(fPrinter->PrintRecItem(description.Get(), 45000, 1500, 2, 30000, unit.Get(), &result),
            S_OK);
  EXPECT_EQ(result, 114);
  EXPECT_EQ(fPrinter->PrintRecSubtotal(15000, &result), S_OK);
  EXPECT_EQ(fPrinter->BeginFiscalReceipt(kVariantTrue, &result), S_OK);
  EXPECT_EQ(fPrinter->ClaimDevice(-1, &result), S_OK);
  const std::vector<std::string> expected = {
      "Open BSTR:FiscalPrinter1",
      "PrintRecItem BSTR:Ελιές 500 g CY:45000 I4:1500 I4:2 CY:30000 BSTR:PCS",
      "PrintRecSubtotal CY:15000", "BeginFiscalReceipt BOOL:-1", "ClaimDevice I4:-1"};
  EXPECT_EQ(fControl.calls, expected);
}

TEST_F(OposByName, InOutArgumentsComeBackChanged) {
  int32_t result = -1;
  int32_t data = 5;
  OleString text("in");
  OleStr raw = text.Release();
  EXPECT_EQ(fPrinter->DirectIO(7, &data, &raw, &result), S_OK);
  OleString returned;
  returned.Reset(raw);
  EXPECT_EQ(data, 9);
  EXPECT_EQ(returned.ToUtf8(), "out");
  EXPECT_EQ(fControl.calls.back(), "DirectIO I4:7 REF I4:5 REF BSTR:in");

  OleStr date = nullptr;
  EXPECT_EQ(fPrinter->GetDate(&date, &result), S_OK);
  OleString dateText;
  dateText.Reset(date);
  EXPECT_EQ(dateText.ToUtf8(), "091220261230");

  int32_t optArgs = 0;
  OleStr data2 = nullptr;
  EXPECT_EQ(fPrinter->GetData(FPTR_GD_Z_REPORT, &optArgs, &data2, &result), S_OK);
  OleString dataText;
  dataText.Reset(data2);
  EXPECT_EQ(optArgs, 4);
  EXPECT_EQ(dataText.ToUtf8(), "out");
}

TEST_F(OposByName, PropertiesAreReadAndWrittenByName) {
  int32_t number = 0;
  EXPECT_EQ(fPrinter->get_ResultCodeExtended(&number), S_OK);
  EXPECT_EQ(number, 203);
  EXPECT_EQ(fPrinter->get_PrinterState(&number), S_OK);
  EXPECT_EQ(number, 2);
  VariantBool flag = kVariantFalse;
  EXPECT_EQ(fPrinter->get_CoverOpen(&flag), S_OK);
  EXPECT_EQ(flag, kVariantTrue);
  OleString text;
  EXPECT_EQ(fPrinter->get_ErrorString(text.Out()), S_OK);
  EXPECT_EQ(text.ToUtf8(), "Paper out");
  EXPECT_EQ(fPrinter->put_DeviceEnabled(kVariantTrue), S_OK);
  OleString line("Customer copy");
  EXPECT_EQ(fPrinter->put_PreLine(line.Get()), S_OK);
  const std::vector<std::string> expected = {
      "get ResultCodeExtended", "get PrinterState",          "get CoverOpen",
      "get ErrorString",        "put DeviceEnabled BOOL:-1", "put PreLine BSTR:Customer copy"};
  EXPECT_EQ(fControl.calls, expected);
}

TEST_F(OposByName, FailuresLeaveTheControlsTextAndNoSuccess) {
  int32_t result = 0;
  OleString id("EL123");
  // A member the control does not have.
  const HRESULT unknown = fPrinter->PrintRecTaxID(id.Get(), &result);
  EXPECT_EQ(unknown, DISP_E_UNKNOWNNAME);
  EXPECT_EQ(result, OPOS_E_FAILURE);
  const std::string unknownText = platform::FailedCallMessage(unknown);
  EXPECT_EQ(unknownText, "PrintRecTaxID: Unknown name");
  EXPECT_TRUE(fControl.calls.empty());

  // A method that answers no result code has not succeeded.
  fControl.answerNothing = true;
  EXPECT_EQ(fPrinter->ClaimDevice(1000, &result), S_OK);
  EXPECT_EQ(result, OPOS_E_FAILURE);

  // An exception the control raises: its own code and description.
  std::vector<platform::AutomationValue> none;
  platform::AutomationValue answer;
  std::string error;
  EXPECT_EQ(platform::InvokeByName(*reinterpret_cast<platform::IDispatch*>(&fControl), "Fail",
                                   platform::AutomationCall::Method, none, answer, error),
            static_cast<platform::HRESULT>(0x80040300));
  EXPECT_EQ(error, "Printer offline");
}

// Makes a RecordingControl the object that "OPOS.FiscalPrinter" names for this process: the
// name in the user's class registration, the class object registered with COM.
class RegisteredControl : public ::IClassFactory {
 public:
  RecordingControl control;

  RegisteredControl() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring clsid = L"{C0DE0001-0000-4000-8000-00000000F1C0}";
    CLSIDFromString(clsid.c_str(), &fClsid);
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CLASSES_ROOT, L"OPOS.FiscalPrinter\\CLSID", 0, nullptr, 0, KEY_WRITE,
                    nullptr, &key, nullptr);
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(clsid.c_str()),
                   static_cast<DWORD>((clsid.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    CoRegisterClassObject(fClsid, this, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &fCookie);
  }
  ~RegisteredControl() {
    CoRevokeClassObject(fCookie);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"OPOS.FiscalPrinter");
  }

  ::HRESULT STDMETHODCALLTYPE QueryInterface(REFIID aIid, void** aObject) override {
    if (aIid == ::IID_IUnknown || aIid == ::IID_IClassFactory) {
      *aObject = static_cast<::IClassFactory*>(this);
      return S_OK;
    }
    *aObject = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives as long as the test
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  ::HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* aOuter, REFIID aIid,
                                             void** aObject) override {
    if (aOuter != nullptr) return CLASS_E_NOAGGREGATION;
    return control.QueryInterface(aIid, aObject);
  }
  ::HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  CLSID fClsid{};
  DWORD fCookie = 0;
};

class OposChannelOnWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    fFolder = platform::TemporaryFolder() + "qvfp-opos-" + std::to_string(GetTickCount()) + "\\";
    ASSERT_TRUE(StatusOk(platform::ForceDirectories(fFolder)));
    fConnection.SetConnectionType(framework::qvConnectionType::OPOS);
    fConnection.SetDeviceName("FP1");
  }

  framework::kConnection fConnection;
  std::string fFolder;
};

// The channel creates the control by its registered name and drives it by late binding:
// connect, a receipt line, disconnect, as the control sees them.
TEST_F(OposChannelOnWindows, DrivesTheRegisteredControlByName) {
  RegisteredControl registered;
  {
    kIOHandler_OPOS channel(&fConnection, fFolder, "DEV_W1");
    ASSERT_TRUE(channel.Connect()) << channel.ErrorMessage();
    EXPECT_TRUE(channel.PrintRecItem("1", "Olives", base::Currency::FromDouble(1.5), "KG", 2,
                                     base::Currency::FromDouble(4), base::Currency::FromDouble(6)));
    EXPECT_TRUE(channel.Disconnect());
  }
  const std::vector<std::string> expected = {
      "Open BSTR:FP1",
      "ClaimDevice I4:" +
          std::to_string(kIOHandler_OPOS(&fConnection, fFolder, "DEV_W2").ConnectTimeout()),
      "put DeviceEnabled BOOL:-1",
      "get DeviceEnabled",
      "PrintRecItem BSTR:Olives CY:60000 I4:1500 I4:2 CY:40000 BSTR:KG",
      "put DeviceEnabled BOOL:0",
      "get DeviceEnabled",
      "ReleaseDevice",
      "Close"};
  EXPECT_EQ(registered.control.calls, expected);
}

TEST_F(OposChannelOnWindows, ControlThatIsNotRegisteredFailsWithItsClassId) {
  kIOHandler_OPOS channel(&fConnection, fFolder, "DEV_W3");
  EXPECT_FALSE(channel.Connect());
  EXPECT_FALSE(channel.Connected());
  std::string failure;
  try {
    channel.BeginFiscalReceipt();
  } catch (const std::exception& e) {
    failure = e.what();
  }
  EXPECT_NE(failure.find("ClassID: {CCB90072-B81E-11D2-AB74-0040054C3719}"), std::string::npos)
      << failure;
}

}  // namespace
}  // namespace qv::channels
