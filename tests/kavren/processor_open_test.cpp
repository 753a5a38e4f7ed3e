// OPEN and PROCESSGETSTATUS of the signing processor through the built library, with the
// stand-in signing box, each scenario in a fresh host process.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "kavren/support/processor_session.h"
#include "platform/com.h"
#include "platform/file_system.h"

namespace qv::testing {
namespace {

using Session = tProcessorSession;

class ProcessorOpen : public ::testing::Test {
 protected:
  std::string Open(int aHandle = 0) { return Session::Call("OPEN", fSession.Request(aHandle)); }
  std::string Status(int aHandle, const std::string& aParameters = "") {
    return Session::Call("PROCESSGETSTATUS", fSession.Request(aHandle, "", aParameters));
  }

  tProcessorSession fSession;
};

bool Contains(const std::string& aText, const std::string& aPart) {
  return aText.find(aPart) != std::string::npos;
}

TEST_F(ProcessorOpen, NewTillGetsHandleOneItsFoldersAndAFreshCountersFile) {
  const auto calls = fSession.Run(Open() + Open(1) + Open());
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].rc, 0) << calls[0].error.value_or("");
  EXPECT_EQ(calls[0].handle, 1);
  EXPECT_FALSE(calls[0].error.has_value());
  EXPECT_EQ(calls[1].handle, 1);  // an OPEN with its handle opens the same processor again
  EXPECT_EQ(calls[2].handle, 2);
  for (const char* folder : {"Errors", "Journal", "Processed", "Queue"}) {
    EXPECT_TRUE(platform::DirectoryExists(fSession.TillFolder() + "/" + folder)) << folder;
  }
  auto counters = fSession.Counters();
  EXPECT_EQ(counters["TillSerial"], "T1");
  EXPECT_EQ(counters["CurrentReceiptNo"], "0");
  EXPECT_EQ(counters["CurrentZReportNo"], "1");
  EXPECT_EQ(counters["GrandTotalTotal"], "0");
  EXPECT_EQ(counters["TrainingMode"], "False");
  EXPECT_EQ(counters["CreatedAt"], counters["LastUpdatedAt"]);

  const std::string log = fSession.LogText();
  EXPECT_TRUE(Contains(log, " - OPEN:BEGIN\r\n")) << log;
  EXPECT_TRUE(Contains(log, " - BoxFiles:C:\\AlgoBox\\$SERIAL\\;C:\\AlgoBox\\control.txt\r\n"))
      << log;
  EXPECT_TRUE(Contains(log, " - BoxDirName:C:\\AlgoBox\\\r\n")) << log;
  EXPECT_TRUE(Contains(log, " - GetVersionInfo.Result:[0] \r\n")) << log;
  EXPECT_TRUE(Contains(log, " - CheckBoxSystem.Result:[0] ")) << log;
  EXPECT_TRUE(Contains(log, " - OPEN:END\r\n")) << log;
  EXPECT_TRUE(Contains(log, " - OPEN:Assigned Handle: 1\r\n")) << log;
  EXPECT_TRUE(Contains(log, " - OPEN:Assigned Handle: 2\r\n")) << log;
}

TEST_F(ProcessorOpen, ReopeningAnExistingTillKeepsItsCounters) {
  fSession.WriteCounters(41, 3, {{"DailySales", "12.5"}});
  const auto calls = fSession.Run(Open());
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].rc, 0) << calls[0].error.value_or("");
  auto counters = fSession.Counters();
  EXPECT_EQ(counters["CurrentReceiptNo"], "41");
  EXPECT_EQ(counters["CurrentZReportNo"], "3");
  EXPECT_EQ(counters["DailySales"], "12.5");
}

TEST_F(ProcessorOpen, BoxFolderIsTheFirstBoxFileUpToItsDollar) {
  const std::string control = fSession.DriveC() + "/AlgoBox/control.txt";
  const auto calls =
      fSession.Run("@FILE " + control + "\nInstallation.boxfiles=D:\\Boxes\\$7$x;E:\\Other$\n" +
                   Open() + "@FILE " + control + "\nInstallation.boxfiles=D:\\Boxes;E:\\Other$\n" +
                   Open(1) + "@FILE " + control + "\nInstallation.boxfiles=\n" + Open(1));
  ASSERT_EQ(calls.size(), 3u);
  for (const tHostCall& call : calls) EXPECT_EQ(call.rc, 0) << call.error.value_or("");
  const std::string log = fSession.LogText();
  const std::size_t first = log.find(" - BoxDirName:D:\\Boxes\\\r\n");
  EXPECT_NE(first, std::string::npos) << log;
  // Without a "$" in the first field the box folder is empty, whatever follows.
  const std::size_t second = log.find(" - BoxDirName:\r\n", first);
  EXPECT_NE(second, std::string::npos) << log;
  EXPECT_NE(log.find(" - BoxDirName:\r\n", second + 1), std::string::npos) << log;
}

