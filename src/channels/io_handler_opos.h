// kIOHandler_OPOS: the channel of the OPOS connection type. It drives a fiscal printer through
// the OPOS Fiscal Printer control installed on the till (channels/opos_control.h): Connect
// opens, claims and enables the device named by the connection's DeviceName, Disconnect
// disables, releases and closes it, and one operation per fiscal-printer method prints
// receipt items, totals, reports, sets and reads the date and passes direct I/O through.
//
// Every operation writes its call line into the device log first. The OPOS result code of a
// fiscal operation never raises: it becomes the Boolean result and the error state
// (ErrorFound, ErrorCode, ErrorMessage = ErrorText), and a failure is logged as an error.
// A control that cannot be created or whose call fails (not installed, broken) raises
// qv::Error from the fiscal and property operations; Connect and Disconnect log it and yield
// false instead. The control object is created at the first call that needs it.
//
// The byte-stream operations of the channel base are not supported.
//
// Threading: one thread at a time; every call waits for the control, ClaimDevice at most
// ConnectTimeout ms.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/currency.h"
#include "base/date_time.h"
#include "channels/opos_control.h"
#include "framework/io_handler.h"

namespace qv::channels {

class TOPOSFiscalPrinter;

class kIOHandler_OPOS : public framework::kIOHandler {
 public:
  // Base construction (time-outs, device log, START line); DeviceName from the connection.
  // aControlLibrary is the library that serves the control on Linux ("OposFiscalPrinter.dll",
  // found as every companion library is); on Windows the control registered as
  // "OPOS.FiscalPrinter" is created instead. Nothing is created before the first call.
  kIOHandler_OPOS(const framework::kConnection* aConnection, const std::string& aDirectory,
                  const std::string& aFileName,
                  const std::string& aControlLibrary = kOposFiscalPrinterLibraryName);
  // Disconnects a connected channel and releases the control; never fails.
  ~kIOHandler_OPOS() override;

  bool Connected() override { return fConnected; }
  // The connect banner and "DeviceName=", then (after a Disconnect when connected) Open,
  // ClaimDevice(ConnectTimeout) and DeviceEnabled, each step only after the previous one
  // succeeded; the result is the DeviceEnabled read back, or false at the first failed step.
  // Connected is true afterwards whatever the result, unless the control raised a failure,
  // which is logged as "[Connect]:<message>" and gives false. Never fails.
  bool Connect() override;
  std::string ClassName() const override { return "kIOHandler_OPOS"; }

  // Disables the device, then releases it when it reads disabled, then closes it when the
  // release succeeded. Connected is false afterwards unless the control raised a failure
  // ("[Disconnect]:<message>" logged, false). Never fails.
  bool Disconnect() override;
  void ClearBuffers() override {}
  // Each fails with "<Operation> Unsupported" ("ReadUpto Unsupported" for ReadUpTo).
  bool Write(const std::string& aMessage) override;
  std::string ReadUpTo(const std::vector<uint8_t>& aChars) override;
  std::string ReadChars(int32_t aCharsNum) override;
  std::string ReadAll() override;
  bool InputBufferContainsData() override;
  // The empty text: the OPOS channel describes its failures with ErrorText.
  std::string DecodeError(int32_t aErrorCode) override { return {}; }
  void SetParameter(const std::string& aName, const std::string& aValue) override {}

  const std::string& DeviceName() const { return fDeviceName; }
  void SetDeviceName(const std::string& aValue) { fDeviceName = aValue; }

