// The receipt text through the receipt-printer driver when the driver is missing or lacks
// one of its functions: what the host and the device log are told, through the built
// library in a host of its own folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "kavren/support/processor_session.h"
#include "platform/file_system.h"
#include "support/file_status_assertions.h"

namespace qv::testing {
namespace {

using Session = tProcessorSession;

bool Contains(const std::string& aText, const std::string& aPart) {
  return aText.find(aPart) != std::string::npos;
}

class ReceiptTextDriver : public ::testing::Test {
 protected:
  // A host folder with the library and the signing component, and as the receipt-printer
  // driver the built module aDriverModule (none when empty).
  std::string HostFolder(const std::string& aDriverModule) {
    const std::string bin = fSession.Folder() + "/bin";
    platform::ForceDirectories(bin).ThrowIfFailed();
    for (const char* file : {"processor_host", "QVFP_CYKAVREN_10.so", "AlgoDll.so"}) {
      std::filesystem::copy_file(BuildBinFolder() + "/" + file, bin + "/" + file);
    }
    if (!aDriverModule.empty()) {
      std::filesystem::copy_file(BuildBinFolder() + "/" + aDriverModule,
                                 bin + "/QVRP_GENERIC_10.so");
    }
    return bin;
  }
  // OPEN, then one receipt; gives the receipt's call.
  tHostCall RunReceipt(const std::string& aBin) {
    const auto calls =
        fSession.Run(Session::Call("OPEN", fSession.Request(0)) +
                         Session::Call("PROCESSRECEIPT", fSession.Request(1, ReceiptXml())),
                     aBin);
    EXPECT_EQ(calls.size(), 2u);
    if (calls.size() != 2u) return {};
    EXPECT_EQ(calls[0].rc, 0) << calls[0].error.value_or("");
    return calls[1];
  }

  tProcessorSession fSession;
};

// The code is the one the system gave right after the failed load, with its own text.
TEST_F(ReceiptTextDriver, DriverThatCannotBeLoadedGivesTheSystemsCodeAndText) {
  const std::string bin = HostFolder("");
  const tHostCall receipt = RunReceipt(bin);
  EXPECT_EQ(receipt.rc, -1);
  EXPECT_FALSE(receipt.error.has_value()) << receipt.error.value_or("");
  const std::string log = fSession.LogText(bin);
  EXPECT_TRUE(Contains(log,
                       " - ERROR - BuildReceiptText:Unable to Load Library QVRP_GENERIC_10.dll. "
                       "Error: (2) No such file or directory\r\n"))
      << log;
}

TEST_F(ReceiptTextDriver, DriverFileThatIsNoLibraryGivesTheLoadersText) {
  const std::string bin = HostFolder("");
  ASSERT_TRUE(StatusOk(platform::WriteWholeFile(bin + "/QVRP_GENERIC_10.so", "not a library")));
  const tHostCall receipt = RunReceipt(bin);
  EXPECT_EQ(receipt.rc, -1);
  const std::string log = fSession.LogText(bin);
  EXPECT_TRUE(Contains(log,
                       " - ERROR - BuildReceiptText:Unable to Load Library QVRP_GENERIC_10.dll. "
                       "Error: (0) " +
                           bin + "/QVRP_GENERIC_10.so: file too short\r\n"))
      << log;
}

// A driver without OPEN fails the receipt text; the loader's own words follow "Error: ".
TEST_F(ReceiptTextDriver, DriverWithoutOpenFailsTheReceiptTextWithTheLoadersText) {
  const std::string bin = HostFolder("platform_test_module.so");
  const tHostCall receipt = RunReceipt(bin);
  EXPECT_EQ(receipt.rc, -1);
  EXPECT_FALSE(receipt.error.has_value()) << receipt.error.value_or("");
  const std::string log = fSession.LogText(bin);
  EXPECT_TRUE(Contains(log, " - ERROR - BuildReceiptText:Unable to Find Method OPEN. Error: " +
                                bin + "/QVRP_GENERIC_10.so: undefined symbol: OPEN\r\n"))
      << log;
}

// A driver without PRINTFR fails the whole call with the message, not a result code.
TEST_F(ReceiptTextDriver, DriverWithoutPrintFailsTheCallWithTheLoadersText) {
  const std::string bin = HostFolder("printer_without_print.so");
  const tHostCall receipt = RunReceipt(bin);
  EXPECT_EQ(receipt.rc, -1);
  EXPECT_EQ(receipt.error, "Unable to Find Method PRINTFR. Error: " + bin +
                               "/QVRP_GENERIC_10.so: undefined symbol: PRINTFR");
  EXPECT_FALSE(Contains(fSession.LogText(bin), "could not be found"));
}

}  // namespace
}  // namespace qv::testing
