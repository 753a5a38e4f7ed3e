#include <gtest/gtest.h>

#include <string>

#include "base/xml_utils.h"
#include "documents/receipt.h"
#include "platform/error.h"

namespace qv::documents {
namespace {

Currency Cents(int64_t aCents) { return Currency::FromRaw(aCents * 100); }

// A receipt element with the three required lists, around the given header and line text.
std::string ReceiptXml(const std::string& aHeader, const std::string& aLines = "",
                       const std::string& aRest = "") {
  return "<Receipt><Type>Sale</Type>" + aHeader + "<Lines>" + aLines +
         "</Lines><Taxes/><Payments/>" + aRest + "</Receipt>";
}

void Read(kReceipt& aReceipt, const std::string& aXml) {
  pugi::xml_document document;
  base::ParseXml(document, aXml);
  aReceipt.Deserialize(document);
}

// The message of reading aXml, or "" when it reads.
std::string ReadFailure(const std::string& aXml) {
  kReceipt receipt;
  try {
    Read(receipt, aXml);
  } catch (const qv::Error& error) {
    return error.what();
  }
  return "";
}

base::DateTimeParts Parts(DateTime aValue) { return base::DecodeDateTime(aValue); }

TEST(ReceiptElement, IsTheDocumentElementOrItsFirstReceiptChild) {
  kReceipt direct;
  Read(direct, ReceiptXml("<Number>1</Number>"));
  EXPECT_EQ(direct.ReceiptNumber(), "1");

  kReceipt wrapped;
  Read(wrapped, "<Request><Handle>3</Handle>" + ReceiptXml("<Number>2</Number>") +
                    ReceiptXml("<Number>3</Number>") + "</Request>");
  EXPECT_EQ(wrapped.ReceiptNumber(), "2");

  EXPECT_EQ(ReadFailure("<Request><Documents>" + ReceiptXml("") + "</Documents></Request>"),
            "Receipt node not found");
  EXPECT_EQ(ReadFailure("<Request/>"), "Receipt node not found");
  EXPECT_EQ(ReadFailure("<Request><receipt/></Request>"), "Receipt node not found");

  kReceipt empty;
  EXPECT_THROW(empty.Deserialize(pugi::xml_document()), qv::Error);
}

TEST(ReceiptElement, RequiredListsFailInOrderAndKeepWhatWasRead) {
  EXPECT_EQ(ReadFailure("<Receipt><Type>Sale</Type><Taxes/><Payments/></Receipt>"),
            "Unable to find Lines node ");
  EXPECT_EQ(ReadFailure("<Receipt><Type>Sale</Type><Lines/><Payments/></Receipt>"),
            "Unable to find Taxes node ");
  EXPECT_EQ(ReadFailure("<Receipt><Type>Sale</Type><Lines/><Taxes/></Receipt>"),
            "Unable to find Payments node ");
  EXPECT_EQ(ReadFailure("<Receipt><Type>Sale</Type></Receipt>"), "Unable to find Lines node ");

  kReceipt partial;
  EXPECT_THROW(Read(partial,
                    "<Receipt><Type>Refund</Type><Number>7</Number><Lines><Text/>"
                    "</Lines><Payments/></Receipt>"),
               qv::Error);
  EXPECT_EQ(partial.ReceiptNumber(), "7");
  EXPECT_EQ(partial.ReceiptType(), rt_Refund);
  EXPECT_EQ(partial.Lines().Count(), 1u);
}

TEST(ReceiptHeader, ReceiptTypeIsRequired) {
  EXPECT_EQ(ReadFailure("<Receipt><Lines/><Taxes/><Payments/></Receipt>"),
            "ReceiptType  is invalid");
  EXPECT_EQ(ReadFailure("<Receipt><Type>Bill</Type><Lines/><Taxes/><Payments/></Receipt>"),
            "ReceiptType bill is invalid");
  kReceipt receipt;
  Read(receipt,
       "<Receipt><Type>INVOICESALEFROMRECEIPT</Type><Lines/><Taxes/><Payments/></Receipt>");
  EXPECT_EQ(receipt.ReceiptType(), rt_InvoiceSaleFromReceipt);
}

TEST(ReceiptHeader, LayoutDefaultsToDocumentLayout) {
  kReceipt missing;
  Read(missing, ReceiptXml(""));
  EXPECT_EQ(missing.Layout(), "DocumentLayout");
  EXPECT_TRUE(missing.DefaultLayout());

  kReceipt empty;
  Read(empty, ReceiptXml("<Layout></Layout>"));
  EXPECT_EQ(empty.Layout(), "DocumentLayout");
  EXPECT_TRUE(empty.DefaultLayout());

  kReceipt given;
  Read(given, ReceiptXml("<Layout>Narrow80</Layout>"));
  EXPECT_EQ(given.Layout(), "Narrow80");
  EXPECT_FALSE(given.DefaultLayout());
}

TEST(ReceiptHeader, BusinessDateFallsBackToTheReceiptDateTime) {
  kReceipt fallback;
  Read(fallback, ReceiptXml("<DateTime>2023-08-09T09:39:19</DateTime>"));
  EXPECT_EQ(fallback.BusinessDate(), fallback.ReceiptDateTime());
  EXPECT_EQ(Parts(fallback.BusinessDate()).day, 9);
  EXPECT_EQ(Parts(fallback.BusinessDate()).second, 19);

  kReceipt own;
  Read(own, ReceiptXml("<BusinessDate>2023-08-08T00:00:00</BusinessDate>"
                       "<DateTime>2023-08-09T01:02:03</DateTime>"));
  EXPECT_EQ(Parts(own.BusinessDate()).day, 8);
  EXPECT_EQ(Parts(own.ReceiptDateTime()).day, 9);

  kReceipt neither;
  Read(neither, ReceiptXml(""));
  EXPECT_EQ(neither.BusinessDate(), 0);
  EXPECT_EQ(neither.ReceiptDateTime(), 0);
}

TEST(ReceiptHeader, DateTimesReadByCharacterPosition) {
  kReceipt receipt;
  Read(receipt, ReceiptXml("<DateTime>2023-08-09 09:39:19.250</DateTime>"
                           "<InvoiceDateTime>2023-08-09T09:39:19</InvoiceDateTime>"));
  const base::DateTimeParts parts = Parts(receipt.ReceiptDateTime());
  EXPECT_EQ(parts.year, 2023);
  EXPECT_EQ(parts.month, 8);
  EXPECT_EQ(parts.hour, 9);
  EXPECT_EQ(parts.minute, 39);
  EXPECT_EQ(parts.millisecond, 250);
  EXPECT_EQ(Parts(receipt.InvoiceDateTime()).millisecond, 0);

  EXPECT_EQ(ReadFailure(ReceiptXml("<InvoiceDateTime></InvoiceDateTime>")),
            "Error in processing node InvoiceDateTime as datetime.\r\n"
            "DateTime Format invalid: []");
  EXPECT_EQ(ReadFailure(ReceiptXml("<CustomerDateOfBirth>1990-13-01T00:00:00"
                                   "</CustomerDateOfBirth>")),
            "Error in processing node CustomerDateOfBirth as datetime.\r\n"
            "DateTime Format invalid: [1990-13-01T00:00:00]");
  EXPECT_EQ(ReadFailure(ReceiptXml("<BusinessDate/>")),
            "Error in processing node BusinessDate as datetime.\r\nDateTime Format invalid: []");
}

TEST(ReceiptHeader, CustomerZipCodeTakesEitherSpelling) {
  kReceipt lower;
  Read(lower, ReceiptXml("<CustomerZIPCode></CustomerZIPCode><CustomerZipCode>1010"
                         "</CustomerZipCode>"));
  EXPECT_EQ(lower.CustomerZipCode(), "1010");

  kReceipt both;
  Read(both, ReceiptXml("<CustomerZipCode>1010</CustomerZipCode><CustomerZIPCode>2020"
                        "</CustomerZIPCode>"));
  EXPECT_EQ(both.CustomerZipCode(), "2020");

  kReceipt upper;
  Read(upper, ReceiptXml("<CustomerZIPCode>3030</CustomerZIPCode>"));
  EXPECT_EQ(upper.CustomerZipCode(), "3030");
}

TEST(ReceiptHeader, BooleansAndTheirDefaults) {
  kReceipt missing;
  Read(missing, ReceiptXml(""));
  EXPECT_TRUE(missing.PrintReceipt());
  EXPECT_FALSE(missing.ToBeInvoiced());
  EXPECT_FALSE(missing.SendByEmail());

  kReceipt given;
  Read(given, ReceiptXml("<PrintReceipt>false</PrintReceipt><ToBeInvoiced>TRUE</ToBeInvoiced>"
                         "<SendByEmail>1</SendByEmail>"));
  EXPECT_FALSE(given.PrintReceipt());
  EXPECT_TRUE(given.ToBeInvoiced());
  EXPECT_TRUE(given.SendByEmail());

  kReceipt zero;
  Read(zero, ReceiptXml("<PrintReceipt>0</PrintReceipt>"));
  EXPECT_FALSE(zero.PrintReceipt());

  EXPECT_EQ(ReadFailure(ReceiptXml("<PrintReceipt>no</PrintReceipt>")),
            "Error in processing node PrintReceipt as boolean.\r\n'no' is not a valid boolean "
            "value");
}

TEST(ReceiptHeader, EveryHeaderElementReachesItsProperty) {
  kReceipt receipt;
  Read(receipt,
       "<Receipt><Type>refund</Type><SubType>S</SubType><ReceiptTypeDescription>Ret"
       "</ReceiptTypeDescription><ExternalReference>EXT</ExternalReference><StoreCode>ST"
       "</StoreCode><StoreAddress>Main 1</StoreAddress><StoreZipCode>1000</StoreZipCode>"
       "<StoreCity>Nicosia</StoreCity><TillCode>T1</TillCode><Number>42</Number>"
       "<ZReportNumber>12</ZReportNumber><DeviceSerialNumber>DEV</DeviceSerialNumber>"
       "<InvoiceNumber>INV</InvoiceNumber><TotalAmount>-12.3456</TotalAmount>"
       "<TipAmount>1.5</TipAmount><CountryCode>CY</CountryCode><FiscalAreaCode>FA"
       "</FiscalAreaCode><CompanyCode>CO</CompanyCode><CompanyTaxCode>CT</CompanyTaxCode>"
       "<OperatorCode>OP</OperatorCode><ReceiptBarcode>RB</ReceiptBarcode><CurrencyCode>EUR"
       "</CurrencyCode><CustomerCode>CC</CustomerCode><CustomerCard>CD</CustomerCard>"
       "<CustomerBusinessName>Biz</CustomerBusinessName><CustomerName>Ann</CustomerName>"
       "<CustomerSurname>Lee</CustomerSurname><CustomerAddress>Road 2</CustomerAddress>"
       "<CustomerCity>Limassol</CustomerCity><CustomerProvince>LI</CustomerProvince>"
       "<CustomerCountry>CY</CustomerCountry><CustomerCountryDescription>Cyprus"
       "</CustomerCountryDescription><CustomerTaxCode>CTX</CustomerTaxCode>"
       "<CustomerFiscalCode>CFC</CustomerFiscalCode><CustomerIdNumber>ID9</CustomerIdNumber>"
       "<CustomerDateOfBirth>1990-01-02T00:00:00</CustomerDateOfBirth><LotteryIdCode>LOT"
       "</LotteryIdCode><EmailReference>ER</EmailReference><EmailRecipients>a@b.cy"
       "</EmailRecipients><Unknown>ignored</Unknown>"
       "<Headers><HeaderLine>First</HeaderLine><Other>Second</Other><HeaderLine/></Headers>"
       "<Lines/><Taxes/><Payments/></Receipt>");
  EXPECT_EQ(receipt.ReceiptType(), rt_Refund);
  EXPECT_EQ(receipt.ReceiptSubtype(), "S");
  EXPECT_EQ(receipt.ReceiptTypeDescription(), "Ret");
  EXPECT_EQ(receipt.ExternalReference(), "EXT");
  EXPECT_EQ(receipt.StoreCode(), "ST");
  EXPECT_EQ(receipt.StoreAddress(), "Main 1");
  EXPECT_EQ(receipt.StoreZipCode(), "1000");
  EXPECT_EQ(receipt.StoreCity(), "Nicosia");
  EXPECT_EQ(receipt.TillCode(), "T1");
  EXPECT_EQ(receipt.ReceiptNumber(), "42");
  EXPECT_EQ(receipt.ReceiptZReportNumber(), "12");
  EXPECT_EQ(receipt.DeviceSerialNumber(), "DEV");
  EXPECT_EQ(receipt.InvoiceNumber(), "INV");
  EXPECT_EQ(receipt.TotalAmount(), Currency::FromRaw(-123456));
  EXPECT_EQ(receipt.TipAmount(), Cents(150));
  EXPECT_EQ(receipt.CountryCode(), "CY");
  EXPECT_EQ(receipt.FiscalAreaCode(), "FA");
  EXPECT_EQ(receipt.CompanyCode(), "CO");
  EXPECT_EQ(receipt.CompanyTaxCode(), "CT");
  EXPECT_EQ(receipt.OperatorCode(), "OP");
  EXPECT_EQ(receipt.ReceiptBarcode(), "RB");
  EXPECT_EQ(receipt.CurrencyCode(), "EUR");
  EXPECT_EQ(receipt.CustomerCode(), "CC");
  EXPECT_EQ(receipt.CustomerCard(), "CD");
  EXPECT_EQ(receipt.CustomerBusinessName(), "Biz");
  EXPECT_EQ(receipt.CustomerName(), "Ann");
  EXPECT_EQ(receipt.CustomerSurname(), "Lee");
  EXPECT_EQ(receipt.CustomerAddress(), "Road 2");
  EXPECT_EQ(receipt.CustomerCity(), "Limassol");
  EXPECT_EQ(receipt.CustomerProvince(), "LI");
  EXPECT_EQ(receipt.CustomerCountry(), "CY");
  EXPECT_EQ(receipt.CustomerCountryDescription(), "Cyprus");
  EXPECT_EQ(receipt.CustomerTaxCode(), "CTX");
  EXPECT_EQ(receipt.CustomerFiscalCode(), "CFC");
  EXPECT_EQ(receipt.CustomerIdNumber(), "ID9");
  EXPECT_EQ(Parts(receipt.CustomerDateOfBirth()).year, 1990);
  EXPECT_EQ(receipt.LotteryIdCode(), "LOT");
  EXPECT_EQ(receipt.EmailReference(), "ER");
  EXPECT_EQ(receipt.EmailRecipients(), "a@b.cy");
  EXPECT_EQ(receipt.Headers(), (std::vector<std::string>{"First", "Second", ""}));
  EXPECT_FALSE(receipt.SupportSpecialChars());
}

TEST(ReceiptHeader, ValuesThatDoNotConvertFailWithTheAccessorMessage) {
  EXPECT_EQ(ReadFailure(ReceiptXml("<TotalAmount>1,234.50</TotalAmount>")),
            "Error in processing node TotalAmount as currency.\r\n'1,234.50' is not a valid "
            "floating point value");
  EXPECT_EQ(ReadFailure(ReceiptXml("", "",
                                   "<TrailerMessages><Text><Value>x</Value><Size>big"
                                   "</Size><Alignment>left</Alignment></Text>"
                                   "</TrailerMessages>")),
            "Error in processing node Size as integer.\r\n'big' is not a valid integer value");
  EXPECT_EQ(ReadFailure(ReceiptXml("", "<ProductSale><Amount>ten</Amount></ProductSale>")),
            "Error in processing node Amount as currency.\r\n'ten' is not a valid floating "
            "point value");
}

TEST(OriginalReceipt, IsReadOnlyInsideReferences) {
  kReceipt receipt;
  Read(receipt,
       ReceiptXml("<References><OriginalReceipt><ReceiptDateTime>2023-08-01T10:00:00"
                  "</ReceiptDateTime><ReceiptNumber>99</ReceiptNumber><DeviceSerialNumber>D1"
                  "</DeviceSerialNumber><ServerSerialNumber>S1</ServerSerialNumber><EJNumber>"
                  "E1</EJNumber><EJClosingNumber>C1</EJClosingNumber><ExcludeFPCheck>true"
                  "</ExcludeFPCheck><ReferenceType>EMPTIES</ReferenceType><ExternalReference>"
                  "X</ExternalReference><InvoiceNumber>I1</InvoiceNumber><InvoiceDateTime>"
                  "2023-08-02T11:00:00</InvoiceDateTime></OriginalReceipt></References>"));
  const qvOriginalReceipt& original = receipt.OriginalReceipt();
  EXPECT_EQ(Parts(original.ReceiptDateTime).day, 1);
  EXPECT_EQ(original.ReceiptNumber, "99");
  EXPECT_EQ(original.DeviceSerialNumber, "D1");
  EXPECT_EQ(original.ServerSerialNumber, "S1");
  EXPECT_EQ(original.EJNumber, "E1");
  EXPECT_EQ(original.EJClosingNumber, "C1");
  EXPECT_TRUE(original.ExcludeFPCheck);
  EXPECT_EQ(original.ReferenceType, rrt_Empties);
  EXPECT_EQ(original.ExternalReference, "");  // not taken from the document
  EXPECT_EQ(original.InvoiceNumber, "I1");
  EXPECT_EQ(Parts(original.InvoiceDateTime).hour, 11);

  kReceipt unknownType;
  Read(unknownType, ReceiptXml("<References><OriginalReceipt><ReferenceType>paper"
                               "</ReferenceType><ReceiptNumber>5</ReceiptNumber>"
                               "</OriginalReceipt></References>"));
  EXPECT_EQ(unknownType.OriginalReceipt().ReferenceType, rrt_OriginalReceipt);
  EXPECT_EQ(unknownType.OriginalReceipt().ReceiptNumber, "5");

  kReceipt outside;
  Read(outside, ReceiptXml("<OriginalReceipt><ReceiptNumber>5</ReceiptNumber>"
                           "</OriginalReceipt><References/>"));
  EXPECT_EQ(outside.OriginalReceipt().ReceiptNumber, "");
}

// ---------------------------------------------------------------------------------------

TEST(BodyLines, ElementNameIsTheLineTypeInAnyCase) {
  kReceipt receipt;
  Read(receipt, ReceiptXml("", "<productsale/><ProductSale/><PRODUCTRETURN/>"));
  ASSERT_EQ(receipt.Lines().Count(), 3u);
  EXPECT_EQ(receipt.Lines()[0].LineType(), rlt_ProductSale);
  EXPECT_EQ(receipt.Lines()[1].LineType(), rlt_ProductSale);
  EXPECT_EQ(receipt.Lines()[2].LineType(), rlt_ProductReturn);
  EXPECT_EQ(receipt.Lines()[2].Owner(), &receipt);

  EXPECT_EQ(ReadFailure(ReceiptXml("", "<ProductSale/><Item/>")), "LineType item is invalid");

  kReceipt empty;
  Read(empty, ReceiptXml("", ""));
  EXPECT_EQ(empty.Lines().Count(), 0u);
}

TEST(BodyLines, ProductLinesReadEveryValue) {
  kReceipt receipt;
  Read(receipt,
       ReceiptXml("",
                  "<ProductSale><Code>C1</Code><Description>Bread</Description><Quantity>2"
                  "</Quantity><UOM>PCS</UOM><Department>D1</Department><TaxCode>A</TaxCode>"
                  "<Price>1.25</Price><Amount>2.5</Amount><FreeOfCharge>true</FreeOfCharge>"
                  "<Attribute>PRODUCT</Attribute><VoucherCode>V</VoucherCode></ProductSale>"
                  "<ProductReturn><Amount>4</Amount><Attribute>service</Attribute>"
                  "</ProductReturn><WeightedProductSale><Quantity>0.512</Quantity><Amount>"
                  "5.12</Amount><Tare>0.01</Tare></WeightedProductSale>"));
  ASSERT_EQ(receipt.Lines().Count(), 3u);
  const auto& sale = dynamic_cast<const kReceiptLineProductSale&>(receipt.Lines()[0]);
  EXPECT_EQ(sale.Code(), "C1");
  EXPECT_EQ(sale.Description(), "Bread");
  EXPECT_EQ(sale.Quantity(), Cents(200));
  EXPECT_EQ(sale.UOM(), "PCS");
  EXPECT_EQ(sale.Department(), "D1");
  EXPECT_EQ(sale.TaxCode(), "A");
  EXPECT_EQ(sale.Price(), Cents(125));
  EXPECT_EQ(sale.Amount(), Cents(250));
  EXPECT_TRUE(sale.FreeOfCharge());
  EXPECT_EQ(sale.Attribute(), rla_Product);
  EXPECT_EQ(sale.VoucherCode(), "");  // not read from the document
  EXPECT_EQ(sale.GetAmount(), Cents(0));

  const auto& returned = dynamic_cast<const kReceiptLineProductReturn&>(receipt.Lines()[1]);
  EXPECT_EQ(returned.GetAmount(), Cents(-400));
  EXPECT_FALSE(returned.FreeOfCharge());
  EXPECT_EQ(returned.Attribute(), rla_Service);

  const auto& weighed = dynamic_cast<const kReceiptLineWeightedProductSale&>(receipt.Lines()[2]);
  EXPECT_EQ(weighed.Quantity(), Currency::FromRaw(5120));
  EXPECT_EQ(weighed.Tare(), Cents(1));
  EXPECT_EQ(weighed.Attribute(), rla_Service);  // no Attribute: a service line
}

TEST(BodyLines, VoucherGiftCardAndCollectLines) {
  kReceipt receipt;
  Read(receipt,
       ReceiptXml("",
                  "<VoucherSale><Code>V1</Code><Description>Voucher</Description>"
                  "<Department>D</Department><TaxCode>Z</TaxCode><Price>20</Price>"
                  "<FreeOfCharge>1</FreeOfCharge></VoucherSale>"
                  "<VoucherRedeem><Code>V1</Code><Price>20</Price><FreeOfCharge>true"
                  "</FreeOfCharge></VoucherRedeem>"
                  "<GiftCardSale><Code>G</Code><Price>50</Price></GiftCardSale>"
                  "<GiftCardRedeem><Price>15</Price><FreeOfCharge>true</FreeOfCharge>"
                  "</GiftCardRedeem>"
                  "<CollectAmount><Description>Deposit</Description><Department>DP"
                  "</Department><TaxCode>E</TaxCode><Amount>0.5</Amount></CollectAmount>"));
  ASSERT_EQ(receipt.Lines().Count(), 5u);
  const auto& voucher = dynamic_cast<const kReceiptLineVoucherSale&>(receipt.Lines()[0]);
  EXPECT_EQ(voucher.Code(), "V1");
  EXPECT_EQ(voucher.Description(), "Voucher");
  EXPECT_EQ(voucher.Department(), "D");
  EXPECT_EQ(voucher.TaxCode(), "Z");
  EXPECT_TRUE(voucher.FreeOfCharge());
  EXPECT_EQ(voucher.GetAmount(), Cents(0));
  // Redeemed vouchers and gift cards are never free of charge.
  EXPECT_EQ(receipt.Lines()[1].GetAmount(), Cents(-2000));
  EXPECT_EQ(receipt.Lines()[2].GetAmount(), Cents(5000));
  EXPECT_EQ(receipt.Lines()[3].GetAmount(), Cents(-1500));
  const auto& collect = dynamic_cast<const kReceiptLineCollectAmount&>(receipt.Lines()[4]);
  EXPECT_EQ(collect.Description(), "Deposit");
  EXPECT_EQ(collect.Department(), "DP");
  EXPECT_EQ(collect.TaxCode(), "E");
  EXPECT_EQ(collect.GetAmount(), Cents(50));
}

TEST(BodyLines, AdjustmentSubtotalAndTextLines) {
  kReceipt receipt;
  Read(receipt,
       ReceiptXml(
           "<TotalAmount>25</TotalAmount>",
           "<ProductSale><Amount>10</Amount></ProductSale>"
           "<ProductSale><Amount>20</Amount></ProductSale>"
           "<SubTotal><Amount>30</Amount></SubTotal>"
           "<Text><Description>Thank you</Description></Text>"
           "<DiscountAmountOnSubtotal><Amount>5</Amount><Description>Promo</Description>"
           "</DiscountAmountOnSubtotal>"
           "<MarkupPercentage><Percentage>10</Percentage><Amount>1</Amount></MarkupPercentage>"
           "<DiscountPercentageOnSubtotal><Percentage>0</Percentage><Amount>1</Amount>"
           "</DiscountPercentageOnSubtotal><MarkupAmountOnSubtotal><Amount>1</Amount>"
           "</MarkupAmountOnSubtotal>"));
  ASSERT_EQ(receipt.Lines().Count(), 8u);
  EXPECT_EQ(dynamic_cast<const kReceiptLineSubtotal&>(receipt.Lines()[2]).Amount(), Cents(3000));
  EXPECT_EQ(dynamic_cast<const kReceiptLineText&>(receipt.Lines()[3]).Description(), "Thank you");
  const auto& promo = dynamic_cast<const kReceiptLineDiscountAmountOnSubTotal&>(receipt.Lines()[4]);
  EXPECT_EQ(promo.Description(), "Promo");
  EXPECT_EQ(promo.GetAmount(), Cents(-500));
  const auto& markup = dynamic_cast<const kReceiptLineMarkupPercentage&>(receipt.Lines()[5]);
  EXPECT_EQ(markup.Percentage(), Cents(1000));
  EXPECT_EQ(markup.GetAmount(), Cents(100));
  EXPECT_EQ(receipt.Lines()[6].LineType(), rlt_DiscountPercentageOnSubTotal);
  EXPECT_EQ(receipt.Lines()[7].LineType(), rlt_MarkupAmountOnSubtotal);
  EXPECT_EQ(receipt.GetCalculatedAmount(), Cents(2600));

  // The worked example straight from a document.
  kReceipt example;
  Read(example, ReceiptXml("<TotalAmount>25.00</TotalAmount>",
                           "<ProductSale><Amount>10.00</Amount></ProductSale>"
                           "<ProductSale><Amount>20.00</Amount></ProductSale>"
                           "<DiscountAmountOnSubtotal><Amount>5.00</Amount>"
                           "</DiscountAmountOnSubtotal>"));
  example.CalcLinesNetAmount();
  EXPECT_EQ(example.Lines()[0].NetAmount(), Cents(833));
  EXPECT_EQ(example.Lines()[1].NetAmount(), Cents(1667));
}

TEST(BodyLines, ValuesReadAsTheAccessorsReadThem) {
  // Children in any order, repeated names (the first counts), CDATA, text broken by a comment,
  // an element inside the value, blanks.
  const std::string line =
      "<ProductSale><Amount>1.5</Amount><Attribute>product</Attribute><Code>A<!-- x -->B</Code>"
      "<Amount>9</Amount><Description><![CDATA[<fresh> & good]]></Description><UOM><b>kg</b>"
      "</UOM><TaxCode>  T  </TaxCode><Price> 2.25 </Price><Code>later</Code></ProductSale>";
  kReceipt receipt;
  Read(receipt, ReceiptXml("", line));
  pugi::xml_document document;
  base::ParseXml(document, line);
  const pugi::xml_node node = document.document_element();
  const auto& sale = dynamic_cast<const kReceiptLineProductSale&>(receipt.Lines()[0]);
  EXPECT_EQ(sale.Amount(), krptUtil::GetNodeValueAsCurrency(node, "Amount"));
  EXPECT_EQ(sale.Amount(), Cents(150));
  EXPECT_EQ(sale.Code(), krptUtil::GetNodeValueAsString(node, "Code"));
  EXPECT_EQ(sale.StoredDescription(), "<fresh> & good");
  EXPECT_EQ(sale.UOM(), krptUtil::GetNodeValueAsString(node, "UOM"));
  EXPECT_EQ(sale.TaxCode(), "  T  ");
  EXPECT_EQ(sale.Price(), krptUtil::GetNodeValueAsCurrency(node, "Price"));
  EXPECT_EQ(sale.Attribute(), rla_Product);

  EXPECT_EQ(ReadFailure(ReceiptXml("",
                                   "<DiscountAmount><Amount>1</Amount><Amount>x</Amount>"
                                   "</DiscountAmount><Text><Description>ok</Description>"
                                   "</Text>")),
            "");
  EXPECT_EQ(ReadFailure(ReceiptXml("",
                                   "<VoucherSale><FreeOfCharge>maybe</FreeOfCharge>"
                                   "</VoucherSale>")),
            "Error in processing node FreeOfCharge as boolean.\r\n'maybe' is not a valid "
            "boolean value");
  EXPECT_EQ(ReadFailure(ReceiptXml("",
                                   "<WeightedProductSale><Tare>-</Tare>"
                                   "</WeightedProductSale>")),
            "Error in processing node Tare as currency.\r\n'-' is not a valid floating point "
            "value");
}

// A text of blanks only is the element's text, as the accessors read it: a description of
// one blank is one blank, and blanks are no amount.
TEST(BodyLines, TextsOfBlanksOnlyAreTexts) {
  kReceipt receipt;
  Read(receipt, ReceiptXml("",
                           "<ProductSale><Description> </Description><Code>  </Code>"
                           "<Amount>2</Amount></ProductSale>"));
  const auto& sale = dynamic_cast<const kReceiptLineProductSale&>(receipt.Lines()[0]);
  EXPECT_EQ(sale.StoredDescription(), " ");
  EXPECT_EQ(sale.Code(), "  ");
  EXPECT_EQ(ReadFailure(ReceiptXml("", "<ProductSale><Amount>  </Amount></ProductSale>")),
            "Error in processing node Amount as currency.\r\n'  ' is not a valid floating point "
            "value");
  EXPECT_EQ(ReadFailure(ReceiptXml("<TotalAmount> </TotalAmount>")),
            "Error in processing node TotalAmount as currency.\r\n' ' is not a valid floating "
            "point value");
}

// ---------------------------------------------------------------------------------------

TEST(TaxesAndPayments, OnlyExactlyNamedChildrenCount) {
  kReceipt receipt;
  Read(receipt,
       "<Receipt><Type>Sale</Type><Lines/><Taxes><tax><Type>VAT</Type></tax><Tax><Type>vat"
       "</Type><Code>A</Code><Description>Standard</Description><Rate>19</Rate><TaxableAmount>"
       "100</TaxableAmount><TaxAmount>19</TaxAmount><TotalAmount>119</TotalAmount></Tax><Tax>"
       "<Type>SALESTAX</Type><Code>S</Code></Tax></Taxes><Payments><Payment><Type>Cash</Type>"
       "<Description>Cash</Description><Amount>150</Amount><Currency>EUR</Currency><Quantity>1"
       "</Quantity><UnitPrice>150</UnitPrice></Payment><payment><Type>cash</Type></payment>"
       "<Payment><Type>change</Type><Amount>31</Amount></Payment></Payments></Receipt>");
  ASSERT_EQ(receipt.Taxes().Count(), 2u);
  const kReceiptTaxLine& tax = receipt.Taxes()[0];
  EXPECT_EQ(tax.TaxType(), tt_VAT);
  EXPECT_EQ(tax.TaxCode(), "A");
  EXPECT_EQ(tax.TaxDescription(), "Standard");
  EXPECT_EQ(tax.TaxRate(), Cents(1900));
  EXPECT_EQ(tax.TaxableAmount(), Cents(10000));
  EXPECT_EQ(tax.TaxAmount(), Cents(1900));
  EXPECT_EQ(tax.TotalAmount(), Cents(11900));
  EXPECT_EQ(tax.Owner(), &receipt);
  EXPECT_EQ(receipt.Taxes()[1].TaxType(), tt_SalesTax);
  EXPECT_EQ(receipt.GetNetAmount(Cents(11900), "A"), Cents(10000));

  ASSERT_EQ(receipt.PaymentLines().Count(), 2u);
  const kReceiptPaymentLine& cash = receipt.PaymentLines()[0];
  EXPECT_EQ(cash.PaymentType(), rpt_Cash);
  EXPECT_EQ(cash.Description(), "Cash");
  EXPECT_EQ(cash.Amount(), Cents(15000));
  EXPECT_EQ(cash.PaymentCurrency(), "EUR");
  EXPECT_EQ(cash.Quantity(), Cents(100));
  EXPECT_EQ(cash.UnitPrice(), Cents(15000));
  EXPECT_EQ(receipt.PaymentLines()[1].PaymentType(), Rpt_Change);
  EXPECT_EQ(receipt.PaymentLines().TotalAmount(), Cents(15000));
}

TEST(TaxesAndPayments, TypesAreRequired) {
  auto withLists = [](const std::string& aTaxes, const std::string& aPayments) {
    return "<Receipt><Type>Sale</Type><Lines/><Taxes>" + aTaxes + "</Taxes><Payments>" + aPayments +
           "</Payments></Receipt>";
  };
  EXPECT_EQ(ReadFailure(withLists("<Tax><Code>A</Code></Tax>", "")), "TaxType  is invalid");
  EXPECT_EQ(ReadFailure(withLists("<Tax><Type>GST</Type></Tax>", "")), "TaxType gst is invalid");
  EXPECT_EQ(ReadFailure(withLists("", "<Payment><Amount>1</Amount></Payment>")),
            "PaymentType  is invalid");
  EXPECT_EQ(ReadFailure(withLists("", "<Payment><Type>Bitcoin</Type></Payment>")),
            "PaymentType bitcoin is invalid");
}

// ---------------------------------------------------------------------------------------

TEST(MessageLines, TrailerAndLeaderLinesWithTheirDefaults) {
  kReceipt receipt;
  Read(receipt, ReceiptXml("", "",
                           "<TrailerMessages><Text><Value>Thanks</Value><Size>2</Size>"
                           "<Alignment>CENTER</Alignment><Effects>bold</Effects></Text>"
                           "<Barcode><Value>123</Value><Type>qrcode</Type></Barcode>"
                           "<Barcode><Value>4</Value><Type>EAN13</Type><HRI>false</HRI>"
                           "<QRCodeMinVersion>0</QRCodeMinVersion></Barcode>"
                           "<Barcode><Type>code128</Type><QRCodeMinVersion>5</QRCodeMinVersion>"
                           "</Barcode><Note/><text><Alignment>left</Alignment></text>"
                           "</TrailerMessages><LeaderLines><Image><Alignment>right</Alignment>"
                           "<Source>resource</Source><Value>logo</Value></Image></LeaderLines>"));
  ASSERT_EQ(receipt.TrailerMessages().Count(), 4u);
  const auto& text = dynamic_cast<const kReceiptMessageTextLine&>(receipt.TrailerMessages()[0]);
  EXPECT_EQ(text.Value(), "Thanks");
  EXPECT_EQ(text.Size(), 2);
  EXPECT_EQ(text.Alignment(), la_center);
  EXPECT_TRUE(text.Effects().IsEmpty());  // effects are not read for a receipt
  EXPECT_EQ(text.Section(), rs_lead);
  EXPECT_EQ(text.Owner(), &receipt);

  const auto& qr = dynamic_cast<const kReceiptMessageBarcodeLine&>(receipt.TrailerMessages()[1]);
  EXPECT_EQ(qr.Value(), "123");
  EXPECT_EQ(qr.BarcodeType(), bt_QRCODE);
  EXPECT_TRUE(qr.HRI());
  EXPECT_EQ(qr.QRCodeMinVersion(), 1);
  EXPECT_EQ(qr.Alignment(), la_none);
  const auto& ean = dynamic_cast<const kReceiptMessageBarcodeLine&>(receipt.TrailerMessages()[2]);
  EXPECT_FALSE(ean.HRI());
  EXPECT_EQ(ean.QRCodeMinVersion(), 1);
  const auto& big = dynamic_cast<const kReceiptMessageBarcodeLine&>(receipt.TrailerMessages()[3]);
  EXPECT_EQ(big.QRCodeMinVersion(), 5);

  ASSERT_EQ(receipt.LeaderLines().Count(), 1u);
  const auto& image = dynamic_cast<const kReceiptMessageImageLine&>(receipt.LeaderLines()[0]);
  EXPECT_EQ(image.Alignment(), la_right);
  EXPECT_EQ(image.Source(), is_Resource);  // neither source nor name is read
  EXPECT_EQ(image.Value(), "");
  EXPECT_EQ(image.Section(), rs_lead);
}

TEST(MessageLines, RequiredCodesFailWithTheirMessages) {
  auto trailer = [](const std::string& aChildren) {
    return ReadFailure(ReceiptXml("", "", "<TrailerMessages>" + aChildren + "</TrailerMessages>"));
  };
  EXPECT_EQ(trailer("<Text><Value>x</Value></Text>"), "Alignment  is invalid");
  EXPECT_EQ(trailer("<Text><Alignment>middle</Alignment></Text>"), "Alignment middle is invalid");
  EXPECT_EQ(trailer("<Image/>"), "Alignment  is invalid");
  EXPECT_EQ(trailer("<Barcode><Value>1</Value></Barcode>"), "BarcodeType  is invalid");
  EXPECT_EQ(trailer("<Barcode><Type>PDF417</Type></Barcode>"), "BarcodeType pdf417 is invalid");
  EXPECT_EQ(trailer("<Barcode><Type>upca</Type><HRI/></Barcode>"),
            "Error in processing node HRI as boolean.\r\n'' is not a valid boolean value");
  EXPECT_EQ(ReadFailure(ReceiptXml("", "", "<LeaderLines><Text/></LeaderLines>")),
            "Alignment  is invalid");
}

}  // namespace
}  // namespace qv::documents
