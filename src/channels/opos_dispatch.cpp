#include "channels/opos_dispatch.h"

#include <atomic>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ole_string.h"

namespace qv::channels {
namespace {

using platform::AutomationCall;
using platform::AutomationValue;
using platform::Guid;

AutomationValue TextOf(OleStr aText) {
  return AutomationValue::Text(platform::OleStringToUtf8(aText));
}
AutomationValue Flag(VariantBool aValue) {
  return AutomationValue::Boolean(aValue != kVariantFalse);
}
AutomationValue Amount(int64_t aValue) { return AutomationValue::Currency(aValue); }
AutomationValue Number(int32_t aValue) { return AutomationValue::Integer(aValue); }

// Called through its table only: the late binding happens behind it, towards the control.
class DispatchFiscalPrinter final : public platform::DispatchByTableOnly<IOPOSFiscalPrinter> {
 public:
  explicit DispatchFiscalPrinter(platform::ComPtr<platform::IDispatch> aControl)
      : fControl(std::move(aControl)) {}

  // IUnknown: the object answers for itself; the control stays behind it.
  HRESULT QV_COMCALL QueryInterface(const Guid& aIid, void** aObject) override {
    if (aObject == nullptr) return platform::E_POINTER;
    if (aIid == platform::IID_IUnknown || aIid == IID_IOPOSFiscalPrinter) {
      *aObject = static_cast<IOPOSFiscalPrinter*>(this);
      AddRef();
      return platform::S_OK;
    }
    *aObject = nullptr;
    return platform::E_NOINTERFACE;
  }
  uint32_t QV_COMCALL AddRef() override { return ++fReferences; }
  uint32_t QV_COMCALL Release() override {
    const uint32_t left = --fReferences;
    if (left == 0) delete this;
    return left;
  }

  // Common device methods.
  HRESULT QV_COMCALL Open(OleStr aDeviceName, int32_t* aResult) override {
    return Method("Open", {TextOf(aDeviceName)}, aResult);
  }
  HRESULT QV_COMCALL Close(int32_t* aResult) override { return Method("Close", {}, aResult); }
  HRESULT QV_COMCALL ClaimDevice(int32_t aTimeout, int32_t* aResult) override {
    return Method("ClaimDevice", {Number(aTimeout)}, aResult);
  }
  HRESULT QV_COMCALL ReleaseDevice(int32_t* aResult) override {
    return Method("ReleaseDevice", {}, aResult);
  }
  HRESULT QV_COMCALL DirectIO(int32_t aCommand, int32_t* aData, OleStr* aString,
                              int32_t* aResult) override {
    if (aData == nullptr || aString == nullptr) return platform::E_POINTER;
    std::vector<AutomationValue> arguments = {
        Number(aCommand), AutomationValue::IntegerVariable(*aData),
        AutomationValue::TextVariable(platform::OleStringToUtf8(*aString))};
    const HRESULT result = Call("DirectIO", arguments, aResult);
    *aData = static_cast<int32_t>(arguments[1].number);
    ReplaceText(aString, arguments[2].text);
    return result;
  }

