#include "driver/exports.h"

#include <gtest/gtest.h>

#include <string>

#include "driver/processor_registry.h"
#include "driver/support/driver_calls.h"
#include "driver/support/test_processor.h"
#include "framework/io_handler.h"
#include "platform/file_system.h"

namespace qv::driver::testing {
namespace {

using platform::OleStr;

constexpr const char* kZeroReport =
    "<GrandTotalAmount>0</GrandTotalAmount><GrandTotalRefundsAmount>0</GrandTotalRefundsAmount>"
    "<GrandTotalVoidsAmount>0</GrandTotalVoidsAmount><DayTotalAmount>0</DayTotalAmount>"
    "<DayDiscountsAmount>0</DayDiscountsAmount><DayRefundsAmount>0</DayRefundsAmount>"
    "<DayVoidsAmount>0</DayVoidsAmount><DayReceiptsNumber>0</DayReceiptsNumber>"
    "<DayRefundsNumber>0</DayRefundsNumber><ReportNumber>0</ReportNumber>"
    "<ReportDateTime>1899-12-30T00:00:00</ReportDateTime><Text/>";

constexpr const char* kTestReport =
    "<GrandTotalAmount>1234.5</GrandTotalAmount>"
    "<GrandTotalRefundsAmount>-0.01</GrandTotalRefundsAmount>"
    "<GrandTotalVoidsAmount>3</GrandTotalVoidsAmount><DayTotalAmount>12.3456</DayTotalAmount>"
    "<DayDiscountsAmount>0.5</DayDiscountsAmount><DayRefundsAmount>-7</DayRefundsAmount>"
    "<DayVoidsAmount>0</DayVoidsAmount><DayReceiptsNumber>17</DayReceiptsNumber>"
    "<DayRefundsNumber>0</DayRefundsNumber><ReportNumber>4</ReportNumber>"
    "<ReportDateTime>2023-08-09T09:39:19</ReportDateTime><Text>Z line 1\r\nZ line 2</Text>";

constexpr const char* kDefaultStatus =
    "<Status><DayOpened>False</DayOpened><DateTime>1899-12-30T00:00:00</DateTime>"
    "<TrainingMode>False</TrainingMode><FirmwareVersion/><SerialNumber/><FiscalMode/>"
    "</Status>\r\n";

// The smallest receipt the receipt reader takes; the document is read before the processor
// is looked up, so receipt calls must carry one to reach the handle checks.
constexpr const char* kReceipt = "<Receipt><Type>Sale</Type><Lines/><Taxes/><Payments/></Receipt>";

kFiscalProcessor_TEST& TestProcessor(int32_t aHandle) {
  return dynamic_cast<kFiscalProcessor_TEST&>(*ProcessorHandles().at(aHandle));
}

std::string LogOf(int32_t aHandle) { return TestProcessor(aHandle).IOHandler().GetLogFileName(); }

// ---------------------------------------------------------------------------------------
// Handles

TEST(Open, GivesConsecutiveHandlesToDistinctProcessors) {
  const int32_t first = OpenTestProcessor();
  const int32_t second = OpenTestProcessor();
  EXPECT_EQ(second, first + 1);
  EXPECT_EQ(LastProcessorHandle(), second);
  EXPECT_NE(ProcessorHandles().at(first), ProcessorHandles().at(second));
  EXPECT_EQ(TestProcessor(second).Handle(), second);
}

TEST(Open, CarryingAHandleReopensThatProcessor) {
  const int32_t handle = OpenTestProcessor();
  const int32_t last = LastProcessorHandle();
  tCallResult again = CallOpen(TestRequest(handle));
  EXPECT_EQ(again.rc, 0);
  EXPECT_EQ(again.handle, handle);
  EXPECT_FALSE(again.error.has_value());
  EXPECT_EQ(TestProcessor(handle).OpenCount(), 2);
  EXPECT_EQ(LastProcessorHandle(), last);
}

TEST(Open, UnregisteredDriverDoesNotUseUpAHandle) {
  const int32_t before = LastProcessorHandle();
  tCallResult result =
      CallOpen("<R><Driver/><Parameters><Processor>qvfp_test_10</Processor></Parameters></R>");
  EXPECT_EQ(result.rc, -1);
  EXPECT_EQ(result.handle, 0);
  EXPECT_EQ(result.error, "Fiscal Processor Driver [qvfp_test_10] not registered.");
  EXPECT_EQ(OpenTestProcessor(), before + 1);
}

TEST(Open, FailedConstructionRegistersNothing) {
  const int32_t before = LastProcessorHandle();
  tCallResult result = CallOpen(TestRequest(0, "<TestFail>construct</TestFail>"));
  EXPECT_EQ(result.rc, -1);
  EXPECT_EQ(result.handle, 0);
  EXPECT_EQ(result.error, "Test processor cannot be built");
  EXPECT_EQ(ProcessorHandles().count(before + 1), 0u);
  EXPECT_EQ(OpenTestProcessor(), before + 1);
}

TEST(Open, FailedOpenKeepsTheProcessorUnderItsNewHandle) {
  const int32_t before = LastProcessorHandle();
  tCallResult result = CallOpen(TestRequest(0, "<TestFail>open</TestFail>", "", "FAILOPEN"));
  EXPECT_EQ(result.rc, -1);
  EXPECT_EQ(result.handle, 0);
  EXPECT_EQ(result.error, "Test open failed");
  ASSERT_EQ(ProcessorHandles().count(before + 1), 1u);
  EXPECT_EQ(OpenTestProcessor(), before + 2);
  // The failure went to the processor's log as an error entry.
  EXPECT_NE(WaitForFileContaining(LogOf(before + 1), " - ERROR - Test open failed\r\n")
                .find(" - ERROR - Test open failed\r\n"),
            std::string::npos);
}

TEST(Open, ProcessorElementInUpperCaseSelectsTheClass) {
  tCallResult result =
      CallOpen("<R><Driver/><Parameters><PROCESSOR>QVFP_TEST_10</PROCESSOR></Parameters></R>");
  EXPECT_EQ(result.rc, 0) << result.error.value_or("<null>");
  EXPECT_EQ(result.handle, LastProcessorHandle());
}

TEST(Calls, WithoutAHandleWereNeverOpened) {
  for (tProcessExport call : {&PROCESSRECEIPT, &PROCESSZREPORT, &PROCESSXREPORT}) {
    for (int32_t handle : {0, -3}) {
      tCallResult result = CallProcess(call, TestRequest(handle, "", kReceipt));
      EXPECT_EQ(result.rc, -1);
      EXPECT_EQ(result.error, "Fiscal Processor has not previously opened");
    }
  }
}

TEST(Calls, UnknownHandleIsNotFound) {
  for (tProcessExport call :
       {&PROCESSRECEIPT, &PROCESSZREPORT, &PROCESSXREPORT, &PROCESSGETSTATUS}) {
    tCallResult result = CallProcess(call, TestRequest(999999, "", kReceipt));
    EXPECT_EQ(result.rc, -1);
    EXPECT_EQ(result.error, "Processor Handle not found");
  }
  tCallResult open = CallOpen(TestRequest(999999));
  EXPECT_EQ(open.rc, -1);
  EXPECT_EQ(open.handle, 0);
  EXPECT_EQ(open.error, "Processor Handle not found");
}

// ---------------------------------------------------------------------------------------
// Result documents

TEST(Status, WithoutAHandleIsTheDefaultDocument) {
  tCallResult result = CallProcess(&PROCESSGETSTATUS, TestRequest(0));
  EXPECT_EQ(result.rc, 0);
  EXPECT_EQ(result.output, kDefaultStatus);
  EXPECT_FALSE(result.error.has_value());
}

TEST(Status, OfAnOpenProcessor) {
  const int32_t handle = OpenTestProcessor();
  tCallResult result = CallProcess(&PROCESSGETSTATUS, TestRequest(handle));
  EXPECT_EQ(result.rc, 0);
  EXPECT_EQ(result.output,
            "<Status><DayOpened>True</DayOpened>"
            "<DateTime>2023-08-09T09:39:19</DateTime>"
            "<TrainingMode>False</TrainingMode>"
            "<FirmwareVersion>1.06</FirmwareVersion><SerialNumber>TILL-" +
                std::to_string(handle) + "</SerialNumber><FiscalMode>MF</FiscalMode></Status>\r\n");
  EXPECT_FALSE(result.error.has_value());
}

TEST(Status, FailureStillGivesTheDefaultDocument) {
  const int32_t handle = OpenTestProcessor();
  tCallResult result =
      CallProcess(&PROCESSGETSTATUS, TestRequest(handle, "<TestFail>raise</TestFail>"));
  EXPECT_EQ(result.rc, -1);
  EXPECT_EQ(result.error, "Test operation failed");
  EXPECT_EQ(result.output, kDefaultStatus);
  tCallResult malformed = CallProcess(&PROCESSGETSTATUS, "<FiscalRequest>");
  EXPECT_EQ(malformed.rc, -1);
  EXPECT_EQ(malformed.output, kDefaultStatus);
}

TEST(Reports, ZReportCarriesTheFigures) {
  const int32_t handle = OpenTestProcessor();
  tCallResult result = CallProcess(&PROCESSZREPORT, TestRequest(handle));
  EXPECT_EQ(result.rc, 0) << result.error.value_or("<null>");
  EXPECT_EQ(result.output, std::string("<ZReport>") + kTestReport + "</ZReport>\r\n");
  EXPECT_FALSE(result.error.has_value());
}

TEST(Reports, XReportHasTheSameChildren) {
  const int32_t handle = OpenTestProcessor();
  tCallResult result = CallProcess(&PROCESSXREPORT, TestRequest(handle));
  EXPECT_EQ(result.rc, 0);
  EXPECT_EQ(result.output, std::string("<XReport>") + kTestReport + "</XReport>\r\n");
}

TEST(Reports, FailedZReportStillGivesADocumentOfZeros) {
  const int32_t handle = OpenTestProcessor();
  tCallResult failed =
      CallProcess(&PROCESSZREPORT, TestRequest(handle, "<TestFail>raise</TestFail>"));
  EXPECT_EQ(failed.rc, -1);
  EXPECT_EQ(failed.error, "Test operation failed");
  EXPECT_EQ(failed.output, std::string("<ZReport>") + kZeroReport + "</ZReport>\r\n");
  tCallResult unopened = CallProcess(&PROCESSZREPORT, TestRequest(0));
  EXPECT_EQ(unopened.output, std::string("<ZReport>") + kZeroReport + "</ZReport>\r\n");
  tCallResult xUnopened = CallProcess(&PROCESSXREPORT, TestRequest(0));
  EXPECT_EQ(xUnopened.output, std::string("<XReport>") + kZeroReport + "</XReport>\r\n");
}

TEST(Receipt, OutputIsTheProcessorsUpdatedRequest) {
  const int32_t handle = OpenTestProcessor("", "RCPT");
  const std::string request = TestRequest(handle, "", kReceipt, "RCPT");
  tCallResult result = CallProcess(&PROCESSRECEIPT, request);
  ASSERT_EQ(result.rc, 0) << result.error.value_or("<null>");
  EXPECT_EQ(result.output, request + "<Updated/>");
  EXPECT_FALSE(result.error.has_value());
  const std::string expected = " - PROCESSRECEIPT:Updated Receipt:\r\n" + request + "<Updated/>";
  EXPECT_NE(WaitForFileContaining(LogOf(handle), expected).find(expected), std::string::npos);
}

TEST(Receipt, WithoutReceiptFailsWithTheReadersMessage) {
  const int32_t handle = OpenTestProcessor();
  tCallResult receipt = CallProcess(&PROCESSRECEIPT, TestRequest(handle));
  EXPECT_EQ(receipt.rc, -1);
  EXPECT_EQ(receipt.error, "Receipt node not found");
  EXPECT_FALSE(receipt.output.has_value());
  // The X-report reads no document, so the same request goes through.
  EXPECT_EQ(CallProcess(&PROCESSXREPORT, TestRequest(handle)).rc, 0);
}

// ---------------------------------------------------------------------------------------
// Error texts

TEST(ErrorText, FalseWithoutMessageIsANullString) {
  const int32_t handle = OpenTestProcessor();
  tCallResult result =
      CallProcess(&PROCESSXREPORT, TestRequest(handle, "<TestFail>false</TestFail>"));
  EXPECT_EQ(result.rc, -1);
  EXPECT_FALSE(result.error.has_value());
}

TEST(ErrorText, FalseTakesTheChannelsMessageWhichTheNextCallClears) {
  const int32_t handle = OpenTestProcessor();
  tCallResult refused =
      CallProcess(&PROCESSZREPORT, TestRequest(handle, "<TestFail>message</TestFail>"));
  EXPECT_EQ(refused.rc, -1);
  EXPECT_EQ(refused.error, "Test device refused");
  EXPECT_TRUE(TestProcessor(handle).IOHandler().ErrorFound());
  tCallResult next =
      CallProcess(&PROCESSZREPORT, TestRequest(handle, "<TestFail>false</TestFail>"));
  EXPECT_EQ(next.rc, -1);
  EXPECT_FALSE(next.error.has_value());
  EXPECT_FALSE(TestProcessor(handle).IOHandler().ErrorFound());
}

TEST(ErrorText, EveryKindOfFailureBecomesAMessage) {
  const int32_t handle = OpenTestProcessor();
  const std::pair<const char*, const char*> cases[] = {
      {"badalloc", "Out of memory"}, {"runtime", "Runtime failure"}, {"int", "Unknown error"}};
  for (const auto& [fail, message] : cases) {
    tCallResult result = CallProcess(
        &PROCESSZREPORT, TestRequest(handle, std::string("<TestFail>") + fail + "</TestFail>"));
    EXPECT_EQ(result.rc, -1) << fail;
    EXPECT_EQ(result.error, message) << fail;
    EXPECT_EQ(result.output, std::string("<ZReport>") + kZeroReport + "</ZReport>\r\n");
  }
}

TEST(ErrorText, BadRequestsFailWithAMessage) {
  tCallResult malformed = CallOpen("<FiscalRequest><Driver></FiscalRequest>");
  EXPECT_EQ(malformed.rc, -1);
  EXPECT_EQ(malformed.handle, 0);
  ASSERT_TRUE(malformed.error.has_value());
  EXPECT_FALSE(malformed.error->empty());
  tCallResult noParameters = CallOpen("<FiscalRequest><Driver/></FiscalRequest>");
  EXPECT_EQ(noParameters.error, "Parameters node not found");
  tCallResult notXml = CallProcess(&PROCESSRECEIPT, "not xml at all");
  EXPECT_EQ(notXml.rc, -1);
  EXPECT_TRUE(notXml.error.has_value());
  EXPECT_FALSE(notXml.output.has_value());
}

TEST(ErrorText, NullRequestIsAnEmptyText) {
  OleStr error = nullptr;
  int32_t handle = 55;
  EXPECT_EQ(OPEN(nullptr, &handle, &error), -1);
  EXPECT_EQ(handle, 0);
  ASSERT_NE(error, nullptr);
  SysFreeString(error);
}

// ---------------------------------------------------------------------------------------
// Output arguments

TEST(Outputs, NullPointersAreSkipped) {
  const int32_t before = LastProcessorHandle();
  EXPECT_EQ(OPEN(platform::OleString(TestRequest(0)).Get(), nullptr, nullptr), 0);
  EXPECT_EQ(LastProcessorHandle(), before + 1);
  EXPECT_EQ(OPEN(platform::OleString("<broken").Get(), nullptr, nullptr), -1);
  platform::OleString request(TestRequest(before + 1));
  for (tProcessExport call : {&PROCESSZREPORT, &PROCESSXREPORT, &PROCESSGETSTATUS}) {
    EXPECT_EQ(call(request.Get(), nullptr, nullptr), 0);
  }
  OleStr error = nullptr;
  EXPECT_EQ(PROCESSRECEIPT(request.Get(), nullptr, &error), -1);
  EXPECT_EQ(platform::OleStringToUtf8(error), "Receipt node not found");
  SysFreeString(error);
}

TEST(Outputs, AreClearedOnEntryWithoutBeingFreed) {
  // Whatever the variables held is not the library's to free: a stale pointer is simply
  // overwritten (freeing it would be caught by the address sanitizer).
  static char16_t notAnOleString[4] = u"xyz";
  OleStr output = notAnOleString;
  OleStr error = notAnOleString;
  EXPECT_EQ(PROCESSGETSTATUS(platform::OleString(TestRequest(0)).Get(), &output, &error), 0);
  EXPECT_EQ(error, nullptr);
  ASSERT_NE(output, notAnOleString);
  EXPECT_EQ(platform::OleStringToUtf8(output), kDefaultStatus);
  SysFreeString(output);
  int32_t handle = 77;
  error = notAnOleString;
  EXPECT_EQ(OPEN(platform::OleString(TestRequest(0)).Get(), &handle, &error), 0);
  EXPECT_EQ(error, nullptr);
  EXPECT_EQ(handle, LastProcessorHandle());
}

// ---------------------------------------------------------------------------------------
// The processor's log and folders

TEST(ProcessorLog, RecordsEachSuccessfulCall) {
  const int32_t handle = OpenTestProcessor("", "LOGS");
  ASSERT_EQ(CallProcess(&PROCESSZREPORT, TestRequest(handle, "", "", "LOGS")).rc, 0);
  ASSERT_EQ(CallProcess(&PROCESSXREPORT, TestRequest(handle, "", "", "LOGS")).rc, 0);
  ASSERT_EQ(CallProcess(&PROCESSGETSTATUS, TestRequest(handle, "", "", "LOGS")).rc, 0);
  const std::string log =
      WaitForFileContaining(LogOf(handle), " - PROCESSXREPORT:Data: 2023-08-09 09:39:19\r\n");
  EXPECT_NE(log.find(" - OPEN:Assigned Handle: " + std::to_string(handle) + "\r\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find(" - PROCESSZREPORT:ReportNo: 4\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" - PROCESSXREPORT:Data: 2023-08-09 09:39:19\r\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("GETSTATUS"), std::string::npos) << log;
}

TEST(ProcessorLog, FileIsNamedAfterDriverLogIdAndDayBesideTheHost) {
  const int32_t handle = OpenTestProcessor("", "NAMED");
  const std::string file = LogOf(handle);
  const std::string name = "QVFP_TEST_10_NAMED_" + TodayStamp() + ".log";
  EXPECT_EQ(platform::NativePath(file),
            platform::NativePath(std::string(QV_BIN_DIR) + "/LogFiles/FiscalPrinter/" + name));
  const std::string log = WaitForFileContaining(file, "Assigned Handle");
  EXPECT_NE(log.find(" - *************************** START ***************************\r\n"),
            std::string::npos)
      << log;
}

TEST(ProcessorChannel, RequestsOwnConnectionBecomesTheLocalTcpChannel) {
  tCallResult result = CallOpen(TestRequest(
      0, "",
      "<Connection><Type>SERIAL</Type><SerialPort>COM1</SerialPort><Parity>NONE</Parity>"
      "</Connection>"));
  ASSERT_EQ(result.rc, 0) << result.error.value_or("<null>");
  framework::kIOHandler& channel = TestProcessor(result.handle).IOHandler();
  EXPECT_EQ(channel.ClassName(), "kIOHandler_TCP");
  EXPECT_EQ(channel.ConnectTimeout(), 3000);
  EXPECT_EQ(channel.ReadTimeout(), 5000);
}

TEST(ProcessorFolders, WithoutTillSerialTheDatabaseRootIsUsed) {
  const int32_t handle = OpenTestProcessor();
  EXPECT_EQ(TestProcessor(handle).DirQueue(), "C:\\QV_FPR_DB\\Queue");
  EXPECT_TRUE(platform::DirectoryExists(DriveCFolder() + "/QV_FPR_DB/Processed"));
}

TEST(ProcessorFolders, TillSerialIsTheTillsFolder) {
  const int32_t handle = OpenTestProcessor("<FPTillSerial>T7</FPTillSerial>");
  EXPECT_EQ(TestProcessor(handle).DirJournal(), "C:\\QV_FPR_DB\\T7\\Journal");
  EXPECT_TRUE(platform::DirectoryExists(DriveCFolder() + "/QV_FPR_DB/T7/Journal"));
}

TEST(ProcessorFolders, TillSerialLeavingTheDatabaseFailsTheOpen) {
  const int32_t before = LastProcessorHandle();
  tCallResult result = CallOpen(TestRequest(0, "<FPTillSerial>..\\..\\x</FPTillSerial>"));
  EXPECT_EQ(result.rc, -1);
  EXPECT_EQ(result.handle, 0);
  EXPECT_EQ(result.error, "Invalid characters in path");
  EXPECT_EQ(LastProcessorHandle(), before + 1);  // constructed, then refused by Open
  EXPECT_FALSE(platform::DirectoryExists(DriveCFolder() + "/x"));
}

}  // namespace
}  // namespace qv::driver::testing
