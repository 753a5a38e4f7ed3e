// PROCESSZREPORT and PROCESSXREPORT of the signing processor through the built library, with
// the stand-in signing box: the figures returned, the report texts, the counters copies, the
// closing of the day and the signature block.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include <pugixml.hpp>

#include "base/currency.h"
#include "base/utils.h"
#include "kavren/report_text.h"
#include "kavren/support/processor_session.h"
#include "platform/file_system.h"
#include "platform/regional_settings.h"
#include "support/file_status_assertions.h"
#include "support/protected_path.h"

namespace qv::testing {
namespace {

using Session = tProcessorSession;

bool Contains(const std::string& aText, const std::string& aPart) {
  return aText.find(aPart) != std::string::npos;
}

// The Text element of a ZReport or XReport document, line ends as they were.
std::string ReportText(const std::string& aDocument) {
  pugi::xml_document document;
  EXPECT_TRUE(document.load_string(aDocument.c_str(), pugi::parse_default & ~pugi::parse_eol))
      << aDocument;
  return document.document_element().child("Text").text().get();
}

std::string Amount(const std::string& aText) {
  base::Currency value;
  EXPECT_TRUE(base::TryStrToCurrency(aText, value)) << aText;
  return kavren::ReportAmount(value, platform::CurrentRegionalSettings());
}

std::string Row(const std::string& aLabel, const std::string& aValue) {
  std::string row = aLabel + std::string(34 - aLabel.size(), ' ');
  return row + std::string(aValue.size() < 10 ? 10 - aValue.size() : 0, ' ') + aValue;
}

std::string Today() {
  const std::string stamp = TodayStamp();
  return stamp.substr(0, 4) + "-" + stamp.substr(4, 2) + "-" + stamp.substr(6, 2);
}

const std::string kSignatureEnd = "\r\n\r\nLEGAL RECEIPT";

class ProcessorReports : public ::testing::Test {
 protected:
  std::string Open() { return Session::Call("OPEN", fSession.Request(0)); }
  std::string Z(const std::string& aZReport = "") {
    return Session::Call("PROCESSZREPORT", fSession.Request(1, aZReport));
  }
  std::string X() { return Session::Call("PROCESSXREPORT", fSession.Request(1)); }
  std::string Receipt(const std::string& aAmount) {
    return Session::Call("PROCESSRECEIPT", fSession.Request(1, ReceiptXml(aAmount)));
  }
  std::string BoxControl(const std::string& aText) {
    return "@FILE " + fSession.DriveC() + "/AlgoBox/control.txt\n" + aText + "\n";
  }
  std::vector<tHostCall> RunAfterOpen(const std::string& aCalls) {
    std::vector<tHostCall> calls = fSession.Run(Open() + aCalls);
    EXPECT_FALSE(calls.empty());
    if (calls.empty()) return calls;
    EXPECT_EQ(calls[0].rc, 0) << calls[0].error.value_or("");
    return std::vector<tHostCall>(calls.begin() + 1, calls.end());
  }

