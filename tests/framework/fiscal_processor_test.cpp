#include "framework/fiscal_processor.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/application.h"
#include "framework/io_handler.h"
#include "framework/request_context.h"
#include "framework/support/scratch_folder.h"
#include "platform/clock.h"
#include "platform/environment.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/regional_settings.h"
#include "support/file_status_assertions.h"

namespace qv::framework {
namespace {

using test_support::FileContent;
using test_support::ScratchFolder;

// The smallest concrete processor: every device operation succeeds without doing anything.
class kFiscalProcessor_PLAIN : public kFiscalProcessor {
 public:
  using kFiscalProcessor::kFiscalProcessor;
  bool Init() override { return true; }
  bool ProcessReceipt(kFiscalProcessorHandler&) override { return true; }
  bool ProcessZReport(kFiscalProcessorHandler&) override { return true; }
  bool ProcessXReport(kFiscalProcessorHandler&) override { return true; }
  bool ProcessGetStatus(kFiscalProcessorHandler&) override { return true; }

 protected:
  bool Connect() override { return true; }
  bool GetStatus(bool&, base::DateTime&, bool&, std::string&, std::string&, std::string&) override {
    return true;
  }
  bool GetDateTime(base::DateTime&) override { return true; }
  bool SetDateTime(base::DateTime) override { return true; }
  bool SetTrainingMode() override { return true; }
  bool GetVatTable() override { return true; }
  bool SetVatTable(documents::kVatTable&) override { return true; }
  bool GetDeptTable() override { return true; }
  bool SetEATable(documents::kEconomicActivityTable&) override { return true; }
  bool GetEATable() override { return true; }
  bool SetDeptTable(documents::kDeptTable&) override { return true; }
  bool OpenDrawer(int32_t) override { return true; }
  bool EJReportZReports(documents::qvEJReportDestination, base::DateTime, base::DateTime,
                        _int_EJREPORT_result&) override {
    return true;
  }
  bool EJReportFiscalReceipts(documents::qvEJReportDestination, base::DateTime, base::DateTime,
                              int32_t, int32_t, _int_EJREPORT_result&) override {
    return true;
  }
  bool EJReportNonFiscalReceipts(documents::qvEJReportDestination, base::DateTime, base::DateTime,
                                 int32_t, int32_t, _int_EJREPORT_result&) override {
    return true;
  }
  bool EJReportCreditNotes(documents::qvEJReportDestination, base::DateTime, base::DateTime,
                           int32_t, int32_t, _int_EJREPORT_result&) override {
    return true;
  }
  bool EJReportInvoices(documents::qvEJReportDestination, base::DateTime, base::DateTime, int32_t,
                        int32_t, _int_EJREPORT_result&) override {
    return true;
  }
  bool GetEJFiles(documents::qvEJFilesRequestType, base::DateTime, base::DateTime,
                  const std::string&, int32_t&) override {
    return false;
  }
  bool IsConnected() override { return true; }
  bool IsDayOpened() override { return false; }
  bool GetLotteryReceiptStatus(documents::kReceiptReference&) override { return false; }
  bool ReservedCheck() override { return true; }
};

std::string Request(const std::string& aParameters, const std::string& aLogId = "FP1") {
  return "<Request><Driver/><LogId>" + aLogId + "</LogId><Parameters>" + aParameters +
         "</Parameters></Request>";
}

// Drive C of the test is a scratch folder.
class FiscalProcessorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fPreviousDriveC = platform::GetEnvironmentVariable("QVFP_DRIVE_C");
    platform::SetEnvironmentVariable("QVFP_DRIVE_C", fDriveC.Path());
  }
  void TearDown() override {
    platform::SetEnvironmentVariable("QVFP_DRIVE_C", fPreviousDriveC);
    platform::OverrideClock(nullptr);
  }

  std::unique_ptr<kFiscalProcessor_PLAIN> Make(const std::string& aXml) {
    fHandler = std::make_unique<kFiscalProcessorHandler>();
    fHandler->Deserialize(aXml, {});
    return std::make_unique<kFiscalProcessor_PLAIN>(*fHandler);
  }
  // Opens with a fresh request context for aXml.
  void OpenWith(kFiscalProcessor& aProcessor, const std::string& aXml) {
    kFiscalProcessorHandler handler;
    handler.Deserialize(aXml, {});
    EXPECT_TRUE(aProcessor.Open(handler));
  }
  std::string OnDriveC(const std::string& aRelative) { return fDriveC.Path() + "/" + aRelative; }

  ScratchFolder fDriveC;
  std::optional<std::string> fPreviousDriveC;
  std::unique_ptr<kFiscalProcessorHandler> fHandler;
};

