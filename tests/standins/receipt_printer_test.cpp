// The receipt-printer driver stand-in, loaded from the build folder and called as the
// signing processor calls it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <pugixml.hpp>

#include "platform/dynamic_library.h"
#include "platform/ole_string.h"
#include "platform/unicode.h"
#include "standins/support/scratch_drive.h"

namespace qv::testing {
namespace {

using platform::OleStr;
using platform::OleString;
using DriverFunction = int16_t (*)(OleStr, OleStr*, OleStr*);

struct tCall {
  int16_t status = 0;
  std::string output;
  std::string error;
};

std::string Device(const std::string& aMethod, int aHandle, const std::string& aLineLength = "52",
                   const std::string& aProtocol = "text", const std::string& aGetText = "True") {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><ReceiptPrinterManager Version=\"1.0\">"
      "<Type>FISCALPRINTER</Type><Driver>QVRP_GENERIC_10</Driver><Method>" +
      aMethod + "</Method><LogId/>";
  if (aMethod != "OPEN") xml += "<Handle>" + std::to_string(aHandle) + "</Handle>";
  xml +=
      "<Connection><Type>COM</Type><ConnectTimeout>1000</ConnectTimeout>"
      "<ReadTimeout>1000</ReadTimeout></Connection><Parameters><Protocol>" +
      aProtocol + "</Protocol><LineLength>" + aLineLength +
      "</LineLength><HexLog>False</HexLog><GetReceiptText>" + aGetText +
      "</GetReceiptText></Parameters>";
  return xml;
}

const char* const kReceipt = R"(<Receipt>
  <Type>Sale</Type><Number>42</Number><DateTime>2023-08-09T09:39:19</DateTime>
  <ZReportNumber>3</ZReportNumber><TillCode>T1</TillCode><OperatorCode>7</OperatorCode>
  <StoreAddress>1 Makarios Avenue</StoreAddress><StoreZipCode>1065</StoreZipCode>
  <StoreCity>Nicosia</StoreCity><CurrencyCode>EUR</CurrencyCode><TotalAmount>12.70</TotalAmount>
  <Headers><HeaderLine>COFFEE HOUSE LTD</HeaderLine></Headers>
  <Lines>
    <ProductSale><Description>Espresso</Description><Quantity>2</Quantity>
      <TaxCode>A</TaxCode><Price>1.50</Price><Amount>3.00</Amount></ProductSale>
    <DiscountPercentage><Percentage>10</Percentage><Amount>0.30</Amount></DiscountPercentage>
    <WeightedProductSale><Description>Halloumi</Description><Quantity>0.75</Quantity>
      <UOM>kg</UOM><TaxCode>B</TaxCode><Price>12.00</Price><Amount>9.00</Amount></WeightedProductSale>
    <SubTotal><Amount>11.70</Amount></SubTotal>
    <MarkupAmount><Description>Service</Description><Amount>1.00</Amount></MarkupAmount>
    <Text><Description>Thank you for visiting</Description></Text>
  </Lines>
  <Taxes><Tax><Type>VAT</Type><Code>A</Code><Rate>19</Rate><TaxableAmount>3.12</TaxableAmount>
    <TaxAmount>0.59</TaxAmount><TotalAmount>3.71</TotalAmount></Tax></Taxes>
  <Payments><Payment><Type>Cash</Type><Amount>20.00</Amount></Payment></Payments>
  <TrailerMessages>
    <Text><Value>See you soon</Value><Alignment>Center</Alignment><Size>1</Size></Text>
    <Text><Value>www.coffee.cy</Value><Alignment>Right</Alignment></Text>
  </TrailerMessages>
</Receipt>)";

class ReceiptPrinter : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(fLibrary.Load(BinFolder() + "QVRP_GENERIC_10.dll", error)) << error;
    fOpen = reinterpret_cast<DriverFunction>(fLibrary.Symbol("OPEN"));
    fPrint = reinterpret_cast<DriverFunction>(fLibrary.Symbol("PRINTFR"));
    ASSERT_NE(fOpen, nullptr);
    ASSERT_NE(fPrint, nullptr);
  }

  static tCall Call(DriverFunction aFunction, const std::string& aRequest) {
    OleString request(aRequest);
    OleString output;
    OleString error;
    tCall call;
    call.status = aFunction(request.Get(), output.Out(), error.Out());
    call.output = output.ToUtf8();
    call.error = error.ToUtf8();
    return call;
  }

  int OpenDevice() {
    const tCall call = Call(fOpen, Device("OPEN", 1) + "</ReceiptPrinterManager>");
    EXPECT_EQ(call.status, 0) << call.error;
    pugi::xml_document document;
    document.load_string(("<Root>" + call.output + "</Root>").c_str());
    return document.child("Root").child("Handle").text().as_int(0);
  }

  tCall Print(const std::string& aReceipt, const std::string& aLineLength = "52") {
    return Call(fPrint, Device("PRINTFR", OpenDevice(), aLineLength) + aReceipt +
                            "</ReceiptPrinterManager>");
  }

  // The receipt text as the processor extracts it, split at CR LF.
  static std::vector<std::string> Lines(const tCall& aCall) {
    pugi::xml_document document;
    EXPECT_TRUE(document.load_string(("<root>" + aCall.output + "</root>").c_str()));
    const std::string text = document.child("root").child("ReceiptText").text().get();
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (true) {
      const std::size_t end = text.find("\r\n", start);
      lines.push_back(text.substr(start, end - start));
      if (end == std::string::npos) break;
      start = end + 2;
    }
    return lines;
  }

  static std::string Row(const std::string& aLeft, const std::string& aRight, int aWidth = 52) {
    const int used = static_cast<int>(platform::Utf16Length(aLeft) + platform::Utf16Length(aRight));
    return aLeft + std::string(aWidth - used, ' ') + aRight;
  }

  static bool Contains(const std::vector<std::string>& aLines, const std::string& aLine) {
    for (const std::string& line : aLines) {
      if (line == aLine) return true;
    }
    return false;
  }

  tScratchDrive fDrive;
  platform::DynamicLibrary fLibrary;
  DriverFunction fOpen = nullptr;
  DriverFunction fPrint = nullptr;
};