  // Fiscal operations: the call line, the control's method, CheckResult's verdict.
  bool BeginFiscalReceipt();
  bool EndFiscalReceipt();
  bool BeginNonFiscal();
  bool EndNonFiscal();
  bool BeginTraining();
  bool EndTraining();
  bool ResetPrinter();
  bool PrintXReport();
  bool PrintZReport();
  // On the receipt station.
  bool PrintNormal(const std::string& aText);
  bool PrintRecMessage(const std::string& aText);
  bool PrintRecTaxid(const std::string& aTaxId);
  // aCode is not used. The control receives the line amount aAmount as its price, the
  // quantity in thousandths (the integer part of aQuantity x 1000) and aPrice as unit price.
  // Fails with "Quantity <q> is out of range" when the thousandths do not fit 32 bits.
  bool PrintRecItem(const std::string& aCode, const std::string& aDescription,
                    base::Currency aQuantity, const std::string& aUOM, int32_t aVatCode,
                    base::Currency aPrice, base::Currency aAmount);
  bool PrintRecItemVoid(const std::string& aCode, const std::string& aDescription,
                        base::Currency aQuantity, const std::string& aUOM, int32_t aVatCode,
                        base::Currency aPrice, base::Currency aAmount);
  // The control receives the description, aAmount and the VAT code only.
  bool PrintRecRefund(const std::string& aCode, const std::string& aDescription,
                      base::Currency aQuantity, const std::string& aUOM, int32_t aVatCode,
                      base::Currency aPrice, base::Currency aAmount);
  bool PrintRecItemAdjustment(int32_t aAdjType, const std::string& aDescription,
                              base::Currency aAmount, int32_t aVatCode);
  bool PrintRecSubtotal(base::Currency aAmount);
  bool PrintRecSubtotalAdjustment(int32_t aAdjType, const std::string& aDescription,
                                  base::Currency aAmount);
  bool PrintRecTotal(base::Currency aTotalAmount, base::Currency aPaymentAmount,
                     const std::string& aDescription);
  bool PrintRecNotPaid(base::Currency aAmount, const std::string& aDescription);
  // Passes the date-time as "ddmmyyyyhhnn".
  bool SetDate(base::DateTime aDateTime);
  // The printer's date and time (seconds 0). When the control refuses, aDate is the current
  // local date and time and the result false. Fails with the integer or date conversion
  // message when the control's text is no "ddmmyyyyhhnn".
  bool GetDate(base::DateTime& aDate);
  // aOutput is the control's data on success, the empty text otherwise.
  bool GetData(int32_t aDataItem, int32_t aOptArgs, std::string& aOutput);
  // aData and aString come back as the control left them, whatever the result.
  bool DirectIO(int32_t aCommand, int32_t& aData, std::string& aString);

  // Property operations: the call line (and result line), always true.
  bool GetCoverOpen(bool& aResult);
  bool GetDayOpened(bool& aResult);
  bool GetRecEmpty(bool& aResult);
  bool GetRecNearEnd(bool& aResult);
  bool GetTrainingModeActive(bool& aResult);
  bool PrinterState(int32_t& aPrinterState);
  bool RemainingFiscalMemory(int32_t& aRemainingFiscalMemory);
  bool SetPreLine(const std::string& aDescription);
  bool SetFiscalReceiptType(int32_t aReceiptType);
  // With aClear the trailer becomes aDescription; otherwise aDescription and CR LF are
  // appended to it.
  bool SetAdditionalTrailerLine(const std::string& aDescription, bool aClear);

  // Clears the error state; for a code other than 0 builds ErrorText (with the control's
  // ResultCodeExtended for OPOS_E_EXTENDED), logs it as an error and records it. True for 0.
  bool CheckResult(int32_t aCode);
  // "[114] OPOS_E_EXTENDED [203] OPOS_EFPTR_REC_EMPTY - " + the control's ErrorString; the
  // extended part only for a non-zero aExtended; unnamed codes read " UNKNOWN".
  std::string ErrorText(int32_t aCode, int32_t aExtended);

  // " OPOS_E_CLOSED" for 101 ... " OPOS_E_DEPRECATED" for 115, otherwise " UNKNOWN".
  static std::string ResultCodeName(int32_t aCode);
  // " OPOS_EFPTR_COVER_OPEN" for 201 ... " OPOS_EFPTR_DAY_END_REQUIRED" for 224, otherwise
  // " UNKNOWN".
  static std::string ExtendedCodeName(int32_t aCode);

 private:
  // Logs aCallLine, then passes the result code of aCall through CheckResult.
  template <class Call>
  bool Run(const std::string& aCallLine, Call aCall);
  bool ReadFlag(const std::string& aCallLine, const std::string& aResultPrefix,
                HRESULT (QV_COMCALL IOPOSFiscalPrinter::*aGetter)(VariantBool*), bool& aResult);
  int32_t QuantityInThousandths(base::Currency aQuantity) const;

  std::unique_ptr<TOPOSFiscalPrinter> fOPOS;
  std::string fDeviceName;
  bool fConnected = false;
};

}  // namespace qv::channels
