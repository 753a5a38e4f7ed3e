#include "channels/io_handler_opos.h"

#include <limits>
#include <utility>

#include "base/utils.h"
#include "channels/opos_dispatch.h"
#include "framework/device_handler.h"
#include "platform/error.h"
#include "platform/ole_string.h"

namespace qv::channels {

using framework::let_error;
using framework::let_info;
using platform::OleString;

// The control object of one channel, created on first use so that a control that is not
// installed fails the call that needs it (and is retried by the next one), not the channel.
class TOPOSFiscalPrinter {
 public:
  explicit TOPOSFiscalPrinter(std::string aLibraryName) : fLibraryName(std::move(aLibraryName)) {}

  // The control's interface; raises "<system text>, ClassID: {...} (<details>)" when it
  // cannot be created.
  IOPOSFiscalPrinter& Control() {
    if (!fControl) Create();
    return *fControl.Get();
  }

  // Runs a method and gives its OPOS result code; a control that leaves no code failed.
  template <class Call>
  int32_t Method(Call aCall) {
    int32_t result = OPOS_E_FAILURE;
    Check(aCall(Control(), &result));
    return result;
  }

  template <class Value>
  Value Get(HRESULT (QV_COMCALL IOPOSFiscalPrinter::*aGetter)(Value*)) {
    Value value{};
    Check((Control().*aGetter)(&value));
    return value;
  }
  std::string GetText(HRESULT (QV_COMCALL IOPOSFiscalPrinter::*aGetter)(OleStr*)) {
    OleString value;
    Check((Control().*aGetter)(value.Out()));
    return value.ToUtf8();
  }
  template <class Value>
  void Put(HRESULT (QV_COMCALL IOPOSFiscalPrinter::*aSetter)(Value), Value aValue) {
    Check((Control().*aSetter)(aValue));
  }
  void PutText(HRESULT (QV_COMCALL IOPOSFiscalPrinter::*aSetter)(OleStr),
               const std::string& aText) {
    OleString value(aText);
    Check((Control().*aSetter)(value.Get()));
  }

 private:
  // Windows: the control registered under its programmatic name, driven by late binding
  // (a vendor's control has its own interface layout). Linux: the in-process server.
  void Create() {
    std::string details;
    HRESULT result;
    if (platform::kClassRegistration) {
      platform::ComPtr<platform::IDispatch> control;
      result = platform::CreateAutomationObject(kOposFiscalPrinterProgId, control.Out(), details);
      if (platform::Succeeded(result)) fControl = NewDispatchFiscalPrinter(std::move(control));
    } else {
      result = platform::CreateInProcessObject(fLibraryName, CLSID_OPOSFiscalPrinter,
                                               IID_IOPOSFiscalPrinter, fControl.OutVoid(), details);
    }
    if (platform::Failed(result)) {
      std::string message = platform::HResultText(result) +
                            ", ClassID: " + platform::GuidToString(CLSID_OPOSFiscalPrinter);
      if (!details.empty()) message += " (" + details + ")";
      throw Error(message);
    }
  }

  static void Check(HRESULT aResult) {
    if (platform::Failed(aResult)) throw Error(platform::FailedCallMessage(aResult));
  }

