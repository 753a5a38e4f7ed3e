#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/xml_utils.h"
#include "documents/receipt.h"
#include "platform/error.h"

namespace qv::documents {
namespace {

Currency Cents(int64_t aCents) { return Currency::FromRaw(aCents * 100); }

void Read(kReceipt& aReceipt, const std::string& aXml) {
  pugi::xml_document document;
  base::ParseXml(document, aXml);
  aReceipt.Deserialize(document);
}

std::vector<std::string> ChildNames(const pugi::xml_node& aNode) {
  std::vector<std::string> names;
  for (const pugi::xml_node& child : aNode.children()) names.emplace_back(child.name());
  return names;
}

std::string Text(const pugi::xml_node& aNode, const char* aName) {
  return aNode.child(aName).text().get();
}

// A written receipt, parsed again for inspection.
class WrittenReceipt : public ::testing::Test {
 protected:
  pugi::xml_node Write() {
    fText = fReceipt.Serialize();
    base::ParseXml(fDocument, fText);
    return fDocument.document_element();
  }
  kReceipt fReceipt;
  std::string fText;
  pugi::xml_document fDocument;
};

TEST_F(WrittenReceipt, HasTheDeclarationAndEveryHeaderElementInOrder) {
  const pugi::xml_node receipt = Write();
  EXPECT_EQ(fText.rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?><Receipt>", 0), 0u) << fText;
  EXPECT_EQ(std::string(receipt.name()), "Receipt");
  const std::vector<std::string> expected = {"Layout",
                                             "BusinessDate",
                                             "Type",
                                             "SubType",
                                             "ReceiptTypeDescription",
                                             "ExternalReference",
                                             "StoreCode",
                                             "StoreAddress",
                                             "StoreZipCode",
                                             "StoreCity",
                                             "TillCode",
                                             "Number",
                                             "DateTime",
                                             "ZReportNumber",
                                             "DeviceSerialNumber",
                                             "InvoiceNumber",
                                             "InvoiceDateTime",
                                             "TotalAmount",
                                             "TipAmount",
                                             "CountryCode",
                                             "FiscalAreaCode",
                                             "CompanyCode",
                                             "CompanyTaxCode",
                                             "OperatorCode",
                                             "ReceiptBarcode",
                                             "CurrencyCode",
                                             "CustomerCode",
                                             "CustomerCard",
                                             "CustomerBusinessName",
                                             "CustomerName",
                                             "CustomerSurname",
                                             "CustomerAddress",
                                             "CustomerZIPCode",
                                             "CustomerCity",
                                             "CustomerProvince",
                                             "CustomerCountry",
                                             "CustomerCountryDescription",
                                             "CustomerTaxCode",
                                             "CustomerFiscalCode",
                                             "CustomerIdNumber",
                                             "CustomerDateOfBirth",
                                             "LotteryIdCode",
                                             "ToBeInvoiced",
                                             "SendByEmail",
                                             "EmailReference",
                                             "EmailRecipients",
                                             "PrintReceipt",
                                             "References",
                                             "Headers",
                                             "Lines",
                                             "Taxes",
                                             "Payments",
                                             "TrailerMessages",
                                             "LeaderLines"};
  EXPECT_EQ(ChildNames(receipt), expected);
  EXPECT_EQ(ChildNames(receipt.child("References").child("OriginalReceipt")),
            (std::vector<std::string>{"ReceiptDateTime", "ReceiptNumber", "DeviceSerialNumber",
                                      "ServerSerialNumber", "EJNumber", "EJClosingNumber",
                                      "ExcludeFPCheck", "ReferenceType", "InvoiceNumber",
                                      "InvoiceDateTime"}));
  // Zero values are written in their text forms too.
  EXPECT_EQ(Text(receipt, "BusinessDate"), "1899-12-30T00:00:00");
  EXPECT_EQ(Text(receipt, "TotalAmount"), "0");
  EXPECT_EQ(Text(receipt, "Type"), "Sale");
  EXPECT_EQ(Text(receipt, "PrintReceipt"), "False");
  EXPECT_EQ(Text(receipt.child("References").child("OriginalReceipt"), "ReferenceType"),
            "OriginalReceipt");
}

TEST_F(WrittenReceipt, ValuesUseTheFixedTextForms) {
  fReceipt.SetReceiptType(rt_InvoiceSaleFromReceipt);
  fReceipt.SetTotalAmount(Cents(1050));
  fReceipt.SetTipAmount(Currency::FromRaw(-1));
  fReceipt.SetReceiptDateTime(base::EncodeDateTime({.year = 2023,
                                                    .month = 8,
                                                    .day = 9,
                                                    .hour = 9,
                                                    .minute = 39,
                                                    .second = 19,
                                                    .millisecond = 250}));
  fReceipt.SetPrintReceipt(true);
  fReceipt.SetCustomerZipCode("1010");
  fReceipt.SetReceiptNumber("0042");
  fReceipt.SetReceiptZReportNumber("7");
  fReceipt.SetReceiptSubtype("sub");
  fReceipt.Headers() = {"Shop", "Street"};
  fReceipt.OriginalReceipt().ReferenceType = rrt_EFTReceipt;
  fReceipt.OriginalReceipt().ExternalReference = "not written";
  const pugi::xml_node receipt = Write();
  EXPECT_EQ(Text(receipt, "Type"), "InvoiceSaleFromReceipt");
  EXPECT_EQ(Text(receipt, "TotalAmount"), "10.5");
  EXPECT_EQ(Text(receipt, "TipAmount"), "-0.0001");
  EXPECT_EQ(Text(receipt, "DateTime"), "2023-08-09T09:39:19");
  EXPECT_EQ(Text(receipt, "PrintReceipt"), "True");
  EXPECT_EQ(Text(receipt, "CustomerZIPCode"), "1010");
  EXPECT_EQ(Text(receipt, "Number"), "0042");
  EXPECT_EQ(Text(receipt, "ZReportNumber"), "7");
  EXPECT_EQ(Text(receipt, "SubType"), "sub");
  EXPECT_EQ(Text(receipt.child("References").child("OriginalReceipt"), "ReferenceType"),
            "EFTReceipt");
  EXPECT_EQ(fText.find("not written"), std::string::npos);
  EXPECT_EQ(ChildNames(receipt.child("Headers")),
            (std::vector<std::string>{"HeaderLine", "HeaderLine"}));
  EXPECT_EQ(std::string(receipt.child("Headers").last_child().text().get()), "Street");
}

TEST_F(WrittenReceipt, LinesAreWrittenInLowerCaseWithTheirChildren) {
  Read(fReceipt,
       "<Receipt><Type>Sale</Type><Lines><ProductSale><Code>C</Code><Description>Caff\u00e8 "
       "TOTALE</Description><Quantity>2</Quantity><Price>1.5</Price><Amount>3</Amount>"
       "<Attribute>product</Attribute></ProductSale><WeightedProductSale><Amount>1</Amount>"
       "<Tare>0.02</Tare></WeightedProductSale><VoucherSale><Price>5</Price></VoucherSale>"
       "<VoucherRedeem><Price>5</Price></VoucherRedeem><GiftCardRedeem><Price>2</Price>"
       "</GiftCardRedeem><SubTotal><Amount>6</Amount></SubTotal><Text><Description>hi"
       "</Description></Text><DiscountAmountOnSubtotal><Amount>1</Amount>"
       "</DiscountAmountOnSubtotal><MarkupPercentage><Percentage>5</Percentage><Amount>0.1"
       "</Amount></MarkupPercentage><CollectAmount><Amount>0.5</Amount></CollectAmount></Lines>"
       "<Taxes/><Payments/></Receipt>");
  const pugi::xml_node lines = Write().child("Lines");
  EXPECT_EQ(
      ChildNames(lines),
      (std::vector<std::string>{"productsale", "weightedproductsale", "vouchersale",
                                "voucherredeem", "giftcardredeem", "subtotal", "text",
                                "discountamountonsubtotal", "markuppercentage", "collectamount"}));
  const pugi::xml_node product = lines.child("productsale");
  EXPECT_EQ(ChildNames(product),
            (std::vector<std::string>{"Code", "Description", "Quantity", "UOM", "Department",
                                      "TaxCode", "Price", "Amount", "FreeOfCharge", "Attribute"}));
  // Descriptions are written as stored, not reduced to plain ASCII.
  EXPECT_EQ(Text(product, "Description"), "Caff\u00e8 TOTALE");
  EXPECT_EQ(Text(product, "Price"), "1.5");
  EXPECT_EQ(Text(product, "Attribute"), "0");
  EXPECT_EQ(
      ChildNames(lines.child("weightedproductsale")),
      (std::vector<std::string>{"Code", "Description", "Quantity", "UOM", "Department", "TaxCode",
                                "Price", "Amount", "Tare", "FreeOfCharge", "Attribute"}));
  EXPECT_EQ(Text(lines.child("weightedproductsale"), "Tare"), "0.02");
  EXPECT_EQ(Text(lines.child("weightedproductsale"), "Attribute"), "1");
  EXPECT_EQ(ChildNames(lines.child("vouchersale")),
            (std::vector<std::string>{"Code", "Description", "Department", "TaxCode", "Price",
                                      "FreeOfCharge"}));
  EXPECT_EQ(ChildNames(lines.child("voucherredeem")),
            (std::vector<std::string>{"Code", "Description", "Department", "TaxCode", "Price"}));
  EXPECT_EQ(ChildNames(lines.child("giftcardredeem")),
            (std::vector<std::string>{"Code", "Description", "Department", "TaxCode", "Price",
                                      "FreeOfCharge"}));
  EXPECT_EQ(ChildNames(lines.child("subtotal")), (std::vector<std::string>{"Amount"}));
  EXPECT_EQ(ChildNames(lines.child("text")), (std::vector<std::string>{"Description"}));
  EXPECT_EQ(ChildNames(lines.child("discountamountonsubtotal")),
            (std::vector<std::string>{"Amount", "Description"}));
  EXPECT_EQ(ChildNames(lines.child("markuppercentage")),
            (std::vector<std::string>{"Percentage", "Amount", "Description"}));
  EXPECT_EQ(ChildNames(lines.child("collectamount")),
            (std::vector<std::string>{"Description", "Department", "TaxCode", "Amount"}));
}

TEST_F(WrittenReceipt, TaxesPaymentsAndMessages) {
  Read(fReceipt,
       "<Receipt><Type>Sale</Type><Lines/><Taxes><Tax><Type>salestax</Type><Code>A</Code>"
       "<Rate>19</Rate><TaxableAmount>100</TaxableAmount><TaxAmount>19</TaxAmount><TotalAmount>"
       "119</TotalAmount></Tax></Taxes><Payments><Payment><Type>CreditCard</Type><Amount>119"
       "</Amount><Currency>EUR</Currency></Payment></Payments><TrailerMessages><Text><Value>"
       "Bye</Value><Size>1</Size><Alignment>left</Alignment></Text><Barcode><Value>9</Value>"
       "<Type>Interleaved2of5</Type><QRCodeMinVersion>3</QRCodeMinVersion></Barcode>"
       "</TrailerMessages><LeaderLines><Image><Alignment>center</Alignment></Image>"
       "</LeaderLines></Receipt>");
  const pugi::xml_node receipt = Write();
  const pugi::xml_node tax = receipt.child("Taxes").child("Tax");
  EXPECT_EQ(ChildNames(tax),
            (std::vector<std::string>{"Type", "Code", "Description", "TaxRate", "TaxableAmount",
                                      "TaxAmount", "TotalAmount"}));
  EXPECT_EQ(Text(tax, "Type"), "SalesTax");
  EXPECT_EQ(Text(tax, "TaxRate"), "19");
  const pugi::xml_node payment = receipt.child("Payments").child("Payment");
  EXPECT_EQ(ChildNames(payment), (std::vector<std::string>{"Type", "Description", "Amount",
                                                           "Currency", "Quantity", "UnitPrice"}));
  EXPECT_EQ(Text(payment, "Type"), "creditcard");
  EXPECT_EQ(Text(payment, "Currency"), "EUR");
  const pugi::xml_node trailer = receipt.child("TrailerMessages");
  EXPECT_EQ(ChildNames(trailer), (std::vector<std::string>{"Text", "Barcode"}));
  EXPECT_EQ(ChildNames(trailer.child("Text")),
            (std::vector<std::string>{"Value", "Size", "Alignment"}));
  EXPECT_EQ(Text(trailer.child("Text"), "Alignment"), "left");
  EXPECT_EQ(ChildNames(trailer.child("Barcode")),
            (std::vector<std::string>{"Value", "Type", "HRI", "QRCodeMinVersion"}));
  EXPECT_EQ(Text(trailer.child("Barcode"), "Type"), "interleaved2of5");
  EXPECT_EQ(Text(trailer.child("Barcode"), "HRI"), "True");
  EXPECT_EQ(Text(trailer.child("Barcode"), "QRCodeMinVersion"), "3");
  EXPECT_EQ(ChildNames(receipt.child("LeaderLines").child("Image")),
            (std::vector<std::string>{"Alignment"}));
}

// ---------------------------------------------------------------------------------------
// What a written receipt gives back when read again.

TEST(WriterRoundTrip, KeepsHeaderLinesAndAmounts) {
  kReceipt original;
  Read(original,
       "<Receipt><Layout>L1</Layout><Type>Refund</Type><Number>12</Number><DateTime>"
       "2023-08-09T09:39:19</DateTime><TotalAmount>25</TotalAmount><CustomerZipCode>1010"
       "</CustomerZipCode><PrintReceipt>false</PrintReceipt><References><OriginalReceipt>"
       "<ReceiptNumber>3</ReceiptNumber><ReferenceType>notavailable</ReferenceType>"
       "</OriginalReceipt></References><Headers><H>Shop</H></Headers><Lines><ProductSale>"
       "<Description>A</Description><Amount>10</Amount></ProductSale><ProductSale><Amount>20"
       "</Amount></ProductSale><DiscountAmountOnSubtotal><Amount>5</Amount>"
       "</DiscountAmountOnSubtotal></Lines><Taxes><Tax><Type>VAT</Type><Code>A</Code><Rate>19"
       "</Rate><TaxAmount>4</TaxAmount></Tax></Taxes><Payments><Payment><Type>cash</Type>"
       "<Amount>25</Amount></Payment></Payments></Receipt>");
  kReceipt copy;
  Read(copy, original.Serialize());
  EXPECT_EQ(copy.Layout(), "L1");
  EXPECT_EQ(copy.ReceiptType(), rt_Refund);
  EXPECT_EQ(copy.ReceiptNumber(), "12");
  EXPECT_EQ(copy.ReceiptDateTime(), original.ReceiptDateTime());
  EXPECT_EQ(copy.BusinessDate(), original.BusinessDate());
  EXPECT_EQ(copy.TotalAmount(), Cents(2500));
  EXPECT_EQ(copy.CustomerZipCode(), "1010");
  EXPECT_FALSE(copy.PrintReceipt());
  EXPECT_EQ(copy.OriginalReceipt().ReceiptNumber, "3");
  EXPECT_EQ(copy.OriginalReceipt().ReferenceType, rrt_NotAvailable);
  EXPECT_EQ(copy.Headers(), std::vector<std::string>{"Shop"});
  ASSERT_EQ(copy.Lines().Count(), 3u);
  copy.CalcLinesNetAmount();
  EXPECT_EQ(copy.Lines()[0].NetAmount(), Cents(833));
  EXPECT_EQ(copy.Lines()[1].NetAmount(), Cents(1667));
  EXPECT_EQ(copy.Taxes()[0].TaxAmount(), Cents(400));
  EXPECT_EQ(copy.PaymentLines().TotalAmount(), Cents(2500));
  // Writing does not change the receipt: the same text twice.
  EXPECT_EQ(original.Serialize(), original.Serialize());
}

TEST(WriterRoundTrip, DocumentedDifferences) {
  kReceipt original;
  Read(original,
       "<Receipt><Type>Sale</Type><Lines><ProductSale><Amount>1</Amount><Attribute>product"
       "</Attribute></ProductSale><GiftCardRedeem><Price>3</Price></GiftCardRedeem></Lines>"
       "<Taxes><Tax><Type>VAT</Type><Code>A</Code><Rate>19</Rate></Tax></Taxes><Payments/>"
       "<LeaderLines><Image><Alignment>left</Alignment></Image></LeaderLines></Receipt>");
  ASSERT_TRUE(original.DefaultLayout());
  ASSERT_EQ(dynamic_cast<const kReceiptLineProductSale&>(original.Lines()[0]).Attribute(),
            rla_Product);
  auto& image = dynamic_cast<kReceiptMessageImageLine&>(original.LeaderLines()[0]);
  image.SetSource(is_FileSystem);
  image.SetValue("C:\\logo.bmp");
  dynamic_cast<kReceiptLineGiftCardRedeem&>(original.Lines()[1]).SetFreeOfCharge(true);

  const std::string written = original.Serialize();
  kReceipt copy;
  Read(copy, written);
  // The tax rate goes out as TaxRate but is read from Rate.
  EXPECT_EQ(copy.Taxes()[0].TaxRate(), Currency());
  EXPECT_EQ(copy.GetTaxRate("A"), Currency());
  // The attribute goes out as its ordinal, which reads back as a service.
  EXPECT_EQ(dynamic_cast<const kReceiptLineProductSale&>(copy.Lines()[0]).Attribute(), rla_Service);
  // The default layout goes out by name and is no longer the default.
  EXPECT_EQ(copy.Layout(), "DocumentLayout");
  EXPECT_FALSE(copy.DefaultLayout());
  // FreeOfCharge of a redeemed gift card is written but not read.
  EXPECT_NE(written.find("<giftcardredeem><Code/><Description/><Department/><TaxCode/>"
                         "<Price>3</Price><FreeOfCharge>True</FreeOfCharge></giftcardredeem>"),
            std::string::npos)
      << written;
  EXPECT_EQ(copy.Lines()[1].GetAmount(), Cents(-300));
  // Image lines keep their alignment only.
  const auto& copiedImage = dynamic_cast<const kReceiptMessageImageLine&>(copy.LeaderLines()[0]);
  EXPECT_EQ(copiedImage.Alignment(), la_left);
  EXPECT_EQ(copiedImage.Source(), is_Resource);
  EXPECT_EQ(copiedImage.Value(), "");
}

TEST(WriterRoundTrip, UnalignedTextLineIsRefusedWhenReadBack) {
  kReceipt original;
  auto line = std::make_unique<kReceiptMessageTextLine>(&original);
  line->SetValue("no alignment");
  original.TrailerMessages().Add(std::move(line));
  const std::string written = original.Serialize();
  EXPECT_NE(written.find("<Alignment/>"), std::string::npos) << written;
  kReceipt copy;
  try {
    Read(copy, written);
    FAIL() << "an empty alignment was accepted";
  } catch (const qv::Error& error) {
    EXPECT_STREQ(error.what(), "Alignment  is invalid");
  }
}

TEST(WriterRoundTrip, EmptyReceiptReadsBackWithEmptyLists) {
  kReceipt empty;
  const std::string written = empty.Serialize();
  EXPECT_NE(written.find("<Lines/><Taxes/><Payments/><TrailerMessages/><LeaderLines/>"),
            std::string::npos)
      << written;
  kReceipt copy;
  Read(copy, written);
  EXPECT_EQ(copy.Lines().Count(), 0u);
  EXPECT_EQ(copy.Taxes().Count(), 0u);
  EXPECT_EQ(copy.PaymentLines().Count(), 0u);
  EXPECT_EQ(copy.TrailerMessages().Count(), 0u);
  EXPECT_EQ(copy.ReceiptType(), rt_Sale);
  EXPECT_EQ(copy.BusinessDate(), 0);  // 1899-12-30T00:00:00 is "no date"
}

TEST(WriterRoundTrip, SpecialCharactersAreEscapedAndKept) {
  kReceipt original;
  original.SetStoreAddress("Main <1> & \"Co\" \u20ac");
  kReceipt copy;
  Read(copy, original.Serialize());
  EXPECT_EQ(copy.StoreAddress(), "Main <1> & \"Co\" \u20ac");
}

}  // namespace
}  // namespace qv::documents
