// The simulated fiscal printer: states, totals, numbers and clock.
#include "fiscal_printer.h"

#include <chrono>
#include <map>
#include <memory>

#include "base/utils.h"
#include "channels/opos_control.h"
#include "platform/error.h"

namespace qv::standins {
namespace {

using base::Currency;
using namespace qv::channels;

// Adjustment types of PrintRecItemAdjustment and PrintRecSubtotalAdjustment.
constexpr int32_t kAmountDiscount = 1;
constexpr int32_t kAmountSurcharge = 2;
constexpr int32_t kPercentageDiscount = 3;
constexpr int32_t kPercentageSurcharge = 4;
constexpr int32_t kHighestVatInfo = 9;

tAnswer Ok() { return {}; }
tAnswer Refused(int32_t aResult, std::string aError) { return {aResult, 0, std::move(aError)}; }
tAnswer Extended(int32_t aExtended, std::string aError) {
  return {OPOS_E_EXTENDED, aExtended, std::move(aError)};
}

// What stops the paper moving: an open cover or an empty receipt roll.
tAnswer PaperPath(const tPrinterControl& aControl) {
  if (aControl.CoverOpen()) return Extended(OPOS_EFPTR_COVER_OPEN, "Cover open");
  if (aControl.PaperEmpty()) return Extended(OPOS_EFPTR_REC_EMPTY, "Receipt paper empty");
  return Ok();
}

bool Failed(const tAnswer& aAnswer) { return aAnswer.result != OPOS_SUCCESS; }

std::string AmountDigits(Currency aAmount) { return std::to_string(aAmount.Raw()); }

}  // namespace

tFiscalPrinter& tFiscalPrinter::Named(const std::string& aDeviceName) {
  static std::mutex registryMutex;
  // Never freed: control objects of any thread may use a printer until the process ends.
  static auto* printers = new std::map<std::string, std::unique_ptr<tFiscalPrinter>>();
  std::lock_guard<std::mutex> lock(registryMutex);
  std::unique_ptr<tFiscalPrinter>& printer = (*printers)[aDeviceName];
  if (!printer) printer.reset(new tFiscalPrinter());
  return *printer;
}

bool tFiscalPrinter::Claim(const void* aOwner, int32_t aTimeout) {
  std::unique_lock<std::mutex> lock(fMutex);
  const auto released = [&] { return fOwner == nullptr || fOwner == aOwner; };
  if (aTimeout < 0) {
    fReleased.wait(lock, released);
  } else if (!fReleased.wait_for(lock, std::chrono::milliseconds(aTimeout), released)) {
    return false;
  }
  fOwner = aOwner;
  return true;
}

void tFiscalPrinter::Release(const void* aOwner) {
  {
    std::lock_guard<std::mutex> lock(fMutex);
    if (fOwner != aOwner) return;
    fOwner = nullptr;
  }
  fReleased.notify_all();
}

tAnswer tFiscalPrinter::InState(int32_t aState) const {
  if (fState == aState) return Ok();
  return Extended(OPOS_EFPTR_WRONG_STATE, "Printer state is " + std::to_string(fState) +
                                              ", the operation needs " + std::to_string(aState));
}

tAnswer tFiscalPrinter::ChangeTotal(Currency aChange) {
  Currency total;
  try {
    total = fReceiptTotal + aChange;
  } catch (const Error&) {
    return Extended(OPOS_EFPTR_RECEIPT_TOTAL_OVERFLOW, "Receipt total overflow");
  }
  if (total < Currency()) return Extended(OPOS_EFPTR_NEGATIVE_TOTAL, "Receipt total negative");
  fReceiptTotal = total;
  return Ok();
}

Currency tFiscalPrinter::Percentage(Currency aBase, Currency aRate) const {
  return aBase * aRate / Currency::FromInteger(100);
}

tAnswer tFiscalPrinter::BeginFiscalReceipt(const tPrinterControl& aControl) {
  std::lock_guard<std::mutex> lock(fMutex);
  if (tAnswer answer = InState(FPTR_PS_MONITOR); Failed(answer)) return answer;
  if (tAnswer answer = PaperPath(aControl); Failed(answer)) return answer;
  if (aControl.RemainingMemory() <= 0) {
    return Extended(OPOS_EFPTR_FISCAL_MEMORY_FULL, "Fiscal memory full");
  }
  fState = FPTR_PS_FISCAL_RECEIPT;
  fReceiptTotal = fPaid = fLastItem = Currency();
  fDayOpened = true;
  return Ok();
}

tAnswer tFiscalPrinter::EndFiscalReceipt(const tPrinterControl& aControl) {
  std::lock_guard<std::mutex> lock(fMutex);
  if (tAnswer answer = InState(FPTR_PS_FISCAL_RECEIPT_ENDING); Failed(answer)) return answer;
  if (tAnswer answer = PaperPath(aControl); Failed(answer)) return answer;
  if (!fTraining) {
    fDailyTotal += fReceiptTotal;
    fGrandTotal += fReceiptTotal;
    ++fReceiptNumber;
  }
  fState = FPTR_PS_MONITOR;
  return Ok();
}

tAnswer tFiscalPrinter::BeginNonFiscal(const tPrinterControl& aControl) {
  std::lock_guard<std::mutex> lock(fMutex);
  if (tAnswer answer = InState(FPTR_PS_MONITOR); Failed(answer)) return answer;
  if (tAnswer answer = PaperPath(aControl); Failed(answer)) return answer;
  fState = FPTR_PS_NONFISCAL;
  return Ok();
}

tAnswer tFiscalPrinter::EndNonFiscal() {
  std::lock_guard<std::mutex> lock(fMutex);
  if (tAnswer answer = InState(FPTR_PS_NONFISCAL); Failed(answer)) return answer;
  fState = FPTR_PS_MONITOR;
  return Ok();
}

tAnswer tFiscalPrinter::BeginTraining() {
  std::lock_guard<std::mutex> lock(fMutex);
  if (tAnswer answer = InState(FPTR_PS_MONITOR); Failed(answer)) return answer;
  if (fTraining) return Extended(OPOS_EFPTR_WRONG_STATE, "Training mode already active");
  fTraining = true;
  return Ok();
}

tAnswer tFiscalPrinter::EndTraining() {
  std::lock_guard<std::mutex> lock(fMutex);
  if (!fTraining) return Extended(OPOS_EFPTR_WRONG_STATE, "Training mode not active");
  fTraining = false;
  return Ok();
}

tAnswer tFiscalPrinter::ResetPrinter() {
  std::lock_guard<std::mutex> lock(fMutex);
  fState = FPTR_PS_MONITOR;
  fReceiptTotal = fPaid = fLastItem = Currency();
  return Ok();
}

tAnswer tFiscalPrinter::PrintXReport(const tPrinterControl& aControl) {
  std::lock_guard<std::mutex> lock(fMutex);
  if (tAnswer answer = InState(FPTR_PS_MONITOR); Failed(answer)) return answer;
  return PaperPath(aControl);
}

tAnswer tFiscalPrinter::PrintZReport(const tPrinterControl& aControl) {
  std::lock_guard<std::mutex> lock(fMutex);
  if (tAnswer answer = InState(FPTR_PS_MONITOR); Failed(answer)) return answer;
  if (tAnswer answer = PaperPath(aControl); Failed(answer)) return answer;
  if (aControl.RemainingMemory() <= 0) {
    return Extended(OPOS_EFPTR_FISCAL_MEMORY_FULL, "Fiscal memory full");
  }
  ++fZNumber;
  fDailyTotal = Currency();
  fDayOpened = false;
  return Ok();
}

tAnswer tFiscalPrinter::PrintNormal(const tPrinterControl& aControl, int32_t aStation) {
  std::lock_guard<std::mutex> lock(fMutex);
  if (aStation != FPTR_S_RECEIPT) {
    return Refused(OPOS_E_ILLEGAL, "Station " + std::to_string(aStation) + " is not present");
  }
  if (tAnswer answer = InState(FPTR_PS_NONFISCAL); Failed(answer)) return answer;
  return PaperPath(aControl);
}

tAnswer tFiscalPrinter::PrintRecMessage(const tPrinterControl& aControl) {
  std::lock_guard<std::mutex> lock(fMutex);
  if (fState != FPTR_PS_FISCAL_RECEIPT && fState != FPTR_PS_FISCAL_RECEIPT_TOTAL &&
      fState != FPTR_PS_FISCAL_RECEIPT_ENDING) {
    return InState(FPTR_PS_FISCAL_RECEIPT);
  }
  return PaperPath(aControl);
}

tAnswer tFiscalPrinter::PrintRecItem(const tPrinterControl& aControl,
                                     const std::string& aDescription, Currency aPrice,
                                     int32_t aQuantity, int32_t aVatInfo) {
  std::lock_guard<std::mutex> lock(fMutex);
  if (tAnswer answer = InState(FPTR_PS_FISCAL_RECEIPT); Failed(answer)) return answer;
  if (tAnswer answer = PaperPath(aControl); Failed(answer)) return answer;
  if (aQuantity <= 0) return Extended(OPOS_EFPTR_BAD_ITEM_QUANTITY, "Quantity must be positive");
  if (aPrice < Currency()) return Extended(OPOS_EFPTR_BAD_ITEM_AMOUNT, "Amount is negative");
  if (aDescription.empty()) {
    return Extended(OPOS_EFPTR_BAD_ITEM_DESCRIPTION, "Description is empty");
  }
  if (aVatInfo < 1 || aVatInfo > kHighestVatInfo) {
    return Extended(OPOS_EFPTR_BAD_VAT, "VAT code " + std::to_string(aVatInfo) + " is not set");
  }
  if (tAnswer answer = ChangeTotal(aPrice); Failed(answer)) return answer;
  fLastItem = aPrice;
  return Ok();
}

tAnswer tFiscalPrinter::PrintRecItemVoid(const tPrinterControl& aControl, Currency aPrice,
                                         int32_t aQuantity) {
  std::lock_guard<std::mutex> lock(fMutex);
  if (tAnswer answer = InState(FPTR_PS_FISCAL_RECEIPT); Failed(answer)) return answer;
  if (tAnswer answer = PaperPath(aControl); Failed(answer)) return answer;
  if (aQuantity <= 0) return Extended(OPOS_EFPTR_BAD_ITEM_QUANTITY, "Quantity must be positive");
  return ChangeTotal(-aPrice);
}

tAnswer tFiscalPrinter::PrintRecRefund(const tPrinterControl& aControl, Currency aAmount,
                                       int32_t aVatInfo) {
  std::lock_guard<std::mutex> lock(fMutex);
  if (tAnswer answer = InState(FPTR_PS_FISCAL_RECEIPT); Failed(answer)) return answer;
  if (tAnswer answer = PaperPath(aControl); Failed(answer)) return answer;
  if (aAmount < Currency()) return Extended(OPOS_EFPTR_BAD_ITEM_AMOUNT, "Amount is negative");
  if (aVatInfo < 1 || aVatInfo > kHighestVatInfo) {
    return Extended(OPOS_EFPTR_BAD_VAT, "VAT code " + std::to_string(aVatInfo) + " is not set");
  }
  return ChangeTotal(-aAmount);
}

tAnswer tFiscalPrinter::PrintRecItemAdjustment(const tPrinterControl& aControl, int32_t aType,
                                               Currency aAmount) {
  std::lock_guard<std::mutex> lock(fMutex);
  if (tAnswer answer = InState(FPTR_PS_FISCAL_RECEIPT); Failed(answer)) return answer;
  if (tAnswer answer = PaperPath(aControl); Failed(answer)) return answer;
  switch (aType) {
    case kAmountDiscount:
      return ChangeTotal(-aAmount);
    case kAmountSurcharge:
      return ChangeTotal(aAmount);
    case kPercentageDiscount:
      return ChangeTotal(-Percentage(fLastItem, aAmount));
    case kPercentageSurcharge:
      return ChangeTotal(Percentage(fLastItem, aAmount));
    default:
      return Refused(OPOS_E_ILLEGAL, "Adjustment type " + std::to_string(aType) + " not known");
  }
}

tAnswer tFiscalPrinter::PrintRecSubtotal(const tPrinterControl& aControl, Currency aAmount) {
  std::lock_guard<std::mutex> lock(fMutex);
  if (tAnswer answer = InState(FPTR_PS_FISCAL_RECEIPT); Failed(answer)) return answer;
  if (tAnswer answer = PaperPath(aControl); Failed(answer)) return answer;
  if (!aAmount.IsZero() && aAmount != fReceiptTotal) {
    return Extended(OPOS_EFPTR_FISCAL_TOTALS_ERROR, "Subtotal " + AmountDigits(aAmount) +
                                                        " differs from the printer's " +
                                                        AmountDigits(fReceiptTotal));
  }
  return Ok();
}

tAnswer tFiscalPrinter::PrintRecSubtotalAdjustment(const tPrinterControl& aControl, int32_t aType,
                                                   Currency aAmount) {
  std::lock_guard<std::mutex> lock(fMutex);
  if (tAnswer answer = InState(FPTR_PS_FISCAL_RECEIPT); Failed(answer)) return answer;
  if (tAnswer answer = PaperPath(aControl); Failed(answer)) return answer;
  switch (aType) {
    case kAmountDiscount:
      return ChangeTotal(-aAmount);
    case kAmountSurcharge:
      return ChangeTotal(aAmount);
    case kPercentageDiscount:
      return ChangeTotal(-Percentage(fReceiptTotal, aAmount));
    case kPercentageSurcharge:
      return ChangeTotal(Percentage(fReceiptTotal, aAmount));
    default:
      return Refused(OPOS_E_ILLEGAL, "Adjustment type " + std::to_string(aType) + " not known");
  }
}

tAnswer tFiscalPrinter::PrintRecTotal(const tPrinterControl& aControl, Currency aTotal,
                                      Currency aPayment) {
  std::lock_guard<std::mutex> lock(fMutex);
  if (fState != FPTR_PS_FISCAL_RECEIPT_TOTAL) {
    if (tAnswer answer = InState(FPTR_PS_FISCAL_RECEIPT); Failed(answer)) return answer;
  }
  if (tAnswer answer = PaperPath(aControl); Failed(answer)) return answer;
  if (aTotal != fReceiptTotal) {
    return Extended(OPOS_EFPTR_FISCAL_TOTALS_ERROR, "Total " + AmountDigits(aTotal) +
                                                        " differs from the printer's " +
                                                        AmountDigits(fReceiptTotal));
  }
  if (aPayment < Currency()) return Extended(OPOS_EFPTR_BAD_PRICE, "Payment is negative");
  fPaid += aPayment;
  fState = fPaid >= fReceiptTotal ? FPTR_PS_FISCAL_RECEIPT_ENDING : FPTR_PS_FISCAL_RECEIPT_TOTAL;
  return Ok();
}

tAnswer tFiscalPrinter::PrintRecNotPaid(const tPrinterControl& aControl, Currency aAmount) {
  std::lock_guard<std::mutex> lock(fMutex);
  if (fState != FPTR_PS_FISCAL_RECEIPT_TOTAL) return InState(FPTR_PS_FISCAL_RECEIPT_TOTAL);
  if (tAnswer answer = PaperPath(aControl); Failed(answer)) return answer;
  if (aAmount < Currency()) return Extended(OPOS_EFPTR_BAD_PRICE, "Amount is negative");
  fPaid += aAmount;
  if (fPaid >= fReceiptTotal) fState = FPTR_PS_FISCAL_RECEIPT_ENDING;
  return Ok();
}

tAnswer tFiscalPrinter::SetDate(const std::string& aDate) {
  std::lock_guard<std::mutex> lock(fMutex);
  if (fDayOpened) return Extended(OPOS_EFPTR_DAY_END_REQUIRED, "Day open: print a Z-report first");
  base::DateTimeParts parts;
  base::DateTime value = 0;
  const bool digits =
      aDate.size() == 12 && aDate.find_first_not_of("0123456789") == std::string::npos;
  if (digits) {
    parts.day = std::stoi(aDate.substr(0, 2));
    parts.month = std::stoi(aDate.substr(2, 2));
    parts.year = std::stoi(aDate.substr(4, 4));
    parts.hour = std::stoi(aDate.substr(8, 2));
    parts.minute = std::stoi(aDate.substr(10, 2));
  }
  if (!digits || !base::TryEncodeDateTime(parts, value)) {
    return Extended(OPOS_EFPTR_BAD_DATE, "Date '" + aDate + "' is not ddmmyyyyhhnn");
  }
  fClockOffset = value - base::NowDateTime();
  return Ok();
}

std::string tFiscalPrinter::Date() const {
  std::lock_guard<std::mutex> lock(fMutex);
  return base::FormatDateTime("ddmmyyyyhhnn", base::NowDateTime() + fClockOffset);
}

tAnswer tFiscalPrinter::GetData(int32_t aDataItem, const std::string& aDeviceName,
                                std::string& aData) const {
  std::lock_guard<std::mutex> lock(fMutex);
  switch (aDataItem) {
    case FPTR_GD_CURRENT_TOTAL:
      aData = AmountDigits(fReceiptTotal);
      return Ok();
    case FPTR_GD_DAILY_TOTAL:
      aData = AmountDigits(fDailyTotal);
      return Ok();
    case FPTR_GD_RECEIPT_NUMBER:
      aData = std::to_string(fReceiptNumber);
      return Ok();
    case FPTR_GD_Z_REPORT:
      aData = std::to_string(fZNumber);
      return Ok();
    case FPTR_GD_GRAND_TOTAL:
      aData = AmountDigits(fGrandTotal);
      return Ok();
    case FPTR_GD_PRINTER_ID:
      aData = "SIM-" + aDeviceName;
      return Ok();
    case FPTR_GD_FIRMWARE:
      aData = "OPOS simulated fiscal printer 1.11";
      return Ok();
    default:
      return Refused(OPOS_E_ILLEGAL, "Data item " + std::to_string(aDataItem) + " not known");
  }
}

std::string tFiscalPrinter::StatusText() const {
  std::lock_guard<std::mutex> lock(fMutex);
  return "state=" + std::to_string(fState) + ";day=" + (fDayOpened ? "1" : "0") +
         ";training=" + (fTraining ? "1" : "0") + ";receipt=" + std::to_string(fReceiptNumber) +
         ";z=" + std::to_string(fZNumber) + ";total=" + base::CurrencyToXmlText(fReceiptTotal);
}

int32_t tFiscalPrinter::State() const {
  std::lock_guard<std::mutex> lock(fMutex);
  return fState;
}

bool tFiscalPrinter::DayOpened() const {
  std::lock_guard<std::mutex> lock(fMutex);
  return fDayOpened;
}

bool tFiscalPrinter::TrainingModeActive() const {
  std::lock_guard<std::mutex> lock(fMutex);
  return fTraining;
}

}  // namespace qv::standins