  std::string fLibraryName;
  platform::ComPtr<IOPOSFiscalPrinter> fControl;
};

namespace {

// x in single quotes with every single quote inside doubled.
std::string Quoted(const std::string& aText) {
  std::string result = "'";
  for (char c : aText) {
    result += c;
    if (c == '\'') result += '\'';
  }
  return result + "'";
}

std::string Amount(base::Currency aAmount) { return framework::kIOHandler::FormatAmount(aAmount); }

std::string BooleanText(bool aValue) { return aValue ? "True" : "False"; }

VariantBool ToVariant(bool aValue) { return aValue ? kVariantTrue : kVariantFalse; }

// Characters aFrom (1-based) to aFrom + aCount - 1 of aText, fewer at its end.
std::string Copy(const std::string& aText, std::size_t aFrom, std::size_t aCount) {
  if (aFrom > aText.size()) return {};
  return aText.substr(aFrom - 1, aCount);
}

constexpr const char* kResultCodeNames[] = {
    "OPOS_E_CLOSED",   "OPOS_E_CLAIMED",  "OPOS_E_NOTCLAIMED", "OPOS_E_NOSERVICE",
    "OPOS_E_DISABLED", "OPOS_E_ILLEGAL",  "OPOS_E_NOHARDWARE", "OPOS_E_OFFLINE",
    "OPOS_E_NOEXIST",  "OPOS_E_EXISTS",   "OPOS_E_FAILURE",    "OPOS_E_TIMEOUT",
    "OPOS_E_BUSY",     "OPOS_E_EXTENDED", "OPOS_E_DEPRECATED"};

constexpr const char* kExtendedCodeNames[] = {"OPOS_EFPTR_COVER_OPEN",
                                              "OPOS_EFPTR_JRN_EMPTY",
                                              "OPOS_EFPTR_REC_EMPTY",
                                              "OPOS_EFPTR_SLP_EMPTY",
                                              "OPOS_EFPTR_SLP_FORM",
                                              "OPOS_EFPTR_MISSING_DEVICES",
                                              "OPOS_EFPTR_WRONG_STATE",
                                              "OPOS_EFPTR_TECHNICAL_ASSISTANCE",
                                              "OPOS_EFPTR_CLOCK_ERROR",
                                              "OPOS_EFPTR_FISCAL_MEMORY_FULL",
                                              "OPOS_EFPTR_FISCAL_MEMORY_DISCONNECTED",
                                              "OPOS_EFPTR_FISCAL_TOTALS_ERROR",
                                              "OPOS_EFPTR_BAD_ITEM_QUANTITY",
                                              "OPOS_EFPTR_BAD_ITEM_AMOUNT",
                                              "OPOS_EFPTR_BAD_ITEM_DESCRIPTION",
                                              "OPOS_EFPTR_RECEIPT_TOTAL_OVERFLOW",
                                              "OPOS_EFPTR_BAD_VAT",
                                              "OPOS_EFPTR_BAD_PRICE",
                                              "OPOS_EFPTR_BAD_DATE",
                                              "OPOS_EFPTR_NEGATIVE_TOTAL",
                                              "OPOS_EFPTR_WORD_NOT_ALLOWED",
                                              "OPOS_EFPTR_BAD_LENGTH",
                                              "OPOS_EFPTR_MISSING_SET_CURRENCY",
                                              "OPOS_EFPTR_DAY_END_REQUIRED"};

template <std::size_t N>
std::string NameIn(const char* const (&aNames)[N], int32_t aFirst, int32_t aCode) {
  if (aCode < aFirst || aCode >= aFirst + static_cast<int32_t>(N)) return " UNKNOWN";
  return std::string(" ") + aNames[aCode - aFirst];
}

}  // namespace

// ----- construction and connection ---------------------------------------------------------

kIOHandler_OPOS::kIOHandler_OPOS(const framework::kConnection* aConnection,
                                 const std::string& aDirectory, const std::string& aFileName,
                                 const std::string& aControlLibrary)
    : kIOHandler(aConnection, aDirectory, aFileName),
      fOPOS(std::make_unique<TOPOSFiscalPrinter>(aControlLibrary)) {
  if (aConnection != nullptr) fDeviceName = aConnection->DeviceName();
}

kIOHandler_OPOS::~kIOHandler_OPOS() {
  try {
    if (Connected()) Disconnect();
  } catch (...) {
    // Only the log can fail here (a log moved to an empty name); the control is released.
  }
  fOPOS.reset();
}

bool kIOHandler_OPOS::Connect() {
  kIOHandler::Connect();
  Debug(let_info, "DeviceName=" + fDeviceName);
  try {
    if (Connected()) Disconnect();
    Debug(let_info, "[Connect]->Open(" + fDeviceName + ")");
    bool result = CheckResult(fOPOS->Method([&](IOPOSFiscalPrinter& aControl, int32_t* aResult) {
      OleString deviceName(fDeviceName);
      return aControl.Open(deviceName.Get(), aResult);
    }));
    if (result) {
      Debug(let_info, "[Connect]->ClaimDevice(" + std::to_string(ConnectTimeout()) + ")");
      result = CheckResult(fOPOS->Method([&](IOPOSFiscalPrinter& aControl, int32_t* aResult) {
        return aControl.ClaimDevice(ConnectTimeout(), aResult);
      }));
    }
    if (result) {
      Debug(let_info, "[Connect]->DeviceEnabled:=true");
      fOPOS->Put(&IOPOSFiscalPrinter::put_DeviceEnabled, ToVariant(true));
      result = fOPOS->Get(&IOPOSFiscalPrinter::get_DeviceEnabled) != 0;
    }
    fConnected = true;
    return result;
  } catch (const std::exception& failure) {
    Debug(let_error, std::string("[Connect]:") + failure.what());
    return false;
  }
}

bool kIOHandler_OPOS::Disconnect() {
  try {
    Debug(let_info, "[Disconnect]->DeviceEnabled:=false");
    fOPOS->Put(&IOPOSFiscalPrinter::put_DeviceEnabled, ToVariant(false));
    bool result = false;
    if (fOPOS->Get(&IOPOSFiscalPrinter::get_DeviceEnabled) == 0) {
      Debug(let_info, "[Disconnect]->ReleaseDevice");
      result = CheckResult(fOPOS->Method([](IOPOSFiscalPrinter& aControl, int32_t* aResult) {
        return aControl.ReleaseDevice(aResult);
      }));
      if (result) {
        Debug(let_info, "[Disconnect]->Close");
        result = CheckResult(fOPOS->Method([](IOPOSFiscalPrinter& aControl, int32_t* aResult) {
          return aControl.Close(aResult);
        }));
      }
    }
    fConnected = false;
    return result;
  } catch (const std::exception& failure) {
    Debug(let_error, std::string("[Disconnect]:") + failure.what());
    return false;
  }
}

bool kIOHandler_OPOS::Write(const std::string& aMessage) { throw Error("Write Unsupported"); }

std::string kIOHandler_OPOS::ReadUpTo(const std::vector<uint8_t>& aChars) {
  throw Error("ReadUpto Unsupported");
}

std::string kIOHandler_OPOS::ReadChars(int32_t aCharsNum) { throw Error("ReadChars Unsupported"); }

std::string kIOHandler_OPOS::ReadAll() { throw Error("ReadAll Unsupported"); }

bool kIOHandler_OPOS::InputBufferContainsData() {
  throw Error("InputBufferContainsData Unsupported");
}

// ----- result codes ------------------------------------------------------------------------

bool kIOHandler_OPOS::CheckResult(int32_t aCode) {
  ResetCustomError();
  if (aCode == OPOS_SUCCESS) return true;
  const int32_t extended =
      aCode == OPOS_E_EXTENDED ? fOPOS->Get(&IOPOSFiscalPrinter::get_ResultCodeExtended) : 0;
  const std::string text = ErrorText(aCode, extended);
  Debug(let_error, text);
  SetCustomError(aCode, text);
  return false;
}

std::string kIOHandler_OPOS::ErrorText(int32_t aCode, int32_t aExtended) {
  std::string text = "[" + std::to_string(aCode) + "]" + ResultCodeName(aCode);
  if (aExtended != 0) {
    text += " [" + std::to_string(aExtended) + "]" + ExtendedCodeName(aExtended);
  }
  return text + " - " + fOPOS->GetText(&IOPOSFiscalPrinter::get_ErrorString);
}

std::string kIOHandler_OPOS::ResultCodeName(int32_t aCode) {
  return NameIn(kResultCodeNames, OPOS_E_CLOSED, aCode);
}

std::string kIOHandler_OPOS::ExtendedCodeName(int32_t aCode) {
  return NameIn(kExtendedCodeNames, OPOS_EFPTR_COVER_OPEN, aCode);
}

template <class Call>
bool kIOHandler_OPOS::Run(const std::string& aCallLine, Call aCall) {
  Debug(let_info, aCallLine);
  return CheckResult(fOPOS->Method(aCall));
}

// ----- fiscal operations -------------------------------------------------------------------

bool kIOHandler_OPOS::BeginFiscalReceipt() {
  return Run("[BeginFiscalReceipt]->BeginFiscalReceipt(true)",
             [](IOPOSFiscalPrinter& aControl, int32_t* aResult) {
               return aControl.BeginFiscalReceipt(ToVariant(true), aResult);
             });
}

bool kIOHandler_OPOS::EndFiscalReceipt() {
  return Run("[EndFiscalReceipt]->EndFiscalReceipt(false)",
             [](IOPOSFiscalPrinter& aControl, int32_t* aResult) {
               return aControl.EndFiscalReceipt(ToVariant(false), aResult);
             });
}

#define QV_OPOS_PLAIN_METHOD(Name)                                                         \
  bool kIOHandler_OPOS::Name() {                                                           \
    return Run("[" #Name "]->" #Name, [](IOPOSFiscalPrinter& aControl, int32_t* aResult) { \
      return aControl.Name(aResult);                                                       \
    });                                                                                    \
  }

