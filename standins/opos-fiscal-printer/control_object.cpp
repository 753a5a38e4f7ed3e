// The in-process server OposFiscalPrinter: the class factory of the OPOS Fiscal Printer
// control (its exports are those of every stand-in server, shared/in_process_server.h) and
// the control object, which serves IOPOSFiscalPrinter (channels/opos_control.h)
// with the simulated fiscal printer and the control file (printer_control.h).
//
// A control object is a session with one printer: Open names the device, ClaimDevice takes it
// (waiting for another control that holds it), DeviceEnabled switches it on; a method that
// needs a state the session has not reached answers OPOS_E_CLOSED, OPOS_E_NOTCLAIMED or
// OPOS_E_DISABLED. Every method sets ResultCode, ResultCodeExtended (0 unless the answer has
// one; a forced answer may give one with any result) and ErrorString, and is recorded in the
// calls record.
//
// DirectIO commands: 1 gives the printer state in Data and "state=..;day=..;training=..;
// receipt=..;z=..;total=.." in the string; 2 makes the next method other than DirectIO answer
// with the result code in Data and the extended code written in the string; any other command
// answers OPOS_E_ILLEGAL.
//
// COM failures (forced through the control file, or an unexpected exception) are results
// with an error object left for the caller's DllGetErrorInfo, as the signing stand-in does.
#include <atomic>
#include <exception>
#include <optional>
#include <string>

#include "base/currency.h"
#include "base/utils.h"
#include "channels/opos_control.h"
#include "fiscal_printer.h"
#include "platform/com.h"
#include "printer_control.h"
#include "shared/in_process_server.h"
#include "shared/server_object.h"

namespace qv::standins {
namespace {

using namespace qv::channels;
using base::Currency;
using platform::Guid;

constexpr int32_t kDirectIOStatus = 1;
constexpr int32_t kDirectIOForceNext = 2;

HRESULT Fail(HRESULT aResult, const std::optional<std::string>& aDescription) {
  return FailWithErrorInfo(aResult, "OPOS.FiscalPrinter", IID_IOPOSFiscalPrinter, aDescription);
}

std::string TextOf(OleStr aText) { return platform::OleStringToUtf8(aText); }

// A text of the calls record: in single quotes, CR and LF visible.
std::string Q(const std::string& aText) {
  std::string result = "'";
  for (char c : aText) {
    if (c == '\r') {
      result += "\\r";
    } else if (c == '\n') {
      result += "\\n";
    } else {
      result += c;
    }
  }
  return result + "'";
}

std::string A(int64_t aRaw) { return base::CurrencyToXmlText(Currency::FromRaw(aRaw)); }
std::string N(int64_t aValue) { return std::to_string(aValue); }

void Give(OleStr* aOut, const std::string& aText) {
  platform::OleString old;
  old.Reset(*aOut);
  *aOut = platform::NewOleString(aText);
}

// How far a session must have come for a method.
enum class tNeeds { kNothing, kOpened, kClaimed, kEnabled };

class tControl final : public tServerObject<tControl, IOPOSFiscalPrinter, IID_IOPOSFiscalPrinter> {
 public:
  // ----- common device methods -----------------------------------------------------------

  HRESULT QV_COMCALL Open(OleStr aDeviceName, int32_t* aResult) override {
    const std::string name = TextOf(aDeviceName);
    if (!fOpened) fRecordName = name;
    return Method("Open", "Open(" + Q(name) + ")", tNeeds::kNothing, aResult,
                  [&](const tPrinterControl&) -> tAnswer {
                    if (fOpened) return {OPOS_E_ILLEGAL, 0, "Control already opened"};
                    if (name.empty()) return {OPOS_E_NOEXIST, 0, "No device name given"};
                    fOpened = true;
                    fDeviceName = name;
                    fPrinter = &tFiscalPrinter::Named(name);
                    return {};
                  });
  }

  HRESULT QV_COMCALL Close(int32_t* aResult) override {
    return Method("Close", "Close", tNeeds::kOpened, aResult, [&](const tPrinterControl&) {
      EndSession();
      return tAnswer{};
    });
  }