TEST_F(ReceiptPrinter, OpenGivesADistinctNonZeroHandleEachTime) {
  const int first = OpenDevice();
  const int second = OpenDevice();
  EXPECT_GT(first, 0);
  EXPECT_GT(second, 0);
  EXPECT_NE(first, second);
  const tCall call = Call(fOpen, Device("OPEN", 1) + "</ReceiptPrinterManager>");
  EXPECT_EQ(call.output.rfind("<Handle>", 0), 0u) << call.output;
  EXPECT_EQ(call.error, "");
}

TEST_F(ReceiptPrinter, LaysOutARealReceiptFiftyTwoColumnsWide) {
  const tCall call = Print(kReceipt);
  ASSERT_EQ(call.status, 0) << call.error;
  EXPECT_NE(call.output.find("&#13;"), std::string::npos) << "CR must survive the XML reader";
  const std::vector<std::string> lines = Lines(call);
  for (const std::string& line : lines) EXPECT_LE(platform::Utf16Length(line), 52u) << line;

  EXPECT_EQ(lines.front(), std::string(18, ' ') + "COFFEE HOUSE LTD");
  EXPECT_TRUE(Contains(lines, std::string(17, ' ') + "1 Makarios Avenue"));
  EXPECT_TRUE(Contains(lines, std::string(24, ' ') + "SALE"));
  EXPECT_TRUE(Contains(lines, Row("Receipt 42", "09/08/2023 09:39")));
  EXPECT_TRUE(Contains(lines, Row("Z 3", "Till T1")));
  EXPECT_TRUE(Contains(lines, Row("Espresso", "3.00 A")));
  EXPECT_TRUE(Contains(lines, "  2 x 1.50"));
  EXPECT_TRUE(Contains(lines, Row("Discount 10%", "-0.30")));
  EXPECT_TRUE(Contains(lines, Row("Halloumi", "9.00 B")));
  EXPECT_TRUE(Contains(lines, "  0.75 kg x 12.00"));
  EXPECT_TRUE(Contains(lines, Row("SUBTOTAL", "11.70")));
  EXPECT_TRUE(Contains(lines, Row("Service", "1.00")));
  EXPECT_TRUE(Contains(lines, "Thank you for visiting"));
  EXPECT_TRUE(Contains(lines, Row("TOTAL EUR", "12.70")));
  // Tax summary: a 13-column label and three 13-column amounts.
  EXPECT_TRUE(Contains(lines, "Tax" + std::string(16, ' ') + "Taxable" + std::string(10, ' ') +
                                  "Tax" + std::string(8, ' ') + "Total"));
  EXPECT_TRUE(Contains(lines, "A 19%" + std::string(17, ' ') + "3.12" + std::string(9, ' ') +
                                  "0.59" + std::string(9, ' ') + "3.71"));
  EXPECT_TRUE(Contains(lines, Row("Cash", "20.00")));
  EXPECT_TRUE(Contains(lines, Row("Change", "7.30")));
  EXPECT_TRUE(Contains(lines, std::string(20, ' ') + "See you soon"));
  EXPECT_EQ(lines.back(), std::string(39, ' ') + "www.coffee.cy");
}

