// qvfp verify: a till's folder after a real day (receipts, a host-numbered receipt, two
// Z-reports, an open day), checked as it stands and after the kinds of change an auditor
// must see: a changed byte, a removed or copied-in file, a duplicate number, a gap, totals
// that disagree, failed receipts, an unsettled queue record, another signing device.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "host/support/host_scratch.h"
#include "kavren/journal_chain.h"

namespace qv::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

// Every file under aFolder with its content, by path relative to it.
std::map<std::string, std::string> Snapshot(const std::string& aFolder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(aFolder)) {
    if (entry.is_regular_file()) {
      files[fs::relative(entry.path(), aFolder).string()] =
          tHostScratch::ReadFile(entry.path().string());
    }
  }
  return files;
}

void Replace(const std::string& aPath, const std::string& aFrom, const std::string& aTo) {
  std::string text = tHostScratch::ReadFile(aPath);
  const std::size_t at = text.find(aFrom);
  ASSERT_NE(at, std::string::npos) << aFrom << " not in " << aPath;
  tHostScratch::WriteFile(aPath, text.replace(at, aFrom.size(), aTo));
}

// Till EX1 after the example day (Z-reports 1 and 2; receipts 1 to 5 and the host-numbered
// receipt 7 in Z period 1) and an open day of a sale of 16.74 and a refund of 3.5.
class QvfpVerify : public ::testing::Test {
 protected:
  void SetUp() override {
    const tQvfpRun day = fScratch.Run({"run", ExamplesFolder() + "day.script"});
    ASSERT_EQ(day.status, 0) << day.out << day.err;
    const std::string script = fScratch.Work() + "/open-day.script";
    tHostScratch::WriteFile(script, "OPEN " + ExamplesFolder() + "open.xml\nPROCESSRECEIPT " +
                                        ExamplesFolder() + "receipt-sale.xml\nPROCESSRECEIPT " +
                                        ExamplesFolder() + "receipt-refund.xml\n");
    const tQvfpRun open = fScratch.Run({"run", script});
    ASSERT_EQ(open.status, 0) << open.out << open.err;
  }

  // qvfp verify of till EX1 in the data folder aData (drive C of the runs by default).
  tQvfpRun Verify(const std::string& aData = "", std::vector<std::string> aMore = {}) const {
    std::vector<std::string> arguments{"verify", "--data",
                                       aData.empty() ? fScratch.DriveC() : aData, "--till", "EX1"};
    arguments.insert(arguments.end(), aMore.begin(), aMore.end());
    return fScratch.Run(arguments, /*aMapDriveC=*/false);
  }
  std::string Till() const { return fScratch.TillFolder("EX1"); }
  std::string Day() const { return Till() + "/Processed/" + TodayStamp(); }
  // The journal's name of a file of today's journal folder.
  static std::string Journal(const std::string& aName) {
    return "Processed\\" + TodayStamp() + "\\" + aName;
  }

  tHostScratch fScratch;
};

TEST_F(QvfpVerify, ADayWithItsZReportsAndAnOpenDayIsConsistentAndLeftAsItWas) {
  const auto before = Snapshot(fScratch.DriveC());
  const tQvfpRun run = Verify();
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("OK: the records of till EX1 are consistent\n"));
  EXPECT_THAT(run.out, Not(HasSubstr("PROBLEM")));
  EXPECT_THAT(run.out, HasSubstr("PERIOD [Z 0001] closed: receipts 1 to 6, 6 journal files, 0 "
                                 "error records, 7 chain lines, sales 29.48 (journal 29.48), "
                                 "refunds 3.5 (journal 3.5), voids 1.2 (journal 1.2)\n"));
  EXPECT_THAT(run.out, HasSubstr("PERIOD [Z 0002] closed: receipts 0 to 0"));
  EXPECT_THAT(run.out, HasSubstr("PERIOD [Z 0003] open day: receipts 1 to 2, 2 journal files, 0 "
                                 "error records, 2 chain lines, sales 16.74 (journal 16.74), "
                                 "refunds 3.5 (journal 3.5)"));
  // The host-numbered receipt is listed apart, with the number of the counters it took.
  EXPECT_THAT(run.out, HasSubstr("NOTE [Z 0001] numbers: " + Journal("0001-0000007.fprd") +
                                 ": host-numbered receipt 7, beyond the 6 numbers"));
  EXPECT_THAT(run.out, HasSubstr("NOTE [Z 0001] numbers: number 6 went to host-numbered"));
  EXPECT_THAT(run.out, HasSubstr("NOTE signature: 8 signatures checked against the device's key"));
  EXPECT_EQ(Snapshot(fScratch.DriveC()), before) << "verify changed the folder";

  // A copy taken elsewhere verifies the same.
  const std::string copy = fScratch.Root() + "/copy";
  fs::copy(fScratch.DriveC(), copy, fs::copy_options::recursive);
  const tQvfpRun onCopy = Verify(copy);
  EXPECT_EQ(onCopy.status, 0) << onCopy.out;
  EXPECT_THAT(onCopy.out, HasSubstr("8 signatures checked"));
}