  tProcessorSession fSession;
};

TEST_F(ProcessorReports, FirstZReportOfANewTill) {
  const auto calls = RunAfterOpen(Z());
  ASSERT_EQ(calls.size(), 1u);
  ASSERT_EQ(calls[0].rc, 0) << calls[0].error.value_or("");
  EXPECT_FALSE(calls[0].error.has_value());
  const std::string output = calls[0].output.value_or("");
  EXPECT_EQ(XmlElement(output, "ReportNumber"), "1");
  EXPECT_EQ(XmlElement(output, "DayReceiptsNumber"), "0");
  EXPECT_EQ(XmlElement(output, "DayTotalAmount"), "0");
  EXPECT_EQ(XmlElement(output, "GrandTotalAmount"), "0");
  EXPECT_EQ(XmlElement(output, "ReportDateTime"), Today() + "T00:00:00");

  const std::string text = ReportText(output);
  EXPECT_EQ(
      text.rfind("Z-REPORT # 0001\r\n\r\n" + std::string(44, '-') + "\r\n\r\nCassa T1\r\n", 0), 0u)
      << text;
  EXPECT_TRUE(Contains(text, Row("Grantotale", Amount("0")) + "\r\n")) << text;
  EXPECT_TRUE(Contains(text, Row("Totale Giorno", Amount("0")) + "\r\n")) << text;
  EXPECT_TRUE(Contains(text, Row("Scontrini Emessi", "0") + "\r\n\r\nS/N: KVB0000001\r\n")) << text;
  EXPECT_EQ(text.substr(text.size() - kSignatureEnd.size()), kSignatureEnd);

  // The day is closed: next Z number, and both copies hold the closed day.
  auto counters = fSession.Counters();
  EXPECT_EQ(counters["CurrentZReportNo"], "2");
  EXPECT_EQ(counters["CurrentReceiptNo"], "0");
  const std::string previous = FileText(fSession.PreviousCountersFile());
  EXPECT_TRUE(Contains(previous, "<CurrentZReportNo>1</CurrentZReportNo>")) << previous;
  EXPECT_EQ(fSession.TodayJournalFiles(), std::vector<std::string>{"0001-9999.fprd"});
  EXPECT_EQ(FileText(fSession.TodayJournalFolder() + "/0001-9999.fprd"), previous);

  const std::string log = fSession.LogText();
  EXPECT_TRUE(Contains(log, " - PROCESSZREPORT:BEGIN\r\n")) << log;
  EXPECT_TRUE(Contains(log, " - MakeZReport:[0]\r\n")) << log;
  EXPECT_TRUE(Contains(log, " - SerialNumber:KVB0000001\r\n")) << log;
  EXPECT_TRUE(Contains(log, " - PROCESSZREPORT:END\r\n")) << log;
  EXPECT_TRUE(Contains(log, " - PROCESSZREPORT:ReportNo: 1\r\n")) << log;
}

TEST_F(ProcessorReports, ZReportsReturnTheFiguresOfTheDayTheyClose) {
  fSession.WriteCounters(5, 1,
                         {{"DailySales", "12345.6789"},
                          {"DailyRefunds", "4"},
                          {"DailyVoids", "1"},
                          {"DailyTotal", "12340.6789"},
                          {"DailyDiscounts", "2"},
                          {"GrandTotalSales", "20000"},
                          {"GrandTotalRefunds", "4"},
                          {"GrandTotalVoids", "1"},
                          {"GrandTotalTotal", "19995"}});
  const auto calls = RunAfterOpen(Receipt("10") + Z() + Z());
  ASSERT_EQ(calls.size(), 3u);
  ASSERT_EQ(calls[0].rc, 0) << calls[0].error.value_or("");
  ASSERT_EQ(calls[1].rc, 0) << calls[1].error.value_or("");
  const std::string first = calls[1].output.value_or("");
  EXPECT_EQ(XmlElement(first, "ReportNumber"), "1");
  EXPECT_EQ(XmlElement(first, "DayReceiptsNumber"), "6");
  EXPECT_EQ(XmlElement(first, "DayTotalAmount"), "12350.6789");
  EXPECT_EQ(XmlElement(first, "DayRefundsAmount"), "4");
  EXPECT_EQ(XmlElement(first, "DayVoidsAmount"), "1");
  EXPECT_EQ(XmlElement(first, "DayDiscountsAmount"), "2");
  EXPECT_EQ(XmlElement(first, "GrandTotalAmount"), "20005");
  EXPECT_EQ(XmlElement(first, "DayRefundsNumber"), "0");
  const std::string text = ReportText(first);
  EXPECT_TRUE(Contains(text, Row("Grantotale", Amount("20005")) + "\r\n")) << text;
  EXPECT_TRUE(Contains(text, Row("Grantotale Vendite", Amount("20010")) + "\r\n")) << text;
  EXPECT_TRUE(Contains(text, Row("Totale Giorno", Amount("12350.6789")) + "\r\n")) << text;
  EXPECT_TRUE(Contains(text, Row("Totale Giorno Vendite", Amount("12355.6789")) + "\r\n")) << text;
  EXPECT_TRUE(Contains(text, Row("Totale Giorno Annullamenti", Amount("1")) + "\r\n")) << text;
  EXPECT_TRUE(Contains(text, Row("Scontrini Emessi", "6") + "\r\n")) << text;

  ASSERT_EQ(calls[2].rc, 0) << calls[2].error.value_or("");
  const std::string second = calls[2].output.value_or("");
  EXPECT_EQ(XmlElement(second, "ReportNumber"), "2");
  EXPECT_EQ(XmlElement(second, "DayReceiptsNumber"), "0");
  EXPECT_EQ(XmlElement(second, "DayTotalAmount"), "0");
  EXPECT_EQ(XmlElement(second, "GrandTotalAmount"), "20005");
  EXPECT_EQ(ReportText(second).rfind("Z-REPORT # 0002\r\n", 0), 0u);

  EXPECT_EQ(fSession.TodayJournalFiles(),
            (std::vector<std::string>{"0001-0000006.fprd", "0001-9999.fprd", "0002-9999.fprd"}));
  const std::string secondCopy = FileText(fSession.TodayJournalFolder() + "/0002-9999.fprd");
  EXPECT_TRUE(Contains(secondCopy, "<CurrentZReportNo>2</CurrentZReportNo>")) << secondCopy;
  EXPECT_TRUE(Contains(secondCopy, "<GrandTotalTotal>20005</GrandTotalTotal>")) << secondCopy;
  EXPECT_EQ(fSession.Counters()["CurrentZReportNo"], "3");
  EXPECT_EQ(fSession.Counters()["GrandTotalSales"], "20010");
}

TEST_F(ProcessorReports, JournalCopyAlreadyPresentLeavesTheDayOpen) {
  fSession.WriteCounters(5, 1, {{"DailySales", "50"}, {"DailyTotal", "50"}});
  platform::ForceDirectories(fSession.TodayJournalFolder()).ThrowIfFailed();
  std::string error;
  ASSERT_TRUE(StatusOk(
      platform::WriteWholeFile(fSession.TodayJournalFolder() + "/0001-9999.fprd", "earlier copy")));
  const auto calls = RunAfterOpen(Z() + Receipt("1"));
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].rc, -1);
  EXPECT_TRUE(Contains(calls[0].error.value_or(""), "0001-9999.fprd"))
      << calls[0].error.value_or("");
  EXPECT_EQ(XmlElement(calls[0].output.value_or(""), "DayTotalAmount"), "0");
  EXPECT_EQ(FileText(fSession.TodayJournalFolder() + "/0001-9999.fprd"), "earlier copy");
  // The lock was released and the day goes on.
  ASSERT_EQ(calls[1].rc, 0) << calls[1].error.value_or("");
  EXPECT_EQ(XmlElement(calls[1].output.value_or(""), "Number"), "6");
  auto counters = fSession.Counters();
  EXPECT_EQ(counters["CurrentZReportNo"], "1");
  EXPECT_EQ(counters["CurrentReceiptNo"], "6");
  EXPECT_EQ(counters["DailySales"], "51");
}