TEST_F(FiscalProcessorTest, LogFileBesideTheHostIsNamedAfterDriverLogIdAndDay) {
  platform::OverrideClock([] { return platform::LocalTime{2023, 8, 9, 9, 39, 19, 42}; });
  // A file left by an earlier run goes before the channel queues its START line.
  platform::DeleteFile(std::string(QV_BIN_DIR) +
                       "/LogFiles/FiscalPrinter/QVFP_PLAIN_10_A1_20230809.log")
      .IsOk();
  auto processor = Make(Request("<Processor>QVFP_PLAIN_10</Processor>", "A1"));
  const std::string logFile = processor->IOHandler().GetLogFileName();
  const std::string expectedEnd = "QVFP_PLAIN_10_A1_20230809.log";
  ASSERT_GE(logFile.size(), expectedEnd.size());
  EXPECT_EQ(logFile.substr(logFile.size() - expectedEnd.size()), expectedEnd);
  EXPECT_NE(logFile.find("LogFiles\\FiscalPrinter"), std::string::npos) << logFile;
  EXPECT_EQ(platform::NativePath(logFile),
            platform::NativePath(std::string(QV_BIN_DIR) +
                                 "/LogFiles/FiscalPrinter/QVFP_PLAIN_10_A1_20230809.log"));
  processor->IOHandler().WriteLog(let_info, "OPEN", "BEGIN");
  processor.reset();  // the channel writes its STOP line and every queued line
  const std::string content = FileContent(logFile);
  EXPECT_NE(content.find("2023-08-09 09:39:19:042 - *************************** START "
                         "***************************\r\n"),
            std::string::npos)
      << content;
  EXPECT_NE(content.find(" - OPEN:BEGIN\r\n"), std::string::npos) << content;
  EXPECT_NE(content.find(" STOP ****"), std::string::npos) << content;
  platform::DeleteFile(logFile).IgnoreFailure();
}

TEST_F(FiscalProcessorTest, ChannelIsTheFixedLocalTcpConnection) {
  auto processor = Make(Request("<Processor>QVFP_PLAIN_10</Processor>"));
  EXPECT_EQ(processor->IOHandler().ClassName(), "kIOHandler_TCP");
  EXPECT_EQ(processor->IOHandler().ConnectTimeout(), 3000);
  EXPECT_EQ(processor->IOHandler().ReadTimeout(), 5000);
  EXPECT_FALSE(processor->IOHandler().Connected());
  EXPECT_EQ(processor->IOHandler().Version(), kFiscalProcessor::GetDriverVersion());
  EXPECT_EQ(processor->Handle(), 0);
}

TEST_F(FiscalProcessorTest, HexLogParameterReachesTheChannel) {
  auto processor = Make(Request("<Processor>QVFP_PLAIN_10</Processor><HexLog>TRUE</HexLog>"));
  EXPECT_TRUE(processor->IOHandler().HexLog());
}

TEST_F(FiscalProcessorTest, OpenBuildsTheTillFolders) {
  auto processor = Make(Request("<Processor>P</Processor>"));
  OpenWith(*processor, Request("<Processor>P</Processor><FPTillSerial>T1</FPTillSerial>"));
  EXPECT_EQ(processor->DirQueue(), "C:\\QV_FPR_DB\\T1\\Queue");
  EXPECT_EQ(processor->DirErrors(), "C:\\QV_FPR_DB\\T1\\Errors");
  EXPECT_EQ(processor->DirProcessed(), "C:\\QV_FPR_DB\\T1\\Processed");
  EXPECT_EQ(processor->DirJournal(), "C:\\QV_FPR_DB\\T1\\Journal");
  EXPECT_EQ(processor->CountersActualFileName(), "C:\\QV_FPR_DB\\T1\\counters.actual.fprc");
  EXPECT_EQ(processor->CountersPreviousFileName(), "C:\\QV_FPR_DB\\T1\\counters.previous.fprc");
  for (const char* folder : {"Queue", "Errors", "Processed", "Journal"}) {
    EXPECT_TRUE(platform::DirectoryExists(OnDriveC(std::string("QV_FPR_DB/T1/") + folder)))
        << folder;
  }
  // Open creates no counters file: that is the concrete processor's store.
  EXPECT_FALSE(platform::FileExists(OnDriveC("QV_FPR_DB/T1/counters.actual.fprc")));
}

TEST_F(FiscalProcessorTest, WithoutTillSerialTheDatabaseRootIsTheTillFolder) {
  auto processor = Make(Request("<Processor>P</Processor>"));
  OpenWith(*processor, Request("<Processor>P</Processor>"));
  EXPECT_EQ(processor->DirQueue(), "C:\\QV_FPR_DB\\Queue");
  EXPECT_EQ(processor->CountersActualFileName(), "C:\\QV_FPR_DB\\counters.actual.fprc");
  EXPECT_TRUE(platform::DirectoryExists(OnDriveC("QV_FPR_DB/Journal")));
}

TEST_F(FiscalProcessorTest, OpenAgainFollowsTheNewTillSerial) {
  auto processor = Make(Request("<Processor>P</Processor>"));
  OpenWith(*processor, Request("<Processor>P</Processor><FPTillSerial>T1</FPTillSerial>"));
  OpenWith(*processor, Request("<Processor>P</Processor><FPTillSerial>T2</FPTillSerial>"));
  EXPECT_EQ(processor->DirProcessed(), "C:\\QV_FPR_DB\\T2\\Processed");
  EXPECT_TRUE(platform::DirectoryExists(OnDriveC("QV_FPR_DB/T2/Processed")));
}