  HRESULT QV_COMCALL ClaimDevice(int32_t aTimeout, int32_t* aResult) override {
    return Method("ClaimDevice", "ClaimDevice(" + N(aTimeout) + ")", tNeeds::kOpened, aResult,
                  [&](const tPrinterControl&) -> tAnswer {
                    if (!fPrinter->Claim(this, aTimeout)) {
                      return {OPOS_E_TIMEOUT, 0,
                              "Device claimed by another control; waited " + N(aTimeout) + " ms"};
                    }
                    fClaimed = true;
                    return {};
                  });
  }

  HRESULT QV_COMCALL ReleaseDevice(int32_t* aResult) override {
    return Method("ReleaseDevice", "ReleaseDevice", tNeeds::kClaimed, aResult,
                  [&](const tPrinterControl&) {
                    fPrinter->Release(this);
                    fClaimed = fEnabled = false;
                    return tAnswer{};
                  });
  }

  HRESULT QV_COMCALL DirectIO(int32_t aCommand, int32_t* aData, OleStr* aString,
                              int32_t* aResult) override {
    if (aData == nullptr || aString == nullptr) return platform::E_POINTER;
    const std::string text = TextOf(*aString);
    return Method("DirectIO", "DirectIO(" + N(aCommand) + "," + N(*aData) + "," + Q(text) + ")",
                  tNeeds::kEnabled, aResult, [&](const tPrinterControl&) -> tAnswer {
                    if (aCommand == kDirectIOStatus) {
                      *aData = fPrinter->State();
                      Give(aString, fPrinter->StatusText());
                      return {};
                    }
                    if (aCommand == kDirectIOForceNext) {
                      int32_t extended = 0;
                      base::TryStrToInt(text, extended);
                      fArmed = tAnswer{*aData, extended, "Result forced by DirectIO"};
                      Give(aString, "armed");
                      return {};
                    }
                    return {OPOS_E_ILLEGAL, 0, "DirectIO command " + N(aCommand) + " not known"};
                  });
  }

  // ----- fiscal printer methods ----------------------------------------------------------

