// The built libraries loaded into a fresh host process (programs/driver_host), so that handle
// numbering starts at 1 and the library's own load and unload run as they do for a
// point-of-sale host. QVFP_DRIVERTEST.so is the library with the test processor registered;
// QVFP_CYKAVREN_10.so is the delivered library.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "driver/support/driver_calls.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "support/file_status_assertions.h"
#include "support/host_transcript.h"

namespace qv::driver::testing {
namespace {

struct tHostCall {
  std::string name;
  int rc = 0;
  std::string handle;
  std::optional<std::string> output;
  std::optional<std::string> error;
};

struct tHostRun {
  int exitCode = -1;
  std::vector<tHostCall> calls;
  std::string errors;
};

class LibraryHost : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    fFolder = platform::TemporaryFolder() + "qv_driver_host_" +
              std::to_string(platform::ProcessId()) + "_" + std::to_string(counter++);
    std::filesystem::remove_all(fFolder);
    platform::ForceDirectories(fFolder + "/C").ThrowIfFailed();
    fLogId = "H" + std::to_string(platform::ProcessId()) + "N" + std::to_string(counter);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(fFolder, ignored);
    platform::DeleteFile(LogFile()).IgnoreFailure();
  }

  // Runs aScript in a fresh host process with aLibrary (a file in the build's bin folder).
  tHostRun Run(const std::string& aLibrary, const std::string& aScript,
               const std::string& aMode = "") {
    std::string error;
    EXPECT_TRUE(StatusOk(platform::WriteWholeFile(fFolder + "/script.txt", aScript)));
    const std::string bin = QV_BIN_DIR;
    // The library keeps its processors for the life of the process by design; once it is
    // unloaded, the leak checker would count them as lost.
    const std::string command =
        "cd '" + fFolder + "' && QVFP_DRIVE_C='" + fFolder +
        "/C' ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\" '" + bin +
        "/driver_host' '" + bin + "/" + aLibrary + "' script.txt " + aMode +
        " > out.txt 2> err.txt";
    tHostRun run;
    run.exitCode = std::system(command.c_str());
    run.errors = ReadFileOrEmpty(fFolder + "/err.txt");
    run.calls = qv::testing::ParseHostTranscript<tHostCall>(ReadFileOrEmpty(fFolder + "/out.txt"));
    return run;
  }

  std::string Request(int aHandle, const std::string& aParameters = "",
                      const std::string& aRest = "") {
    return TestRequest(aHandle, aParameters, aRest, fLogId);
  }
  std::string LogFile() const {
    return std::string(QV_BIN_DIR) + "/LogFiles/FiscalPrinter/QVFP_TEST_10_" + fLogId + "_" +
           TodayStamp() + ".log";
  }

  std::string fFolder;
  std::string fLogId;
};

constexpr const char* kDefaultStatus =
    "<Status><DayOpened>False</DayOpened><DateTime>1899-12-30T00:00:00</DateTime>"
    "<TrainingMode>False</TrainingMode><FirmwareVersion/><SerialNumber/><FiscalMode/>"
    "</Status>\r\n";

TEST_F(LibraryHost, HandlesStartAtOneAndAreNeverReused) {
  const tHostRun run = Run("QVFP_DRIVERTEST.so",
                           "@OPEN\n<R><Driver/><Parameters><Processor>NOPE</Processor>"
                           "</Parameters></R>\n"
                           "@OPEN\n" +
                               Request(0) +
                               "\n"
                               "@OPEN\n" +
                               Request(0) +
                               "\n"
                               "@OPEN\n" +
                               Request(1) +
                               "\n"
                               "@OPEN\n" +
                               Request(0, "<TestFail>construct</TestFail>") +
                               "\n"
                               "@OPEN\n" +
                               Request(0) +
                               "\n"
                               "@OPEN\n" +
                               Request(0, "<TestFail>open</TestFail>") +
                               "\n"
                               "@OPEN\n" +
                               Request(0) + "\n");
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  ASSERT_EQ(run.calls.size(), 8u) << run.errors;
  EXPECT_EQ(run.calls[0].rc, -1);
  EXPECT_EQ(run.calls[0].handle, "0");
  EXPECT_EQ(run.calls[0].error, "Fiscal Processor Driver [NOPE] not registered.");
  const char* handles[] = {"0", "1", "2", "1", "0", "3", "0", "5"};
  const int codes[] = {-1, 0, 0, 0, -1, 0, -1, 0};
  for (std::size_t i = 0; i < run.calls.size(); ++i) {
    EXPECT_EQ(run.calls[i].handle, handles[i]) << "call " << i;
    EXPECT_EQ(run.calls[i].rc, codes[i]) << "call " << i;
    if (codes[i] == 0) {
      EXPECT_FALSE(run.calls[i].error.has_value()) << "call " << i;
    }
  }
  EXPECT_EQ(run.calls[4].error, "Test processor cannot be built");
  EXPECT_EQ(run.calls[6].error, "Test open failed");
}