TEST_F(QvfpVerify, AChangedByteARemovedFileAndACopiedInFileAreNamed) {
  const std::string receipt = Day() + "/0001-0000002.fprd";
  std::string bytes = tHostScratch::ReadFile(receipt);
  bytes[bytes.find("<Description>") + 13] ^= 1;  // still a well-formed receipt
  tHostScratch::WriteFile(receipt, bytes);
  tQvfpRun run = Verify();
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_THAT(run.out, HasSubstr("PROBLEM [Z 0001] chain: " + Journal("0001-0000002.fprd") +
                                 ": was changed after it was written"));
  EXPECT_THAT(run.out, HasSubstr("PROBLEM [Z 0001] signature: " + Journal("0001-0000002.fprd") +
                                 ": the signature \"KVB0000001-"));
  EXPECT_THAT(run.out, HasSubstr("FAILED: "));

  fs::remove(Day() + "/0001-0000003.fprd");
  run = Verify();
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_THAT(run.out, HasSubstr("PROBLEM [Z 0001] chain: " + Journal("0001-0000003.fprd") +
                                 ": is recorded in Journal\\0001.fpch line 3 but missing"));
  EXPECT_THAT(
      run.out,
      HasSubstr("PROBLEM [Z 0001] numbers: gap: no journal file and no error "
                "record for numbers 3, 6 (host-numbered receipts stand for at most 1 of them)\n"));

  fs::copy_file(Day() + "/0003-0000001.fprd", Day() + "/0003-0000009.fprd");
  run = Verify();
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_THAT(run.out, HasSubstr("PROBLEM [Z 0003] chain: " + Journal("0003-0000009.fprd") +
                                 ": is not recorded in the chain of its period"));
  EXPECT_THAT(run.out, HasSubstr("PROBLEM [Z 0003] journal: " + Journal("0003-0000009.fprd") +
                                 ": its Number \"1\" is not the number of its name"));
}

TEST_F(QvfpVerify, AnEditedOrRemovedChainLineBreaksTheChain) {
  const std::string chain = Till() + "/Journal/0003.fpch";
  std::string text = tHostScratch::ReadFile(chain);
  const std::size_t secondLine = text.find('\n') + 1;
  tHostScratch::WriteFile(chain, text.substr(secondLine));
  const tQvfpRun run = Verify();
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_THAT(run.out, HasSubstr("PROBLEM [Z 0003] chain: " + Journal("0003-0000002.fprd") +
                                 ": the chain is broken at Journal\\0003.fpch line 1"));
  EXPECT_THAT(run.out, HasSubstr("PROBLEM [Z 0003] chain: " + Journal("0003-0000001.fprd") +
                                 ": is not recorded in the chain of its period"));
}

TEST_F(QvfpVerify, TwoJournalFilesOfOneNumberAreListedAsADuplicate) {
  fs::copy_file(Day() + "/0003-0000002.fprd", Day() + "/0003-0000002-2.fprd");
  const tQvfpRun run = Verify();
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_THAT(run.out, HasSubstr("PROBLEM [Z 0003] numbers: duplicate number 2: " +
                                 Journal("0003-0000002.fprd") + ", " +
                                 Journal("0003-0000002-2.fprd") + "\n"));
}

TEST_F(QvfpVerify, NumbersOfTheCountersWithoutAFileAreAGap) {
  Replace(Till() + "/counters.actual.fprc", "<CurrentReceiptNo>2<", "<CurrentReceiptNo>4<");
  const tQvfpRun run = Verify();
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_THAT(run.out, HasSubstr("PROBLEM [Z 0003] numbers: gap: no journal file and no error "
                                 "record for numbers 3, 4\n"));
  EXPECT_THAT(run.out, Not(HasSubstr("totals")));
}

TEST_F(QvfpVerify, TotalsThatDisagreeWithTheJournalAreFound) {
  Replace(Till() + "/counters.actual.fprc", "<DailySales>16.74<", "<DailySales>99<");
  Replace(Till() + "/counters.actual.fprc", "<DailyVoids>0<", "<DailyVoids>1<");
  const tQvfpRun run = Verify();
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_THAT(run.out, HasSubstr("PROBLEM [Z 0003] totals: sales: the counters hold 99, the "
                                 "journal sums to 16.74\n"));
  EXPECT_THAT(run.out, HasSubstr("PROBLEM [Z 0003] totals: voids: the counters hold 1, the "
                                 "journal sums to 0\n"));
  EXPECT_THAT(run.out, Not(HasSubstr("refunds: the counters")));
}

