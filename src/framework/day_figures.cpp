#include "framework/day_figures.h"

namespace qv::framework {

namespace {

using base::Currency;

// The counters never reach these limits on a real till; wrapping instead of overflowing
// keeps the arithmetic defined.
int32_t NextNumber(int32_t aValue) {
  return static_cast<int32_t>(static_cast<uint32_t>(aValue) + 1u);
}

}  // namespace

int32_t qvDayFigures::NextReceiptNo() const { return NextNumber(CurrentReceiptNo); }

bool qvDayFigures::CountsAmount(documents::qvReceiptType aReceiptType) {
  return aReceiptType == documents::rt_Sale || aReceiptType == documents::rt_Refund ||
         aReceiptType == documents::rt_Void;
}

Currency qvDayFigures::GrandTotalOf(documents::qvReceiptType aReceiptType) const {
  switch (aReceiptType) {
    case documents::rt_Sale:
      return GrandTotalSales;
    case documents::rt_Refund:
      return GrandTotalRefunds;
    case documents::rt_Void:
      return GrandTotalVoids;
    default:
      return Currency();
  }
}

void qvDayFigures::CountReceipt(documents::qvReceiptType aReceiptType, Currency aAmount) {
  CurrentReceiptNo = NextNumber(CurrentReceiptNo);
  AddToTotals(aReceiptType, aAmount);
}

void qvDayFigures::AddToTotals(documents::qvReceiptType aReceiptType, Currency aAmount) {
  switch (aReceiptType) {
    case documents::rt_Sale:
      DailySales += aAmount;
      GrandTotalSales += aAmount;
      break;
    case documents::rt_Refund:
      DailyRefunds += aAmount;
      GrandTotalRefunds += aAmount;
      break;
    case documents::rt_Void:
      DailyVoids += aAmount;
      GrandTotalVoids += aAmount;
      break;
    default:  // invoices are counted but add no amount
      break;
  }
  DailyTotal = DailySales - DailyRefunds - DailyVoids;
  GrandTotalTotal = GrandTotalSales - GrandTotalRefunds - GrandTotalVoids;
}

void qvDayFigures::CloseDay() {
  CurrentReportNo = NextNumber(CurrentReportNo);
  CurrentReceiptNo = 0;
  DailyTotal = Currency();
  DailySales = Currency();
  DailyRefunds = Currency();
  DailyVoids = Currency();
  DailyDiscounts = Currency();
}

}  // namespace qv::framework
