// PROCESSRECEIPT of the signing processor through the built library, with the stand-in
// receipt printer and signing box: numbering, counting, the signature trailer, the journal
// file, and every way a receipt can fail.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "kavren/counters_store.h"
#include "kavren/support/child_process.h"
#include "kavren/support/processor_session.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "support/file_status_assertions.h"

namespace qv::testing {
namespace {

using Session = tProcessorSession;

bool Contains(const std::string& aText, const std::string& aPart) {
  return aText.find(aPart) != std::string::npos;
}

class ProcessorReceipt : public ::testing::Test {
 protected:
  std::string Open() { return Session::Call("OPEN", fSession.Request(0)); }
  std::string Receipt(const std::string& aReceiptXml = ReceiptXml()) {
    return Session::Call("PROCESSRECEIPT", fSession.Request(1, aReceiptXml));
  }
  std::string BoxControl(const std::string& aText) {
    return "@FILE " + fSession.DriveC() + "/AlgoBox/control.txt\n" + aText + "\n";
  }
  // Runs OPEN and then the receipt calls; gives the receipt calls.
  std::vector<tHostCall> RunReceipts(const std::string& aCalls, const std::string& aBin = "") {
    std::vector<tHostCall> calls = fSession.Run(Open() + aCalls, aBin);
    EXPECT_FALSE(calls.empty());
    if (calls.empty()) return calls;
    EXPECT_EQ(calls[0].rc, 0) << calls[0].error.value_or("");
    return std::vector<tHostCall>(calls.begin() + 1, calls.end());
  }
  std::string Journal(const std::string& aName) {
    return FileText(fSession.TodayJournalFolder() + "/" + aName);
  }

