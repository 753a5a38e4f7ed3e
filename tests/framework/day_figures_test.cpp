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

// A day in the middle of its business: two Z-reports behind it, grand totals from earlier days.
qvDayFigures OpenDay() {
  qvDayFigures figures;
  figures.CurrentReceiptNo = 12;
  figures.CurrentReportNo = 3;
  figures.DailySales = Amount("100");
  figures.DailyRefunds = Amount("20");
  figures.DailyVoids = Amount("5");
  figures.DailyTotal = Amount("75");
  figures.DailyDiscounts = Amount("1.5");
  figures.GrandTotalSales = Amount("1000");
  figures.GrandTotalRefunds = Amount("200");
  figures.GrandTotalVoids = Amount("50");
  figures.GrandTotalTotal = Amount("750");
  figures.GrandTotalDiscounts = Amount("15");
  return figures;
}

TEST(DayFigures, ASaleARefundAndAVoidAddToTheirOwnTotalsAndEveryReceiptIsNumbered) {
  qvDayFigures figures = OpenDay();
  figures.CountReceipt(documents::rt_Sale, Amount("10.25"));
  figures.CountReceipt(documents::rt_Refund, Amount("3"));
  figures.CountReceipt(documents::rt_Void, Amount("0.25"));
  figures.CountReceipt(documents::rt_InvoiceSale, Amount("99"));

  qvDayFigures expected = OpenDay();
  expected.CurrentReceiptNo = 16;
  expected.DailySales = Amount("110.25");
  expected.DailyRefunds = Amount("23");
  expected.DailyVoids = Amount("5.25");
  expected.DailyTotal = Amount("82");
  expected.GrandTotalSales = Amount("1010.25");
  expected.GrandTotalRefunds = Amount("203");
  expected.GrandTotalVoids = Amount("50.25");
  expected.GrandTotalTotal = Amount("757");
  EXPECT_EQ(figures, expected);
}

TEST(DayFigures, TakingAReceiptBackRestoresTheTotalsButNotItsNumber) {
  qvDayFigures figures = OpenDay();
  figures.CountReceipt(documents::rt_Refund, Amount("7.5"));
  figures.AddToTotals(documents::rt_Refund, -Amount("7.5"));

  qvDayFigures expected = OpenDay();
  expected.CurrentReceiptNo = 13;
  EXPECT_EQ(figures, expected);
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

  qvDayFigures expected;
  expected.CurrentReportNo = 4;
  expected.GrandTotalSales = Amount("1000");
  expected.GrandTotalRefunds = Amount("200");
  expected.GrandTotalVoids = Amount("50");
  expected.GrandTotalTotal = Amount("750");
  expected.GrandTotalDiscounts = Amount("15");
  EXPECT_EQ(figures, expected);

  // The next day counts from its first receipt.
  figures.CountReceipt(documents::rt_Sale, Amount("2"));
  EXPECT_EQ(figures.CurrentReceiptNo, 1);
  EXPECT_EQ(figures.DailyTotal, Amount("2"));
  EXPECT_EQ(figures.GrandTotalTotal, Amount("752"));
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
