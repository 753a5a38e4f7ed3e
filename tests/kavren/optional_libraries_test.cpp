// A till without a printer system or an HTTP stack: the fiscal library does not need CUPS or
// libcurl to load or to run a fiscal day; a spooler or HTTP channel used there fails with a
// text that names the missing library.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "kavren/support/child_process.h"
#include "kavren/support/processor_session.h"
#include "platform/file_system.h"
#include "support/file_status_assertions.h"

namespace qv::testing {
namespace {

std::string CommandOutput(const std::string& aCommand) {
  std::string output;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(aCommand.c_str(), "r"), pclose);
  if (!pipe) return output;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) output.append(buffer, n);
  return output;
}

const char* const kOptionalLibraries[] = {"libcups.so.2", "libcurl.so.4"};

TEST(OptionalLibraries, TheFiscalLibraryDoesNotNeedThemToLoad) {
  const std::string needed = CommandOutput("readelf -d '" + BuildBinFolder() +
                                           "/QVFP_CYKAVREN_10.so' 2>/dev/null | grep NEEDED");
  if (needed.empty()) GTEST_SKIP() << "readelf is not installed";
  for (const char* library : kOptionalLibraries) {
    EXPECT_EQ(needed.find(library), std::string::npos) << needed;
  }
}

// Runs the programs in the folder aFolder (made by the test) where every optional library
// is an empty file: a mount namespace of the program's own, with /dev/null mounted over each
// library the dynamic loader would find.
class WithoutOptionalLibraries : public ::testing::Test {
 protected:
  void SetUp() override {
    if (CommandOutput("id -u") != "0\n" || CommandOutput("command -v unshare") == "") {
      GTEST_SKIP() << "hiding system libraries needs root and unshare";
    }
    std::string mounts;
    for (const char* library : kOptionalLibraries) {
      const std::string path = CommandOutput("ldconfig -p | awk '$1 == \"" + std::string(library) +
                                             "\" && /x86-64|x86_64|64bit/ {print $NF; exit}'");
      if (path.empty()) continue;  // not installed: missing already
      mounts += "mount --bind /dev/null " + path.substr(0, path.size() - 1) + " && ";
    }
    fMounts = mounts;
  }

  // A program "NAME" in aFolder that runs aProgram with the libraries hidden.
  std::string HidingLauncher(const std::string& aFolder, const std::string& aName,
                             const std::string& aProgram) {
    const std::string path = aFolder + "/" + aName;
    std::string error;
    EXPECT_TRUE(StatusOk(
        platform::WriteWholeFile(path, "#!/bin/sh\nexec '" + std::string(QV_SOURCE_DIR) +
                                           "/tests/support/private-mounts' /bin/sh -c '" + fMounts +
                                           "exec \"$0\" \"$@\"' '" + aProgram + "' \"$@\"\n")));
    CommandOutput("chmod +x '" + path + "'");
    return path;
  }

  std::string fMounts;
};

TEST_F(WithoutOptionalLibraries, TheTillRunsItsFiscalDay) {
  tProcessorSession session;
  const std::string launchers = session.Folder() + "/launchers";
  platform::ForceDirectories(launchers).ThrowIfFailed();
  HidingLauncher(launchers, "processor_host", BuildBinFolder() + "/processor_host");
  CommandOutput("ln -s '" + BuildBinFolder() + "/QVFP_CYKAVREN_10.so' '" + launchers + "/'");
  const auto calls = session.Run(
      tProcessorSession::Call("OPEN", session.Request(0)) +
          tProcessorSession::Call("PROCESSRECEIPT", session.Request(1, ReceiptXml("4.20"))) +
          tProcessorSession::Call("PROCESSZREPORT", session.Request(1)),
      launchers);
  ASSERT_EQ(calls.size(), 3u);
  for (const tHostCall& call : calls) EXPECT_EQ(call.rc, 0) << call.error.value_or("");
  EXPECT_EQ(XmlElement(calls[1].output.value_or(""), "Number"), "1");
  EXPECT_EQ(XmlElement(calls[2].output.value_or(""), "DayTotalAmount"), "4.2");
}

TEST_F(WithoutOptionalLibraries, SpoolerAndHttpChannelsNameTheMissingLibrary) {
  tProcessorSession session;
  const std::string probe =
      HidingLauncher(session.Folder(), "probe", HelperProgram("optional_channels_probe"));
  const std::string output = CommandOutput("'" + probe + "'");
  EXPECT_NE(output.find("spooler: The print spooler library libcups.so.2 cannot be loaded: "),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("printers: 0\n"), std::string::npos) << output;
  EXPECT_NE(output.find("http: The HTTP transport library libcurl.so.4 cannot be loaded: "),
            std::string::npos)
      << output;
}

}  // namespace
}  // namespace qv::testing
