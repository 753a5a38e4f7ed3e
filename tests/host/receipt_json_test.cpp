// The receipt's JSON form: exact decimals, the list elements as arrays of one-key items,
// and the bodies that do not map.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "serve/receipt_json.h"

namespace qv::host {
namespace {

using ::testing::HasSubstr;

int StatusOf(const std::function<void()>& aCall, std::string& aMessage) {
  try {
    aCall();
  } catch (const HttpFailure& e) {
    aMessage = e.what();
    return e.Status();
  }
  return 0;
}

TEST(ReceiptJson, NumbersKeepTheirDigitsInTheShortestDecimalForm) {
  EXPECT_EQ(ShortestDecimal("16.740"), "16.74");
  EXPECT_EQ(ShortestDecimal("0.1"), "0.1");
  EXPECT_EQ(ShortestDecimal("-0.50"), "-0.5");
  EXPECT_EQ(ShortestDecimal("-0"), "0");
  EXPECT_EQ(ShortestDecimal("0.000"), "0");
  EXPECT_EQ(ShortestDecimal("1e2"), "100");
  EXPECT_EQ(ShortestDecimal("1.5E-3"), "0.0015");
  EXPECT_EQ(ShortestDecimal("12345678901234567890.0001"), "12345678901234567890.0001");
  EXPECT_EQ(ShortestDecimal("00012.30"), "12.3");
  std::string message;
  EXPECT_EQ(StatusOf([] { ShortestDecimal("1e999"); }, message), 400);
  EXPECT_THAT(message, HasSubstr("too large"));
}

TEST(ReceiptJson, BodyBecomesTheReceiptElementWithExactAmounts) {
  std::string xml = ReceiptXmlFromJson(
      R"({"Type": "Sale", "TotalAmount": 0.30, "PrintReceipt": false, "Note": null,
          "Lines": [{"ProductSale": {"Description": "Espresso", "Quantity": 2, "Price": 0.15}},
                    {"Text": {"Description": "Καλή όρεξη"}}],
          "Taxes": [], "Payments": [{"Payment": {"Type": "Cash", "Amount": "0.300"}}],
          "References": [{"OriginalReceipt": {"ReceiptNumber": "7"}}]})");
  EXPECT_EQ(xml,
            "<Receipt><Type>Sale</Type><TotalAmount>0.3</TotalAmount>"
            "<PrintReceipt>False</PrintReceipt><Note/>"
            "<Lines><ProductSale><Description>Espresso</Description><Quantity>2</Quantity>"
            "<Price>0.15</Price></ProductSale><Text><Description>Καλή όρεξη</Description></Text>"
            "</Lines><Taxes/><Payments><Payment><Type>Cash</Type><Amount>0.300</Amount>"
            "</Payment></Payments><References><OriginalReceipt><ReceiptNumber>7</ReceiptNumber>"
            "</OriginalReceipt></References></Receipt>");
}

TEST(ReceiptJson, ElementBecomesJsonWithListsAsArraysOfOneKeyItems) {
  pugi::xml_document document;
  ASSERT_TRUE(document.load_string(
      "<Receipt><Type>Sale</Type><Lines><ProductSale><Price>3.5</Price></ProductSale>"
      "<SubTotal><Amount>3.5</Amount></SubTotal></Lines><Taxes/>"
      "<TrailerMessages><Text><Value>Thanks</Value></Text><Text><Value>Bye</Value></Text>"
      "</TrailerMessages></Receipt>"));
  Json json = ElementToJson(document.document_element());
  EXPECT_EQ(
      json.dump(),
      R"({"Type":"Sale","Lines":[{"ProductSale":{"Price":"3.5"}},{"SubTotal":{"Amount":"3.5"}}],)"
      R"("Taxes":[],"TrailerMessages":[{"Text":{"Value":"Thanks"}},{"Text":{"Value":"Bye"}}]})");
}

TEST(ReceiptJson, BodiesThatDoNotMapAreRefusedWithThePlace) {
  const std::pair<const char*, const char*> cases[] = {
      {R"({"Type": )", "The body is not JSON"},
      {R"([{"Type": "Sale"}])", "the body is an array"},
      {R"("Sale")", "the body is not an object"},
      {R"({"Lines": [{"ProductSale": {}, "SubTotal": {}}]})",
       "Receipt.Lines[0] has more than one key"},
      {R"({"Lines": ["ProductSale"]})", "an item of Receipt.Lines is not an object"},
      {R"({"Lines": [{}]})", "Receipt.Lines[0] is empty"},
      {R"({"Lines": [[]]})", "an item of Receipt.Lines is an array"},
      {R"({"Total Amount": 1})", "\"Total Amount\" in Receipt is not an element name"},
      {R"({"Lines": [{"ProductSale": {"1Price": 1}}]})",
       "\"1Price\" in Receipt.Lines[0].ProductSale"}};
  for (const auto& [body, expected] : cases) {
    std::string message;
    EXPECT_EQ(StatusOf([body = body] { ReceiptXmlFromJson(body); }, message), 400) << body;
    EXPECT_THAT(message, HasSubstr(expected)) << body;
  }
}

TEST(ReceiptJson, XmlBodyMustBeTheReceiptElement) {
  EXPECT_EQ(
      ReceiptXmlFromXml("<?xml version=\"1.0\"?>\n<Receipt>\n  <Type>Sale</Type>\n</Receipt>"),
      "<Receipt><Type>Sale</Type></Receipt>");
  std::string message;
  EXPECT_EQ(
      StatusOf([] { ReceiptXmlFromXml("<FiscalRequest><Receipt/></FiscalRequest>"); }, message),
      400);
  EXPECT_THAT(message, HasSubstr("must be the Receipt element, not <FiscalRequest>"));
  EXPECT_EQ(StatusOf([] { ReceiptXmlFromXml("<Receipt>"); }, message), 400);
  EXPECT_THAT(message, HasSubstr("The body is not XML"));
}

}  // namespace
}  // namespace qv::host
