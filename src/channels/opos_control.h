// The OPOS (UnifiedPOS) Fiscal Printer control as this library reaches it: class and
// interface ids, the result and extended result codes it answers with, and its interface
// IOPOSFiscalPrinter as a COM-style table of operations.
//
// On Windows the control is the device's registered COM control, reached by late binding.
// On Linux it is an in-process server library, "OposFiscalPrinter.so" (the control's
// programmatic name "OPOS.FiscalPrinter" without its dot), found and created as every
// in-process server is (platform/com.h): the library's DllGetClassObject gives the class
// factory of CLSID_OPOSFiscalPrinter, whose CreateInstance gives IOPOSFiscalPrinter.
//
// Layout of IOPOSFiscalPrinter on Linux (this table is the contract with the server):
//   slots 1-3   IUnknown (QueryInterface, AddRef, Release)
//   slots 4-7   IDispatch (present for COM's layout; the control is not called through them)
//   slots 8-12  the common device methods Open, Close, ClaimDevice, ReleaseDevice, DirectIO
//   slots 13-35 the fiscal printer methods, in the order declared below
//   slots 36-55 the properties, each as get_ and (when writable) put_
// Conventions, as a dual interface declares them:
//   - every slot returns an HRESULT; a failure result means the call itself failed (the control
//     is broken or missing), and its error object, when one is left, describes it;
//   - the OPOS result code of a method is its last argument, [out, retval] int32_t*;
//   - texts are OLE strings; an in-text is borrowed, an out-text is allocated by the control and
//     freed by the caller, an in-out text may be replaced by the control (which then frees the
//     old one);
//   - Booleans are VARIANT_BOOL: int16_t, -1 true and 0 false (any non-zero value reads true);
//   - amounts are the currency type: int64_t count of ten-thousandths;
//   - quantities are int32_t thousandths.
//
// Threading: one thread at a time per control object.
#pragma once

#include <cstdint>

#include "platform/com.h"