  tProcessorSession fSession;
};

TEST_F(ProcessorReceipt, NextNumberFromTheCountersSignatureTrailerAndJournal) {
  fSession.WriteCounters(41, 3, {{"DailySales", "100"}, {"DailyTotal", "100"}});
  const auto calls = RunReceipts(Receipt());
  ASSERT_EQ(calls.size(), 1u);
  ASSERT_EQ(calls[0].rc, 0) << calls[0].error.value_or("");
  EXPECT_FALSE(calls[0].error.has_value());
  const std::string output = calls[0].output.value_or("");
  EXPECT_EQ(XmlElement(output, "Number"), "42");
  EXPECT_EQ(XmlElement(output, "ZReportNumber"), "3");
  const std::string dateTime = XmlElement(output, "DateTime");
  ASSERT_EQ(dateTime.size(), 19u) << output;
  EXPECT_EQ(dateTime.substr(0, 4) + dateTime.substr(5, 2) + dateTime.substr(8, 2), TodayStamp());
  EXPECT_EQ(dateTime[10], 'T');

  // The signature "<device>-<counter> <base64>" is split at its blank under LEGAL RECEIPT.
  const std::vector<std::string> trailer = TrailerValues(output);
  ASSERT_EQ(trailer.size(), 4u) << output;
  EXPECT_EQ(trailer[0], "");
  EXPECT_EQ(trailer[1], "LEGAL RECEIPT");
  EXPECT_EQ(trailer[2], "KVB0000001-00000001 ");
  EXPECT_EQ(trailer[3].size(), 89u) << trailer[3];
  EXPECT_EQ(trailer[3][0], ' ');
  EXPECT_TRUE(Contains(output, "<Alignment>Center</Alignment>"));
  EXPECT_TRUE(Contains(output, "<Size>1</Size>"));

  EXPECT_EQ(fSession.TodayJournalFiles(), std::vector<std::string>{"0003-0000042.fprd"});
  EXPECT_EQ(Journal("0003-0000042.fprd"), output);
  EXPECT_TRUE(Contains(output, "\r\n")) << "journal lines end with CR LF";

  auto counters = fSession.Counters();
  EXPECT_EQ(counters["CurrentReceiptNo"], "42");
  EXPECT_EQ(counters["CurrentZReportNo"], "3");
  EXPECT_EQ(counters["DailySales"], "112.5");
  EXPECT_EQ(counters["DailyTotal"], "112.5");
  EXPECT_EQ(counters["GrandTotalSales"], "12.5");
  // The receipt-text file is gone once the receipt is signed.
  EXPECT_TRUE(fSession.TempFiles().empty());

  const std::string log = fSession.LogText();
  EXPECT_TRUE(Contains(log, " - PROCESSRECEIPT:BEGIN\r\n")) << log;
  EXPECT_TRUE(Contains(log, " - Sign:[0]\r\nKVB0000001-00000001 ")) << log;
  EXPECT_TRUE(Contains(log, " - PROCESSRECEIPT:Updated Receipt:\r\n")) << log;
}

TEST_F(ProcessorReceipt, HostNumberIsKeptAndUnusableNumbersAreReplaced) {
  fSession.WriteCounters(41, 1);
  const auto calls =
      RunReceipts(Receipt(ReceiptXml("1", "Sale", "7")) + Receipt(ReceiptXml("1", "Sale", "0")) +
                  Receipt(ReceiptXml("1", "Sale", "")) + Receipt(ReceiptXml("1", "Sale", "abc")) +
                  Receipt(ReceiptXml("1", "Sale", "-3")));
  ASSERT_EQ(calls.size(), 5u);
  const char* expected[] = {"7", "43", "44", "45", "46"};
  for (std::size_t i = 0; i < calls.size(); ++i) {
    ASSERT_EQ(calls[i].rc, 0) << i << ": " << calls[i].error.value_or("");
    const std::string output = calls[i].output.value_or("");
    EXPECT_EQ(XmlElement(output, "Number"), expected[i]) << i;
    // The host's Number element is reused, not doubled.
    EXPECT_EQ(output.find("<Number>"), output.rfind("<Number>")) << output;
  }
  EXPECT_EQ(fSession.TodayJournalFiles(),
            (std::vector<std::string>{"0001-0000007.fprd", "0001-0000043.fprd", "0001-0000044.fprd",
                                      "0001-0000045.fprd", "0001-0000046.fprd"}));
  // The counters advance for the host-numbered receipt too.
  EXPECT_EQ(fSession.Counters()["CurrentReceiptNo"], "46");
  EXPECT_EQ(fSession.Counters()["DailySales"], "5");
}

TEST_F(ProcessorReceipt, SignatureIsSplitAtItsFirstBlank) {
  const std::string longSignature = std::string(150, 'A') + std::string(100, 'B');
  const std::string withTrailer =
      "<Receipt><Type>Sale</Type><TotalAmount>2</TotalAmount><Lines><ProductSale>"
      "<Description>Tea</Description><Amount>2</Amount></ProductSale></Lines><Taxes/>"
      "<Payments/><TrailerMessages><Text><Value>See you soon</Value><Alignment>Left</Alignment>"
      "</Text></TrailerMessages></Receipt>";
  const auto calls = RunReceipts(BoxControl("Sign.text=ABC DEF GHI") + Receipt(withTrailer) +
                                 BoxControl("Sign.text=" + longSignature) + Receipt() +
                                 BoxControl("Sign.text= " + longSignature) + Receipt() +
                                 BoxControl("Sign.text=") + Receipt());
  ASSERT_EQ(calls.size(), 4u);
  for (const tHostCall& call : calls) ASSERT_EQ(call.rc, 0) << call.error.value_or("");
  EXPECT_EQ(TrailerValues(*calls[0].output),
            (std::vector<std::string>{"See you soon", "", "LEGAL RECEIPT", "ABC ", " DEF GHI"}));
  EXPECT_EQ(TrailerValues(*calls[1].output),
            (std::vector<std::string>{"", "LEGAL RECEIPT", "", longSignature.substr(0, 200)}));
  EXPECT_EQ(
      TrailerValues(*calls[2].output),
      (std::vector<std::string>{"", "LEGAL RECEIPT", " ", (" " + longSignature).substr(0, 200)}));
  EXPECT_EQ(TrailerValues(*calls[3].output),
            (std::vector<std::string>{"", "LEGAL RECEIPT", "", ""}));
}

TEST_F(ProcessorReceipt, RefundsAndVoidsAreCountedByTheirAmountAndZNumberIsCutToFourDigits) {
  fSession.WriteCounters(0, 12345);
  const auto calls =
      RunReceipts(Receipt(ReceiptXml("-12.50", "Refund")) + Receipt(ReceiptXml("3.25", "Sale")) +
                  Receipt(ReceiptXml("-1", "Void")) + Receipt(ReceiptXml("99", "InvoiceSale")));
  ASSERT_EQ(calls.size(), 4u);
  for (const tHostCall& call : calls) ASSERT_EQ(call.rc, 0) << call.error.value_or("");
  EXPECT_EQ(XmlElement(*calls[0].output, "ZReportNumber"), "12345");
  EXPECT_EQ(fSession.TodayJournalFiles(),
            (std::vector<std::string>{"2345-0000001.fprd", "2345-0000002.fprd", "2345-0000003.fprd",
                                      "2345-0000004.fprd"}));
  auto counters = fSession.Counters();
  EXPECT_EQ(counters["CurrentReceiptNo"], "4");
  EXPECT_EQ(counters["DailyRefunds"], "12.5");
  EXPECT_EQ(counters["DailySales"], "3.25");
  EXPECT_EQ(counters["DailyVoids"], "1");
  EXPECT_EQ(counters["DailyTotal"], "-10.25");
  EXPECT_EQ(counters["GrandTotalRefunds"], "12.5");
  EXPECT_EQ(counters["GrandTotalTotal"], "-10.25");
}

TEST_F(ProcessorReceipt, GreekTextAndMarkupSurviveInTheOutputAndTheJournal) {
  const std::string receipt =
      "<Receipt><Type>Sale</Type><TotalAmount>2.40</TotalAmount><Lines><ProductSale>"
      "<Description>Καφές &amp; γάλα &lt;μικρό&gt;</Description><Amount>2.40</Amount>"
      "</ProductSale></Lines><Taxes/><Payments/></Receipt>";
  const auto calls = RunReceipts(Receipt(receipt));
  ASSERT_EQ(calls.size(), 1u);
  ASSERT_EQ(calls[0].rc, 0) << calls[0].error.value_or("");
  const std::string output = calls[0].output.value_or("");
  EXPECT_EQ(XmlElement(output, "Description"), "Καφές &amp; γάλα &lt;μικρό&gt;") << output;
  EXPECT_EQ(Journal("0001-0000001.fprd"), output);
  EXPECT_EQ(fSession.Counters()["DailySales"], "2.4");
}

TEST_F(ProcessorReceipt, SigningFailuresFailTheReceiptAndLeaveTheTotalsAsTheyWere) {
  fSession.WriteCounters(41, 1, {{"DailySales", "100"}, {"GrandTotalSales", "900"}});
  const auto calls = RunReceipts(
      BoxControl("Sign.status=2") + Receipt() + BoxControl("Sign.status=4\nSign.text=BUSY") +
      Receipt() + BoxControl("Sign.hresult=0x80004005\nSign.error=Signing device disconnected") +
      Receipt() + BoxControl("") + Receipt());
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].rc, -1);
  EXPECT_EQ(calls[0].error,
            "Error when signing the receipt: [2]Sign  refused by the signing device");
  EXPECT_FALSE(calls[0].output.has_value());
  EXPECT_EQ(calls[1].error, "Error when signing the receipt: [4]BUSY");
  EXPECT_EQ(calls[2].rc, -1);
  EXPECT_EQ(calls[2].error, "Signing device disconnected");
  // Each failed receipt consumed its number, added nothing and left an error record; the
  // next receipt takes the next number and is the only one counted.
  ASSERT_EQ(calls[3].rc, 0) << calls[3].error.value_or("");
  EXPECT_EQ(XmlElement(*calls[3].output, "Number"), "45");
  EXPECT_EQ(fSession.Counters()["CurrentReceiptNo"], "45");
  EXPECT_EQ(fSession.Counters()["DailySales"], "112.5");
  EXPECT_EQ(fSession.Counters()["GrandTotalSales"], "912.5");
  EXPECT_EQ(fSession.TodayJournalFiles(), std::vector<std::string>{"0001-0000045.fprd"});
  EXPECT_EQ(
      fSession.TodayErrorFiles(),
      (std::vector<std::string>{"0001-0000042.fpre", "0001-0000043.fpre", "0001-0000044.fpre"}));
  const std::string refused = FileText(fSession.TodayErrorFolder() + "/0001-0000042.fpre");
  EXPECT_EQ(XmlElement(refused, "Number"), "42");
  EXPECT_EQ(XmlElement(refused, "ZReportNumber"), "1");
  EXPECT_EQ(XmlElement(refused, "Type"), "Sale");
  EXPECT_EQ(XmlElement(refused, "Amount"), "12.5");
  EXPECT_EQ(XmlElement(refused, "Step"), "Signing");
  EXPECT_EQ(XmlElement(refused, "Message"),
            "Error when signing the receipt: [2]Sign  refused by the signing device");
  EXPECT_EQ(XmlElement(refused, "DateTime").size(), 19u);
  // The request as it was received, as text.
  EXPECT_TRUE(
      Contains(XmlElement(refused, "Request"), "&lt;TotalAmount&gt;12.50&lt;/TotalAmount&gt;"))
      << refused;
  EXPECT_TRUE(Contains(FileText(fSession.TodayErrorFolder() + "/0001-0000043.fpre"),
                       "<Signature>BUSY</Signature>"));
  const std::string disconnected = FileText(fSession.TodayErrorFolder() + "/0001-0000044.fpre");
  EXPECT_EQ(XmlElement(disconnected, "Message"), "Signing device disconnected");
  EXPECT_FALSE(Contains(disconnected, "<Signature>")) << disconnected;
  EXPECT_TRUE(fSession.QueueFiles().empty());
  EXPECT_TRUE(fSession.TempFiles().empty());
  EXPECT_TRUE(Contains(fSession.LogText(),
                       " - ERROR - Error when signing the receipt: [2]Sign  refused by the "
                       "signing device\r\n"));
}