TEST_F(ProcessorOpen, VersionStatusNotZeroFailsTheOpen) {
  const std::string control = fSession.DriveC() + "/AlgoBox/control.txt";
  const auto calls = fSession.Run("@FILE " + control + "\nGetVersionInfo.status=3\n" + Open() +
                                  "@FILE " + control + "\n\n" + Open());
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].rc, -1);
  EXPECT_EQ(calls[0].handle, 0);
  EXPECT_EQ(calls[0].error, "Error in GetVersionInfo. Status [3] Try restarting the device");
  // The failed processor keeps its handle; the next one gets the next number.
  EXPECT_EQ(calls[1].rc, 0) << calls[1].error.value_or("");
  EXPECT_EQ(calls[1].handle, 2);
  const std::string log = fSession.LogText();
  EXPECT_TRUE(Contains(log, " - GetVersionInfo.Result:[3] \r\nGetVersionInfo refused")) << log;
  EXPECT_TRUE(
      Contains(log, " - ERROR - Error in GetVersionInfo. Status [3] Try restarting the device\r\n"))
      << log;
}

// A host that retries OPEN while the signing device is unplugged: every failed OPEN leaves a
// processor under its handle, but none of them keeps a thread or an open file.
TEST_F(ProcessorOpen, ThousandFailedOpensLeaveNoThreadsAndNoOpenFilesBehind) {
  constexpr int kFailedOpens = 1000;
  std::string script = "@FILE " + fSession.BoxFolder() + "/control.txt\nGetVersionInfo.status=3\n";
  script += "@RESOURCES\n";
  for (int i = 0; i < kFailedOpens; ++i) script += Open();
  script += "@RESOURCES\n";
  const auto calls = fSession.Run(script);
  ASSERT_EQ(calls.size(), kFailedOpens + 2u);
  int failed = 0;
  for (int i = 1; i <= kFailedOpens; ++i) {
    failed += calls[i].rc == -1 && calls[i].handle == 0 &&
              calls[i].error == "Error in GetVersionInfo. Status [3] Try restarting the device";
  }
  EXPECT_EQ(failed, kFailedOpens);
  ASSERT_EQ(calls.front().name, "RESOURCES");
  ASSERT_EQ(calls.back().name, "RESOURCES");
  // "<threads> <open files>" before the first OPEN and after the last.
  EXPECT_EQ(calls.back().output, calls.front().output);
  int threads = 0;
  ASSERT_EQ(std::sscanf(calls.front().output.value_or("").c_str(), "%d", &threads), 1);
  EXPECT_GE(threads, 2);  // the host's own thread and the application log's
  // Every failed OPEN logged its failure before its processor gave its thread back.
  const std::string log = fSession.LogText();
  std::size_t errors = 0;
  for (std::size_t at = log.find(" - ERROR - Error in GetVersionInfo."); at != std::string::npos;
       at = log.find(" - ERROR - Error in GetVersionInfo.", at + 1)) {
    ++errors;
  }
  EXPECT_EQ(errors, static_cast<std::size_t>(kFailedOpens));
}

// A processor whose OPEN failed answers later calls with its handle as any processor does:
// it takes its thread and its signing component again for the call, and keeps them once an
// OPEN with its handle succeeds.
TEST_F(ProcessorOpen, ProcessorWhoseOpenFailedServesLaterCallsWithItsHandle) {
  const std::string control = "@FILE " + fSession.BoxFolder() + "/control.txt\n";
  const auto calls =
      fSession.Run(control + "GetVersionInfo.status=3\n" + Open() + "@RESOURCES\n" + Open(1) +
                   control + "\n" + Status(1) + Open(1) + "@RESOURCES\n" + Open() + "@RESOURCES\n");
  ASSERT_EQ(calls.size(), 8u);
  EXPECT_EQ(calls[0].rc, -1);
  EXPECT_EQ(calls[0].handle, 0);
  EXPECT_EQ(calls[2].rc, -1);  // the device is still away
  EXPECT_EQ(calls[2].error, "Error in GetVersionInfo. Status [3] Try restarting the device");
  ASSERT_EQ(calls[3].rc, 0) << calls[3].error.value_or("");
  EXPECT_EQ(XmlElement(*calls[3].output, "SerialNumber"), "T1");
  ASSERT_EQ(calls[4].rc, 0) << calls[4].error.value_or("");
  EXPECT_EQ(calls[4].handle, 1);  // opened at last, under its own handle
  ASSERT_EQ(calls[6].rc, 0) << calls[6].error.value_or("");
  EXPECT_EQ(calls[6].handle, 2);
  // Each opened processor keeps its log thread; the failed one held none.
  auto threadsAt = [&](std::size_t aCall) {
    int threads = -1;
    EXPECT_EQ(calls[aCall].name, "RESOURCES");
    EXPECT_EQ(std::sscanf(calls[aCall].output.value_or("").c_str(), "%d", &threads), 1);
    return threads;
  };
  EXPECT_EQ(threadsAt(5), threadsAt(1) + 1);
  EXPECT_EQ(threadsAt(7), threadsAt(1) + 2);
  const std::string log = fSession.LogText();
  EXPECT_TRUE(Contains(log, " - GETSTATUS:END\r\n")) << log;
  EXPECT_TRUE(Contains(log, " - OPEN:Assigned Handle: 1\r\n")) << log;
  EXPECT_TRUE(Contains(log, " - OPEN:Assigned Handle: 2\r\n")) << log;
}