TEST_F(ReceiptPrinter, OrdersTheSectionsHeaderBodyTotalTaxesPaymentsTrailer) {
  const std::vector<std::string> lines = Lines(Print(kReceipt));
  auto at = [&](const std::string& aLine) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (lines[i] == aLine) return static_cast<int>(i);
    }
    return -1;
  };
  const int header = at(std::string(18, ' ') + "COFFEE HOUSE LTD");
  const int product = at(Row("Espresso", "3.00 A"));
  const int total = at(Row("TOTAL EUR", "12.70"));
  const int cash = at(Row("Cash", "20.00"));
  const int trailer = at(std::string(20, ' ') + "See you soon");
  EXPECT_LT(header, product);
  EXPECT_LT(product, total);
  EXPECT_LT(total, cash);
  EXPECT_LT(cash, trailer);
  EXPECT_EQ(lines[total - 1], std::string(52, '-'));
}

TEST_F(ReceiptPrinter, FollowsTheLineLengthAndCountsGreekLettersAsOneColumn) {
  const std::string receipt =
      "<Receipt><Type>Refund</Type><Number>5</Number><Lines><ProductReturn>"
      "<Description>Καφές φίλτρου με γάλα και κανέλα και ζάχαρη</Description>"
      "<Quantity>1</Quantity><Price>2.40</Price><Amount>2.40</Amount></ProductReturn></Lines>"
      "<Taxes/><Payments><Payment><Type>Cash</Type><Amount>2.40</Amount></Payment></Payments>"
      "</Receipt>";
  const tCall call = Print(receipt, "32");
  ASSERT_EQ(call.status, 0) << call.error;
  const std::vector<std::string> lines = Lines(call);
  for (const std::string& line : lines) EXPECT_LE(platform::Utf16Length(line), 32u) << line;
  EXPECT_TRUE(Contains(lines, std::string(13, ' ') + "REFUND"));
  EXPECT_TRUE(Contains(lines, "RETURN Καφές φίλτρου με γάλα και"));
  EXPECT_TRUE(Contains(lines, Row("κανέλα και ζάχαρη", "-2.40", 32)));
  EXPECT_TRUE(Contains(lines, Row("TOTAL", "-2.40", 32)));
}

// The trailer lines of a receipt whose only trailer message is aValue, left aligned.
std::string ReceiptWithTrailer(const std::string& aValue) {
  std::string receipt = kReceipt;
  const std::size_t start = receipt.find("<TrailerMessages>");
  const std::size_t end = receipt.find("</TrailerMessages>");
  return receipt.substr(0, start) + "<TrailerMessages><Text><Value>" + aValue +
         "</Value><Alignment>Left</Alignment></Text>" + receipt.substr(end);
}

TEST_F(ReceiptPrinter, WrapsAVeryLongTrailerTextAtBlanksKeepingEveryWord) {
  std::string value;
  for (int i = 0; i < 30000; ++i) value += (i % 3 == 0 ? "καφές" : "w" + std::to_string(i)) + " ";
  value.pop_back();
  const tCall call = Print(ReceiptWithTrailer(value));
  ASSERT_EQ(call.status, 0) << call.error;
  std::vector<std::string> lines = Lines(call);
  // The trailer is the last block, after the last separator line.
  std::size_t first = lines.size();
  while (first > 0 && lines[first - 1].find("----") == std::string::npos) --first;
  std::string joined;
  for (std::size_t i = first; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;  // the line end after the last line
    EXPECT_LE(platform::Utf16Length(lines[i]), 52u) << lines[i];
    EXPECT_NE(lines[i].back(), ' ') << lines[i];
    if (!joined.empty()) joined += " ";
    joined += lines[i];
  }
  EXPECT_EQ(joined, value);
}

TEST_F(ReceiptPrinter, CutsAWordLongerThanTheLineByColumnsEvenThroughAPair) {
  const std::string word = std::string(31, 'a') + "😀" + std::string(40, 'b');
  const tCall call = Print(ReceiptWithTrailer(word), "32");
  ASSERT_EQ(call.status, 0) << call.error;
  const std::vector<std::string> lines = Lines(call);
  const std::string replacement = "\xEF\xBF\xBD";  // each half of the cut pair
  EXPECT_TRUE(Contains(lines, std::string(31, 'a') + replacement));
  EXPECT_TRUE(Contains(lines, replacement + std::string(31, 'b')));
  EXPECT_TRUE(Contains(lines, std::string(9, 'b')));
}

TEST_F(ReceiptPrinter, EscapesMarkupInTexts) {
  const std::string receipt =
      "<Receipt><Type>Sale</Type><Lines><ProductSale><Description>Fish &amp; chips &lt;L&gt;"
      "</Description><Amount>8.5</Amount></ProductSale></Lines><Taxes/><Payments/></Receipt>";
  const tCall call = Print(receipt);
  ASSERT_EQ(call.status, 0) << call.error;
  EXPECT_TRUE(Contains(Lines(call), Row("Fish & chips <L>", "8.50")));
}

