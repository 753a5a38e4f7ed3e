// qvDayFigures: the figures of a till's fiscal day, as its counters file keeps them and as its
// Z- and X-reports show them: the number of the day's last receipt, the number of the day
// (the Z-report that will close it), the five daily amounts since the last Z-report and the
// five grand totals since the counters file was created.
//
// A plain value, copied, compared and passed whole: the counters store holds one, the report
// result holds one, the report wrapper of the exports returns one. A new figure is added here
// and where it is genuinely read or written (the counters file's elements, the report texts,
// the report result document), nowhere else.
//
// Threading: a value with no shared state; one object is used by one thread at a time.
#pragma once

#include <cstdint>

#include "base/currency.h"
#include "documents/codes.h"

namespace qv::framework {

struct qvDayFigures {
  int32_t CurrentReceiptNo = 0;  // the day's last receipt; 0 before its first
  int32_t CurrentReportNo = 0;   // the day's Z number (CurrentZReportNo in the counters file)
  base::Currency DailyTotal;     // DailySales - DailyRefunds - DailyVoids
  base::Currency DailySales;
  base::Currency DailyRefunds;
  base::Currency DailyVoids;
  base::Currency DailyDiscounts;
  base::Currency GrandTotalTotal;  // GrandTotalSales - GrandTotalRefunds - GrandTotalVoids
  base::Currency GrandTotalSales;
  base::Currency GrandTotalRefunds;
  base::Currency GrandTotalVoids;
  base::Currency GrandTotalDiscounts;

  // Equal when every figure is.
  bool operator==(const qvDayFigures&) const = default;

  // Whether a receipt of aReceiptType adds its amount to the totals (sales, refunds, voids);
  // invoices are counted but add nothing.
  static bool CountsAmount(documents::qvReceiptType aReceiptType);
  // The grand total that a receipt of aReceiptType adds to; 0 for types that add nothing.
  base::Currency GrandTotalOf(documents::qvReceiptType aReceiptType) const;

  // The number the day's next receipt is counted under (CountReceipt's new CurrentReceiptNo).
  int32_t NextReceiptNo() const;
  // Counts one receipt: CurrentReceiptNo advances by one for every type, and aAmount is added
  // as AddToTotals adds it.
  void CountReceipt(documents::qvReceiptType aReceiptType, base::Currency aAmount);
  // Adds aAmount with its sign to the daily and the grand total of aReceiptType (nothing for a
  // type that adds no amount) and recomputes DailyTotal and GrandTotalTotal. A negative
  // amount takes a counted receipt back out.
  void AddToTotals(documents::qvReceiptType aReceiptType, base::Currency aAmount);
  // Closes the day: CurrentReportNo advances by one, CurrentReceiptNo and the five daily
  // amounts become 0; the grand totals stay.
  void CloseDay();
};

}  // namespace qv::framework