  // Fiscal printer methods.
  HRESULT QV_COMCALL BeginFiscalReceipt(VariantBool aPrintHeader, int32_t* aResult) override {
    return Method("BeginFiscalReceipt", {Flag(aPrintHeader)}, aResult);
  }
  HRESULT QV_COMCALL EndFiscalReceipt(VariantBool aPrintHeader, int32_t* aResult) override {
    return Method("EndFiscalReceipt", {Flag(aPrintHeader)}, aResult);
  }
  HRESULT QV_COMCALL BeginNonFiscal(int32_t* aResult) override {
    return Method("BeginNonFiscal", {}, aResult);
  }
  HRESULT QV_COMCALL EndNonFiscal(int32_t* aResult) override {
    return Method("EndNonFiscal", {}, aResult);
  }
  HRESULT QV_COMCALL BeginTraining(int32_t* aResult) override {
    return Method("BeginTraining", {}, aResult);
  }
  HRESULT QV_COMCALL EndTraining(int32_t* aResult) override {
    return Method("EndTraining", {}, aResult);
  }
  HRESULT QV_COMCALL ResetPrinter(int32_t* aResult) override {
    return Method("ResetPrinter", {}, aResult);
  }
  HRESULT QV_COMCALL PrintXReport(int32_t* aResult) override {
    return Method("PrintXReport", {}, aResult);
  }
  HRESULT QV_COMCALL PrintZReport(int32_t* aResult) override {
    return Method("PrintZReport", {}, aResult);
  }
  HRESULT QV_COMCALL PrintNormal(int32_t aStation, OleStr aData, int32_t* aResult) override {
    return Method("PrintNormal", {Number(aStation), TextOf(aData)}, aResult);
  }
  HRESULT QV_COMCALL PrintRecMessage(OleStr aMessage, int32_t* aResult) override {
    return Method("PrintRecMessage", {TextOf(aMessage)}, aResult);
  }
  HRESULT QV_COMCALL PrintRecTaxID(OleStr aTaxId, int32_t* aResult) override {
    return Method("PrintRecTaxID", {TextOf(aTaxId)}, aResult);
  }
  HRESULT QV_COMCALL PrintRecItem(OleStr aDescription, int64_t aPrice, int32_t aQuantity,
                                  int32_t aVatInfo, int64_t aUnitPrice, OleStr aUnitName,
                                  int32_t* aResult) override {
    return Method("PrintRecItem",
                  {TextOf(aDescription), Amount(aPrice), Number(aQuantity), Number(aVatInfo),
                   Amount(aUnitPrice), TextOf(aUnitName)},
                  aResult);
  }
  HRESULT QV_COMCALL PrintRecItemVoid(OleStr aDescription, int64_t aPrice, int32_t aQuantity,
                                      int32_t aVatInfo, int64_t aUnitPrice, OleStr aUnitName,
                                      int32_t* aResult) override {
    return Method("PrintRecItemVoid",
                  {TextOf(aDescription), Amount(aPrice), Number(aQuantity), Number(aVatInfo),
                   Amount(aUnitPrice), TextOf(aUnitName)},
                  aResult);
  }
  HRESULT QV_COMCALL PrintRecRefund(OleStr aDescription, int64_t aAmount, int32_t aVatInfo,
                                    int32_t* aResult) override {
    return Method("PrintRecRefund", {TextOf(aDescription), Amount(aAmount), Number(aVatInfo)},
                  aResult);
  }
  HRESULT QV_COMCALL PrintRecItemAdjustment(int32_t aAdjustmentType, OleStr aDescription,
                                            int64_t aAmount, int32_t aVatInfo,
                                            int32_t* aResult) override {
    return Method(
        "PrintRecItemAdjustment",
        {Number(aAdjustmentType), TextOf(aDescription), Amount(aAmount), Number(aVatInfo)},
        aResult);
  }
  HRESULT QV_COMCALL PrintRecSubtotal(int64_t aAmount, int32_t* aResult) override {
    return Method("PrintRecSubtotal", {Amount(aAmount)}, aResult);
  }
  HRESULT QV_COMCALL PrintRecSubtotalAdjustment(int32_t aAdjustmentType, OleStr aDescription,
                                                int64_t aAmount, int32_t* aResult) override {
    return Method("PrintRecSubtotalAdjustment",
                  {Number(aAdjustmentType), TextOf(aDescription), Amount(aAmount)}, aResult);
  }
  HRESULT QV_COMCALL PrintRecTotal(int64_t aTotal, int64_t aPayment, OleStr aDescription,
                                   int32_t* aResult) override {
    return Method("PrintRecTotal", {Amount(aTotal), Amount(aPayment), TextOf(aDescription)},
                  aResult);
  }
  HRESULT QV_COMCALL PrintRecNotPaid(OleStr aDescription, int64_t aAmount,
                                     int32_t* aResult) override {
    return Method("PrintRecNotPaid", {TextOf(aDescription), Amount(aAmount)}, aResult);
  }
  HRESULT QV_COMCALL SetDate(OleStr aDate, int32_t* aResult) override {
    return Method("SetDate", {TextOf(aDate)}, aResult);
  }
  HRESULT QV_COMCALL GetDate(OleStr* aDate, int32_t* aResult) override {
    if (aDate == nullptr) return platform::E_POINTER;
    std::vector<AutomationValue> arguments = {
        AutomationValue::TextVariable(platform::OleStringToUtf8(*aDate))};
    const HRESULT result = Call("GetDate", arguments, aResult);
    ReplaceText(aDate, arguments[0].text);
    return result;
  }
  HRESULT QV_COMCALL GetData(int32_t aDataItem, int32_t* aOptArgs, OleStr* aData,
                             int32_t* aResult) override {
    if (aOptArgs == nullptr || aData == nullptr) return platform::E_POINTER;
    std::vector<AutomationValue> arguments = {
        Number(aDataItem), AutomationValue::IntegerVariable(*aOptArgs),
        AutomationValue::TextVariable(platform::OleStringToUtf8(*aData))};
    const HRESULT result = Call("GetData", arguments, aResult);
    *aOptArgs = static_cast<int32_t>(arguments[1].number);
    ReplaceText(aData, arguments[2].text);
    return result;
  }