TEST_F(LibraryHost, UnopenedCallsAndTheDefaultStatus) {
  const tHostRun run =
      Run("QVFP_DRIVERTEST.so",
          "@PROCESSRECEIPT\n" +
              Request(0, "", "<Receipt><Type>Sale</Type><Lines/><Taxes/><Payments/></Receipt>") +
              "\n@PROCESSZREPORT\n" + Request(99) + "\n@PROCESSXREPORT\n" + Request(0) +
              "\n@PROCESSGETSTATUS\n" + Request(0) + "\n");
  ASSERT_EQ(run.calls.size(), 4u) << run.errors;
  EXPECT_EQ(run.calls[0].rc, -1);
  EXPECT_EQ(run.calls[0].error, "Fiscal Processor has not previously opened");
  EXPECT_FALSE(run.calls[0].output.has_value());
  EXPECT_EQ(run.calls[1].error, "Processor Handle not found");
  ASSERT_TRUE(run.calls[1].output.has_value());
  EXPECT_EQ(run.calls[1].output->rfind("<ZReport><GrandTotalAmount>0</GrandTotalAmount>", 0), 0u);
  EXPECT_EQ(run.calls[2].error, "Fiscal Processor has not previously opened");
  EXPECT_EQ(run.calls[3].rc, 0);
  EXPECT_EQ(run.calls[3].output, kDefaultStatus);
  EXPECT_FALSE(run.calls[3].error.has_value());
}

TEST_F(LibraryHost, NullArgumentsAreSkipped) {
  const tHostRun run =
      Run("QVFP_DRIVERTEST.so", "@OPEN nullhandle nullerror\n" + Request(0) +
                                    "\n@PROCESSGETSTATUS nulloutput nullerror\n" + Request(1) +
                                    "\n@PROCESSZREPORT nullrequest\n" + "\n@OPEN nullrequest\n\n");
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  ASSERT_EQ(run.calls.size(), 4u) << run.errors;
  EXPECT_EQ(run.calls[0].rc, 0);
  EXPECT_EQ(run.calls[0].handle, "none");
  EXPECT_EQ(run.calls[1].rc, 0);
  EXPECT_EQ(run.calls[2].rc, -1);
  EXPECT_TRUE(run.calls[2].error.has_value());
  EXPECT_EQ(run.calls[3].rc, -1);
  EXPECT_EQ(run.calls[3].handle, "0");
}

TEST_F(LibraryHost, HostLeavingRightAfterACallLosesNoLogLine) {
  const tHostRun run = Run("QVFP_DRIVERTEST.so", "@OPEN\n" + Request(0) + "\n");
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  const std::string log = ReadFileOrEmpty(LogFile());
  EXPECT_NE(log.find(" - *************************** START ***************************\r\n"),
            std::string::npos)
      << LogFile() << "\n"
      << log;
  EXPECT_NE(log.find(" - OPEN:Assigned Handle: 1\r\n"), std::string::npos) << log;
  // Processors are not destroyed at unload, so their logs get no STOP line.
  EXPECT_EQ(log.find(" STOP "), std::string::npos) << log;
}

TEST_F(LibraryHost, UnloadWritesOutTheLogsWithoutStoppingThem) {
  const tHostRun run =
      Run("QVFP_DRIVERTEST.so", "@OPEN\n" + Request(0) + "\n@PROCESSZREPORT\n" + Request(1) + "\n",
          "unload");
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  ASSERT_EQ(run.calls.size(), 2u);
  const std::string log = ReadFileOrEmpty(LogFile());
  EXPECT_NE(log.find(" - PROCESSZREPORT:ReportNo: 4\r\n"), std::string::npos) << log;
  EXPECT_EQ(log.find(" STOP "), std::string::npos) << log;
}

TEST_F(LibraryHost, DeliveredLibraryAnswersWithoutAnOpenProcessor) {
  const tHostRun run =
      Run("QVFP_CYKAVREN_10.so", "@OPEN\n" + Request(0) + "\n@PROCESSGETSTATUS\n" + Request(0) +
                                     "\n@PROCESSXREPORT\n" + Request(0) + "\n@PROCESSZREPORT\n" +
                                     Request(1) + "\n");
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  ASSERT_EQ(run.calls.size(), 4u) << run.errors;
  // The test processor lives only in the test copy of the library.
  EXPECT_EQ(run.calls[0].error, "Fiscal Processor Driver [QVFP_TEST_10] not registered.");
  EXPECT_EQ(run.calls[0].handle, "0");
  EXPECT_EQ(run.calls[1].rc, 0);
  EXPECT_EQ(run.calls[1].output, kDefaultStatus);
  EXPECT_FALSE(run.calls[1].error.has_value());
  EXPECT_EQ(run.calls[2].error, "Fiscal Processor has not previously opened");
  EXPECT_EQ(run.calls[3].error, "Processor Handle not found");
}

}  // namespace
}  // namespace qv::driver::testing