TEST_F(QvfpVerify, ErrorRecordsAccountForTheirNumbersAndQueueRecordsAreUnsettled) {
  // Receipt 3 of the open day failed at its signature after taking its number; the
  // library left its error record and chained it.
  const std::string record = "Errors\\" + TodayStamp() + "\\0003-0000003.fpre";
  const std::string recordText =
      "<?xml version=\"1.0\"?>\r\n<FailedReceipt><Number>3</Number><ZReportNumber>3"
      "</ZReportNumber><DateTime>2026-01-09T10:00:00</DateTime><Type>Sale</Type><Amount>5"
      "</Amount><Step>Signing</Step><Message>Error when signing the receipt: [3]</Message>"
      "<Request>&lt;FiscalRequest/&gt;</Request></FailedReceipt>\r\n";
  tHostScratch::WriteFile(Till() + "/Errors/" + TodayStamp() + "/0003-0000003.fpre", recordText);
  kavren::kJournalChain(Till()).Append(3, Till() + "\\" + record, recordText);
  Replace(Till() + "/counters.actual.fprc", "<CurrentReceiptNo>2<", "<CurrentReceiptNo>3<");
  tQvfpRun run = Verify();
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_THAT(run.out, HasSubstr("NOTE [Z 0003] errors: " + record +
                                 ": receipt 3 failed at Signing: Error when signing the "
                                 "receipt: [3]\n"));
  EXPECT_THAT(run.out, HasSubstr("open day: receipts 1 to 3, 2 journal files, 1 error records"));

  // A failed receipt whose day was closed meanwhile stays counted in that Z-report.
  Replace(Till() + "/Errors/" + TodayStamp() + "/0003-0000003.fpre", "</Request>",
          "</Request><CountedInZReport>1</CountedInZReport>");
  run = Verify();
  EXPECT_THAT(run.out, HasSubstr("NOTE [Z 0001] errors: " + record +
                                 ": its amount 5 stayed counted in Z-report 1"));
  EXPECT_THAT(run.out, HasSubstr("PROBLEM [Z 0001] totals: sales: the Z-report copy holds 29.48, "
                                 "the journal sums to 34.48\n"));

  tHostScratch::WriteFile(Till() + "/Queue/0003-0000004.fprq", "<QueuedReceipt/>");
  run = Verify();
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_THAT(run.out, HasSubstr("PROBLEM [Z 0003] queue: Queue\\0003-0000004.fprq: unsettled"));
}

TEST_F(QvfpVerify, AnotherSigningDeviceCannotBeCheckedAndSaysSo) {
  fs::remove_all(fScratch.DriveC() + "/AlgoBox");
  const tQvfpRun run = Verify();
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_THAT(run.out, HasSubstr("NOTE signature: the signing device \"KVB0000001\" is not the "
                                 "stand-in signing device (no public key in AlgoBox): its "
                                 "signatures cannot be checked\n"));
  EXPECT_THAT(run.out, Not(HasSubstr("signatures checked")));
}

TEST_F(QvfpVerify, JsonHoldsTheSameFindingsAsOneDocument) {
  tQvfpRun run = Verify("", {"--json"});
  EXPECT_EQ(run.status, 0) << run.out;
  nlohmann::json clean = nlohmann::json::parse(run.out);
  EXPECT_EQ(clean["till"], "EX1");
  EXPECT_EQ(clean["consistent"], true);
  ASSERT_EQ(clean["periods"].size(), 3u);
  EXPECT_EQ(clean["periods"][2]["period"], "0003");
  EXPECT_EQ(clean["periods"][2]["open"], true);
  EXPECT_EQ(clean["periods"][2]["last"], 2);

  fs::remove(Day() + "/0003-0000001.fprd");
  run = Verify("", {"--json"});
  EXPECT_EQ(run.status, 1) << run.out;
  nlohmann::json broken = nlohmann::json::parse(run.out);
  EXPECT_EQ(broken["consistent"], false);
  bool named = false;
  for (const auto& finding : broken["findings"]) {
    if (finding["severity"] == "problem" && finding["check"] == "chain" &&
        finding["file"] == Journal("0003-0000001.fprd")) {
      named = true;
      EXPECT_THAT(finding["message"].get<std::string>(), HasSubstr("missing"));
    }
  }
  EXPECT_TRUE(named) << run.out;
}

TEST_F(QvfpVerify, AMissingTillIsAProblem) {
  const tQvfpRun run = fScratch.Run({"verify", "--data", fScratch.DriveC(), "--till", "T404"},
                                    /*aMapDriveC=*/false);
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_THAT(run.out, HasSubstr("PROBLEM till: no folder for till T404"));
  EXPECT_FALSE(fs::exists(fScratch.DriveC() + "/QV_FPR_DB/T404"));
}

}  // namespace
}  // namespace qv::testing