TEST_F(ProcessorReceipt, FailedJournalFileLeavesTheTotalsAndRecordsTheSignature) {
  fSession.WriteCounters(3, 2, {{"DailySales", "30"}});
  // A file where today's journal folder belongs: the journal file cannot be written.
  const std::string blocker = "@FILE " + fSession.TodayJournalFolder() + "\nnot a folder\n";
  const auto calls =
      RunReceipts(blocker + Receipt() + "@FILE " + fSession.Folder() + "/unused\n\n" + Receipt());
  ASSERT_EQ(calls.size(), 2u);
  for (const auto& call : calls) {
    EXPECT_EQ(call.rc, -1);
    EXPECT_EQ(call.error.value_or("").rfind("Cannot write file \"", 0), 0u)
        << call.error.value_or("");
  }
  EXPECT_EQ(fSession.Counters()["CurrentReceiptNo"], "5");
  EXPECT_EQ(fSession.Counters()["DailySales"], "30");
  ASSERT_EQ(fSession.TodayErrorFiles(),
            (std::vector<std::string>{"0002-0000004.fpre", "0002-0000005.fpre"}));
  const std::string record = FileText(fSession.TodayErrorFolder() + "/0002-0000004.fpre");
  EXPECT_EQ(XmlElement(record, "Step"), "Journal");
  EXPECT_EQ(XmlElement(record, "Message"), calls[0].error.value_or("?"));
  // The device signed this receipt: its signature is kept with the record.
  EXPECT_FALSE(XmlElement(record, "Signature").empty()) << record;
  EXPECT_TRUE(fSession.QueueFiles().empty());
}