TEST_F(FiscalProcessorTest, TillSerialThatLeavesTheDatabaseIsRefused) {
  auto processor = Make(Request("<Processor>P</Processor>"));
  OpenWith(*processor, Request("<Processor>P</Processor><FPTillSerial>OK</FPTillSerial>"));
  for (const std::string serial : {"..", "..\\evil", "a/b", "a\\b", "D:x", "T1|x", "T<1>"}) {
    kFiscalProcessorHandler handler;
    handler.Deserialize(
        Request("<Processor>P</Processor><FPTillSerial>" +
                std::string(serial == "T<1>" ? "T&lt;1&gt;" : serial) + "</FPTillSerial>"),
        {});
    try {
      processor->Open(handler);
      ADD_FAILURE() << "accepted " << serial;
    } catch (const Error& error) {
      EXPECT_STREQ(error.what(), "Invalid characters in path") << serial;
    }
    // The folders of the last good open stay.
    EXPECT_EQ(processor->DirQueue(), "C:\\QV_FPR_DB\\OK\\Queue") << serial;
  }
  EXPECT_FALSE(platform::DirectoryExists(OnDriveC("evil")));
}

TEST(FiscalProcessorPaths, JoinPutsOneBackslashBetweenParts) {
  EXPECT_EQ(JoinPath("C:\\A", "B"), "C:\\A\\B");
  EXPECT_EQ(JoinPath("C:\\A\\", "B"), "C:\\A\\B");
  EXPECT_EQ(JoinPath("/opt/pos/", "B"), "/opt/pos/B");
  EXPECT_EQ(JoinPath("", "B"), "B");
  EXPECT_THROW(JoinPath("C:\\A", "B|C"), Error);
  EXPECT_EQ(TillRootFolder("T9"), "C:\\QV_FPR_DB\\T9");
  EXPECT_EQ(TillRootFolder(""), "C:\\QV_FPR_DB\\");
}

TEST(FiscalProcessorVersion, DriverVersionIsVersionAndReleaseDate) {
  if (base::Application() != nullptr) GTEST_SKIP() << "an application object exists already";
  EXPECT_EQ(kFiscalProcessor::GetDriverVersion(), "Version  - ");
  platform::RegionalSettings settings;
  settings.shortDateFormat = "dd/mm/yyyy";
  settings.dateSeparator = "/";
  platform::OverrideRegionalSettings(settings);
  base::CreateApplication(nullptr);
  EXPECT_EQ(kFiscalProcessor::GetDriverVersion(), "Version 1.06 - 09/08/2023");
  base::DestroyApplication();
  platform::OverrideRegionalSettings(std::nullopt);
}

class LoadIniSectionTest : public FiscalProcessorTest {
 protected:
  std::string WriteIni(const std::string& aContent) {
    const std::string path = fDriveC.Path() + "/settings.ini";
    std::string error;
    EXPECT_TRUE(StatusOk(platform::WriteWholeFile(path, aContent)));
    return path;
  }
};

TEST_F(LoadIniSectionTest, ReadsTheLinesOfTheFirstMatchingSection) {
  auto processor = Make(Request("<Processor>P</Processor>"));
  const std::string path = WriteIni(
      "[Other]\r\nx=1\r\n[printer]\r\nPort=COM1\r\n\r\n Speed=9600\r\n[Next]\r\ny=2\r\n"
      "[Printer]\r\nLate=1\r\n");
  std::vector<std::string> lines{"old"};
  EXPECT_TRUE(processor->LoadIniSection(path, "PRINTER", lines));
  EXPECT_EQ(lines, (std::vector<std::string>{"Port=COM1", "", " Speed=9600"}));
}

TEST_F(LoadIniSectionTest, LastSectionRunsToTheEndAndHeadersAreNotTrimmed) {
  auto processor = Make(Request("<Processor>P</Processor>"));
  const std::string path = WriteIni(" [A]\nskipped\n[A]\nlast\nlines");
  std::vector<std::string> lines;
  EXPECT_TRUE(processor->LoadIniSection(path, "a", lines));
  EXPECT_EQ(lines, (std::vector<std::string>{"last", "lines"}));
  EXPECT_TRUE(processor->LoadIniSection(path, "Missing", lines));
  EXPECT_TRUE(lines.empty());
}

TEST_F(LoadIniSectionTest, MissingFileLeavesTheListAlone) {
  auto processor = Make(Request("<Processor>P</Processor>"));
  std::vector<std::string> lines{"kept"};
  EXPECT_FALSE(processor->LoadIniSection(fDriveC.Path() + "/none.ini", "A", lines));
  EXPECT_EQ(lines, (std::vector<std::string>{"kept"}));
}

}  // namespace
}  // namespace qv::framework
