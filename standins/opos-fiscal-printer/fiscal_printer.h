// The simulated fiscal printer behind the stand-in OPOS Fiscal Printer control: one printer
// per device name, shared by every control object of the process, as one physical printer is
// shared by the programs of a till.
//
// It keeps what a fiscal printer keeps: who has claimed it, its printer state (monitor,
// fiscal receipt, total, ending, non-fiscal), training mode, the open receipt's total and
// payments, the day's and the grand total, the receipt and Z-report numbers and its own clock
// (set with SetDate, read with GetDate). Every operation checks the state an OPOS fiscal printer
// requires and the conditions of the control file (cover, paper, fiscal memory), and answers
// with a result code, an extended code and an error text. The fiscal memory lives as long as
// the library stays loaded; claims are seen by the control objects of this process only.
//
// Amounts are counts of ten-thousandths; quantities thousandths. GetData gives amounts as that
// count in decimal digits (12.5 is "125000"), as OPOS gives currency data with implied
// decimals.
//
// Thread-safe: every operation takes the printer's lock; Claim waits without holding it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "base/currency.h"
#include "base/date_time.h"
#include "printer_control.h"

namespace qv::standins {

struct tAnswer {
  int32_t result = 0;
  int32_t extended = 0;
  std::string error;
};

class tFiscalPrinter {
 public:
  // The printer of that device name; created at first use, never destroyed.
  static tFiscalPrinter& Named(const std::string& aDeviceName);

  // Claims the printer for aOwner, waiting at most aTimeout ms (-1: without limit) for the
  // current owner to release it. True when aOwner holds the claim afterwards.
  bool Claim(const void* aOwner, int32_t aTimeout);
  // Gives up aOwner's claim (nothing when aOwner does not hold it).
  void Release(const void* aOwner);

  tAnswer BeginFiscalReceipt(const tPrinterControl& aControl);
  tAnswer EndFiscalReceipt(const tPrinterControl& aControl);
  tAnswer BeginNonFiscal(const tPrinterControl& aControl);
  tAnswer EndNonFiscal();
  tAnswer BeginTraining();
  tAnswer EndTraining();
  tAnswer ResetPrinter();
  tAnswer PrintXReport(const tPrinterControl& aControl);
  tAnswer PrintZReport(const tPrinterControl& aControl);
  tAnswer PrintNormal(const tPrinterControl& aControl, int32_t aStation);
  tAnswer PrintRecMessage(const tPrinterControl& aControl);
  tAnswer PrintRecItem(const tPrinterControl& aControl, const std::string& aDescription,
                       base::Currency aPrice, int32_t aQuantity, int32_t aVatInfo);
  tAnswer PrintRecItemVoid(const tPrinterControl& aControl, base::Currency aPrice,
                           int32_t aQuantity);
  tAnswer PrintRecRefund(const tPrinterControl& aControl, base::Currency aAmount, int32_t aVatInfo);
  tAnswer PrintRecItemAdjustment(const tPrinterControl& aControl, int32_t aType,
                                 base::Currency aAmount);
  tAnswer PrintRecSubtotal(const tPrinterControl& aControl, base::Currency aAmount);
  tAnswer PrintRecSubtotalAdjustment(const tPrinterControl& aControl, int32_t aType,
                                     base::Currency aAmount);
  tAnswer PrintRecTotal(const tPrinterControl& aControl, base::Currency aTotal,
                        base::Currency aPayment);
  tAnswer PrintRecNotPaid(const tPrinterControl& aControl, base::Currency aAmount);
  // aDate "ddmmyyyyhhnn"; refused while the day is open.
  tAnswer SetDate(const std::string& aDate);
  // The printer's clock as "ddmmyyyyhhnn".
  std::string Date() const;
  tAnswer GetData(int32_t aDataItem, const std::string& aDeviceName, std::string& aData) const;
  // "state=<n>;day=<0|1>;training=<0|1>;receipt=<n>;z=<n>;total=<amount>".
  std::string StatusText() const;

  int32_t State() const;
  bool DayOpened() const;
  bool TrainingModeActive() const;

 private:
  tFiscalPrinter() = default;

  tAnswer InState(int32_t aState) const;
  // The open receipt's total changed by aChange; refused when it would turn negative.
  tAnswer ChangeTotal(base::Currency aChange);
  base::Currency Percentage(base::Currency aBase, base::Currency aRate) const;

  mutable std::mutex fMutex;
  std::condition_variable fReleased;
  const void* fOwner = nullptr;

  int32_t fState = 1;
  bool fTraining = false;
  bool fDayOpened = false;
  base::Currency fReceiptTotal;
  base::Currency fPaid;
  base::Currency fLastItem;
  base::Currency fDailyTotal;
  base::Currency fGrandTotal;
  int32_t fReceiptNumber = 0;
  int32_t fZNumber = 0;
  base::DateTime fClockOffset = 0;  // the printer's clock minus the till's, in days
};

}  // namespace qv::standins