  // Properties.
  HRESULT QV_COMCALL get_ResultCode(int32_t* aValue) override {
    return GetNumber("ResultCode", aValue);
  }
  HRESULT QV_COMCALL get_ResultCodeExtended(int32_t* aValue) override {
    return GetNumber("ResultCodeExtended", aValue);
  }
  HRESULT QV_COMCALL get_ErrorString(OleStr* aValue) override {
    return GetText("ErrorString", aValue);
  }
  HRESULT QV_COMCALL get_State(int32_t* aValue) override { return GetNumber("State", aValue); }
  HRESULT QV_COMCALL get_Claimed(VariantBool* aValue) override {
    return GetFlag("Claimed", aValue);
  }
  HRESULT QV_COMCALL get_DeviceEnabled(VariantBool* aValue) override {
    return GetFlag("DeviceEnabled", aValue);
  }
  HRESULT QV_COMCALL put_DeviceEnabled(VariantBool aValue) override {
    return Put("DeviceEnabled", Flag(aValue));
  }
  HRESULT QV_COMCALL get_CoverOpen(VariantBool* aValue) override {
    return GetFlag("CoverOpen", aValue);
  }
  HRESULT QV_COMCALL get_DayOpened(VariantBool* aValue) override {
    return GetFlag("DayOpened", aValue);
  }
  HRESULT QV_COMCALL get_RecEmpty(VariantBool* aValue) override {
    return GetFlag("RecEmpty", aValue);
  }
  HRESULT QV_COMCALL get_RecNearEnd(VariantBool* aValue) override {
    return GetFlag("RecNearEnd", aValue);
  }
  HRESULT QV_COMCALL get_TrainingModeActive(VariantBool* aValue) override {
    return GetFlag("TrainingModeActive", aValue);
  }
  HRESULT QV_COMCALL get_PrinterState(int32_t* aValue) override {
    return GetNumber("PrinterState", aValue);
  }
  HRESULT QV_COMCALL get_RemainingFiscalMemory(int32_t* aValue) override {
    return GetNumber("RemainingFiscalMemory", aValue);
  }
  HRESULT QV_COMCALL get_AdditionalTrailer(OleStr* aValue) override {
    return GetText("AdditionalTrailer", aValue);
  }
  HRESULT QV_COMCALL put_AdditionalTrailer(OleStr aValue) override {
    return Put("AdditionalTrailer", TextOf(aValue));
  }
  HRESULT QV_COMCALL get_PreLine(OleStr* aValue) override { return GetText("PreLine", aValue); }
  HRESULT QV_COMCALL put_PreLine(OleStr aValue) override { return Put("PreLine", TextOf(aValue)); }
  HRESULT QV_COMCALL get_FiscalReceiptType(int32_t* aValue) override {
    return GetNumber("FiscalReceiptType", aValue);
  }
  HRESULT QV_COMCALL put_FiscalReceiptType(int32_t aValue) override {
    return Put("FiscalReceiptType", Number(aValue));
  }