QV_OPOS_PLAIN_METHOD(BeginNonFiscal)
QV_OPOS_PLAIN_METHOD(EndNonFiscal)
QV_OPOS_PLAIN_METHOD(BeginTraining)
QV_OPOS_PLAIN_METHOD(EndTraining)
QV_OPOS_PLAIN_METHOD(ResetPrinter)
QV_OPOS_PLAIN_METHOD(PrintXReport)
QV_OPOS_PLAIN_METHOD(PrintZReport)

#undef QV_OPOS_PLAIN_METHOD

bool kIOHandler_OPOS::PrintNormal(const std::string& aText) {
  return Run(
      "[PrintNormal]->PrintNormal(" + std::to_string(FPTR_S_RECEIPT) + "," + Quoted(aText) + ")",
      [&](IOPOSFiscalPrinter& aControl, int32_t* aResult) {
        OleString text(aText);
        return aControl.PrintNormal(FPTR_S_RECEIPT, text.Get(), aResult);
      });
}

bool kIOHandler_OPOS::PrintRecMessage(const std::string& aText) {
  return Run("[PrintRecMessage]->PrintRecMessage(" + Quoted(aText) + ")",
             [&](IOPOSFiscalPrinter& aControl, int32_t* aResult) {
               OleString text(aText);
               return aControl.PrintRecMessage(text.Get(), aResult);
             });
}