  HRESULT QV_COMCALL BeginFiscalReceipt(VariantBool aPrintHeader, int32_t* aResult) override {
    return Printer(
        "BeginFiscalReceipt", "BeginFiscalReceipt(" + Flag(aPrintHeader) + ")", aResult,
        [&](const tPrinterControl& aControl) { return fPrinter->BeginFiscalReceipt(aControl); });
  }
  HRESULT QV_COMCALL EndFiscalReceipt(VariantBool aPrintHeader, int32_t* aResult) override {
    return Printer(
        "EndFiscalReceipt", "EndFiscalReceipt(" + Flag(aPrintHeader) + ")", aResult,
        [&](const tPrinterControl& aControl) { return fPrinter->EndFiscalReceipt(aControl); });
  }
  HRESULT QV_COMCALL BeginNonFiscal(int32_t* aResult) override {
    return Printer(
        "BeginNonFiscal", "BeginNonFiscal", aResult,
        [&](const tPrinterControl& aControl) { return fPrinter->BeginNonFiscal(aControl); });
  }
  HRESULT QV_COMCALL EndNonFiscal(int32_t* aResult) override {
    return Printer("EndNonFiscal", "EndNonFiscal", aResult,
                   [&](const tPrinterControl&) { return fPrinter->EndNonFiscal(); });
  }
  HRESULT QV_COMCALL BeginTraining(int32_t* aResult) override {
    return Printer("BeginTraining", "BeginTraining", aResult,
                   [&](const tPrinterControl&) { return fPrinter->BeginTraining(); });
  }
  HRESULT QV_COMCALL EndTraining(int32_t* aResult) override {
    return Printer("EndTraining", "EndTraining", aResult,
                   [&](const tPrinterControl&) { return fPrinter->EndTraining(); });
  }
  HRESULT QV_COMCALL ResetPrinter(int32_t* aResult) override {
    return Printer("ResetPrinter", "ResetPrinter", aResult,
                   [&](const tPrinterControl&) { return fPrinter->ResetPrinter(); });
  }
  HRESULT QV_COMCALL PrintXReport(int32_t* aResult) override {
    return Printer("PrintXReport", "PrintXReport", aResult, [&](const tPrinterControl& aControl) {
      return fPrinter->PrintXReport(aControl);
    });
  }
  HRESULT QV_COMCALL PrintZReport(int32_t* aResult) override {
    return Printer("PrintZReport", "PrintZReport", aResult, [&](const tPrinterControl& aControl) {
      return fPrinter->PrintZReport(aControl);
    });
  }
  HRESULT QV_COMCALL PrintNormal(int32_t aStation, OleStr aData, int32_t* aResult) override {
    return Printer(
        "PrintNormal", "PrintNormal(" + N(aStation) + "," + Q(TextOf(aData)) + ")", aResult,
        [&](const tPrinterControl& aControl) { return fPrinter->PrintNormal(aControl, aStation); });
  }
  HRESULT QV_COMCALL PrintRecMessage(OleStr aMessage, int32_t* aResult) override {
    return Printer(
        "PrintRecMessage", "PrintRecMessage(" + Q(TextOf(aMessage)) + ")", aResult,
        [&](const tPrinterControl& aControl) { return fPrinter->PrintRecMessage(aControl); });
  }
  HRESULT QV_COMCALL PrintRecTaxID(OleStr aTaxId, int32_t* aResult) override {
    return Printer(
        "PrintRecTaxID", "PrintRecTaxID(" + Q(TextOf(aTaxId)) + ")", aResult,
        [&](const tPrinterControl& aControl) { return fPrinter->PrintRecMessage(aControl); });
  }
  HRESULT QV_COMCALL PrintRecItem(OleStr aDescription, int64_t aPrice, int32_t aQuantity,
                                  int32_t aVatInfo, int64_t aUnitPrice, OleStr aUnitName,
                                  int32_t* aResult) override {
    const std::string description = TextOf(aDescription);
    return Printer("PrintRecItem",
                   "PrintRecItem(" + Q(description) + "," + A(aPrice) + "," + N(aQuantity) + "," +
                       N(aVatInfo) + "," + A(aUnitPrice) + "," + Q(TextOf(aUnitName)) + ")",
                   aResult, [&](const tPrinterControl& aControl) {
                     return fPrinter->PrintRecItem(aControl, description, Currency::FromRaw(aPrice),
                                                   aQuantity, aVatInfo);
                   });
  }
  HRESULT QV_COMCALL PrintRecItemVoid(OleStr aDescription, int64_t aPrice, int32_t aQuantity,
                                      int32_t aVatInfo, int64_t aUnitPrice, OleStr aUnitName,
                                      int32_t* aResult) override {
    return Printer(
        "PrintRecItemVoid",
        "PrintRecItemVoid(" + Q(TextOf(aDescription)) + "," + A(aPrice) + "," + N(aQuantity) + "," +
            N(aVatInfo) + "," + A(aUnitPrice) + "," + Q(TextOf(aUnitName)) + ")",
        aResult, [&](const tPrinterControl& aControl) {
          return fPrinter->PrintRecItemVoid(aControl, Currency::FromRaw(aPrice), aQuantity);
        });
  }
  HRESULT QV_COMCALL PrintRecRefund(OleStr aDescription, int64_t aAmount, int32_t aVatInfo,
                                    int32_t* aResult) override {
    return Printer(
        "PrintRecRefund",
        "PrintRecRefund(" + Q(TextOf(aDescription)) + "," + A(aAmount) + "," + N(aVatInfo) + ")",
        aResult, [&](const tPrinterControl& aControl) {
          return fPrinter->PrintRecRefund(aControl, Currency::FromRaw(aAmount), aVatInfo);
        });
  }
  HRESULT QV_COMCALL PrintRecItemAdjustment(int32_t aAdjustmentType, OleStr aDescription,
                                            int64_t aAmount, int32_t aVatInfo,
                                            int32_t* aResult) override {
    return Printer("PrintRecItemAdjustment",
                   "PrintRecItemAdjustment(" + N(aAdjustmentType) + "," + Q(TextOf(aDescription)) +
                       "," + A(aAmount) + "," + N(aVatInfo) + ")",
                   aResult, [&](const tPrinterControl& aControl) {
                     return fPrinter->PrintRecItemAdjustment(aControl, aAdjustmentType,
                                                             Currency::FromRaw(aAmount));
                   });
  }
  HRESULT QV_COMCALL PrintRecSubtotal(int64_t aAmount, int32_t* aResult) override {
    return Printer("PrintRecSubtotal", "PrintRecSubtotal(" + A(aAmount) + ")", aResult,
                   [&](const tPrinterControl& aControl) {
                     return fPrinter->PrintRecSubtotal(aControl, Currency::FromRaw(aAmount));
                   });
  }
  HRESULT QV_COMCALL PrintRecSubtotalAdjustment(int32_t aAdjustmentType, OleStr aDescription,
                                                int64_t aAmount, int32_t* aResult) override {
    return Printer("PrintRecSubtotalAdjustment",
                   "PrintRecSubtotalAdjustment(" + N(aAdjustmentType) + "," +
                       Q(TextOf(aDescription)) + "," + A(aAmount) + ")",
                   aResult, [&](const tPrinterControl& aControl) {
                     return fPrinter->PrintRecSubtotalAdjustment(aControl, aAdjustmentType,
                                                                 Currency::FromRaw(aAmount));
                   });
  }
  HRESULT QV_COMCALL PrintRecTotal(int64_t aTotal, int64_t aPayment, OleStr aDescription,
                                   int32_t* aResult) override {
    return Printer(
        "PrintRecTotal",
        "PrintRecTotal(" + A(aTotal) + "," + A(aPayment) + "," + Q(TextOf(aDescription)) + ")",
        aResult, [&](const tPrinterControl& aControl) {
          return fPrinter->PrintRecTotal(aControl, Currency::FromRaw(aTotal),
                                         Currency::FromRaw(aPayment));
        });
  }
  HRESULT QV_COMCALL PrintRecNotPaid(OleStr aDescription, int64_t aAmount,
                                     int32_t* aResult) override {
    return Printer("PrintRecNotPaid",
                   "PrintRecNotPaid(" + Q(TextOf(aDescription)) + "," + A(aAmount) + ")", aResult,
                   [&](const tPrinterControl& aControl) {
                     return fPrinter->PrintRecNotPaid(aControl, Currency::FromRaw(aAmount));
                   });
  }
  HRESULT QV_COMCALL SetDate(OleStr aDate, int32_t* aResult) override {
    const std::string date = TextOf(aDate);
    return Printer("SetDate", "SetDate(" + Q(date) + ")", aResult,
                   [&](const tPrinterControl&) { return fPrinter->SetDate(date); });
  }
  HRESULT QV_COMCALL GetDate(OleStr* aDate, int32_t* aResult) override {
    if (aDate == nullptr) return platform::E_POINTER;
    *aDate = nullptr;
    return Printer("GetDate", "GetDate", aResult, [&](const tPrinterControl& aControl) {
      *aDate = platform::NewOleString(aControl.ForcedText("GetDate").value_or(fPrinter->Date()));
      return tAnswer{};
    });
  }
  HRESULT QV_COMCALL GetData(int32_t aDataItem, int32_t* aOptArgs, OleStr* aData,
                             int32_t* aResult) override {
    if (aOptArgs == nullptr || aData == nullptr) return platform::E_POINTER;
    *aData = nullptr;
    return Printer("GetData", "GetData(" + N(aDataItem) + "," + N(*aOptArgs) + ")", aResult,
                   [&](const tPrinterControl& aControl) {
                     std::string data;
                     tAnswer answer = fPrinter->GetData(aDataItem, fDeviceName, data);
                     if (const auto text = aControl.ForcedText("GetData")) data = *text;
                     if (answer.result == OPOS_SUCCESS) *aData = platform::NewOleString(data);
                     return answer;
                   });
  }

