// Requests made to harm or confuse the library: each is refused with -1 and a message that
// says what is wrong, before anything is counted, so the till's next receipt still gets the
// next number.
#include <gtest/gtest.h>

#include <string>

#include <pugixml.hpp>

#include "driver/exports.h"
#include "driver/support/driver_calls.h"
#include "platform/file_system.h"
#include "platform/ole_string.h"
#include "platform/unicode.h"

namespace qv::driver::testing {
namespace {

using platform::OleStr;

const char* const kTill = "HOSTILE";

std::string Request(int32_t aHandle, const std::string& aReceipt = "",
                    const std::string& aProlog = "") {
  std::string xml = aProlog +
                    "<FiscalRequest><Type>FISCALPROCESSOR</Type><Driver>QVFP_CYKAVREN_10</Driver>"
                    "<LogId>HOSTILE</LogId>";
  if (aHandle != 0) xml += "<Handle>" + std::to_string(aHandle) + "</Handle>";
  return xml + "<Parameters><Processor>QVFP_CYKAVREN_10</Processor><FPTillSerial>" + kTill +
         "</FPTillSerial><ProcessorPort>COM9</ProcessorPort></Parameters>" + aReceipt +
         "</FiscalRequest>";
}

std::string Receipt(const std::string& aDescription) {
  return "<Receipt><Type>Sale</Type><TotalAmount>1</TotalAmount><Lines><ProductSale>"
         "<Description>" +
         aDescription +
         "</Description><Quantity>1</Quantity><TaxCode>A</TaxCode><Price>1</Price>"
         "<Amount>1</Amount></ProductSale></Lines><Taxes/><Payments><Payment><Type>Cash</Type>"
         "<Amount>1</Amount></Payment></Payments></Receipt>";
}

// PROCESSRECEIPT with the request's UTF-16 text exactly as given.
tCallResult SendUnits(const std::u16string& aRequest) {
  OleStr request = SysAllocStringLen(reinterpret_cast<const platform::OleChar*>(aRequest.data()),
                                     static_cast<uint32_t>(aRequest.size()));
  OleStr output = nullptr;
  OleStr error = nullptr;
  tCallResult result;
  result.rc = PROCESSRECEIPT(request, &output, &error);
  SysFreeString(request);
  if (output != nullptr) result.output = platform::OleStringToUtf8(output);
  if (error != nullptr) result.error = platform::OleStringToUtf8(error);
  SysFreeString(output);
  SysFreeString(error);
  return result;
}

std::string CountersReceiptNumber() {
  pugi::xml_document counters;
  const std::string file = DriveCFolder() + "/QV_FPR_DB/" + kTill + "/counters.actual.fprc";
  if (!counters.load_file(file.c_str())) return "no counters file";
  return counters.child("FPRCounters").child("CurrentReceiptNo").text().get();
}

class HostileRequests : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const tCallResult opened = CallOpen(Request(0));
    ASSERT_EQ(opened.rc, 0) << opened.error.value_or("");
    sHandle = opened.handle;
  }

  // Sends the request and checks that it was refused with a message that begins with
  // aMessage and that the till counted nothing.
  void ExpectRefused(const std::u16string& aRequest, const std::string& aMessage) {
    const tCallResult result = SendUnits(aRequest);
    EXPECT_EQ(result.rc, -1);
    EXPECT_EQ(result.error.value_or("").substr(0, aMessage.size()), aMessage)
        << result.error.value_or("(no error text)");
    EXPECT_FALSE(result.output.has_value());
    EXPECT_EQ(CountersReceiptNumber(), "0") << "a refused request took a number";
  }
  void ExpectRefused(const std::string& aRequest, const std::string& aMessage) {
    ExpectRefused(platform::Utf8ToUtf16(aRequest), aMessage);
  }

  static int32_t sHandle;
};

int32_t HostileRequests::sHandle = 0;

TEST_F(HostileRequests, TextsThatAreNoXmlOrTooDeepOrTooLargeAreRefused) {
  ExpectRefused(std::string("this is not a request"), "No document element found");
  ExpectRefused(Request(sHandle, Receipt("X")).substr(0, 200), "Start-end tags mismatch");
  std::string deep;
  for (int i = 0; i < 300; ++i) deep = "<a>" + deep + "</a>";
  ExpectRefused(Request(sHandle, Receipt(deep)), "XML document nested deeper than 256 elements");
  std::u16string large = platform::Utf8ToUtf16(Request(sHandle, Receipt("X")));
  large.insert(large.find(u"</Description>"), 64u * 1024u * 1024u, u'x');
  ExpectRefused(large, "XML document too large: more than 64 MiB");
}

TEST_F(HostileRequests, EntityAttacksAreRefusedWithoutExpandingOrFetchingAnything) {
  const std::string laughs =
      "<?xml version=\"1.0\"?><!DOCTYPE FiscalRequest [<!ENTITY a \"aaaaaaaaaa\">"
      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
      "]>";
  ExpectRefused(Request(sHandle, Receipt("&c;"), laughs),
                "XML document type declarations are not accepted");
  const std::string external =
      "<?xml version=\"1.0\"?><!DOCTYPE FiscalRequest [<!ENTITY x SYSTEM "
      "\"file:///etc/passwd\">]>";
  ExpectRefused(Request(sHandle, Receipt("&x;"), external),
                "XML document type declarations are not accepted");
  ExpectRefused(Request(sHandle, Receipt("X"), "<!DOCTYPE FiscalRequest SYSTEM \"http://x/d\">"),
                "XML document type declarations are not accepted");
}

TEST_F(HostileRequests, UnpairedSurrogatesAndNulCharactersAreRefusedWithTheirPosition) {
  const std::u16string request = platform::Utf8ToUtf16(Request(sHandle, Receipt("AB")));
  const std::size_t at = request.find(u"AB</Description>") + 1;  // between A and B
  ExpectRefused(
      std::u16string(request).insert(at, 1, char16_t(0xD800)),
      "The request is not valid UTF-16: unpaired surrogate at position " + std::to_string(at + 1));
  ExpectRefused(
      std::u16string(request).insert(at, 1, char16_t(0xDC00)),
      "The request is not valid UTF-16: unpaired surrogate at position " + std::to_string(at + 1));
  ExpectRefused(std::u16string(request) + char16_t(0xDBFF),
                "The request is not valid UTF-16: unpaired surrogate at position " +
                    std::to_string(request.size() + 1));
  ExpectRefused(std::u16string(request).insert(at, 1, u'\0'),
                "The request holds a NUL character at position " + std::to_string(at + 1));
}

TEST_F(HostileRequests, AfterThemTheNextReceiptGetsTheFirstNumber) {
  // A pair that belongs together is a character like any other.
  const tCallResult result = SendUnits(platform::Utf8ToUtf16(Request(sHandle, Receipt("A😀B"))));
  ASSERT_EQ(result.rc, 0) << result.error.value_or("");
  EXPECT_NE(result.output.value_or("").find("<Number>1</Number>"), std::string::npos);
  EXPECT_NE(result.output.value_or("").find("A😀B"), std::string::npos);
  EXPECT_EQ(CountersReceiptNumber(), "1");
}

}  // namespace
}  // namespace qv::driver::testing