bool kIOHandler_OPOS::PrintRecTaxid(const std::string& aTaxId) {
  return Run("[PrintRecTaxid]->PrintRecTaxid(" + Quoted(aTaxId) + ")",
             [&](IOPOSFiscalPrinter& aControl, int32_t* aResult) {
               OleString taxId(aTaxId);
               return aControl.PrintRecTaxID(taxId.Get(), aResult);
             });
}

int32_t kIOHandler_OPOS::QuantityInThousandths(base::Currency aQuantity) const {
  // Ten-thousandths to thousandths, the fraction of a thousandth dropped.
  const int64_t thousandths = aQuantity.Raw() / 10;
  if (thousandths < std::numeric_limits<int32_t>::min() ||
      thousandths > std::numeric_limits<int32_t>::max()) {
    throw Error("Quantity " + Amount(aQuantity) + " is out of range");
  }
  return static_cast<int32_t>(thousandths);
}

bool kIOHandler_OPOS::PrintRecItem(const std::string& aCode, const std::string& aDescription,
                                   base::Currency aQuantity, const std::string& aUOM,
                                   int32_t aVatCode, base::Currency aPrice,
                                   base::Currency aAmount) {
  return Run("[PrintRecItem]->PrintRecItem(" + Quoted(aDescription) + "," + Amount(aAmount) + "," +
                 std::to_string(aQuantity.Raw() / base::Currency::kScale) + "," +
                 std::to_string(aVatCode) + "," + Amount(aPrice) + "," + Quoted(aUOM) + ")",
             [&](IOPOSFiscalPrinter& aControl, int32_t* aResult) {
               OleString description(aDescription);
               OleString unitName(aUOM);
               const int32_t quantity = QuantityInThousandths(aQuantity);
               return aControl.PrintRecItem(description.Get(), aAmount.Raw(), quantity, aVatCode,
                                            aPrice.Raw(), unitName.Get(), aResult);
             });
}