TEST_F(ProcessorReports, PreviousCountersCopyThatCannotBeRemovedIsNamedAndLeavesTheDayOpen) {
  fSession.WriteCounters(5, 1, {{"DailySales", "50"}, {"DailyTotal", "50"}});
  const std::string previous = fSession.TillFolder() + "/counters.previous.fprc";
  ASSERT_TRUE(StatusOk(platform::WriteWholeFile(previous, "the day before")));
  tProtectedPath guard(previous, tProtectedPath::tKind::Immutable);
  if (!guard.IsSet()) GTEST_SKIP() << "no file here can be protected from removal";
  const auto calls = RunAfterOpen(Z());
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].rc, -1);
  EXPECT_TRUE(Contains(calls[0].error.value_or(""), "Cannot delete \""))
      << calls[0].error.value_or("");
  EXPECT_TRUE(
      Contains(calls[0].error.value_or(""), "counters.previous.fprc\": Operation not permitted"))
      << calls[0].error.value_or("");
  guard.Clear();
  EXPECT_EQ(FileText(previous), "the day before");
  EXPECT_EQ(fSession.Counters()["CurrentZReportNo"], "1");
  EXPECT_EQ(fSession.Counters()["DailySales"], "50");
}

// A Z-report that stopped after its journal copy (a crash) left the copy of exactly the
// counters it was closing: the next Z-report of the day closes that day instead of failing
// for ever.
TEST_F(ProcessorReports, JournalCopyOfAnInterruptedZReportIsTakenOver) {
  fSession.WriteCounters(5, 1, {{"DailySales", "50"}, {"DailyTotal", "50"}});
  platform::ForceDirectories(fSession.TodayJournalFolder()).ThrowIfFailed();
  const std::string countersFile =
      fSession.DriveC() + "/QV_FPR_DB/" + fSession.Till() + "/counters.actual.fprc";
  const std::string journalCopy = fSession.TodayJournalFolder() + "/0001-9999.fprd";
  std::string error;
  ASSERT_TRUE(StatusOk(platform::CopyFileNoOverwrite(countersFile, journalCopy)));
  const std::string closedCounters = FileText(countersFile);

  const auto calls = RunAfterOpen(Z());
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].rc, 0) << calls[0].error.value_or("");
  EXPECT_EQ(XmlElement(calls[0].output.value_or(""), "ReportNumber"), "1");
  EXPECT_EQ(XmlElement(calls[0].output.value_or(""), "DayTotalAmount"), "50");
  EXPECT_EQ(FileText(journalCopy), closedCounters);
  EXPECT_EQ(fSession.Counters()["CurrentZReportNo"], "2");
  EXPECT_EQ(fSession.Counters()["DailySales"], "0");
}