TEST_F(ProcessorReceipt, HostNumberEqualToACounterNumberKeepsBothJournalFiles) {
  const auto calls =
      RunReceipts(Receipt(ReceiptXml("5", "Sale", std::string("2"))) + Receipt(ReceiptXml("7")) +
                  Receipt(ReceiptXml("8", "Sale", std::string("2"))));
  ASSERT_EQ(calls.size(), 3u);
  for (const auto& call : calls) ASSERT_EQ(call.rc, 0) << call.error.value_or("");
  EXPECT_EQ(XmlElement(*calls[0].output, "Number"), "2");
  EXPECT_EQ(XmlElement(*calls[1].output, "Number"), "2");
  EXPECT_EQ(fSession.TodayJournalFiles(),
            (std::vector<std::string>{"0001-0000002-2.fprd", "0001-0000002-3.fprd",
                                      "0001-0000002.fprd"}));
  EXPECT_EQ(Journal("0001-0000002.fprd"), *calls[0].output);
  EXPECT_EQ(Journal("0001-0000002-2.fprd"), *calls[1].output);
  EXPECT_EQ(Journal("0001-0000002-3.fprd"), *calls[2].output);
  EXPECT_EQ(fSession.Counters()["DailySales"], "20");
  const std::string log = fSession.LogText();
  EXPECT_TRUE(Contains(log, "0001-0000002.fprd\" already exists: the receipt is kept as \""))
      << log;
  EXPECT_TRUE(fSession.QueueFiles().empty());
}

