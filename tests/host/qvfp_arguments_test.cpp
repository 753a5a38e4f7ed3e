// qvfp's command line: help for every subcommand, and a message with a non-zero exit status
// for every kind of wrong input a user can give it.
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/support/call_transcript.h"
#include "host/support/host_scratch.h"

namespace qv::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

class QvfpArguments : public ::testing::Test {
 protected:
  // A request file in the working directory.
  std::string WriteRequest(const std::string& aName, const std::string& aContent) const {
    std::string path = fScratch.Work() + "/" + aName;
    tHostScratch::WriteFile(path, aContent);
    return path;
  }
  tHostScratch fScratch;
};

TEST_F(QvfpArguments, HelpOfTheProgramNamesEverySubcommand) {
  tQvfpRun run = fScratch.Run({"--help"});
  EXPECT_EQ(run.status, 0) << run.err;
  for (const char* command : {"demo", "call", "run", "journal", "verify", "--library"}) {
    EXPECT_THAT(run.out, HasSubstr(command));
  }
}

TEST_F(QvfpArguments, HelpOfEachSubcommandShowsItsOptions) {
  const std::pair<const char*, std::vector<const char*>> commands[] = {
      {"demo", {"--data", "--till", "--receipts", "--xml"}},
      {"call", {"EXPORT", "REQUEST", "--handle", "PROCESSGETSTATUS"}},
      {"run", {"SCRIPT"}},
      {"journal", {"--data", "--till", "--day"}},
      {"verify", {"--data", "--till", "--json"}},
  };
  for (const auto& [command, options] : commands) {
    tQvfpRun run = fScratch.Run({command, "--help"});
    EXPECT_EQ(run.status, 0) << command << ": " << run.err;
    for (const char* option : options) EXPECT_THAT(run.out, HasSubstr(option)) << command;
  }
  // Help runs nothing: no till was opened.
  EXPECT_THAT(tHostScratch::FolderNames(fScratch.DriveC()), IsEmpty());
}

TEST_F(QvfpArguments, UnknownOrMissingSubcommandIsRefused) {
  tQvfpRun unknown = fScratch.Run({"frobnicate"});
  EXPECT_NE(unknown.status, 0);
  EXPECT_THAT(unknown.err, HasSubstr("frobnicate"));

  tQvfpRun none = fScratch.Run({});
  EXPECT_NE(none.status, 0);
  EXPECT_THAT(none.err, HasSubstr("subcommand"));
}

TEST_F(QvfpArguments, CallWithoutRequestFileOrWithUnknownExportIsRefused) {
  tQvfpRun noFile = fScratch.Run({"call", "OPEN"});
  EXPECT_NE(noFile.status, 0);
  EXPECT_THAT(noFile.err, HasSubstr("REQUEST"));

  tQvfpRun unknown = fScratch.Run({"call", "CLOSE", ExamplesFolder() + "open.xml"});
  EXPECT_NE(unknown.status, 0);
  EXPECT_THAT(unknown.err, HasSubstr("CLOSE"));
  EXPECT_THAT(tHostScratch::FolderNames(fScratch.DriveC()), IsEmpty());
}

TEST_F(QvfpArguments, MissingRequestFileIsNamed) {
  std::string missing = fScratch.Work() + "/no-such-request.xml";
  tQvfpRun run = fScratch.Run({"call", "OPEN", missing});
  EXPECT_NE(run.status, 0);
  EXPECT_THAT(run.err, HasSubstr("Cannot read " + missing));
  EXPECT_THAT(run.out, Not(HasSubstr("returned")));
}

TEST_F(QvfpArguments, MalformedRequestFileGivesTheParserMessage) {
  std::string bad = WriteRequest("bad.xml", "<FiscalRequest><Method>OPEN</Method>\n");
  // Sent as it is: the library refuses it and its reason is printed.
  tQvfpRun sent = fScratch.Run({"call", "OPEN", bad});
  EXPECT_EQ(sent.status, 1);
  std::vector<tPrintedCall> calls = ReadPrintedCalls(sent.out);
  ASSERT_EQ(calls.size(), 1u) << sent.out;
  EXPECT_EQ(calls[0].code, -1);
  EXPECT_EQ(calls[0].handle, 0);
  EXPECT_NE(calls[0].error, "(none)");
  EXPECT_THAT(calls[0].error, Not(IsEmpty()));

  // With --handle the host edits the request first and stops at the parser's message.
  tQvfpRun edited = fScratch.Run({"call", "PROCESSGETSTATUS", bad, "--handle", "1"});
  EXPECT_NE(edited.status, 0);
  EXPECT_THAT(edited.err, HasSubstr("qvfp: Malformed XML in " + bad + ": "));
  EXPECT_THAT(edited.out, Not(HasSubstr("returned")));
}

TEST_F(QvfpArguments, MissingLibraryIsNamedWithTheLoadersReason) {
  std::string missing = fScratch.Work() + "/NoSuchLibrary.so";
  const std::vector<std::string> commands[] = {
      {"call", "OPEN", ExamplesFolder() + "open.xml"},
      {"run", ExamplesFolder() + "day.script"},
      {"demo", "--receipts", "1"},
  };
  for (const std::vector<std::string>& command : commands) {
    std::vector<std::string> arguments{"--library", missing};
    arguments.insert(arguments.end(), command.begin(), command.end());
    tQvfpRun run = fScratch.Run(arguments);
    EXPECT_NE(run.status, 0) << command[0];
    EXPECT_THAT(run.err, HasSubstr("Cannot load the fiscal library " + missing + ": "))
        << command[0];
    EXPECT_THAT(run.out, Not(HasSubstr("returned"))) << command[0];
  }
  EXPECT_THAT(tHostScratch::FolderNames(fScratch.DriveC()), IsEmpty());
}

TEST_F(QvfpArguments, LibraryWithoutTheExportsIsRefused) {
  // The signing box stand-in is a loadable library, but not a fiscal library.
  std::string other = std::string(QV_BIN_DIR) + "/AlgoDll.so";
  tQvfpRun run = fScratch.Run({"--library", other, "call", "OPEN", ExamplesFolder() + "open.xml"});
  EXPECT_NE(run.status, 0);
  EXPECT_THAT(run.err, HasSubstr("Cannot load the fiscal library " + other));
  EXPECT_THAT(run.err, HasSubstr("OPEN"));
}

TEST_F(QvfpArguments, DemoRefusesANegativeReceiptCount) {
  tQvfpRun run = fScratch.Run({"demo", "--receipts", "-1", "--data", fScratch.Root() + "/data"},
                              /*aMapDriveC=*/false);
  EXPECT_NE(run.status, 0);
  EXPECT_THAT(run.err, HasSubstr("--receipts"));
  EXPECT_THAT(tHostScratch::FolderNames(fScratch.Root()), Not(::testing::Contains("data")));
}

}  // namespace
}  // namespace qv::testing
