// qvfp call: one export with one request file in a process of its own. Handles live only in
// the process that opened them, so every call but OPEN meets a library with no processor.
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/support/call_transcript.h"
#include "host/support/host_scratch.h"
#include "platform/file_system.h"

namespace qv::testing {
namespace {

using ::testing::HasSubstr;

class QvfpCall : public ::testing::Test {
 protected:
  // Runs qvfp call and reads back its one printed call.
  tPrintedCall Call(const std::vector<std::string>& aArguments, int& aStatus) {
    std::vector<std::string> arguments{"call"};
    arguments.insert(arguments.end(), aArguments.begin(), aArguments.end());
    tQvfpRun run = fScratch.Run(arguments);
    aStatus = run.status;
    std::vector<tPrintedCall> calls = ReadPrintedCalls(run.out);
    EXPECT_EQ(calls.size(), 1u) << run.out << run.err;
    return calls.empty() ? tPrintedCall{} : calls[0];
  }
  tHostScratch fScratch;
};

TEST_F(QvfpCall, OpenExampleOpensTheTillWithHandleOne) {
  int status = -1;
  tPrintedCall call = Call({"OPEN", ExamplesFolder() + "open.xml"}, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(call.exportName, "OPEN");
  EXPECT_EQ(call.code, 0);
  EXPECT_EQ(call.handle, 1);
  EXPECT_EQ(call.error, "(none)");
  EXPECT_EQ(call.output, "");
  // The till of the example has its folders and counters on the mapped drive C.
  std::string till = fScratch.TillFolder("EX1");
  EXPECT_TRUE(platform::FileExists(till + "/counters.actual.fprc"));
  for (const char* folder : {"Errors", "Journal", "Processed", "Queue"}) {
    EXPECT_TRUE(platform::DirectoryExists(till + "/" + folder)) << folder;
  }
}

TEST_F(QvfpCall, StatusWithoutAnOpenProcessorFails) {
  int status = -1;
  tPrintedCall call = Call({"PROCESSGETSTATUS", ExamplesFolder() + "status.xml"}, status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(call.code, -1);
  EXPECT_EQ(call.error, "Processor Handle not found");
  // The status document comes back also on failure, with its initial values.
  EXPECT_EQ(XmlValue(call.output, "DayOpened"), "False");
  EXPECT_EQ(XmlValue(call.output, "DateTime"), "1899-12-30T00:00:00");
}

TEST_F(QvfpCall, EveryCallButOpenFindsNoProcessorInAFreshProcess) {
  const std::pair<const char*, const char*> calls[] = {
      {"PROCESSRECEIPT", "receipt-sale.xml"},
      {"PROCESSXREPORT", "xreport.xml"},
      {"PROCESSZREPORT", "zreport.xml"},
  };
  for (const auto& [exportName, file] : calls) {
    int status = -1;
    tPrintedCall call = Call({exportName, ExamplesFolder() + file}, status);
    EXPECT_EQ(status, 1) << exportName;
    EXPECT_EQ(call.exportName, exportName);
    EXPECT_EQ(call.code, -1) << exportName;
    EXPECT_EQ(call.error, "Processor Handle not found") << exportName;
  }
  // Nothing was counted or journaled.
  EXPECT_FALSE(platform::DirectoryExists(fScratch.TillFolder("EX1")));
}

TEST_F(QvfpCall, HandleOptionReplacesTheHandleOfTheRequest) {
  int status = -1;
  // Handle 0: the status call succeeds with a default document.
  tPrintedCall none =
      Call({"PROCESSGETSTATUS", ExamplesFolder() + "status.xml", "--handle", "0"}, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(none.code, 0);
  EXPECT_EQ(none.error, "(none)");
  EXPECT_EQ(XmlValue(none.output, "DayOpened"), "False");
  EXPECT_EQ(XmlValue(none.output, "SerialNumber"), "");

  // A receipt with handle 0 asks for a processor that was never opened.
  tPrintedCall receipt =
      Call({"PROCESSRECEIPT", ExamplesFolder() + "receipt-sale.xml", "--handle", "0"}, status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(receipt.error, "Fiscal Processor has not previously opened");

  // Any other handle replaces the request's: still unknown in this process.
  tPrintedCall other =
      Call({"PROCESSGETSTATUS", ExamplesFolder() + "status.xml", "--handle", "42"}, status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(other.error, "Processor Handle not found");
}

TEST_F(QvfpCall, OpenFailsWhenTheSigningBoxDoesNotAnswer) {
  fScratch.SetBoxControl("GetVersionInfo.status=3\n");
  int status = -1;
  tPrintedCall call = Call({"OPEN", ExamplesFolder() + "open.xml"}, status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(call.code, -1);
  EXPECT_EQ(call.handle, 0);
  EXPECT_EQ(call.error, "Error in GetVersionInfo. Status [3] Try restarting the device");
}

TEST_F(QvfpCall, RequestForAnUnregisteredDriverIsRefusedByTheLibrary) {
  std::string request = tHostScratch::ReadFile(ExamplesFolder() + "open.xml");
  std::string from = "<Processor>QVFP_CYKAVREN_10</Processor>";
  ASSERT_NE(request.find(from), std::string::npos);
  request.replace(request.find(from), from.size(), "<Processor>QVFP_NONE</Processor>");
  std::string path = fScratch.Work() + "/open-none.xml";
  tHostScratch::WriteFile(path, request);
  int status = -1;
  tPrintedCall call = Call({"OPEN", path}, status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(call.handle, 0);
  EXPECT_EQ(call.error, "Fiscal Processor Driver [QVFP_NONE] not registered.");
}

}  // namespace
}  // namespace qv::testing
