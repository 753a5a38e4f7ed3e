// A point-of-sale host on Windows: the fiscal library loaded with LoadLibrary beside this
// program, its exports called with BSTRs from oleaut32, the signing component created
// through its COM registration (registered here as regsvr32 would), and the till's files
// checked on drive C.
#include <gtest/gtest.h>

#include <string>

#include "fiscal_library.h"
#include "platform/clock.h"
#include "platform/dynamic_library.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "requests.h"
#include "support/file_status_assertions.h"
#include "windows_test_support.h"

namespace qv::host {
namespace {

using testing::ProgramFolder;

std::string Today() {
  const platform::LocalTime now = platform::Now();
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02d%02d", now.year, now.month, now.day);
  return text;
}

// Waits up to five seconds for the log thread to have written aText into aPath.
bool LogShows(const std::string& aPath, const std::string& aText) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    std::string content;
    std::string error;
    if (Ok(platform::ReadWholeFile(aPath, content), error) &&
        content.find(aText) != std::string::npos) {
      return true;
    }
    platform::SleepMilliseconds(100);
  }
  return false;
}

class WindowsTill : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::RegisterSigningComponent(); }

  void SetUp() override {
    // A till of its own for every run (Wine hands out the same process ids run after run).
    const platform::LocalTime now = platform::Now();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d%02d%02d%03d", now.hour, now.minute, now.second,
                  now.millisecond);
    fTill.till = "W" + std::string(stamp);
    fTill.logId = "WINE" + std::string(stamp);
    fRoot = "C:\\QV_FPR_DB\\" + fTill.till + "\\";
  }

  TillOptions fTill;
  std::string fRoot;
};

TEST_F(WindowsTill, OneFiscalDayThroughTheExports) {
  FiscalLibrary library(DefaultLibraryPath());

  const CallResult opened = library.Call("OPEN", BuildRequest("OPEN", 0, fTill));
  ASSERT_EQ(opened.code, 0) << opened.error;
  ASSERT_GT(opened.handle, 0);
  EXPECT_TRUE(platform::FileExists(fRoot + "counters.actual.fprc"));
  for (const char* folder : {"Errors", "Journal", "Processed", "Queue"}) {
    EXPECT_TRUE(platform::DirectoryExists(fRoot + folder)) << folder;
  }

  const auto samples = SampleReceipts();
  ASSERT_GE(samples.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    const CallResult receipt =
        library.Call("PROCESSRECEIPT",
                     BuildRequest("PROCESSRECEIPT", opened.handle, fTill, samples[i].receiptXml));
    ASSERT_EQ(receipt.code, 0) << receipt.error;
    EXPECT_NE(receipt.output.find("LEGAL RECEIPT"), std::string::npos) << receipt.output;
    EXPECT_NE(receipt.output.find("<Number>" + std::to_string(i + 1) + "</Number>"),
              std::string::npos);
  }
  const std::string journal = fRoot + "Processed\\" + Today() + "\\";
  EXPECT_TRUE(platform::FileExists(journal + "0001-0000001.fprd"));
  EXPECT_TRUE(platform::FileExists(journal + "0001-0000002.fprd"));

  const CallResult xReport =
      library.Call("PROCESSXREPORT", BuildRequest("PROCESSXREPORT", opened.handle, fTill));
  ASSERT_EQ(xReport.code, 0) << xReport.error;
  EXPECT_NE(xReport.output.find("<XReport"), std::string::npos) << xReport.output;

  const CallResult zReport =
      library.Call("PROCESSZREPORT", BuildRequest("PROCESSZREPORT", opened.handle, fTill));
  ASSERT_EQ(zReport.code, 0) << zReport.error;
  EXPECT_NE(zReport.output.find("<ZReport"), std::string::npos) << zReport.output;
  EXPECT_TRUE(platform::FileExists(fRoot + "counters.previous.fprc"));
  EXPECT_TRUE(platform::FileExists(journal + "0001-9999.fprd"));

  const CallResult status =
      library.Call("PROCESSGETSTATUS", BuildRequest("PROCESSGETSTATUS", opened.handle, fTill));
  ASSERT_EQ(status.code, 0) << status.error;
  EXPECT_NE(status.output.find("<Status"), std::string::npos) << status.output;

  // The counters now hold the second day; the lock file stays in the working directory.
  std::string counters;
  std::string error;
  ASSERT_TRUE(StatusOk(platform::ReadWholeFile(fRoot + "counters.actual.fprc", counters)));
  EXPECT_FALSE(counters.empty());
  EXPECT_TRUE(platform::FileExists(platform::WorkingDirectory() + "\\QVFP_CYKAVREN.Lock"));

  const std::string log = ProgramFolder() + "LogFiles\\FiscalPrinter\\QVFP_CYKAVREN_10_" +
                          fTill.logId + "_" + Today() + ".log";
  EXPECT_TRUE(LogShows(log, "PROCESSZREPORT")) << log;
}

TEST_F(WindowsTill, FailuresComeBackAsMinusOneWithTheirText) {
  FiscalLibrary library(DefaultLibraryPath());
  const CallResult unknown =
      library.Call("PROCESSRECEIPT", BuildRequest("PROCESSRECEIPT", 987654, fTill, "<Receipt/>"));
  EXPECT_EQ(unknown.code, -1);
  EXPECT_FALSE(unknown.error.empty());
  const CallResult broken = library.Call("OPEN", "<not xml");
  EXPECT_EQ(broken.code, -1);
  EXPECT_EQ(broken.handle, 0);
  EXPECT_FALSE(broken.error.empty());
}

}  // namespace
}  // namespace qv::host