  // ----- properties ----------------------------------------------------------------------

  HRESULT QV_COMCALL get_ResultCode(int32_t* aValue) override {
    return Property("ResultCode", aValue, [&] { return fResultCode; });
  }
  HRESULT QV_COMCALL get_ResultCodeExtended(int32_t* aValue) override {
    return Property("ResultCodeExtended", aValue, [&] { return fResultCodeExtended; });
  }
  HRESULT QV_COMCALL get_ErrorString(OleStr* aValue) override {
    return Property("ErrorString", aValue, [&] { return platform::NewOleString(fErrorString); });
  }
  HRESULT QV_COMCALL get_State(int32_t* aValue) override {
    // OPOS_S_CLOSED 1, OPOS_S_IDLE 2.
    return Property("State", aValue, [&] { return fOpened ? 2 : 1; });
  }
  HRESULT QV_COMCALL get_Claimed(VariantBool* aValue) override {
    return Property("Claimed", aValue, [&] { return Variant(fClaimed); });
  }
  HRESULT QV_COMCALL get_DeviceEnabled(VariantBool* aValue) override {
    return Property("DeviceEnabled", aValue, [&] { return Variant(fEnabled); });
  }
  HRESULT QV_COMCALL put_DeviceEnabled(VariantBool aValue) override {
    int32_t result = 0;
    return Method("DeviceEnabled", std::string("DeviceEnabled=") + (aValue ? "True" : "False"),
                  tNeeds::kClaimed, &result, [&](const tPrinterControl&) {
                    fEnabled = aValue != 0;
                    return tAnswer{};
                  });
  }
  HRESULT QV_COMCALL get_CoverOpen(VariantBool* aValue) override {
    return Property("CoverOpen", aValue,
                    [&] { return Variant(tPrinterControl::Read().CoverOpen()); });
  }
  HRESULT QV_COMCALL get_DayOpened(VariantBool* aValue) override {
    return Property("DayOpened", aValue,
                    [&] { return Variant(fPrinter != nullptr && fPrinter->DayOpened()); });
  }
  HRESULT QV_COMCALL get_RecEmpty(VariantBool* aValue) override {
    return Property("RecEmpty", aValue,
                    [&] { return Variant(tPrinterControl::Read().PaperEmpty()); });
  }
  HRESULT QV_COMCALL get_RecNearEnd(VariantBool* aValue) override {
    return Property("RecNearEnd", aValue,
                    [&] { return Variant(tPrinterControl::Read().PaperNearEnd()); });
  }
  HRESULT QV_COMCALL get_TrainingModeActive(VariantBool* aValue) override {
    return Property("TrainingModeActive", aValue,
                    [&] { return Variant(fPrinter != nullptr && fPrinter->TrainingModeActive()); });
  }
  HRESULT QV_COMCALL get_PrinterState(int32_t* aValue) override {
    return Property("PrinterState", aValue,
                    [&] { return fPrinter != nullptr ? fPrinter->State() : FPTR_PS_MONITOR; });
  }
  HRESULT QV_COMCALL get_RemainingFiscalMemory(int32_t* aValue) override {
    return Property("RemainingFiscalMemory", aValue,
                    [&] { return tPrinterControl::Read().RemainingMemory(); });
  }
  HRESULT QV_COMCALL get_AdditionalTrailer(OleStr* aValue) override {
    return Property("AdditionalTrailer", aValue,
                    [&] { return platform::NewOleString(fAdditionalTrailer); });
  }
  HRESULT QV_COMCALL put_AdditionalTrailer(OleStr aValue) override {
    const std::string text = TextOf(aValue);
    return Setter("AdditionalTrailer", Q(text), [&] { fAdditionalTrailer = text; });
  }
  HRESULT QV_COMCALL get_PreLine(OleStr* aValue) override {
    return Property("PreLine", aValue, [&] { return platform::NewOleString(fPreLine); });
  }
  HRESULT QV_COMCALL put_PreLine(OleStr aValue) override {
    const std::string text = TextOf(aValue);
    return Setter("PreLine", Q(text), [&] { fPreLine = text; });
  }
  HRESULT QV_COMCALL get_FiscalReceiptType(int32_t* aValue) override {
    return Property("FiscalReceiptType", aValue, [&] { return fFiscalReceiptType; });
  }
  HRESULT QV_COMCALL put_FiscalReceiptType(int32_t aValue) override {
    return Setter("FiscalReceiptType", N(aValue), [&] { fFiscalReceiptType = aValue; });
  }

