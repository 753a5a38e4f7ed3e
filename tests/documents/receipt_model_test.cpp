#include "documents/receipt.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "documents/nf_receipt.h"

namespace qv::documents {
namespace {

// An amount given in cents: Cents(1050) is 10.50.
Currency Cents(int64_t aCents) { return Currency::FromRaw(aCents * 100); }

// Builds receipts line by line for the amount calculations.
class ReceiptBuilder {
 public:
  explicit ReceiptBuilder(kReceipt& aReceipt) : fReceipt(aReceipt) {}

  kReceiptLineProductSale& Product(int64_t aCents, bool aFreeOfCharge = false) {
    auto line = kReceiptLineProductSale::Build(&fReceipt, "P", "Product", Cents(100), "PCS", "1",
                                               "A", Cents(aCents), Cents(aCents), "", "");
    line->SetFreeOfCharge(aFreeOfCharge);
    return fReceipt.Lines().Add(std::move(line));
  }
  kReceiptLine& Line(qvReceiptLineType aType, int64_t aCents) {
    std::unique_ptr<kReceiptLine> line = CreateReceiptLine(&fReceipt, aType);
    if (auto* amount = dynamic_cast<kReceiptLineDiscountAmount*>(line.get())) {
      amount->SetAmount(Cents(aCents));
    } else if (auto* percentage = dynamic_cast<kReceiptLineDiscountPercentage*>(line.get())) {
      percentage->SetAmount(Cents(aCents));
    } else if (auto* product = dynamic_cast<kReceiptLineProductSale*>(line.get())) {
      product->SetAmount(Cents(aCents));
    }
    return fReceipt.Lines().Add(std::move(line));
  }

