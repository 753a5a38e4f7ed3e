#include "documents/codes.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/error.h"

namespace qv::documents {
namespace {

// The message a failing call raises, or "" when it does not fail.
template <typename TCall>
std::string FailureOf(TCall aCall) {
  try {
    aCall();
  } catch (const qv::Error& error) {
    return error.what();
  }
  return "";
}

TEST(EnumerationOrder, OrdinalsFollowDeclarationOrder) {
  EXPECT_EQ(rlt_SubTotal, 7);
  EXPECT_EQ(rlt_Text, 8);
  EXPECT_EQ(rlt_DiscountAmount, 9);
  EXPECT_EQ(rlt_MarkupPercentageOnSubTotal, 16);
  EXPECT_EQ(rlt_CollectAmount, 17);
  EXPECT_EQ(la_none, 0);
  EXPECT_EQ(la_left, 3);
  EXPECT_EQ(Rpt_Change, 11);
  EXPECT_EQ(le_condensed, 7);
  EXPECT_EQ(bt_Interleaved2Of5, 7);
  EXPECT_EQ(sizeof(qvReceiptLineType), 1u);
  EXPECT_EQ(sizeof(QvPrintLocation), 1u);
}

TEST(EffectSet, StoresMemberNAsBitN) {
  qvReceiptMessageLineEffectSet set{le_bold, le_underline};
  EXPECT_EQ(set.ToBits(), 0b101u);
  EXPECT_TRUE(set.Contains(le_underline));
  EXPECT_FALSE(set.Contains(le_italic));
  set.Include(le_condensed);
  EXPECT_EQ(set.ToBits(), 0b10000101u);
  EXPECT_EQ(set.Count(), 3u);
  set.Exclude(le_bold);
  EXPECT_EQ(set, (qvReceiptMessageLineEffectSet{le_underline, le_condensed}));
  EXPECT_TRUE(qvReceiptMessageLineEffectSet().IsEmpty());
  EXPECT_EQ(qvReceiptMessageLineEffectSet::FromBits(0x1FF).ToBits(), 0xFFu);
}

TEST(ReceiptTypeCode, DecodesAnyLetterCaseButNothingElse) {
  EXPECT_EQ(krptUtil::DecodeReceiptType("sale"), rt_Sale);
  EXPECT_EQ(krptUtil::DecodeReceiptType("Sale"), rt_Sale);
  EXPECT_EQ(krptUtil::DecodeReceiptType("SALE"), rt_Sale);
  EXPECT_EQ(krptUtil::DecodeReceiptType("REFUND"), rt_Refund);
  EXPECT_EQ(krptUtil::DecodeReceiptType("void"), rt_Void);
  EXPECT_EQ(krptUtil::DecodeReceiptType("InvoiceSale"), rt_InvoiceSale);
  EXPECT_EQ(krptUtil::DecodeReceiptType("invoicesalefromreceipt"), rt_InvoiceSaleFromReceipt);
  EXPECT_EQ(FailureOf([] { krptUtil::DecodeReceiptType(" sale"); }),
            "ReceiptType  sale is invalid");
  EXPECT_EQ(FailureOf([] { krptUtil::DecodeReceiptType(""); }), "ReceiptType  is invalid");
  EXPECT_EQ(FailureOf([] { krptUtil::DecodeReceiptType("Sal"); }), "ReceiptType sal is invalid");
  EXPECT_EQ(FailureOf([] { krptUtil::DecodeReceiptType("INVOICE"); }),
            "ReceiptType invoice is invalid");
}

TEST(ReceiptTypeCode, EncodesMixedCaseThatDecodesBack) {
  EXPECT_EQ(krptUtil::EncodeReceiptType(rt_Sale), "Sale");
  EXPECT_EQ(krptUtil::EncodeReceiptType(rt_Refund), "Refund");
  EXPECT_EQ(krptUtil::EncodeReceiptType(rt_Void), "Void");
  EXPECT_EQ(krptUtil::EncodeReceiptType(rt_InvoiceSale), "InvoiceSale");
  EXPECT_EQ(krptUtil::EncodeReceiptType(rt_InvoiceSaleFromReceipt), "InvoiceSaleFromReceipt");
  for (int i = rt_Sale; i <= rt_InvoiceSaleFromReceipt; ++i) {
    const auto type = static_cast<qvReceiptType>(i);
    EXPECT_EQ(krptUtil::DecodeReceiptType(krptUtil::EncodeReceiptType(type)), type);
  }
}

TEST(LineTypeCode, EveryMemberRoundTripsThroughItsLowerCaseCode) {
  const char* codes[] = {"productsale",
                         "productreturn",
                         "weightedproductsale",
                         "vouchersale",
                         "voucherredeem",
                         "giftcardsale",
                         "giftcardredeem",
                         "subtotal",
                         "text",
                         "discountamount",
                         "discountpercentage",
                         "discountamountonsubtotal",
                         "discountpercentageonsubtotal",
                         "markupamount",
                         "markuppercentage",
                         "markupamountonsubtotal",
                         "markuppercentageonsubtotal",
                         "collectamount"};
  for (int i = 0; i <= rlt_CollectAmount; ++i) {
    const auto type = static_cast<qvReceiptLineType>(i);
    EXPECT_EQ(krptUtil::EncodeLineType(type), codes[i]);
    EXPECT_EQ(krptUtil::DecodeLineType(codes[i]), type);
  }
  EXPECT_EQ(krptUtil::DecodeLineType("ProductSale"), rlt_ProductSale);
  EXPECT_EQ(krptUtil::DecodeLineType("DiscountPercentageOnSubtotal"),
            rlt_DiscountPercentageOnSubTotal);
  EXPECT_EQ(FailureOf([] { krptUtil::DecodeLineType("XYZ"); }), "LineType xyz is invalid");
  EXPECT_EQ(FailureOf([] { krptUtil::DecodeLineType("Item"); }), "LineType item is invalid");
}

TEST(LineAttributeCode, OnlyProductIsGoods) {
  EXPECT_EQ(krptUtil::DecodeLineAttribute("product"), rla_Product);
  EXPECT_EQ(krptUtil::DecodeLineAttribute("PRODUCT"), rla_Product);
  EXPECT_EQ(krptUtil::DecodeLineAttribute("service"), rla_Service);
  EXPECT_EQ(krptUtil::DecodeLineAttribute(""), rla_Service);
  EXPECT_EQ(krptUtil::DecodeLineAttribute(" product"), rla_Service);
  EXPECT_EQ(krptUtil::DecodeLineAttribute("goods"), rla_Service);
}

TEST(ReferenceTypeCode, FallsBackToOriginalReceipt) {
  EXPECT_EQ(krptUtil::DecodeReferenceType("eftreceipt"), rrt_EFTReceipt);
  EXPECT_EQ(krptUtil::DecodeReferenceType("NotAvailable"), rrt_NotAvailable);
  EXPECT_EQ(krptUtil::DecodeReferenceType("EMPTIES"), rrt_Empties);
  EXPECT_EQ(krptUtil::DecodeReferenceType("originalreceipt"), rrt_OriginalReceipt);
  EXPECT_EQ(krptUtil::DecodeReferenceType(""), rrt_OriginalReceipt);
  EXPECT_EQ(krptUtil::DecodeReferenceType("whatever"), rrt_OriginalReceipt);
  EXPECT_EQ(krptUtil::EncodeReferenceType(rrt_OriginalReceipt), "OriginalReceipt");
  EXPECT_EQ(krptUtil::EncodeReferenceType(rrt_EFTReceipt), "EFTReceipt");
  EXPECT_EQ(krptUtil::EncodeReferenceType(rrt_NotAvailable), "NotAvailable");
  EXPECT_EQ(krptUtil::EncodeReferenceType(rrt_Empties), "Empties");
  for (int i = rrt_OriginalReceipt; i <= rrt_Empties; ++i) {
    const auto type = static_cast<qvReceiptReferenceType>(i);
    EXPECT_EQ(krptUtil::DecodeReferenceType(krptUtil::EncodeReferenceType(type)), type);
  }
}

TEST(PaymentTypeCode, EveryMemberRoundTrips) {
  const char* codes[] = {"cash",    "cheque",           "creditcard",       "debitcard",
                         "credit",  "creditonproducts", "creditonservices", "giftcard",
                         "voucher", "mealvoucher",      "nhscard",          "change"};
  for (int i = 0; i <= Rpt_Change; ++i) {
    const auto type = static_cast<qvReceiptPaymentType>(i);
    EXPECT_EQ(krptUtil::EncodePaymentType(type), codes[i]);
    EXPECT_EQ(krptUtil::DecodePaymentType(codes[i]), type);
  }
  EXPECT_EQ(krptUtil::DecodePaymentType("Cash"), rpt_Cash);
  EXPECT_EQ(krptUtil::DecodePaymentType("CHANGE"), Rpt_Change);
  EXPECT_EQ(FailureOf([] { krptUtil::DecodePaymentType("Card"); }), "PaymentType card is invalid");
}

TEST(TaxTypeCode, DecodesAndEncodes) {
  EXPECT_EQ(krptUtil::DecodeTaxType("VAT"), tt_VAT);
  EXPECT_EQ(krptUtil::DecodeTaxType("SalesTax"), tt_SalesTax);
  EXPECT_EQ(krptUtil::EncodeTaxType(tt_VAT), "VAT");
  EXPECT_EQ(krptUtil::EncodeTaxType(tt_SalesTax), "SalesTax");
  EXPECT_EQ(FailureOf([] { krptUtil::DecodeTaxType("Sales Tax"); }),
            "TaxType sales tax is invalid");
  EXPECT_EQ(FailureOf([] { krptUtil::DecodeTaxType(""); }), "TaxType  is invalid");
}

TEST(AlignmentCode, EmptyTextFailsAndNoneEncodesEmpty) {
  EXPECT_EQ(krptUtil::DecodeAlignment("left"), la_left);
  EXPECT_EQ(krptUtil::DecodeAlignment("Right"), la_right);
  EXPECT_EQ(krptUtil::DecodeAlignment("CENTER"), la_center);
  EXPECT_EQ(FailureOf([] { krptUtil::DecodeAlignment(""); }), "Alignment  is invalid");
  EXPECT_EQ(FailureOf([] { krptUtil::DecodeAlignment("none"); }), "Alignment none is invalid");
  EXPECT_EQ(FailureOf([] { krptUtil::DecodeAlignment("Centre"); }), "Alignment centre is invalid");
  EXPECT_EQ(krptUtil::EncodeAlignment(la_none), "");
  EXPECT_EQ(krptUtil::EncodeAlignment(la_left), "left");
  EXPECT_EQ(krptUtil::EncodeAlignment(la_right), "right");
  EXPECT_EQ(krptUtil::EncodeAlignment(la_center), "center");
}

TEST(BarcodeTypeCode, EveryMemberRoundTrips) {
  const char* codes[] = {"ean13",  "ean8", "code39", "code128",
                         "qrcode", "upca", "upce",   "interleaved2of5"};
  for (int i = 0; i <= bt_Interleaved2Of5; ++i) {
    const auto type = static_cast<qvReceiptMessageBarcodeType>(i);
    EXPECT_EQ(krptUtil::EncodeBarcodeType(type), codes[i]);
    EXPECT_EQ(krptUtil::DecodeBarcodeType(codes[i]), type);
  }
  EXPECT_EQ(krptUtil::DecodeBarcodeType("QRCode"), bt_QRCODE);
  EXPECT_EQ(FailureOf([] { krptUtil::DecodeBarcodeType("EAN-13"); }),
            "BarcodeType ean-13 is invalid");
}

TEST(EffectCode, EveryMemberRoundTrips) {
  const char* codes[] = {"bold",        "italic",     "underline",    "doubleheight",
                         "doublewidth", "doublesize", "invertcolors", "condensed"};
  for (int i = 0; i <= le_condensed; ++i) {
    const auto effect = static_cast<qvReceiptMessageLineEffect>(i);
    EXPECT_EQ(krptUtil::EncodeEffect(effect), codes[i]);
    EXPECT_EQ(krptUtil::DecodeEffect(codes[i]), effect);
  }
  EXPECT_EQ(krptUtil::DecodeEffect("Bold"), le_bold);
  EXPECT_EQ(FailureOf([] { krptUtil::DecodeEffect("Blink"); }), "Effect blink is invalid");
}

TEST(EffectList, EncodesInMemberOrderWithoutBlanks) {
  EXPECT_EQ(krptUtil::EncodeEffects({le_condensed, le_bold}), "bold,condensed");
  EXPECT_EQ(krptUtil::EncodeEffects({le_bold, le_underline}), "bold,underline");
  EXPECT_EQ(krptUtil::EncodeEffects({}), "");
  EXPECT_EQ(krptUtil::EncodeEffects({le_invertcolors}), "invertcolors");
}

TEST(EffectList, DecodesUpToTheFirstEmptyField) {
  EXPECT_EQ(krptUtil::DecodeEffects("bold,italic"),
            (qvReceiptMessageLineEffectSet{le_bold, le_italic}));
  EXPECT_EQ(krptUtil::DecodeEffects("bold,,italic"), (qvReceiptMessageLineEffectSet{le_bold}));
  EXPECT_EQ(krptUtil::DecodeEffects(",bold"), qvReceiptMessageLineEffectSet());
  EXPECT_EQ(krptUtil::DecodeEffects("bold,"), (qvReceiptMessageLineEffectSet{le_bold}));
  EXPECT_EQ(krptUtil::DecodeEffects(""), qvReceiptMessageLineEffectSet());
  EXPECT_EQ(krptUtil::DecodeEffects("BOLD,bold,Condensed"),
            (qvReceiptMessageLineEffectSet{le_bold, le_condensed}));
  EXPECT_EQ(FailureOf([] { krptUtil::DecodeEffects("bold, italic"); }),
            "Effect  italic is invalid");
  EXPECT_EQ(FailureOf([] { krptUtil::DecodeEffects("bold,Shadow"); }), "Effect shadow is invalid");
}

TEST(EffectList, EverySetRoundTrips) {
  for (uint32_t bits = 0; bits < 256; ++bits) {
    const auto set = qvReceiptMessageLineEffectSet::FromBits(bits);
    ASSERT_EQ(krptUtil::DecodeEffects(krptUtil::EncodeEffects(set)), set) << bits;
  }
}

TEST(ImageSourceCode, EmptyTextMeansFileSystem) {
  EXPECT_EQ(krptUtil::DecodeImageSource(""), is_FileSystem);
  EXPECT_EQ(krptUtil::DecodeImageSource("FileSystem"), is_FileSystem);
  EXPECT_EQ(krptUtil::DecodeImageSource("Resource"), is_Resource);
  EXPECT_EQ(FailureOf([] { krptUtil::DecodeImageSource("Web"); }), "Image Source web is invalid");
  EXPECT_EQ(FailureOf([] { krptUtil::DecodeImageSource(" "); }), "Image Source   is invalid");
  EXPECT_EQ(krptUtil::EncodeImageSource(is_Resource), "resource");
  EXPECT_EQ(krptUtil::EncodeImageSource(is_FileSystem), "filesystem");
}

TEST(JournalCodes, DecodeOrFailWithTheirMessages) {
  EXPECT_EQ(krptUtil::DecodeEJReportType("ZReport"), ejrt_ZReport);
  EXPECT_EQ(krptUtil::DecodeEJReportType("fiscalreceipt"), ejrt_FiscalReceipt);
  EXPECT_EQ(krptUtil::DecodeEJReportType("NonFiscalReceipt"), ejrt_NonFiscalReceipt);
  EXPECT_EQ(krptUtil::DecodeEJReportType("CREDITNOTE"), ejrt_CreditNote);
  EXPECT_EQ(krptUtil::DecodeEJReportType("invoice"), ejrt_Invoice);
  EXPECT_EQ(FailureOf([] { krptUtil::DecodeEJReportType("XReport"); }),
            "ReportType xreport is invalid");
  EXPECT_EQ(krptUtil::DecodeEJReportDestination("Printer"), rd_Printer);
  EXPECT_EQ(krptUtil::DecodeEJReportDestination("MEMORY"), rd_Memory);
  EXPECT_EQ(FailureOf([] { krptUtil::DecodeEJReportDestination("File"); }),
            "ReportDestination file is invalid");
  EXPECT_EQ(krptUtil::DecodeEJRequestType("XML"), ej_xml);
  EXPECT_EQ(FailureOf([] { krptUtil::DecodeEJRequestType("Json"); }),
            "ReferenceType json is invalid");
}

TEST(NormalizeText, MapsAccentedCapitalsAndEuro) {
  EXPECT_EQ(krptUtil::NormalizeText("\u00C0\u00D9\u00C8\u00C9\u00D2\u00D6\u00C7\u00CF\u00CC"),
            "AUEEOOCII");
  EXPECT_EQ(krptUtil::NormalizeText("TOTALE 10\u20AC"), "TOT. 10E");
  EXPECT_EQ(krptUtil::NormalizeText("PERCH\u00C9"), "PERCHE");
}

TEST(NormalizeText, ShortensTotaleOnlyInCapitals) {
  EXPECT_EQ(krptUtil::NormalizeText("Totale"), "Totale");
  EXPECT_EQ(krptUtil::NormalizeText("TOTALETOTALE"), "TOT.TOT.");
  EXPECT_EQ(krptUtil::NormalizeText("SUBTOTALE"), "SUBTOT.");
}

TEST(NormalizeText, BlanksEveryOtherNonAsciiOrControlCharacter) {
  EXPECT_EQ(krptUtil::NormalizeText("citt\u00E0"), "citt ");
  EXPECT_EQ(krptUtil::NormalizeText("a\tb\r\nc"), "a b  c");
  EXPECT_EQ(krptUtil::NormalizeText(std::string("x\x7Fy")), "x\x7Fy");
  EXPECT_EQ(krptUtil::NormalizeText("\u03A3"), " ");
  // A character outside the basic plane is two UTF-16 units and becomes two blanks.
  EXPECT_EQ(krptUtil::NormalizeText("a\U0001F600b"), "a  b");
  EXPECT_EQ(krptUtil::NormalizeText(""), "");
  // Bytes that are no UTF-8 still print as one blank each, never as garbage.
  EXPECT_EQ(krptUtil::NormalizeText(std::string("a\xFF"
                                                "b")),
            "a b");
  EXPECT_EQ(krptUtil::NormalizeText("Plain text 123 !"), "Plain text 123 !");
}

}  // namespace
}  // namespace qv::documents