TEST_F(ReceiptPrinter, GivesNoReceiptTextWhenNotAskedForIt) {
  const tCall call = Call(fPrint, Device("PRINTFR", OpenDevice(), "52", "text", "False") +
                                      kReceipt + "</ReceiptPrinterManager>");
  EXPECT_EQ(call.status, 0) << call.error;
  EXPECT_EQ(call.output, "");
}

TEST_F(ReceiptPrinter, RefusesBadRequestsWithAStatusAndAReason) {
  tCall call = Call(fOpen, "<ReceiptPrinterManager><Method>OPEN");
  EXPECT_EQ(call.status, 1);
  EXPECT_NE(call.error.find("not valid XML"), std::string::npos) << call.error;
  EXPECT_EQ(call.output, "");

  call = Call(fOpen, Device("OPEN", 1, "52", "escpos") + "</ReceiptPrinterManager>");
  EXPECT_EQ(call.status, 2);
  EXPECT_EQ(call.error, "Protocol escpos is not supported by this driver");

  call = Call(fPrint, Device("PRINTFR", 9999) + kReceipt + "</ReceiptPrinterManager>");
  EXPECT_EQ(call.status, 3);
  EXPECT_EQ(call.error, "Device handle 9999 is not open");

  call = Call(fPrint, Device("PRINTFR", OpenDevice()) + "</ReceiptPrinterManager>");
  EXPECT_EQ(call.status, 4);
  EXPECT_EQ(call.error, "Receipt node not found");

  call = Print("<Receipt><Type>Sale</Type><Lines><Item/></Lines></Receipt>");
  EXPECT_EQ(call.status, 4);
  EXPECT_EQ(call.error, "LineType item is invalid");

  call = Print("<Receipt><Type>Sale</Type><Taxes/><Payments/></Receipt>");
  EXPECT_EQ(call.status, 4);
  EXPECT_EQ(call.error, "Unable to find Lines node ");

  call = Print(
      "<Receipt><Type>Sale</Type><Lines><ProductSale><Amount>1,50</Amount></ProductSale>"
      "</Lines></Receipt>");
  EXPECT_EQ(call.status, 4);
  EXPECT_EQ(call.error, "Amount '1,50' is not an amount");

  call = Print(
      "<Receipt><Type>Sale</Type><Lines/><Payments><Payment><Type>Bitcoin</Type></Payment>"
      "</Payments></Receipt>");
  EXPECT_EQ(call.status, 4);
  EXPECT_EQ(call.error, "PaymentType bitcoin is invalid");

  call = Print(kReceipt, "10");
  EXPECT_EQ(call.status, 2);
  EXPECT_EQ(call.error, "LineLength 10 is out of range (24 to 200)");
}

TEST_F(ReceiptPrinter, ControlFileForcesStatusesAndOutputs) {
  fDrive.WriteFile("C:\\QVRP_GENERIC_10\\control.txt",
                   "# device without a handle\r\nOPEN.output=<Handle>0</Handle>\r\n"
                   "PRINTFR.status=7\r\nPRINTFR.error=Paper out\r\n");
  tCall call = Call(fOpen, Device("OPEN", 1) + "</ReceiptPrinterManager>");
  EXPECT_EQ(call.status, 0);
  EXPECT_EQ(call.output, "<Handle>0</Handle>");
  call = Call(fPrint, Device("PRINTFR", 1) + kReceipt + "</ReceiptPrinterManager>");
  EXPECT_EQ(call.status, 7);
  EXPECT_EQ(call.error, "Paper out");
  EXPECT_EQ(call.output, "");

  fDrive.WriteFile("C:\\QVRP_GENERIC_10\\control.txt", "PRINTFR.output=<Other/>\n");
  call = Print(kReceipt);
  EXPECT_EQ(call.status, 0);
  EXPECT_EQ(call.output, "<Other/>");
}

TEST_F(ReceiptPrinter, AForcedStatusThatIsNoNumberIsAnUnexpectedFailureWithOneErrorText) {
  // The error text of the forced status must not be given before the status is known:
  // the failure's own text replaces it, and nothing is lost (the leak check sees it).
  fDrive.WriteFile("C:\\QVRP_GENERIC_10\\control.txt",
                   "PRINTFR.status=$$\nPRINTFR.error=Paper out\n");
  const tCall call = Print(kReceipt);
  EXPECT_EQ(call.status, 9);
  EXPECT_EQ(call.error, "stoi");
  EXPECT_EQ(call.output, "");
}

}  // namespace
}  // namespace qv::testing