 private:
  friend tServerObject;
  ~tControl() { EndSession(); }

  static VariantBool Variant(bool aValue) { return aValue ? kVariantTrue : kVariantFalse; }
  static std::string Flag(VariantBool aValue) { return aValue ? "True" : "False"; }

  void EndSession() {
    if (fPrinter != nullptr && fClaimed) fPrinter->Release(this);
    fOpened = fClaimed = fEnabled = false;
    fPrinter = nullptr;
  }

  tAnswer SessionAnswer(tNeeds aNeeds) const {
    if (aNeeds >= tNeeds::kOpened && !fOpened) return {OPOS_E_CLOSED, 0, "Control not opened"};
    if (aNeeds >= tNeeds::kClaimed && !fClaimed) {
      return {OPOS_E_NOTCLAIMED, 0, "Device not claimed"};
    }
    if (aNeeds >= tNeeds::kEnabled && !fEnabled) {
      return {OPOS_E_DISABLED, 0, "Device not enabled"};
    }
    return {};
  }

  // The frame of every method: forced COM failure, forced answer (control file, then
  // DirectIO), the session's state, then aWork; the answer becomes ResultCode,
  // ResultCodeExtended and ErrorString and is recorded.
  template <class Work>
  HRESULT Method(std::string_view aOperation, const std::string& aCall, tNeeds aNeeds,
                 int32_t* aResult, Work aWork) {
    if (aResult == nullptr) return platform::E_POINTER;
    platform::SetErrorInfo(0, nullptr);
    try {
      const tPrinterControl control = tPrinterControl::Read();
      if (const auto failure = control.ForcedHResult(aOperation)) {
        return Fail(*failure, control.ErrorDescription(aOperation));
      }
      tAnswer answer;
      if (const auto forced = control.ForcedAnswer(aOperation)) {
        answer = {forced->result, forced->extended, forced->error};
      } else if (fArmed && aOperation != "DirectIO") {
        answer = *fArmed;
        fArmed.reset();
      } else {
        answer = SessionAnswer(aNeeds);
        if (answer.result == OPOS_SUCCESS) answer = aWork(control);
      }
      fResultCode = answer.result;
      fResultCodeExtended = answer.extended;
      fErrorString = answer.result == OPOS_SUCCESS ? std::string() : answer.error;
      RecordCall(fOpened ? fDeviceName : fRecordName, aCall, answer.result);
      *aResult = answer.result;
      return platform::S_OK;
    } catch (const std::exception& failure) {
      return Fail(platform::E_UNEXPECTED, std::string(failure.what()));
    }
  }