bool kIOHandler_OPOS::PrintRecItemVoid(const std::string& aCode, const std::string& aDescription,
                                       base::Currency aQuantity, const std::string& aUOM,
                                       int32_t aVatCode, base::Currency aPrice,
                                       base::Currency aAmount) {
  return Run("[PrintRecItemVoid]->PrintRecItemVoid(" + Quoted(aDescription) + "," +
                 Amount(aAmount) + "," + std::to_string(aVatCode) + "," + Amount(aPrice) + "," +
                 Quoted(aUOM) + ")",
             [&](IOPOSFiscalPrinter& aControl, int32_t* aResult) {
               OleString description(aDescription);
               OleString unitName(aUOM);
               const int32_t quantity = QuantityInThousandths(aQuantity);
               return aControl.PrintRecItemVoid(description.Get(), aAmount.Raw(), quantity,
                                                aVatCode, aPrice.Raw(), unitName.Get(), aResult);
             });
}

bool kIOHandler_OPOS::PrintRecRefund(const std::string& aCode, const std::string& aDescription,
                                     base::Currency aQuantity, const std::string& aUOM,
                                     int32_t aVatCode, base::Currency aPrice,
                                     base::Currency aAmount) {
  return Run("[PrintRecRefund]->PrintRecRefund(" + Quoted(aDescription) + "," + Amount(aAmount) +
                 "," + std::to_string(aVatCode) + ")",
             [&](IOPOSFiscalPrinter& aControl, int32_t* aResult) {
               OleString description(aDescription);
               return aControl.PrintRecRefund(description.Get(), aAmount.Raw(), aVatCode, aResult);
             });
}

bool kIOHandler_OPOS::PrintRecItemAdjustment(int32_t aAdjType, const std::string& aDescription,
                                             base::Currency aAmount, int32_t aVatCode) {
  return Run("[PrintRecItemAdjustment]->PrintRecItemAdjustment(" + std::to_string(aAdjType) + "," +
                 Quoted(aDescription) + "," + Amount(aAmount) + "," + std::to_string(aVatCode) +
                 ")",
             [&](IOPOSFiscalPrinter& aControl, int32_t* aResult) {
               OleString description(aDescription);
               return aControl.PrintRecItemAdjustment(aAdjType, description.Get(), aAmount.Raw(),
                                                      aVatCode, aResult);
             });
}

bool kIOHandler_OPOS::PrintRecSubtotal(base::Currency aAmount) {
  return Run("[PrintRecSubtotal]->PrintRecSubTotal(" + Amount(aAmount) + ")",
             [&](IOPOSFiscalPrinter& aControl, int32_t* aResult) {
               return aControl.PrintRecSubtotal(aAmount.Raw(), aResult);
             });
}

bool kIOHandler_OPOS::PrintRecSubtotalAdjustment(int32_t aAdjType, const std::string& aDescription,
                                                 base::Currency aAmount) {
  return Run("[PrintRecSubtotalAdjustment]->PrintRecSubtotalAdjustment(" +
                 std::to_string(aAdjType) + "," + Quoted(aDescription) + "," + Amount(aAmount) +
                 ")",
             [&](IOPOSFiscalPrinter& aControl, int32_t* aResult) {
               OleString description(aDescription);
               return aControl.PrintRecSubtotalAdjustment(aAdjType, description.Get(),
                                                          aAmount.Raw(), aResult);
             });
}

bool kIOHandler_OPOS::PrintRecTotal(base::Currency aTotalAmount, base::Currency aPaymentAmount,
                                    const std::string& aDescription) {
  return Run("[PrintRecTotal]->PrintRecTotal(" + Amount(aTotalAmount) + "," +
                 Amount(aPaymentAmount) + "," + Quoted(aDescription) + ")",
             [&](IOPOSFiscalPrinter& aControl, int32_t* aResult) {
               OleString description(aDescription);
               return aControl.PrintRecTotal(aTotalAmount.Raw(), aPaymentAmount.Raw(),
                                             description.Get(), aResult);
             });
}