namespace qv::channels {

using platform::HRESULT;
using platform::OleStr;

inline constexpr platform::Guid CLSID_OPOSFiscalPrinter =
    platform::GuidOf("{CCB90072-B81E-11D2-AB74-0040054C3719}");
inline constexpr platform::Guid IID_IOPOSFiscalPrinter =
    platform::GuidOf("{CCB95071-B81E-11D2-AB74-0040054C3719}");

// The control's file name; the Linux server is "OposFiscalPrinter.so".
inline constexpr const char* kOposFiscalPrinterLibraryName = "OposFiscalPrinter.dll";

using VariantBool = int16_t;
inline constexpr VariantBool kVariantTrue = -1;
inline constexpr VariantBool kVariantFalse = 0;

// Result codes (ResultCode).
inline constexpr int32_t OPOS_SUCCESS = 0;
inline constexpr int32_t OPOS_E_CLOSED = 101;
inline constexpr int32_t OPOS_E_CLAIMED = 102;
inline constexpr int32_t OPOS_E_NOTCLAIMED = 103;
inline constexpr int32_t OPOS_E_NOSERVICE = 104;
inline constexpr int32_t OPOS_E_DISABLED = 105;
inline constexpr int32_t OPOS_E_ILLEGAL = 106;
inline constexpr int32_t OPOS_E_NOHARDWARE = 107;
inline constexpr int32_t OPOS_E_OFFLINE = 108;
inline constexpr int32_t OPOS_E_NOEXIST = 109;
inline constexpr int32_t OPOS_E_EXISTS = 110;
inline constexpr int32_t OPOS_E_FAILURE = 111;
inline constexpr int32_t OPOS_E_TIMEOUT = 112;
inline constexpr int32_t OPOS_E_BUSY = 113;
inline constexpr int32_t OPOS_E_EXTENDED = 114;
inline constexpr int32_t OPOS_E_DEPRECATED = 115;

// Extended result codes of the fiscal printer (ResultCodeExtended with OPOS_E_EXTENDED).
inline constexpr int32_t OPOS_EFPTR_COVER_OPEN = 201;
inline constexpr int32_t OPOS_EFPTR_JRN_EMPTY = 202;
inline constexpr int32_t OPOS_EFPTR_REC_EMPTY = 203;
inline constexpr int32_t OPOS_EFPTR_SLP_EMPTY = 204;
inline constexpr int32_t OPOS_EFPTR_SLP_FORM = 205;
inline constexpr int32_t OPOS_EFPTR_MISSING_DEVICES = 206;
inline constexpr int32_t OPOS_EFPTR_WRONG_STATE = 207;
inline constexpr int32_t OPOS_EFPTR_TECHNICAL_ASSISTANCE = 208;
inline constexpr int32_t OPOS_EFPTR_CLOCK_ERROR = 209;
inline constexpr int32_t OPOS_EFPTR_FISCAL_MEMORY_FULL = 210;
inline constexpr int32_t OPOS_EFPTR_FISCAL_MEMORY_DISCONNECTED = 211;
inline constexpr int32_t OPOS_EFPTR_FISCAL_TOTALS_ERROR = 212;
inline constexpr int32_t OPOS_EFPTR_BAD_ITEM_QUANTITY = 213;
inline constexpr int32_t OPOS_EFPTR_BAD_ITEM_AMOUNT = 214;
inline constexpr int32_t OPOS_EFPTR_BAD_ITEM_DESCRIPTION = 215;
inline constexpr int32_t OPOS_EFPTR_RECEIPT_TOTAL_OVERFLOW = 216;
inline constexpr int32_t OPOS_EFPTR_BAD_VAT = 217;
inline constexpr int32_t OPOS_EFPTR_BAD_PRICE = 218;
inline constexpr int32_t OPOS_EFPTR_BAD_DATE = 219;
inline constexpr int32_t OPOS_EFPTR_NEGATIVE_TOTAL = 220;
inline constexpr int32_t OPOS_EFPTR_WORD_NOT_ALLOWED = 221;
inline constexpr int32_t OPOS_EFPTR_BAD_LENGTH = 222;
inline constexpr int32_t OPOS_EFPTR_MISSING_SET_CURRENCY = 223;
inline constexpr int32_t OPOS_EFPTR_DAY_END_REQUIRED = 224;

// Print stations, printer states and data items used with the control.
inline constexpr int32_t FPTR_S_RECEIPT = 2;
inline constexpr int32_t FPTR_PS_MONITOR = 1;
inline constexpr int32_t FPTR_PS_FISCAL_RECEIPT = 2;
inline constexpr int32_t FPTR_PS_FISCAL_RECEIPT_TOTAL = 3;
inline constexpr int32_t FPTR_PS_FISCAL_RECEIPT_ENDING = 4;
inline constexpr int32_t FPTR_PS_NONFISCAL = 9;
inline constexpr int32_t FPTR_PS_REPORT = 10;
inline constexpr int32_t FPTR_GD_CURRENT_TOTAL = 1;
inline constexpr int32_t FPTR_GD_DAILY_TOTAL = 2;
inline constexpr int32_t FPTR_GD_RECEIPT_NUMBER = 3;
inline constexpr int32_t FPTR_GD_Z_REPORT = 7;
inline constexpr int32_t FPTR_GD_GRAND_TOTAL = 8;
inline constexpr int32_t FPTR_GD_PRINTER_ID = 9;
inline constexpr int32_t FPTR_GD_FIRMWARE = 10;

class IOPOSFiscalPrinter : public platform::IDispatch {
 public:
  // Common device methods.
  virtual HRESULT QV_COMCALL Open(OleStr aDeviceName, int32_t* aResult) = 0;
  virtual HRESULT QV_COMCALL Close(int32_t* aResult) = 0;
  // Waits at most aTimeout ms for a device that another control holds (-1: without limit).
  virtual HRESULT QV_COMCALL ClaimDevice(int32_t aTimeout, int32_t* aResult) = 0;
  virtual HRESULT QV_COMCALL ReleaseDevice(int32_t* aResult) = 0;
  virtual HRESULT QV_COMCALL DirectIO(int32_t aCommand, int32_t* aData, OleStr* aString,
                                      int32_t* aResult) = 0;

