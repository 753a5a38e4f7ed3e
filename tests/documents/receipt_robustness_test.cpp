// Hostile and damaged receipt documents: every one either reads or fails with a message;
// nothing crashes, hangs or grows without bound.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "base/xml_utils.h"
#include "documents/receipt.h"
#include "platform/error.h"

namespace qv::documents {
namespace {

const char kSampleReceipt[] =
    "<Request><Handle>1</Handle><Receipt><Layout>L</Layout><Type>Sale</Type><Number>1</Number>"
    "<DateTime>2023-08-09T09:39:19</DateTime><TotalAmount>25.00</TotalAmount><PrintReceipt>true"
    "</PrintReceipt><References><OriginalReceipt><ReceiptNumber>9</ReceiptNumber>"
    "<ReferenceType>EFTReceipt</ReferenceType></OriginalReceipt></References><Headers>"
    "<HeaderLine>Shop</HeaderLine></Headers><Lines><ProductSale><Code>1</Code><Description>"
    "Bread</Description><Quantity>2</Quantity><Price>5</Price><Amount>10.00</Amount>"
    "<FreeOfCharge>false</FreeOfCharge><Attribute>product</Attribute></ProductSale>"
    "<WeightedProductSale><Amount>20.00</Amount><Tare>0.1</Tare></WeightedProductSale>"
    "<DiscountAmount><Amount>1</Amount></DiscountAmount><MarkupAmount><Amount>1</Amount>"
    "</MarkupAmount><SubTotal><Amount>30</Amount></SubTotal><DiscountAmountOnSubtotal><Amount>"
    "5.00</Amount></DiscountAmountOnSubtotal><CollectAmount><Amount>0.5</Amount>"
    "</CollectAmount></Lines><Taxes><Tax><Type>VAT</Type><Code>A</Code><Rate>19</Rate>"
    "<TaxAmount>4</TaxAmount></Tax></Taxes><Payments><Payment><Type>cash</Type><Amount>30"
    "</Amount></Payment><Payment><Type>change</Type><Amount>5</Amount></Payment></Payments>"
    "<TrailerMessages><Text><Value>Bye</Value><Alignment>left</Alignment></Text><Barcode>"
    "<Value>1</Value><Type>qrcode</Type><HRI>0</HRI></Barcode></TrailerMessages><LeaderLines>"
    "<Image><Alignment>center</Alignment></Image></LeaderLines></Receipt></Request>";

// Reads, computes and writes aXml. Returns "" when everything went through, else the message;
// any failure that is not a qv::Error fails the test.
std::string Exercise(const std::string& aXml) {
  try {
    pugi::xml_document document;
    base::ParseXml(document, aXml);
    kReceipt receipt;
    receipt.Deserialize(document);
    receipt.CalcLinesNetAmount();
    receipt.GetCalculatedAmount();
    receipt.TotalQuantity();
    receipt.GetNetAmount(receipt.TotalAmount(), "A");
    receipt.PaymentLines().TotalAmount();
    const std::string written = receipt.Serialize();
    pugi::xml_document again;
    base::ParseXml(again, written);
    kReceipt copy;
    copy.Deserialize(again);
    return "";
  } catch (const qv::Error& error) {
    EXPECT_STRNE(error.what(), "");
    return error.what();
  } catch (const std::exception& error) {
    ADD_FAILURE() << "unexpected failure: " << error.what() << "\nfor: " << aXml;
    return error.what();
  }
}

TEST(ReceiptRobustness, SampleReadsComputesAndWrites) { EXPECT_EQ(Exercise(kSampleReceipt), ""); }

TEST(ReceiptRobustness, DeeplyNestedDocumentIsRefused) {
  std::string nested = "<Receipt><Type>Sale</Type><Lines/><Taxes/><Payments/><Headers>";
  for (int i = 0; i < 300; ++i) nested += "<a>";
  for (int i = 0; i < 300; ++i) nested += "</a>";
  nested += "</Headers></Receipt>";
  EXPECT_EQ(Exercise(nested), "XML document nested deeper than 256 elements");

  // Three hundred thousand open elements: refused without exhausting the stack.
  std::string hostile;
  for (int i = 0; i < 300000; ++i) hostile += "<a>";
  EXPECT_NE(Exercise(hostile), "");
  for (int i = 0; i < 300000; ++i) hostile += "</a>";
  EXPECT_EQ(Exercise(hostile), "XML document nested deeper than 256 elements");
}

TEST(ReceiptRobustness, HugeDocumentIsRefused) {
  std::string huge = "<Receipt><Type>Sale</Type><Lines/><Taxes/><Payments/><Headers><H>";
  huge.append(64u * 1024u * 1024u, 'x');
  huge += "</H></Headers></Receipt>";
  EXPECT_EQ(Exercise(huge), "XML document too large: more than 64 MiB");
}

TEST(ReceiptRobustness, ManyLinesReadInFull) {
  std::string xml = "<Receipt><Type>Sale</Type><TotalAmount>19999.99</TotalAmount><Lines>";
  for (int i = 0; i < 20000; ++i) xml += "<ProductSale><Amount>1</Amount></ProductSale>";
  xml += "<DiscountAmountOnSubtotal><Amount>0.01</Amount></DiscountAmountOnSubtotal>";
  xml += "</Lines><Taxes/><Payments/></Receipt>";
  pugi::xml_document document;
  base::ParseXml(document, xml);
  kReceipt receipt;
  receipt.Deserialize(document);
  ASSERT_EQ(receipt.Lines().Count(), 20001u);
  receipt.CalcLinesNetAmount();
  Currency net;
  for (const kReceiptLine& line : receipt.Lines()) {
    if (IsItemLine(line.LineType())) net += line.NetAmount();
  }
  EXPECT_EQ(net, Currency::FromRaw(199999900));
}

TEST(ReceiptRobustness, AmountsBeyondTheCurrencyRangeFailWithAMessage) {
  const std::string huge =
      "<Receipt><Type>Sale</Type><Lines><ProductSale><Amount>"
      "900000000000000</Amount></ProductSale><ProductSale><Amount>"
      "900000000000000</Amount></ProductSale></Lines><Taxes/><Payments/>"
      "</Receipt>";
  EXPECT_NE(Exercise(huge), "");
  const std::string exponent =
      "<Receipt><Type>Sale</Type><TotalAmount>1e30</TotalAmount><Lines/><Taxes/><Payments/>"
      "</Receipt>";
  EXPECT_NE(Exercise(exponent).find("Error in processing node TotalAmount as currency.\r\n"),
            std::string::npos);
}

TEST(ReceiptRobustness, EntitiesDeclaredInTheDocumentAreRefusedUnexpanded) {
  const std::string laughs =
      "<!DOCTYPE Receipt [<!ENTITY lol \"lol\"><!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;\">"
      "<!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;\">]><Receipt><Type>Sale</Type>"
      "<StoreCity>&lol3;</StoreCity><Lines/><Taxes/><Payments/></Receipt>";
  pugi::xml_document document;
  try {
    base::ParseXml(document, laughs);
    ADD_FAILURE() << "a document type declaration was read";
  } catch (const qv::Error& error) {
    EXPECT_STREQ(error.what(), "XML document type declarations are not accepted");
  }
  EXPECT_FALSE(document.document_element());
}

TEST(ReceiptRobustness, DamagedDocumentsReadOrFailWithAMessage) {
  const std::string sample = kSampleReceipt;
  const std::string alphabet = "<>/&;\"'=0123456789.-eE xX#\n\t";
  std::mt19937 random(20230809);
  int read = 0;
  int refused = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string damaged = sample;
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int edit = 0; edit < edits && !damaged.empty(); ++edit) {
      const std::size_t at = random() % damaged.size();
      switch (random() % 4) {
        case 0:  // overwrite one character
          damaged[at] = alphabet[random() % alphabet.size()];
          break;
        case 1:  // insert one character
          damaged.insert(at, 1, alphabet[random() % alphabet.size()]);
          break;
        case 2:  // cut a stretch
          damaged.erase(at, random() % 40);
          break;
        default:  // repeat a stretch elsewhere
          damaged.insert(random() % damaged.size(), damaged.substr(at, random() % 80));
          break;
      }
    }
    (Exercise(damaged).empty() ? read : refused)++;
  }
  // Both outcomes occur, so the damage reached the reader as well as the parser.
  EXPECT_GT(read, 0);
  EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace qv::documents