bool kIOHandler_OPOS::PrintRecNotPaid(base::Currency aAmount, const std::string& aDescription) {
  return Run(
      "[PrintRecNotPaid]->PrintRecNotPaid(" + Quoted(aDescription) + "," + Amount(aAmount) + ")",
      [&](IOPOSFiscalPrinter& aControl, int32_t* aResult) {
        OleString description(aDescription);
        return aControl.PrintRecNotPaid(description.Get(), aAmount.Raw(), aResult);
      });
}

// ----- date, data and direct I/O -----------------------------------------------------------

bool kIOHandler_OPOS::SetDate(base::DateTime aDateTime) {
  const std::string date = base::FormatDateTime("ddmmyyyyhhnn", aDateTime);
  return Run("[SetDate]->SetDate(" + Quoted(date) + ")",
             [&](IOPOSFiscalPrinter& aControl, int32_t* aResult) {
               OleString text(date);
               return aControl.SetDate(text.Get(), aResult);
             });
}

bool kIOHandler_OPOS::GetDate(base::DateTime& aDate) {
  std::string date;
  const bool result =
      Run("[GetDate]->GetDate", [&](IOPOSFiscalPrinter& aControl, int32_t* aResult) {
        OleString text;
        const HRESULT called = aControl.GetDate(text.Out(), aResult);
        date = text.ToUtf8();
        return called;
      });
  if (!result) {
    aDate = base::NowDateTime();
    return false;
  }
  Debug(let_info, "[GetDate]->aDate=" + date);
  base::DateTimeParts parts;
  parts.day = base::StrToInt(Copy(date, 1, 2));
  parts.month = base::StrToInt(Copy(date, 3, 2));
  parts.year = base::StrToInt(Copy(date, 5, 4));
  parts.hour = base::StrToInt(Copy(date, 9, 2));
  parts.minute = base::StrToInt(Copy(date, 11, 2));
  aDate = base::EncodeDateTime(parts);
  return true;
}

bool kIOHandler_OPOS::GetData(int32_t aDataItem, int32_t aOptArgs, std::string& aOutput) {
  std::string data;
  const bool result = Run("[GetData]->GetData(" + std::to_string(aDataItem) + "," +
                              std::to_string(aOptArgs) + ",aOutput)",
                          [&](IOPOSFiscalPrinter& aControl, int32_t* aResult) {
                            int32_t optArgs = aOptArgs;
                            OleString text;
                            const HRESULT called =
                                aControl.GetData(aDataItem, &optArgs, text.Out(), aResult);
                            data = text.ToUtf8();
                            return called;
                          });
  if (result) {
    Debug(let_info, "[GetData]->aOutput=" + data);
    aOutput = data;
  } else {
    aOutput.clear();
  }
  return result;
}

bool kIOHandler_OPOS::DirectIO(int32_t aCommand, int32_t& aData, std::string& aString) {
  const bool result = Run("[DirectIO]->DirectIO(" + std::to_string(aCommand) + "," +
                              std::to_string(aData) + "," + Quoted(aString) + ")",
                          [&](IOPOSFiscalPrinter& aControl, int32_t* aResult) {
                            OleString text(aString);
                            const HRESULT called =
                                aControl.DirectIO(aCommand, &aData, text.InOut(), aResult);
                            aString = text.ToUtf8();
                            return called;
                          });
  Debug(let_info,
        "[DirectIO]->Output(Data:=" + std::to_string(aData) + ", Obj:=" + Quoted(aString) + ")");
  return result;
}

// ----- properties --------------------------------------------------------------------------

bool kIOHandler_OPOS::ReadFlag(const std::string& aCallLine, const std::string& aResultPrefix,
                               HRESULT (QV_COMCALL IOPOSFiscalPrinter::*aGetter)(VariantBool*),
                               bool& aResult) {
  Debug(let_info, aCallLine);
  aResult = fOPOS->Get(aGetter) != 0;
  Debug(let_info, aResultPrefix + BooleanText(aResult));
  return true;
}

