#include "framework/day_figures.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <string>

#include "base/currency.h"
#include "base/utils.h"

namespace qv::framework {

// Failure messages name every figure.
void PrintTo(const qvDayFigures& aFigures, std::ostream* aOut) {
  auto amount = [](base::Currency aValue) { return base::CurrencyToXmlText(aValue); };
  *aOut << "receipt " << aFigures.CurrentReceiptNo << ", Z " << aFigures.CurrentReportNo
        << ", daily " << amount(aFigures.DailyTotal) << "/" << amount(aFigures.DailySales) << "/"
        << amount(aFigures.DailyRefunds) << "/" << amount(aFigures.DailyVoids) << "/"
        << amount(aFigures.DailyDiscounts) << ", grand " << amount(aFigures.GrandTotalTotal) << "/"
        << amount(aFigures.GrandTotalSales) << "/" << amount(aFigures.GrandTotalRefunds) << "/"
        << amount(aFigures.GrandTotalVoids) << "/" << amount(aFigures.GrandTotalDiscounts);
}

namespace {

using base::Currency;

Currency Amount(const char* aText) { return base::StrToCurrency(aText); }

// The amounts of one kind, in the order of the counters file.
struct tAmounts {
  const char* total;
  const char* sales;
  const char* refunds;
  const char* voids;
  const char* discounts;
};

qvDayFigures Figures(int32_t aReceiptNo, int32_t aReportNo, tAmounts aDaily, tAmounts aGrand) {
  qvDayFigures figures;
  figures.CurrentReceiptNo = aReceiptNo;
  figures.CurrentReportNo = aReportNo;
  figures.DailyTotal = Amount(aDaily.total);
  figures.DailySales = Amount(aDaily.sales);
  figures.DailyRefunds = Amount(aDaily.refunds);
  figures.DailyVoids = Amount(aDaily.voids);
  figures.DailyDiscounts = Amount(aDaily.discounts);
  figures.GrandTotalTotal = Amount(aGrand.total);
  figures.GrandTotalSales = Amount(aGrand.sales);
  figures.GrandTotalRefunds = Amount(aGrand.refunds);
  figures.GrandTotalVoids = Amount(aGrand.voids);
  figures.GrandTotalDiscounts = Amount(aGrand.discounts);
  return figures;
}

// A day in the middle of its business: receipt 12 of Z-report 3, grand totals from earlier days.
qvDayFigures OpenDay() {
  return Figures(12, 3, {"75", "100", "20", "5", "1.5"}, {"750", "1000", "200", "50", "15"});
}

TEST(DayFigures, ASaleARefundAndAVoidAddToTheirOwnTotalsAndEveryReceiptIsNumbered) {
  qvDayFigures figures = OpenDay();
  figures.CountReceipt(documents::rt_Sale, Amount("10.25"));
  figures.CountReceipt(documents::rt_Refund, Amount("3"));
  figures.CountReceipt(documents::rt_Void, Amount("0.25"));
  figures.CountReceipt(documents::rt_InvoiceSale, Amount("99"));  // numbered, adds nothing

  EXPECT_EQ(figures, Figures(16, 3, {"82", "110.25", "23", "5.25", "1.5"},
                             {"757", "1010.25", "203", "50.25", "15"}));
}

TEST(DayFigures, TakingAReceiptBackRestoresTheTotalsButNotItsNumber) {
  qvDayFigures figures = OpenDay();
  figures.CountReceipt(documents::rt_Refund, Amount("7.5"));
  figures.AddToTotals(documents::rt_Refund, -Amount("7.5"));

  EXPECT_EQ(figures,
            Figures(13, 3, {"75", "100", "20", "5", "1.5"}, {"750", "1000", "200", "50", "15"}));
}

TEST(DayFigures, TheGrandTotalOfAReceiptTypeIsTheOneItAddsTo) {
  const qvDayFigures figures = OpenDay();
  EXPECT_EQ(figures.GrandTotalOf(documents::rt_Sale), Amount("1000"));
  EXPECT_EQ(figures.GrandTotalOf(documents::rt_Refund), Amount("200"));
  EXPECT_EQ(figures.GrandTotalOf(documents::rt_Void), Amount("50"));
  EXPECT_EQ(figures.GrandTotalOf(documents::rt_InvoiceSale), Currency());
  EXPECT_TRUE(qvDayFigures::CountsAmount(documents::rt_Refund));
  EXPECT_FALSE(qvDayFigures::CountsAmount(documents::rt_InvoiceSaleFromReceipt));
}

TEST(DayFigures, ClosingTheDayStartsTheNextOneWithTheGrandTotalsKept) {
  qvDayFigures figures = OpenDay();
  figures.CloseDay();
  EXPECT_EQ(figures, Figures(0, 4, {"0", "0", "0", "0", "0"}, {"750", "1000", "200", "50", "15"}));

  // The next day counts from its first receipt.
  figures.CountReceipt(documents::rt_Sale, Amount("2"));
  EXPECT_EQ(figures, Figures(1, 4, {"2", "2", "0", "0", "0"}, {"752", "1002", "200", "50", "15"}));
}

TEST(DayFigures, NumbersAtTheirLimitWrapInsteadOfOverflowing) {
  qvDayFigures figures;
  figures.CurrentReceiptNo = INT_MAX;
  figures.CurrentReportNo = INT_MAX;
  figures.CountReceipt(documents::rt_InvoiceSale, Currency());
  EXPECT_EQ(figures.CurrentReceiptNo, INT_MIN);
  figures.CloseDay();
  EXPECT_EQ(figures.CurrentReportNo, INT_MIN);
}

// Two days compare equal only when every figure does: a check of a saved file that compares
// figures must notice any one that changed.
TEST(DayFigures, ADifferenceInAnyOneFigureMakesTwoDaysDiffer) {
  const qvDayFigures day = OpenDay();
  EXPECT_EQ(day, OpenDay());

  int32_t qvDayFigures::*const numbers[] = {&qvDayFigures::CurrentReceiptNo,
                                            &qvDayFigures::CurrentReportNo};
  for (int32_t qvDayFigures::*number : numbers) {
    qvDayFigures other = day;
    other.*number += 1;
    EXPECT_NE(other, day);
  }
  Currency qvDayFigures::*const amounts[] = {
      &qvDayFigures::DailyTotal,      &qvDayFigures::DailySales,
      &qvDayFigures::DailyRefunds,    &qvDayFigures::DailyVoids,
      &qvDayFigures::DailyDiscounts,  &qvDayFigures::GrandTotalTotal,
      &qvDayFigures::GrandTotalSales, &qvDayFigures::GrandTotalRefunds,
      &qvDayFigures::GrandTotalVoids, &qvDayFigures::GrandTotalDiscounts};
  for (Currency qvDayFigures::*amount : amounts) {
    qvDayFigures other = day;
    other.*amount += Currency::FromRaw(1);  // one ten-thousandth
    EXPECT_NE(other, day);
  }
}

}  // namespace
}  // namespace qv::framework