TEST_F(ProcessorReports, DayIsClosedLocallyWhenTheBoxRefusesOrFails) {
  fSession.WriteCounters(5, 1, {{"DailySales", "50"}, {"DailyTotal", "50"}});
  const auto calls = RunAfterOpen(
      BoxControl("MakeZReport.status=3") + Z() +
      BoxControl("MakeZReport.hresult=0x80004005\nMakeZReport.error=Box day closing failed") + Z() +
      BoxControl("") + Z());
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].rc, -1);
  EXPECT_EQ(calls[1].rc, -1);
  EXPECT_EQ(calls[1].error, "Box day closing failed");
  ASSERT_EQ(calls[2].rc, 0) << calls[2].error.value_or("");
  const std::string output = calls[2].output.value_or("");
  EXPECT_EQ(XmlElement(output, "ReportNumber"), "3");
  EXPECT_EQ(XmlElement(output, "DayTotalAmount"), "0");
  EXPECT_EQ(XmlElement(output, "GrandTotalAmount"), "0");
  EXPECT_TRUE(Contains(ReportText(output), "\r\n\r\nS/N: KVB0000001\r\n"));
  EXPECT_EQ(fSession.TodayJournalFiles(),
            (std::vector<std::string>{"0001-9999.fprd", "0002-9999.fprd", "0003-9999.fprd"}));
  const std::string firstCopy = FileText(fSession.TodayJournalFolder() + "/0001-9999.fprd");
  EXPECT_TRUE(Contains(firstCopy, "<DailySales>50</DailySales>")) << firstCopy;
  auto counters = fSession.Counters();
  EXPECT_EQ(counters["CurrentZReportNo"], "4");
  EXPECT_EQ(counters["DailySales"], "0");
  EXPECT_TRUE(Contains(fSession.LogText(), " - MakeZReport:[3]\r\n"));
}