bool kIOHandler_OPOS::GetCoverOpen(bool& aResult) {
  return ReadFlag("[GetCoverOpen]->CoverOpen(aResult)",
                  "[GetCoverOpen]->CoverOpen=", &IOPOSFiscalPrinter::get_CoverOpen, aResult);
}

bool kIOHandler_OPOS::GetDayOpened(bool& aResult) {
  return ReadFlag("[GetDayOpened]->DayOpened(aResult)",
                  "[GetDayOpened]->aResult=", &IOPOSFiscalPrinter::get_DayOpened, aResult);
}

bool kIOHandler_OPOS::GetRecEmpty(bool& aResult) {
  return ReadFlag("[GetRecEmpty]->RecEmpty(aResult)",
                  "[GetRecEmpty]->aResult=", &IOPOSFiscalPrinter::get_RecEmpty, aResult);
}

bool kIOHandler_OPOS::GetRecNearEnd(bool& aResult) {
  return ReadFlag("[GetRecNearEmpty]->RecNearEmpty(aResult)",
                  "[GetRecNearEmpty]->aResult=", &IOPOSFiscalPrinter::get_RecNearEnd, aResult);
}

bool kIOHandler_OPOS::GetTrainingModeActive(bool& aResult) {
  return ReadFlag("[GetTrainingModeActive]->TrainingModeActive(aResult)",
                  "[GetTrainingModeActive]->aResult=", &IOPOSFiscalPrinter::get_TrainingModeActive,
                  aResult);
}

bool kIOHandler_OPOS::PrinterState(int32_t& aPrinterState) {
  Debug(let_info, "[PrinterState]->PrinterState(aPrinterState)");
  aPrinterState = fOPOS->Get(&IOPOSFiscalPrinter::get_PrinterState);
  Debug(let_info, "[PrinterState]->aPrinterState=" + std::to_string(aPrinterState));
  return true;
}

bool kIOHandler_OPOS::RemainingFiscalMemory(int32_t& aRemainingFiscalMemory) {
  Debug(let_info, "[RemainingFiscalMemory]->RemainingFiscalMemory(aRemainingFiscalMemory)");
  aRemainingFiscalMemory = fOPOS->Get(&IOPOSFiscalPrinter::get_RemainingFiscalMemory);
  Debug(let_info, "[RemainingFiscalMemory]->aRemainingFiscalMemory=" +
                      std::to_string(aRemainingFiscalMemory));
  return true;
}

bool kIOHandler_OPOS::SetPreLine(const std::string& aDescription) {
  Debug(let_info, "[SetPreLine]->PreLine=" + Quoted(aDescription));
  fOPOS->PutText(&IOPOSFiscalPrinter::put_PreLine, aDescription);
  return true;
}

bool kIOHandler_OPOS::SetFiscalReceiptType(int32_t aReceiptType) {
  Debug(let_info, "[SetFiscalReceiptType]->FiscalReceiptType=" + std::to_string(aReceiptType));
  fOPOS->Put(&IOPOSFiscalPrinter::put_FiscalReceiptType, aReceiptType);
  return true;
}

bool kIOHandler_OPOS::SetAdditionalTrailerLine(const std::string& aDescription, bool aClear) {
  if (aClear) {
    Debug(let_info, "[SetAdditionalTrailerLine]->AdditionalTrailer=" + Quoted(aDescription));
    fOPOS->PutText(&IOPOSFiscalPrinter::put_AdditionalTrailer, aDescription);
  } else {
    Debug(let_info, "[SetAdditionalTrailerLine]->AdditionalTrailer=+" + Quoted(aDescription));
    const std::string current = fOPOS->GetText(&IOPOSFiscalPrinter::get_AdditionalTrailer);
    fOPOS->PutText(&IOPOSFiscalPrinter::put_AdditionalTrailer, current + aDescription + "\r\n");
  }
  return true;
}

}  // namespace qv::channels