 private:
  ~DispatchFiscalPrinter() = default;

  // Calls a member by name; a failure leaves the control's description as the thread's
  // error object.
  HRESULT Invoke(std::string_view aName, AutomationCall aCall,
                 std::vector<AutomationValue>& aArguments, AutomationValue& aAnswer) {
    std::string error;
    const HRESULT result =
        platform::InvokeByName(*fControl.Get(), aName, aCall, aArguments, aAnswer, error);
    if (platform::Failed(result)) {
      platform::IErrorInfo* info = platform::NewErrorInfo(
          std::string(aName) + ": " + error, kOposFiscalPrinterProgId, IID_IOPOSFiscalPrinter);
      platform::SetErrorInfo(0, info);
      if (info != nullptr) info->Release();
    }
    return result;
  }

  // A method: its answer is the OPOS result code; a control that answers none failed.
  HRESULT Call(std::string_view aName, std::vector<AutomationValue>& aArguments, int32_t* aResult) {
    if (aResult == nullptr) return platform::E_POINTER;
    AutomationValue answer;
    const HRESULT result = Invoke(aName, AutomationCall::Method, aArguments, answer);
    *aResult = answer.kind == AutomationValue::Kind::Integer ? static_cast<int32_t>(answer.number)
                                                             : OPOS_E_FAILURE;
    return result;
  }
  HRESULT Method(std::string_view aName, std::vector<AutomationValue> aArguments,
                 int32_t* aResult) {
    return Call(aName, aArguments, aResult);
  }

  HRESULT Get(std::string_view aName, AutomationValue& aAnswer) {
    std::vector<AutomationValue> none;
    return Invoke(aName, AutomationCall::PropertyGet, none, aAnswer);
  }
  HRESULT GetNumber(std::string_view aName, int32_t* aValue) {
    if (aValue == nullptr) return platform::E_POINTER;
    AutomationValue answer;
    const HRESULT result = Get(aName, answer);
    *aValue = static_cast<int32_t>(
        answer.kind == AutomationValue::Kind::Boolean ? (answer.flag ? 1 : 0) : answer.number);
    return result;
  }
  HRESULT GetFlag(std::string_view aName, VariantBool* aValue) {
    if (aValue == nullptr) return platform::E_POINTER;
    AutomationValue answer;
    const HRESULT result = Get(aName, answer);
    const bool set =
        answer.kind == AutomationValue::Kind::Boolean ? answer.flag : answer.number != 0;
    *aValue = set ? kVariantTrue : kVariantFalse;
    return result;
  }
  HRESULT GetText(std::string_view aName, OleStr* aValue) {
    if (aValue == nullptr) return platform::E_POINTER;
    AutomationValue answer;
    const HRESULT result = Get(aName, answer);
    *aValue = platform::NewOleString(answer.text);
    return result;
  }
  HRESULT Put(std::string_view aName, AutomationValue aValue) {
    std::vector<AutomationValue> arguments = {std::move(aValue)};
    AutomationValue answer;
    return Invoke(aName, AutomationCall::PropertyPut, arguments, answer);
  }

  // An in-out text: the old OLE string is freed and replaced by the control's text.
  static void ReplaceText(OleStr* aText, const std::string& aNew) {
    platform::OleString old;
    old.Reset(*aText);
    *aText = platform::NewOleString(aNew);
  }

  platform::ComPtr<platform::IDispatch> fControl;
  std::atomic<uint32_t> fReferences{1};
};

}  // namespace

platform::ComPtr<IOPOSFiscalPrinter> NewDispatchFiscalPrinter(
    platform::ComPtr<platform::IDispatch> aControl) {
  return platform::ComPtr<IOPOSFiscalPrinter>::Attach(
      new DispatchFiscalPrinter(std::move(aControl)));
}

}  // namespace qv::channels