// The host of a refused Z-report learns that the till closed the day, and gets that day's
// figures and text, so that it does not close a further, empty day by repeating the call.
TEST_F(ProcessorReports, RefusedZReportGivesTheClosedDayAndSaysSo) {
  fSession.WriteCounters(5, 1,
                         {{"DailySales", "50"},
                          {"DailyTotal", "50"},
                          {"GrandTotalSales", "80"},
                          {"GrandTotalTotal", "80"}});
  const auto calls = RunAfterOpen(BoxControl("MakeZReport.status=3\nMakeZReport.text=BOX BUSY") +
                                  Z() + BoxControl("") + X());
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].rc, -1);
  EXPECT_EQ(calls[0].error,
            "Error when closing the day in the signing device: [3]BOX BUSY. "
            "The day is closed in the till.");
  const std::string output = calls[0].output.value_or("");
  EXPECT_EQ(XmlElement(output, "ReportNumber"), "1");
  EXPECT_EQ(XmlElement(output, "DayReceiptsNumber"), "5");
  EXPECT_EQ(XmlElement(output, "DayTotalAmount"), "50");
  EXPECT_EQ(XmlElement(output, "GrandTotalAmount"), "80");
  EXPECT_EQ(XmlElement(output, "ReportDateTime"), Today() + "T00:00:00");
  const std::string text = ReportText(output);
  EXPECT_EQ(text.rfind("Z-REPORT # 0001\r\n", 0), 0u) << text;
  EXPECT_TRUE(Contains(text, Row("Totale Giorno", Amount("50")) + "\r\n")) << text;
  const std::string lastLine = Row("Scontrini Emessi", "5");
  EXPECT_EQ(text.substr(text.size() - lastLine.size()), lastLine) << text;
  EXPECT_FALSE(Contains(text, "S/N:")) << text;
  // The day stays closed in the till: the open day is the next one, empty.
  ASSERT_EQ(calls[1].rc, 0) << calls[1].error.value_or("");
  EXPECT_EQ(XmlElement(*calls[1].output, "ReportNumber"), "2");
  EXPECT_EQ(XmlElement(*calls[1].output, "DayTotalAmount"), "0");
  const std::string log = fSession.LogText();
  EXPECT_TRUE(Contains(log,
                       " - ERROR - PROCESSZREPORT:Error when closing the day in the signing "
                       "device: [3]BOX BUSY. The day is closed in the till.\r\n"))
      << log;
  EXPECT_FALSE(Contains(log, "PROCESSZREPORT:ReportNo:")) << log;
}

TEST_F(ProcessorReports, HostSuppliedTextReplacesTheBuiltOne) {
  const auto calls = RunAfterOpen(
      Z("<ZReport><PrintText>True</PrintText><Text>Daily report\nTotal 10.00</Text></ZReport>") +
      Z("<ZReport><PrintText>True</PrintText><Text></Text></ZReport>") +
      Z("<ZReport><PrintText>False</PrintText><Text>Not printed</Text></ZReport>"));
  ASSERT_EQ(calls.size(), 3u);
  for (const tHostCall& call : calls) ASSERT_EQ(call.rc, 0) << call.error.value_or("");
  const std::string first = ReportText(*calls[0].output);
  EXPECT_EQ(first.rfind("Z-REPORT # 0001\r\nZ-REPORT # 0001\r\nTotal 10.00\r\n\r\n\r\nS/N: ", 0),
            0u)
      << first;
  const std::string second = ReportText(*calls[1].output);
  EXPECT_EQ(second.rfind("Z-REPORT # 0002\r\n\r\n\r\nS/N: KVB0000001\r\n", 0), 0u) << second;
  EXPECT_EQ(second.substr(second.size() - kSignatureEnd.size()), kSignatureEnd);
  const std::string third = ReportText(*calls[2].output);
  EXPECT_EQ(third.rfind("Z-REPORT # 0003\r\n\r\n---", 0), 0u) << third;
  EXPECT_FALSE(Contains(third, "Not printed"));
}