TEST_F(ProcessorReceipt, ReceiptTextFailuresGiveAnEmptyErrorTextAndAreLogged) {
  const std::string printer = "@FILE " + fSession.DriveC() + "/QVRP_GENERIC_10/control.txt\n";
  const auto calls =
      RunReceipts(printer + "OPEN.output=<Handle>0</Handle>\n" + Receipt() + printer +
                  "OPEN.output=<Other/>\n" + Receipt() + printer +
                  "OPEN.status=7\nOPEN.error=Printer offline\n" + Receipt() + printer +
                  "PRINTFR.status=4\nPRINTFR.error=Paper out\n" + Receipt() + printer +
                  "PRINTFR.output=<ReceiptText>broken\n" + Receipt() + printer +
                  "PRINTFR.output=<Other/>\n" + Receipt() + printer + "\n" + Receipt());
  ASSERT_EQ(calls.size(), 7u);
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(calls[i].rc, -1) << i;
    EXPECT_FALSE(calls[i].error.has_value()) << i << ": " << calls[i].error.value_or("");
    EXPECT_FALSE(calls[i].output.has_value()) << i;
  }
  const std::string log = fSession.LogText();
  EXPECT_TRUE(Contains(log, " - ERROR - BuildReceiptText:Unable to get Device Handle\r\n")) << log;
  EXPECT_TRUE(Contains(log, " - ERROR - BuildReceiptText:Printer offline\r\n")) << log;
  EXPECT_TRUE(Contains(log, " - ERROR - BuildReceiptText:Paper out\r\n")) << log;
  // Output that is not XML: the parser's complaint.
  EXPECT_EQ(log.find(" - ERROR - BuildReceiptText:\r\n"), std::string::npos) << log;
  // A driver answer without ReceiptText is an empty receipt text, which the box refuses.
  EXPECT_EQ(calls[5].rc, -1);
  EXPECT_EQ(calls[5].error.value_or("").rfind("Error when signing the receipt: [2]", 0), 0u)
      << calls[5].error.value_or("");
  // With the printer working again the next receipt gets the next number.
  ASSERT_EQ(calls[6].rc, 0) << calls[6].error.value_or("");
  EXPECT_EQ(XmlElement(*calls[6].output, "Number"), "7");
  EXPECT_EQ(fSession.TodayJournalFiles(), std::vector<std::string>{"0001-0000007.fprd"});
  EXPECT_TRUE(fSession.TempFiles().empty());
  // Only the journaled receipt is in the totals; each failed one has its error record.
  EXPECT_EQ(fSession.Counters()["DailySales"], "12.5");
  ASSERT_EQ(fSession.TodayErrorFiles().size(), 6u);
  const std::string noHandle = FileText(fSession.TodayErrorFolder() + "/0001-0000001.fpre");
  EXPECT_EQ(XmlElement(noHandle, "Step"), "ReceiptText");
  EXPECT_EQ(XmlElement(noHandle, "Message"), "Unable to get Device Handle");
  const std::string paperOut = FileText(fSession.TodayErrorFolder() + "/0001-0000004.fpre");
  EXPECT_EQ(XmlElement(paperOut, "Step"), "ReceiptText");
  EXPECT_EQ(XmlElement(paperOut, "Message"), "Paper out");
  EXPECT_EQ(XmlElement(FileText(fSession.TodayErrorFolder() + "/0001-0000006.fpre"), "Step"),
            "Signing");
  EXPECT_TRUE(fSession.QueueFiles().empty());
}