 private:
  kReceipt& fReceipt;
};

std::vector<Currency> NetAmounts(const kReceipt& aReceipt) {
  std::vector<Currency> result;
  for (const kReceiptLine& line : aReceipt.Lines()) result.push_back(line.NetAmount());
  return result;
}

// The worked example of the till: 10.00 + 20.00 with 5.00 off the subtotal.
class WorkedExample : public ::testing::Test {
 protected:
  WorkedExample() : fBuilder(fReceipt) {
    fBuilder.Product(1000);
    fBuilder.Product(2000);
    fBuilder.Line(rlt_DiscountAmountOnSubtotal, 500);
    fReceipt.SetTotalAmount(Cents(2500));
  }
  kReceipt fReceipt;
  ReceiptBuilder fBuilder;
};

TEST_F(WorkedExample, SpreadsTheSubtotalDiscountOnTheCumulativeNet) {
  fReceipt.CalcLinesNetAmount();
  EXPECT_EQ(NetAmounts(fReceipt), (std::vector{Cents(833), Cents(1667), Cents(-500)}));
  // Subtotal shares leave the amounts without subtotal discounts alone.
  EXPECT_EQ(fReceipt.Lines()[0].NetAmountNoSubTotalDiscounts(), Cents(1000));
  EXPECT_EQ(fReceipt.Lines()[1].NetAmountNoSubTotalDiscounts(), Cents(2000));
  EXPECT_EQ(fReceipt.Lines()[1].TotalNoSubTotalDiscounts(), Cents(0));
  EXPECT_EQ(fReceipt.GetCalculatedAmount(), Cents(2500));
}

TEST_F(WorkedExample, LastItemAbsorbsTheDifferenceToTheDeclaredTotal) {
  fReceipt.SetTotalAmount(Cents(2499));
  fReceipt.CalcLinesNetAmount();
  EXPECT_EQ(NetAmounts(fReceipt), (std::vector{Cents(833), Cents(1666), Cents(-500)}));
}

TEST_F(WorkedExample, DiscountBeforeAnyItemChangesNoLineButLowersTheRatio) {
  kReceipt receipt;
  ReceiptBuilder builder(receipt);
  builder.Line(rlt_DiscountAmount, 200);
  builder.Product(1000);
  builder.Product(2000);
  builder.Line(rlt_DiscountAmountOnSubtotal, 500);
  receipt.SetTotalAmount(Cents(2300));
  receipt.CalcLinesNetAmount();
  // Ratio -5 / 28 = -0.1786: shares -1.79 and -3.57 overshoot by 0.36, which the last share
  // gives back.
  EXPECT_EQ(NetAmounts(receipt), (std::vector{Cents(-200), Cents(821), Cents(1679), Cents(-500)}));
}

TEST_F(WorkedExample, ItemWithZeroNetGetsNoShare) {
  kReceipt receipt;
  ReceiptBuilder builder(receipt);
  builder.Product(1000);
  builder.Product(500, /*aFreeOfCharge=*/true);
  builder.Product(400);
  builder.Line(rlt_DiscountAmount, 400);  // the 4.00 item is fully discounted
  builder.Product(2000);
  builder.Line(rlt_DiscountAmountOnSubtotal, 500);
  receipt.SetTotalAmount(Cents(2500));
  receipt.CalcLinesNetAmount();
  EXPECT_EQ(NetAmounts(receipt),
            (std::vector{Cents(833), Cents(0), Cents(0), Cents(-400), Cents(1667), Cents(-500)}));
}

TEST_F(WorkedExample, SubtotalDiscountStandingFirstIsSkipped) {
  kReceipt receipt;
  ReceiptBuilder builder(receipt);
  builder.Line(rlt_DiscountAmountOnSubtotal, 500);
  builder.Product(1000);
  builder.Product(2000);
  receipt.SetTotalAmount(Cents(2500));
  receipt.CalcLinesNetAmount();
  EXPECT_EQ(NetAmounts(receipt), (std::vector{Cents(-500), Cents(1000), Cents(2000)}));
}

TEST(NetAmounts, SubtotalAdjustmentAtARunningTotalOfZeroIsSkipped) {
  kReceipt receipt;
  ReceiptBuilder builder(receipt);
  builder.Product(1000);
  builder.Line(rlt_ProductReturn, 1000);
  builder.Line(rlt_DiscountAmountOnSubtotal, 100);
  receipt.SetTotalAmount(Cents(-100));
  receipt.CalcLinesNetAmount();
  EXPECT_EQ(NetAmounts(receipt), (std::vector{Cents(1000), Cents(-1000), Cents(-100)}));
}

TEST(NetAmounts, ItemAdjustmentsGoToTheNearestItemBefore) {
  kReceipt receipt;
  ReceiptBuilder builder(receipt);
  builder.Product(1000);
  builder.Line(rlt_Text, 0);
  builder.Product(500);
  builder.Line(rlt_SubTotal, 0);
  builder.Line(rlt_DiscountAmount, 100);
  builder.Line(rlt_MarkupPercentage, 50);
  receipt.SetTotalAmount(Cents(1450));
  receipt.CalcLinesNetAmount();
  EXPECT_EQ(NetAmounts(receipt),
            (std::vector{Cents(1000), Cents(0), Cents(450), Cents(0), Cents(-100), Cents(50)}));
  const kReceiptLine& second = receipt.Lines()[2];
  EXPECT_EQ(second.NetAmountNoSubTotalDiscounts(), Cents(450));
  EXPECT_EQ(second.TotalNoSubTotalDiscounts(), Cents(-50));
  // TotalNoSubTotalDiscounts is never reset: a second run adds the adjustments again.
  receipt.CalcLinesNetAmount();
  EXPECT_EQ(second.TotalNoSubTotalDiscounts(), Cents(-100));
  EXPECT_EQ(second.NetAmount(), Cents(450));
}

TEST(NetAmounts, SubtotalMarkupSpreadsPositiveShares) {
  kReceipt receipt;
  ReceiptBuilder builder(receipt);
  builder.Product(1000);
  builder.Product(2000);
  builder.Line(rlt_MarkupPercentageOnSubTotal, 300);
  receipt.SetTotalAmount(Cents(3300));
  receipt.CalcLinesNetAmount();
  EXPECT_EQ(NetAmounts(receipt), (std::vector{Cents(1100), Cents(2200), Cents(300)}));
}

TEST(NetAmounts, SecondSubtotalDiscountSeesTheSharesOfTheFirst) {
  kReceipt receipt;
  ReceiptBuilder builder(receipt);
  builder.Product(1000);
  builder.Product(2000);
  builder.Line(rlt_DiscountAmountOnSubtotal, 500);
  builder.Line(rlt_DiscountPercentageOnSubTotal, 250);  // 10 % of 25.00
  receipt.SetTotalAmount(Cents(2250));
  receipt.CalcLinesNetAmount();
  // Ratio -2.50 / 25.00 = -0.1: 8.33 -> -0.83, cumulative 25.00 -> -2.50, share -1.67.
  EXPECT_EQ(NetAmounts(receipt), (std::vector{Cents(750), Cents(1500), Cents(-500), Cents(-250)}));
}

TEST(NetAmounts, CentsRoundHalvesAwayFromZero) {
  // Ratio -1.00 / 8.00 = -0.125: the first share is -0.025, which becomes -0.03.
  kReceipt discount;
  ReceiptBuilder discountBuilder(discount);
  discountBuilder.Product(20);
  discountBuilder.Product(780);
  discountBuilder.Line(rlt_DiscountAmountOnSubtotal, 100);
  discount.SetTotalAmount(Cents(700));
  discount.CalcLinesNetAmount();
  EXPECT_EQ(NetAmounts(discount), (std::vector{Cents(17), Cents(683), Cents(-100)}));

  kReceipt markup;
  ReceiptBuilder markupBuilder(markup);
  markupBuilder.Product(20);
  markupBuilder.Product(780);
  markupBuilder.Line(rlt_MarkupAmountOnSubtotal, 100);
  markup.SetTotalAmount(Cents(900));
  markup.CalcLinesNetAmount();
  EXPECT_EQ(NetAmounts(markup), (std::vector{Cents(23), Cents(877), Cents(100)}));
}

TEST(NetAmounts, RatioRoundsHalvesToEven) {
  // -10.00 / 320.00 = -0.03125 becomes -0.0312 (not -0.0313): 100.00 x -0.0312 = -3.12.
  kReceipt receipt;
  ReceiptBuilder builder(receipt);
  builder.Product(10000);
  builder.Product(22000);
  builder.Line(rlt_DiscountAmountOnSubtotal, 1000);
  receipt.SetTotalAmount(Cents(31000));
  receipt.CalcLinesNetAmount();
  EXPECT_EQ(NetAmounts(receipt), (std::vector{Cents(9688), Cents(21312), Cents(-1000)}));
}

TEST(NetAmounts, EmptyReceiptAndReceiptWithoutItemsChangeNothing) {
  kReceipt empty;
  empty.SetTotalAmount(Cents(100));
  empty.CalcLinesNetAmount();
  EXPECT_EQ(empty.GetCalculatedAmount(), Cents(0));

  kReceipt textOnly;
  ReceiptBuilder builder(textOnly);
  builder.Line(rlt_Text, 0);
  builder.Line(rlt_DiscountAmount, 100);
  textOnly.SetTotalAmount(Cents(500));
  textOnly.CalcLinesNetAmount();
  EXPECT_EQ(NetAmounts(textOnly), (std::vector{Cents(0), Cents(-100)}));
}

TEST(LineAmounts, ClassGivesTheSign) {
  kReceipt receipt;
  auto amountOf = [&](qvReceiptLineType aType) {
    std::unique_ptr<kReceiptLine> line = CreateReceiptLine(&receipt, aType);
    if (auto* product = dynamic_cast<kReceiptLineProductSale*>(line.get())) {
      product->SetAmount(Cents(400));
      product->SetPrice(Cents(999));
    } else if (auto* voucher = dynamic_cast<kReceiptLineVoucherSale*>(line.get())) {
      voucher->SetPrice(Cents(300));
    } else if (auto* gift = dynamic_cast<kReceiptLineGiftCardSale*>(line.get())) {
      gift->SetPrice(Cents(250));
    } else if (auto* amount = dynamic_cast<kReceiptLineDiscountAmount*>(line.get())) {
      amount->SetAmount(Cents(150));
    } else if (auto* percentage = dynamic_cast<kReceiptLineDiscountPercentage*>(line.get())) {
      percentage->SetPercentage(Cents(1000));
      percentage->SetAmount(Cents(120));
    } else if (auto* subtotal = dynamic_cast<kReceiptLineSubtotal*>(line.get())) {
      subtotal->SetAmount(Cents(5000));
    }
    EXPECT_EQ(line->LineType(), aType);
    return line->GetAmount();
  };
  EXPECT_EQ(amountOf(rlt_ProductSale), Cents(400));
  EXPECT_EQ(amountOf(rlt_ProductReturn), Cents(-400));
  EXPECT_EQ(amountOf(rlt_WeightedProductSale), Cents(400));
  EXPECT_EQ(amountOf(rlt_VoucherSale), Cents(300));
  EXPECT_EQ(amountOf(rlt_VoucherRedeem), Cents(-300));
  EXPECT_EQ(amountOf(rlt_GiftCardSale), Cents(250));
  EXPECT_EQ(amountOf(rlt_GiftCardRedeem), Cents(-250));
  EXPECT_EQ(amountOf(rlt_SubTotal), Cents(0));
  EXPECT_EQ(amountOf(rlt_Text), Cents(0));
  EXPECT_EQ(amountOf(rlt_DiscountAmount), Cents(-150));
  EXPECT_EQ(amountOf(rlt_DiscountAmountOnSubtotal), Cents(-150));
  EXPECT_EQ(amountOf(rlt_MarkupAmount), Cents(150));
  EXPECT_EQ(amountOf(rlt_MarkupAmountOnSubtotal), Cents(150));
  EXPECT_EQ(amountOf(rlt_DiscountPercentage), Cents(-120));
  EXPECT_EQ(amountOf(rlt_DiscountPercentageOnSubTotal), Cents(-120));
  EXPECT_EQ(amountOf(rlt_MarkupPercentage), Cents(120));
  EXPECT_EQ(amountOf(rlt_MarkupPercentageOnSubTotal), Cents(120));
  EXPECT_EQ(amountOf(rlt_CollectAmount), Cents(0));
}

TEST(LineAmounts, FreeOfChargeCountsZeroButItsQuantityCounts) {
  kReceipt receipt;
  ReceiptBuilder builder(receipt);
  builder.Product(1000).SetQuantity(Cents(200));
  builder.Product(700, /*aFreeOfCharge=*/true).SetQuantity(Cents(300));
  auto& returned = static_cast<kReceiptLineProductSale&>(builder.Line(rlt_ProductReturn, 400));
  returned.SetQuantity(Cents(100));
  auto& weighed = static_cast<kReceiptLineProductSale&>(builder.Line(rlt_WeightedProductSale, 250));
  weighed.SetQuantity(Currency::FromRaw(5000));  // 0.5 kg
  auto voucher = std::make_unique<kReceiptLineVoucherSale>(&receipt);
  voucher->SetLineType(rlt_VoucherSale);
  voucher->SetPrice(Cents(500));
  voucher->SetFreeOfCharge(true);
  receipt.Lines().Add(std::move(voucher));

  EXPECT_EQ(receipt.Lines()[1].GetAmount(), Cents(0));
  EXPECT_EQ(receipt.Lines()[4].GetAmount(), Cents(0));
  EXPECT_EQ(receipt.GetCalculatedAmount(), Cents(1000 - 400 + 250));
  // Returned quantities count positively; vouchers carry no quantity.
  EXPECT_EQ(receipt.TotalQuantity(), Cents(650));
}

TEST(LineAmounts, FactoriesFillTheLineWithoutAddingIt) {
  kReceipt receipt;
  auto product = kReceiptLineProductSale::Build(&receipt, "C1", "Bread", Cents(200), "PCS", "D1",
                                                "A", Cents(150), Cents(300), "info", "V1");
  EXPECT_EQ(product->LineType(), rlt_ProductSale);
  EXPECT_EQ(product->Owner(), &receipt);
  EXPECT_EQ(product->Code(), "C1");
  EXPECT_EQ(product->Quantity(), Cents(200));
  EXPECT_EQ(product->UOM(), "PCS");
  EXPECT_EQ(product->Department(), "D1");
  EXPECT_EQ(product->TaxCode(), "A");
  EXPECT_EQ(product->Price(), Cents(150));
  EXPECT_EQ(product->Amount(), Cents(300));
  EXPECT_EQ(product->AdditionalInfo(), "info");
  EXPECT_EQ(product->VoucherCode(), "V1");
  EXPECT_FALSE(product->FreeOfCharge());
  EXPECT_EQ(product->Attribute(), rla_Product);
  EXPECT_EQ(receipt.Lines().Count(), 0u);

  auto giftSale = kReceiptLineGiftCardSale::Build(&receipt, "G", "Card", "D", "B", Cents(2500), "");
  EXPECT_EQ(giftSale->LineType(), rlt_GiftCardSale);
  EXPECT_EQ(giftSale->GetAmount(), Cents(2500));
  auto giftRedeem =
      kReceiptLineGiftCardRedeem::Build(&receipt, "G", "Card", "D", "B", Cents(2500), "mode", "x");
  EXPECT_EQ(giftRedeem->LineType(), rlt_GiftCardRedeem);
  EXPECT_EQ(giftRedeem->TaxMode(), "mode");
  EXPECT_EQ(giftRedeem->AdditionalInfo(), "x");
  EXPECT_EQ(giftRedeem->GetAmount(), Cents(-2500));
  auto discount = kReceiptLineDiscountAmount::Build(&receipt, "Off", Cents(100), "R1", "note", "");
  EXPECT_EQ(discount->LineType(), rlt_DiscountAmount);
  EXPECT_EQ(discount->ReasonCode(), "R1");
  EXPECT_EQ(discount->ReasonNote(), "note");
  EXPECT_EQ(discount->GetAmount(), Cents(-100));
  auto percentage =
      kReceiptLineDiscountPercentage::Build(&receipt, "10%", Cents(1000), Cents(30), "R2", "", "");
  EXPECT_EQ(percentage->LineType(), rlt_DiscountPercentage);
  EXPECT_EQ(percentage->Percentage(), Cents(1000));
  EXPECT_EQ(percentage->GetAmount(), Cents(-30));
}

TEST(LineAmounts, EveryLineTypeGetsItsOwnClass) {
  kReceipt receipt;
  EXPECT_NE(dynamic_cast<kReceiptLineProductReturn*>(
                CreateReceiptLine(&receipt, rlt_ProductReturn).get()),
            nullptr);
  EXPECT_NE(dynamic_cast<kReceiptLineWeightedProductSale*>(
                CreateReceiptLine(&receipt, rlt_WeightedProductSale).get()),
            nullptr);
  EXPECT_NE(dynamic_cast<kReceiptLineVoucherRedeem*>(
                CreateReceiptLine(&receipt, rlt_VoucherRedeem).get()),
            nullptr);
  EXPECT_NE(dynamic_cast<kReceiptLineGiftCardRedeem*>(
                CreateReceiptLine(&receipt, rlt_GiftCardRedeem).get()),
            nullptr);
  EXPECT_NE(dynamic_cast<kReceiptLineMarkupAmountOnSubTotal*>(
                CreateReceiptLine(&receipt, rlt_MarkupAmountOnSubtotal).get()),
            nullptr);
  EXPECT_NE(dynamic_cast<kReceiptLineDiscountPercentageOnSubTotal*>(
                CreateReceiptLine(&receipt, rlt_DiscountPercentageOnSubTotal).get()),
            nullptr);
  EXPECT_NE(dynamic_cast<kReceiptLineCollectAmount*>(
                CreateReceiptLine(&receipt, rlt_CollectAmount).get()),
            nullptr);
  EXPECT_NE(dynamic_cast<kReceiptLineSubtotal*>(CreateReceiptLine(&receipt, rlt_SubTotal).get()),
            nullptr);
  EXPECT_EQ(CreateReceiptLine(&receipt, rlt_Text)->Owner(), &receipt);
}

TEST(LineGroups, FollowTheLineTypeOrdinals) {
  std::string items, itemAdjustments, subtotalAdjustments;
  for (int type = rlt_ProductSale; type <= rlt_CollectAmount; ++type) {
    const auto lineType = static_cast<qvReceiptLineType>(type);
    items += IsItemLine(lineType) ? '1' : '0';
    itemAdjustments += IsItemAdjustment(lineType) ? '1' : '0';
    subtotalAdjustments += IsSubtotalAdjustment(lineType) ? '1' : '0';
  }
  EXPECT_EQ(items, "111111100000000001");
  EXPECT_EQ(itemAdjustments, "000000000110011000");
  EXPECT_EQ(subtotalAdjustments, "000000000001100110");
}

// ---------------------------------------------------------------------------------------

kReceiptTaxLine& AddTax(kReceipt& aReceipt, qvReceiptTaxType aType, const std::string& aCode,
                        int64_t aRatePercent, int64_t aTaxableCents, int64_t aTaxCents) {
  auto tax = std::make_unique<kReceiptTaxLine>(&aReceipt);
  tax->SetTaxType(aType);
  tax->SetTaxCode(aCode);
  tax->SetTaxRate(Currency::FromInteger(aRatePercent));
  tax->SetTaxableAmount(Cents(aTaxableCents));
  tax->SetTaxAmount(Cents(aTaxCents));
  return aReceipt.Taxes().Add(std::move(tax));
}

TEST(TaxSummary, NetAmountTakesTheVatRateOfTheCode) {
  kReceipt receipt;
  AddTax(receipt, tt_VAT, "A", 22, 10000, 2200);
  AddTax(receipt, tt_SalesTax, "S", 22, 0, 0);
  EXPECT_EQ(receipt.GetNetAmount(Cents(12200), "A"), Cents(10000));
  EXPECT_EQ(receipt.GetNetAmount(Cents(12200), "S"), Cents(12200));
  EXPECT_EQ(receipt.GetNetAmount(Cents(12200), "Z"), Cents(12200));
  EXPECT_EQ(receipt.GetNetAmount(Cents(12200), "a"), Cents(12200));  // codes are exact
}

TEST(TaxSummary, NetAmountRoundsOnceHalvesToEven) {
  kReceipt receipt;
  AddTax(receipt, tt_VAT, "H", 100, 0, 0);  // net is half of the gross
  EXPECT_EQ(receipt.GetNetAmount(Currency::FromRaw(1), "H"), Currency::FromRaw(0));
  EXPECT_EQ(receipt.GetNetAmount(Currency::FromRaw(3), "H"), Currency::FromRaw(2));
  EXPECT_EQ(receipt.GetNetAmount(Currency::FromRaw(-3), "H"), Currency::FromRaw(-2));
  AddTax(receipt, tt_VAT, "B", 9, 0, 0);
  // 10.00 / 1.09 = 9.174311...: one rounding gives 9.1743.
  EXPECT_EQ(receipt.GetNetAmount(Cents(1000), "B"), Currency::FromRaw(91743));
}

TEST(TaxSummary, RatesSumsAndLookups) {
  kReceipt receipt;
  AddTax(receipt, tt_SalesTax, "A", 5, 1000, 50);
  AddTax(receipt, tt_VAT, "A", 19, 2000, 380);
  AddTax(receipt, tt_VAT, "B", 19, 500, 95);
  AddTax(receipt, tt_VAT, "C", 0, 300, 0);
  EXPECT_EQ(receipt.GetTaxRate("A"), Currency::FromInteger(5));  // first line, any tax type
  EXPECT_EQ(receipt.GetTaxRate("B"), Currency::FromInteger(19));
  EXPECT_EQ(receipt.GetTaxRate("X"), Currency());
  EXPECT_EQ(receipt.TotalTaxableAmount(), Cents(3800));
  EXPECT_EQ(receipt.TotalTaxAmount(), Cents(525));
  EXPECT_EQ(receipt.Taxes().Amount(), Cents(525));
  EXPECT_EQ(receipt.Taxes().GetTaxableAmountByTaxRate(Currency::FromInteger(19)), Cents(2500));
  EXPECT_EQ(receipt.Taxes().GetTaxAmountByTaxRate(Currency::FromInteger(19)), Cents(475));
  EXPECT_EQ(receipt.Taxes().GetTaxAmountByTaxRate(Currency::FromInteger(7)), Cents(0));
  ASSERT_NE(receipt.Taxes().GetByTaxCode("B"), nullptr);
  EXPECT_EQ(receipt.Taxes().GetByTaxCode("B")->TaxAmount(), Cents(95));
  EXPECT_EQ(receipt.Taxes().GetByTaxCode("b"), nullptr);
}

TEST(PaymentSummary, TotalLeavesOutChange) {
  kReceipt receipt;
  auto add = [&](qvReceiptPaymentType aType, int64_t aCents) {
    auto payment = std::make_unique<kReceiptPaymentLine>(&receipt);
    payment->SetPaymentType(aType);
    payment->SetAmount(Cents(aCents));
    receipt.PaymentLines().Add(std::move(payment));
  };
  add(rpt_Cash, 5000);
  add(Rpt_Change, 1000);
  EXPECT_EQ(receipt.PaymentLines().TotalAmount(), Cents(5000));
  add(rpt_CreditCard, 1234);
  EXPECT_EQ(receipt.PaymentLines().TotalAmount(), Cents(6234));
}

// ---------------------------------------------------------------------------------------

TEST(PrintableText, DescriptionsAndMessagesArePlainAsciiUnlessTheReceiptAllowsMore) {
  kReceipt receipt;
  auto line = std::make_unique<kReceiptLineText>(&receipt);
  line->SetDescription("TOTALE 10\u20ac citt\u00e0");
  auto message = std::make_unique<kReceiptMessageTextLine>(&receipt);
  message->SetValue("\u00c0 la carte\tnow");
  auto barcode = std::make_unique<kReceiptMessageBarcodeLine>(&receipt);
  barcode->SetValue("\u00c0123");

  EXPECT_EQ(line->Description(), "TOT. 10E citt ");
  EXPECT_EQ(line->StoredDescription(), "TOTALE 10\u20ac citt\u00e0");
  EXPECT_EQ(message->Value(), "A la carte now");
  EXPECT_EQ(barcode->Value(), "\u00c0123");  // barcode data is never changed

  receipt.SetSupportSpecialChars(true);
  EXPECT_EQ(line->Description(), "TOTALE 10\u20ac citt\u00e0");
  EXPECT_EQ(message->Value(), "\u00c0 la carte\tnow");

  kReceiptMessageTextLine orphan(nullptr);  // a customer-display line has no owner
  orphan.SetValue("Caf\u00e9");
  EXPECT_EQ(orphan.Value(), "Caf ");
}

TEST(PrintableText, NonFiscalOwnerDecidesForItsLines) {
  kNFReceipt nonFiscal;
  auto line = kReceiptMessageLine::CreateNF<kReceiptMessageTextLine>(&nonFiscal);
  line->SetValue("\u00c9t\u00e9");
  EXPECT_EQ(line->Owner(), nullptr);
  EXPECT_EQ(line->NFOwner(), &nonFiscal);
  EXPECT_EQ(line->Value(), "Et ");
  nonFiscal.SetSupportSpecialChars(true);
  EXPECT_EQ(line->Value(), "\u00c9t\u00e9");
}

TEST(ImageLine, KeepsItsNameApartFromTheBaseText) {
  kReceipt receipt;
  kReceiptMessageImageLine image(&receipt);
  image.SetValue("logo.bmp");
  EXPECT_EQ(image.Value(), "logo.bmp");
  EXPECT_EQ(static_cast<kReceiptMessageLine&>(image).Value(), "");
  EXPECT_EQ(image.Source(), is_Resource);
}

// ---------------------------------------------------------------------------------------

struct Counted {
  explicit Counted(int& aDestroyed) : fDestroyed(aDestroyed) {}
  ~Counted() { ++fDestroyed; }
  int& fDestroyed;
};

TEST(OwnedList, DestroysItsItemsWhenRemovedOrDestroyed) {
  int destroyed = 0;
  {
    kOwnedList<Counted> list;
    list.Add(std::make_unique<Counted>(destroyed));
    list.Add(std::make_unique<Counted>(destroyed));
    list.Add(std::make_unique<Counted>(destroyed));
    list.Delete(1);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(list.Count(), 2u);
  }
  EXPECT_EQ(destroyed, 3);
}

TEST(OwnedList, IteratesInDocumentOrder) {
  kReceipt receipt;
  ReceiptBuilder builder(receipt);
  builder.Product(100);
  builder.Line(rlt_Text, 0);
  builder.Product(300);
  std::string types;
  for (const kReceiptLine& line : receipt.Lines()) types += std::to_string(line.LineType()) + ",";
  EXPECT_EQ(types, "0,8,0,");
  EXPECT_EQ(receipt.Lines()[2].GetAmount(), Cents(300));
}

}  // namespace
}  // namespace qv::documents