  template <class Work>
  HRESULT Printer(std::string_view aOperation, const std::string& aCall, int32_t* aResult,
                  Work aWork) {
    return Method(aOperation, aCall, tNeeds::kEnabled, aResult, aWork);
  }

  template <class Value, class Read>
  HRESULT Property(std::string_view aName, Value* aValue, Read aRead) {
    if (aValue == nullptr) return platform::E_POINTER;
    platform::SetErrorInfo(0, nullptr);
    try {
      const tPrinterControl control = tPrinterControl::Read();
      if (const auto failure = control.ForcedHResult(aName)) {
        return Fail(*failure, control.ErrorDescription(aName));
      }
      *aValue = aRead();
      return platform::S_OK;
    } catch (const std::exception& failure) {
      return Fail(platform::E_UNEXPECTED, std::string(failure.what()));
    }
  }

  template <class Write>
  HRESULT Setter(std::string_view aName, const std::string& aValueText, Write aWrite) {
    int32_t result = 0;
    return Method(aName, std::string(aName) + "=" + aValueText, tNeeds::kOpened, &result,
                  [&](const tPrinterControl&) {
                    aWrite();
                    return tAnswer{};
                  });
  }

  std::string fDeviceName;
  std::string fRecordName;
  bool fOpened = false;
  bool fClaimed = false;
  bool fEnabled = false;
  tFiscalPrinter* fPrinter = nullptr;
  int32_t fResultCode = OPOS_SUCCESS;
  int32_t fResultCodeExtended = 0;
  std::string fErrorString;
  std::optional<tAnswer> fArmed;
  std::string fAdditionalTrailer;
  std::string fPreLine;
  int32_t fFiscalReceiptType = 4;  // FPTR_RT_SALES
};

// A new control object, unless the control file makes the creation fail.
HRESULT NewControl(const Guid& aIid, void** aObject) {
  try {
    const tPrinterControl control = tPrinterControl::Read();
    if (const auto failure = control.ForcedHResult("CreateInstance")) {
      return Fail(*failure, control.ErrorDescription("CreateInstance"));
    }
    return platform::QueryNewObject(new tControl(), aIid, aObject);
  } catch (const std::exception& failure) {
    return Fail(platform::E_UNEXPECTED, std::string(failure.what()));
  }
}

}  // namespace

platform::InProcessClassFactory gClassFactory(CLSID_OPOSFiscalPrinter, &NewControl);

}  // namespace qv::standins