TEST_F(ProcessorReceipt, MissingPrinterDriverFailsTheReceiptWithAnEmptyErrorText) {
  const std::string bin = fSession.Folder() + "/bin";
  platform::ForceDirectories(bin).ThrowIfFailed();
  for (const char* file : {"processor_host", "QVFP_CYKAVREN_10.so", "AlgoDll.so"}) {
    std::filesystem::copy_file(BuildBinFolder() + "/" + file, bin + "/" + file);
  }
  const auto calls = RunReceipts(Receipt(), bin);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].rc, -1);
  EXPECT_FALSE(calls[0].error.has_value()) << calls[0].error.value_or("");
  const std::string log = fSession.LogText(bin);
  EXPECT_TRUE(Contains(log,
                       " - ERROR - BuildReceiptText:Unable to Load Library QVRP_GENERIC_10.dll. "
                       "Error: ("))
      << log;
  EXPECT_EQ(fSession.Counters()["CurrentReceiptNo"], "1");
  EXPECT_TRUE(fSession.TempFiles().empty());
}

TEST_F(ProcessorReceipt, WaitsForACountersLockHeldForOneSecond) {
  platform::ForceDirectories(fSession.WorkFolder()).ThrowIfFailed();
  ChildProcess holder(HelperProgram("counters_lock_holder"), {"1000"}, fSession.WorkFolder());
  std::string line;
  ASSERT_TRUE(holder.ReadLine(line));
  ASSERT_EQ(line, "locked");
  const auto calls = RunReceipts(Receipt());
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].rc, 0) << calls[0].error.value_or("");
  EXPECT_EQ(XmlElement(calls[0].output.value_or(""), "Number"), "1");
  EXPECT_EQ(holder.Wait(), 0);
}

TEST_F(ProcessorReceipt, GivesUpOnACountersLockHeldForFiveSecondsWithNothingChanged) {
  fSession.WriteCounters(41, 2, {{"DailySales", "7"}});
  const std::string before = FileText(fSession.CountersFile());
  ChildProcess holder(HelperProgram("counters_lock_holder"), {"5000"}, fSession.WorkFolder());
  std::string line;
  ASSERT_TRUE(holder.ReadLine(line));
  ASSERT_EQ(line, "locked");
  const auto calls = RunReceipts(Receipt());
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].rc, -1);
  const std::string error = calls[0].error.value_or("");
  EXPECT_EQ(error.rfind("Cannot create file \"", 0), 0u) << error;
  EXPECT_TRUE(Contains(error, "QVFP_CYKAVREN.Lock\". ")) << error;
  EXPECT_EQ(FileText(fSession.CountersFile()), before);
  EXPECT_TRUE(fSession.TodayJournalFiles().empty());
}

TEST_F(ProcessorReceipt, CorruptCountersFileFailsWithTheReadersMessage) {
  const std::string corrupt = "<FPRCounters><CurrentReceiptNo>4</CurrentReceiptNo><Daily";
  const auto calls = RunReceipts(
      "@FILE " + fSession.CountersFile() + "\n" + corrupt + "\n" + Receipt() + "@FILE " +
      fSession.CountersFile() +
      "\n<FPRCounters><CurrentReceiptNo>x4</CurrentReceiptNo></FPRCounters>\n" + Receipt());
  ASSERT_EQ(calls.size(), 2u);
  // The message is the one the counters store itself gives for that file.
  auto readerMessage = [&](const std::string& aContent) {
    const std::string file = fSession.Folder() + "/sample.fprc";
    std::string error;
    EXPECT_TRUE(StatusOk(platform::WriteWholeFile(file, aContent)));
    try {
      kavren::kFiscalProcessorCounters counters;
      counters.Init(file, "T1");
    } catch (const Error& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(calls[0].rc, -1);
  EXPECT_EQ(calls[0].error, readerMessage(corrupt));
  EXPECT_EQ(calls[1].rc, -1);
  EXPECT_EQ(
      calls[1].error.value_or("").rfind("Error in processing node CurrentReceiptNo as integer", 0),
      0u)
      << calls[1].error.value_or("");
  EXPECT_TRUE(fSession.TodayJournalFiles().empty());
  EXPECT_TRUE(fSession.TempFiles().empty());
}

}  // namespace
}  // namespace qv::testing