  // Fiscal printer methods.
  virtual HRESULT QV_COMCALL BeginFiscalReceipt(VariantBool aPrintHeader, int32_t* aResult) = 0;
  virtual HRESULT QV_COMCALL EndFiscalReceipt(VariantBool aPrintHeader, int32_t* aResult) = 0;
  virtual HRESULT QV_COMCALL BeginNonFiscal(int32_t* aResult) = 0;
  virtual HRESULT QV_COMCALL EndNonFiscal(int32_t* aResult) = 0;
  virtual HRESULT QV_COMCALL BeginTraining(int32_t* aResult) = 0;
  virtual HRESULT QV_COMCALL EndTraining(int32_t* aResult) = 0;
  virtual HRESULT QV_COMCALL ResetPrinter(int32_t* aResult) = 0;
  virtual HRESULT QV_COMCALL PrintXReport(int32_t* aResult) = 0;
  virtual HRESULT QV_COMCALL PrintZReport(int32_t* aResult) = 0;
  virtual HRESULT QV_COMCALL PrintNormal(int32_t aStation, OleStr aData, int32_t* aResult) = 0;
  virtual HRESULT QV_COMCALL PrintRecMessage(OleStr aMessage, int32_t* aResult) = 0;
  virtual HRESULT QV_COMCALL PrintRecTaxID(OleStr aTaxId, int32_t* aResult) = 0;
  // aPrice is the line's amount; aQuantity in thousandths.
  virtual HRESULT QV_COMCALL PrintRecItem(OleStr aDescription, int64_t aPrice, int32_t aQuantity,
                                          int32_t aVatInfo, int64_t aUnitPrice, OleStr aUnitName,
                                          int32_t* aResult) = 0;
  virtual HRESULT QV_COMCALL PrintRecItemVoid(OleStr aDescription, int64_t aPrice,
                                              int32_t aQuantity, int32_t aVatInfo,
                                              int64_t aUnitPrice, OleStr aUnitName,
                                              int32_t* aResult) = 0;
  virtual HRESULT QV_COMCALL PrintRecRefund(OleStr aDescription, int64_t aAmount, int32_t aVatInfo,
                                            int32_t* aResult) = 0;
  virtual HRESULT QV_COMCALL PrintRecItemAdjustment(int32_t aAdjustmentType, OleStr aDescription,
                                                    int64_t aAmount, int32_t aVatInfo,
                                                    int32_t* aResult) = 0;
  virtual HRESULT QV_COMCALL PrintRecSubtotal(int64_t aAmount, int32_t* aResult) = 0;
  virtual HRESULT QV_COMCALL PrintRecSubtotalAdjustment(int32_t aAdjustmentType,
                                                        OleStr aDescription, int64_t aAmount,
                                                        int32_t* aResult) = 0;
  virtual HRESULT QV_COMCALL PrintRecTotal(int64_t aTotal, int64_t aPayment, OleStr aDescription,
                                           int32_t* aResult) = 0;
  virtual HRESULT QV_COMCALL PrintRecNotPaid(OleStr aDescription, int64_t aAmount,
                                             int32_t* aResult) = 0;
  // aDate is "ddmmyyyyhhnn".
  virtual HRESULT QV_COMCALL SetDate(OleStr aDate, int32_t* aResult) = 0;
  virtual HRESULT QV_COMCALL GetDate(OleStr* aDate, int32_t* aResult) = 0;
  virtual HRESULT QV_COMCALL GetData(int32_t aDataItem, int32_t* aOptArgs, OleStr* aData,
                                     int32_t* aResult) = 0;

  // Properties.
  virtual HRESULT QV_COMCALL get_ResultCode(int32_t* aValue) = 0;
  virtual HRESULT QV_COMCALL get_ResultCodeExtended(int32_t* aValue) = 0;
  virtual HRESULT QV_COMCALL get_ErrorString(OleStr* aValue) = 0;
  virtual HRESULT QV_COMCALL get_State(int32_t* aValue) = 0;
  virtual HRESULT QV_COMCALL get_Claimed(VariantBool* aValue) = 0;
  virtual HRESULT QV_COMCALL get_DeviceEnabled(VariantBool* aValue) = 0;
  // Sets ResultCode: OPOS_E_NOTCLAIMED when the device is not claimed.
  virtual HRESULT QV_COMCALL put_DeviceEnabled(VariantBool aValue) = 0;
  virtual HRESULT QV_COMCALL get_CoverOpen(VariantBool* aValue) = 0;
  virtual HRESULT QV_COMCALL get_DayOpened(VariantBool* aValue) = 0;
  virtual HRESULT QV_COMCALL get_RecEmpty(VariantBool* aValue) = 0;
  virtual HRESULT QV_COMCALL get_RecNearEnd(VariantBool* aValue) = 0;
  virtual HRESULT QV_COMCALL get_TrainingModeActive(VariantBool* aValue) = 0;
  virtual HRESULT QV_COMCALL get_PrinterState(int32_t* aValue) = 0;
  virtual HRESULT QV_COMCALL get_RemainingFiscalMemory(int32_t* aValue) = 0;
  virtual HRESULT QV_COMCALL get_AdditionalTrailer(OleStr* aValue) = 0;
  virtual HRESULT QV_COMCALL put_AdditionalTrailer(OleStr aValue) = 0;
  virtual HRESULT QV_COMCALL get_PreLine(OleStr* aValue) = 0;
  virtual HRESULT QV_COMCALL put_PreLine(OleStr aValue) = 0;
  virtual HRESULT QV_COMCALL get_FiscalReceiptType(int32_t* aValue) = 0;
  virtual HRESULT QV_COMCALL put_FiscalReceiptType(int32_t aValue) = 0;

 protected:
  ~IOPOSFiscalPrinter() = default;
};

}  // namespace qv::channels
