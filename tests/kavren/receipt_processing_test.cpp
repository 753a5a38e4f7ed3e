// Which element of a request the receipt processing numbers, signs and journals, through the
// built library: the Receipt child of the request's root, also when the root is itself named
// Receipt.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "kavren/support/processor_session.h"

namespace qv::testing {
namespace {

using Session = tProcessorSession;

// The receipt's own elements, without its Receipt tags.
std::string ReceiptContent(const std::string& aAmount) {
  const std::string receipt = ReceiptXml(aAmount);
  return receipt.substr(std::string("<Receipt>").size(),
                        receipt.size() - std::string("<Receipt></Receipt>").size());
}

// A request whose root is named Receipt and carries the receipt's elements itself (its Type
// is the receipt type), followed by aChild.
std::string ReceiptRootedRequest(const Session& aSession, const std::string& aChild) {
  std::string request = aSession.Request(1, ReceiptContent("7.00") + aChild);
  const std::string deviceType = "<Type>FISCALPROCESSOR</Type>";
  request.erase(request.find(deviceType), deviceType.size());
  const std::string root = "FiscalRequest>";
  request.replace(request.find(root), root.size(), "Receipt>");
  request.replace(request.rfind(root), root.size(), "Receipt>");
  return request;
}

class ReceiptProcessing : public ::testing::Test {
 protected:
  std::vector<tHostCall> RunAfterOpen(const std::string& aCalls) {
    std::vector<tHostCall> calls =
        fSession.Run(Session::Call("OPEN", fSession.Request(0)) + aCalls);
    EXPECT_FALSE(calls.empty());
    if (calls.empty()) return calls;
    EXPECT_EQ(calls[0].rc, 0) << calls[0].error.value_or("");
    return std::vector<tHostCall>(calls.begin() + 1, calls.end());
  }

  tProcessorSession fSession;
};

// The root's own receipt elements are read, but there is no Receipt child to sign: the call
// fails before the receipt takes a number.
TEST_F(ReceiptProcessing, RootNamedReceiptWithoutAReceiptChildFailsAndCountsNothing) {
  fSession.WriteCounters(41, 3, {{"DailySales", "100"}, {"DailyTotal", "100"}});
  const auto calls =
      RunAfterOpen(Session::Call("PROCESSRECEIPT", ReceiptRootedRequest(fSession, "")) +
                   Session::Call("PROCESSRECEIPT", fSession.Request(1, ReceiptXml("2.00"))));
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].rc, -1);
  EXPECT_EQ(calls[0].error, "Receipt node not found");
  EXPECT_FALSE(calls[0].output.has_value());
  // The next receipt takes the next number, as if the failed one had not been sent.
  ASSERT_EQ(calls[1].rc, 0) << calls[1].error.value_or("");
  EXPECT_EQ(XmlElement(*calls[1].output, "Number"), "42");
  auto counters = fSession.Counters();
  EXPECT_EQ(counters["CurrentReceiptNo"], "42");
  EXPECT_EQ(counters["DailySales"], "102");
  EXPECT_EQ(fSession.TodayJournalFiles(), std::vector<std::string>{"0003-0000042.fprd"});
}

// With a Receipt child, that child is the receipt that is numbered and signed; the root's
// own receipt elements are what the counters add up.
TEST_F(ReceiptProcessing, RootNamedReceiptHasItsReceiptChildSigned) {
  const auto calls = RunAfterOpen(
      Session::Call("PROCESSRECEIPT", ReceiptRootedRequest(fSession, ReceiptXml("3.00"))));
  ASSERT_EQ(calls.size(), 1u);
  ASSERT_EQ(calls[0].rc, 0) << calls[0].error.value_or("");
  pugi::xml_document output;
  ASSERT_TRUE(output.load_string(calls[0].output.value_or("").c_str())) << *calls[0].output;
  const pugi::xml_node root = output.document_element();
  const pugi::xml_node signedReceipt = root.child("Receipt");
  EXPECT_STREQ(signedReceipt.child_value("Number"), "1");
  EXPECT_STREQ(signedReceipt.child_value("TotalAmount"), "3.00");
  EXPECT_STREQ(
      signedReceipt.child("TrailerMessages").child("Text").next_sibling().child_value("Value"),
      "LEGAL RECEIPT");
  // Nothing was added to the root itself.
  EXPECT_FALSE(root.child("Number")) << *calls[0].output;
  EXPECT_FALSE(root.child("TrailerMessages")) << *calls[0].output;
  EXPECT_EQ(fSession.Counters()["DailySales"], "7");
}

// The device configuration is read with the processor as driver and the local connection,
// but the journal file and the host's answer are the request as the host sent it.
TEST_F(ReceiptProcessing, JournalKeepsTheRequestsOwnDriverAndConnection) {
  std::string request = fSession.Request(
      1,
      "<Connection><Type>SERIAL</Type><SerialPort>COM3</SerialPort><Parity>EVEN</Parity>"
      "</Connection>" +
          ReceiptXml("4.00"));
  request.replace(request.find("<Driver/>"), 9, "<Driver>POS-7</Driver>");
  const auto calls = RunAfterOpen(Session::Call("PROCESSRECEIPT", request));
  ASSERT_EQ(calls.size(), 1u);
  ASSERT_EQ(calls[0].rc, 0) << calls[0].error.value_or("");
  const std::string output = calls[0].output.value_or("");
  pugi::xml_document document;
  ASSERT_TRUE(document.load_string(output.c_str())) << output;
  const pugi::xml_node root = document.document_element();
  EXPECT_STREQ(root.child_value("Driver"), "POS-7");
  const pugi::xml_node connection = root.child("Connection");
  EXPECT_STREQ(connection.child_value("Type"), "SERIAL");
  EXPECT_STREQ(connection.child_value("SerialPort"), "COM3");
  EXPECT_FALSE(connection.child("Address")) << output;
  EXPECT_FALSE(connection.next_sibling("Connection")) << output;
  EXPECT_STREQ(root.child("Receipt").child_value("Number"), "1");
  const std::vector<std::string> journal = fSession.TodayJournalFiles();
  ASSERT_EQ(journal.size(), 1u);
  std::ifstream file(fSession.TodayJournalFolder() + "/" + journal[0], std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
  EXPECT_EQ(written, output);
}

}  // namespace
}  // namespace qv::testing