TEST_F(ProcessorOpen, ComponentFailuresOfTheStartUpChecksFailTheOpenWithTheirDescription) {
  const std::string control = fSession.DriveC() + "/AlgoBox/control.txt";
  const auto calls = fSession.Run(
      "@FILE " + control +
      "\nInstallation.hresult=0x80004005\nInstallation.error=Box is not installed\n" + Open() +
      "@FILE " + control +
      "\nGetVersionInfo.hresult=0x8000FFFF\nGetVersionInfo.error=Version unknown\n" + Open());
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].rc, -1);
  EXPECT_EQ(calls[0].error, "Box is not installed");
  EXPECT_EQ(calls[1].rc, -1);
  EXPECT_EQ(calls[1].error, "Version unknown");
  EXPECT_EQ(calls[1].handle, 0);
}

TEST_F(ProcessorOpen, CheckBoxSystemFailuresAreOnlyLogged) {
  const std::string control = fSession.DriveC() + "/AlgoBox/control.txt";
  const auto calls = fSession.Run(
      "@FILE " + control +
      "\nCheckBoxSystem.hresult=0x80004005\nCheckBoxSystem.error=Box system check broke\n" +
      Open() + "@FILE " + control + "\nCheckBoxSystem.status=5\n" + Open(1));
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].rc, 0) << calls[0].error.value_or("");
  EXPECT_EQ(calls[0].handle, 1);
  EXPECT_EQ(calls[1].rc, 0) << calls[1].error.value_or("");
  const std::string log = fSession.LogText();
  EXPECT_TRUE(
      Contains(log, " - ERROR - Init Exception on CheckBoxSystem:Box system check broke\r\n"))
      << log;
  EXPECT_TRUE(Contains(log, " - CheckBoxSystem.Result:[5] CheckBoxSystem refused")) << log;
}

TEST_F(ProcessorOpen, BoxThatCannotBeCreatedFailsWithTheClassId) {
  fSession.SetBoxControl("CreateInstance.hresult=0x80004005\n");
  const auto calls = fSession.Run(Open() + Status(1));
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].rc, -1);
  EXPECT_EQ(calls[0].handle, 0);
  EXPECT_EQ(calls[0].error, platform::HResultText(static_cast<platform::HRESULT>(0x80004005)) +
                                ", ClassID: {27C3D64C-4341-11D7-AAF9-00D0592E132D}");
  // Nothing was registered and no till folder was made.
  EXPECT_FALSE(platform::DirectoryExists(fSession.TillFolder()));
  EXPECT_EQ(calls[1].rc, -1);
  EXPECT_EQ(calls[1].error, "Processor Handle not found");
}

TEST_F(ProcessorOpen, StatusTellsWhetherTheDayIsOpenAndTheCountersSerial) {
  const auto calls = fSession.Run(
      Open() + Status(1) + Session::Call("PROCESSRECEIPT", fSession.Request(1, ReceiptXml())) +
      Status(1, "<FPTillSerial>OTHER</FPTillSerial>"));
  ASSERT_EQ(calls.size(), 4u);
  ASSERT_EQ(calls[1].rc, 0) << calls[1].error.value_or("");
  const std::string& before = calls[1].output.value_or("");
  EXPECT_EQ(XmlElement(before, "DayOpened"), "False");
  EXPECT_EQ(XmlElement(before, "TrainingMode"), "False");
  EXPECT_EQ(XmlElement(before, "FiscalMode"), "MF");
  EXPECT_EQ(XmlElement(before, "SerialNumber"), "T1");
  EXPECT_FALSE(XmlElement(before, "FirmwareVersion").empty()) << before;
  EXPECT_NE(XmlElement(before, "DateTime"), "1899-12-30T00:00:00");
  EXPECT_FALSE(calls[1].error.has_value());

  ASSERT_EQ(calls[2].rc, 0) << calls[2].error.value_or("");
  ASSERT_EQ(calls[3].rc, 0) << calls[3].error.value_or("");
  const std::string& after = calls[3].output.value_or("");
  EXPECT_EQ(XmlElement(after, "DayOpened"), "True");
  // The serial is the till's, as its counters hold it, not the request's.
  EXPECT_EQ(XmlElement(after, "SerialNumber"), "T1");
  const std::string log = fSession.LogText();
  EXPECT_TRUE(Contains(log, " - GETSTATUS:BEGIN\r\n")) << log;
  EXPECT_TRUE(Contains(log, " - FiscalMode=MF\r\n")) << log;
  EXPECT_TRUE(Contains(log, " - TrainingMode=False\r\n")) << log;
  EXPECT_TRUE(Contains(log, " - SerialNumber=T1\r\n")) << log;
  EXPECT_TRUE(Contains(log, " - GETSTATUS:END\r\n")) << log;
}

}  // namespace
}  // namespace qv::testing