TEST_F(ProcessorReports, SerialNumberIsTheNewestDeviceFolderOfTheBox) {
  platform::ForceDirectories(fSession.BoxFolder() + "/ZZ_OLDER").ThrowIfFailed();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  platform::ForceDirectories(fSession.BoxFolder() + "/KVB0000002").ThrowIfFailed();
  const auto calls = RunAfterOpen(Z());
  ASSERT_EQ(calls.size(), 1u);
  ASSERT_EQ(calls[0].rc, 0) << calls[0].error.value_or("");
  EXPECT_TRUE(Contains(ReportText(*calls[0].output), "\r\n\r\nS/N: KVB0000002\r\n"))
      << ReportText(*calls[0].output);
}

TEST_F(ProcessorReports, MissingBoxFolderGivesAnEmptySerialNumber) {
  const auto calls = RunAfterOpen(
      BoxControl("Installation.boxfiles=C:\\NoSuchBox\\$X\\;C:\\AlgoBox\\control.txt") +
      Session::Call("OPEN", fSession.Request(1)) + Z() +
      BoxControl("Installation.boxfiles=C:\\AlgoBox\\;x") +
      Session::Call("OPEN", fSession.Request(1)) + Z());
  ASSERT_EQ(calls.size(), 4u);
  for (const tHostCall& call : calls) ASSERT_EQ(call.rc, 0) << call.error.value_or("");
  // The day is closed on both sides already: the Z-report succeeds without a serial.
  EXPECT_TRUE(Contains(ReportText(*calls[1].output), "\r\n\r\nS/N: \r\n"));
  EXPECT_TRUE(Contains(ReportText(*calls[3].output), "\r\n\r\nS/N: \r\n"));
  EXPECT_EQ(fSession.Counters()["CurrentZReportNo"], "3");
  const std::string log = fSession.LogText();
  EXPECT_TRUE(Contains(log, " - ERROR - SerialNumber:")) << log;
}

TEST_F(ProcessorReports, XReportShowsTheOpenDayAndChangesNothing) {
  fSession.WriteCounters(17, 3,
                         {{"DailySales", "10"},
                          {"DailyRefunds", "15"},
                          {"DailyTotal", "-5"},
                          {"GrandTotalSales", "100"},
                          {"GrandTotalTotal", "85"},
                          {"GrandTotalRefunds", "15"}});
  // OPEN re-saves nothing for an existing file; take the bytes after it.
  ASSERT_EQ(fSession.Run(Open()).size(), 1u);
  const std::string before = FileText(fSession.CountersFile());
  const auto calls = RunAfterOpen(X() + X());
  ASSERT_EQ(calls.size(), 2u);
  for (const tHostCall& call : calls) ASSERT_EQ(call.rc, 0) << call.error.value_or("");
  EXPECT_EQ(FileText(fSession.CountersFile()), before);
  const std::string output = calls[0].output.value_or("");
  EXPECT_EQ(output.rfind("<XReport>", 0), 0u) << output;
  EXPECT_EQ(XmlElement(output, "ReportNumber"), "3");
  EXPECT_EQ(XmlElement(output, "DayReceiptsNumber"), "17");
  EXPECT_EQ(XmlElement(output, "DayTotalAmount"), "-5");
  EXPECT_EQ(XmlElement(output, "GrandTotalAmount"), "85");
  const std::string text = ReportText(output);
  EXPECT_EQ(text.rfind("X-REPORT\r\n" + std::string(44, '-') + "\r\n\r\nCassa T1\r\nData ", 0), 0u)
      << text;
  EXPECT_TRUE(Contains(text, Row("Totale Giorno", Amount("-5")) + "\r\n")) << text;
  EXPECT_FALSE(Contains(text, "Grantotale"));
  EXPECT_FALSE(Contains(text, "S/N:"));
  // Two X-reports differ at most in the time of their Data line.
  auto withoutDate = [](std::string aText) {
    const std::size_t data = aText.find("\r\nData ");
    return aText.erase(data, aText.find("\r\n", data + 2) - data);
  };
  EXPECT_EQ(withoutDate(text), withoutDate(ReportText(calls[1].output.value_or(""))));
  EXPECT_TRUE(Contains(fSession.LogText(), " - PROCESSXREPORT:Data: " + Today() + " 00:00:00\r\n"));
}

}  // namespace
}  // namespace qv::testing
