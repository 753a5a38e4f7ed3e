// qvfp demo and qvfp journal: a whole fiscal day on a demo till, continued by a second run,
// and the journal it leaves behind.
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/support/host_scratch.h"
#include "platform/file_system.h"

namespace qv::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

// How many times aPart occurs in aText.
int Occurrences(const std::string& aText, const std::string& aPart) {
  int count = 0;
  for (size_t at = aText.find(aPart); at != std::string::npos; at = aText.find(aPart, at + 1)) {
    ++count;
  }
  return count;
}

class QvfpDemo : public ::testing::Test {
 protected:
  std::string Data() const { return fScratch.Root() + "/data"; }
  std::string JournalDay(const std::string& aTill = "T1") const {
    return Data() + "/QV_FPR_DB/" + aTill + "/Processed/" + TodayStamp();
  }
  // qvfp with drive C left to qvfp (mapped to --data).
  tQvfpRun Run(const std::vector<std::string>& aArguments) const {
    return fScratch.Run(aArguments, /*aMapDriveC=*/false);
  }
  tHostScratch fScratch;
};

TEST_F(QvfpDemo, SecondRunContinuesTheSameTill) {
  tQvfpRun first = Run({"demo", "--data", Data()});
  ASSERT_EQ(first.status, 0) << first.out << first.err;
  EXPECT_THAT(first.out, Not(HasSubstr("FAILED")));
  EXPECT_EQ(Occurrences(first.out, "LEGAL RECEIPT"), 4 + 1) << first.out;  // 4 receipts, Z
  for (const char* part :
       {"== OPEN", "PROCESSRECEIPT 1: ", "PROCESSRECEIPT 4: ", "Χωριάτικη σαλάτα",
        "== PROCESSGETSTATUS: Status", "== PROCESSXREPORT: X-report", "X-REPORT",
        "== PROCESSZREPORT: Z-report", "Z-REPORT # 0001", "Scontrini Emessi",
        "Where the files went", "counters.actual.fprc"}) {
    EXPECT_THAT(first.out, HasSubstr(part));
  }
  // Aligned fields, no raw XML unless asked.
  EXPECT_THAT(first.out, HasSubstr("    ReportNumber               1\n"));
  EXPECT_THAT(first.out, HasSubstr("    DayReceiptsNumber          4\n"));
  EXPECT_THAT(first.out, Not(HasSubstr("<FiscalRequest>")));
  EXPECT_THAT(first.out, Not(HasSubstr("<ZReport>")));
  EXPECT_THAT(tHostScratch::FileNames(JournalDay()),
              ElementsAre("0001-0000001.fprd", "0001-0000002.fprd", "0001-0000003.fprd",
                          "0001-0000004.fprd", "0001-9999.fprd"));

  tQvfpRun second = Run({"demo", "--data", Data(), "--receipts", "2"});
  ASSERT_EQ(second.status, 0) << second.out << second.err;
  EXPECT_THAT(second.out, HasSubstr("Z-REPORT # 0002"));
  EXPECT_THAT(second.out, Not(HasSubstr("Z-REPORT # 0001")));
  EXPECT_THAT(second.out, HasSubstr("    ReportNumber               2\n"));
  EXPECT_EQ(Occurrences(second.out, "LEGAL RECEIPT"), 2 + 1) << second.out;
  EXPECT_THAT(tHostScratch::FileNames(JournalDay()),
              ElementsAre("0001-0000001.fprd", "0001-0000002.fprd", "0001-0000003.fprd",
                          "0001-0000004.fprd", "0001-9999.fprd", "0002-0000001.fprd",
                          "0002-0000002.fprd", "0002-9999.fprd"));
}

TEST_F(QvfpDemo, XmlFlagShowsTheResultDocumentsOfAnotherTill) {
  tQvfpRun run = Run({"demo", "--data", Data(), "--till", "T9", "--receipts", "1", "--xml"});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("Fiscal day of till T9"));
  EXPECT_THAT(run.out, HasSubstr("<FPTillSerial>T9</FPTillSerial>"));
  EXPECT_THAT(run.out, HasSubstr("<ZReport>"));
  EXPECT_THAT(run.out, HasSubstr("<Status>"));
  EXPECT_THAT(tHostScratch::FileNames(JournalDay("T9")),
              ElementsAre("0001-0000001.fprd", "0001-9999.fprd"));
  EXPECT_FALSE(platform::DirectoryExists(Data() + "/QV_FPR_DB/T1"));
}

TEST_F(QvfpDemo, DriveCMappedByTheUserWinsOverData) {
  tQvfpRun run = fScratch.Run({"demo", "--data", Data(), "--receipts", "1"}, /*aMapDriveC=*/true);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr(fScratch.DriveC()));
  EXPECT_TRUE(platform::FileExists(fScratch.TillFolder("T1") + "/counters.actual.fprc"));
  EXPECT_FALSE(platform::DirectoryExists(Data()));
}

TEST_F(QvfpDemo, FailingSigningBoxFailsTheDemo) {
  tHostScratch::WriteFile(Data() + "/AlgoBox/control.txt", "GetVersionInfo.status=3\n");
  tQvfpRun run = Run({"demo", "--data", Data()});
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(
      run.out,
      HasSubstr("FAILED (-1): Error in GetVersionInfo. Status [3] Try restarting the device"));
  EXPECT_THAT(run.out, Not(HasSubstr("PROCESSRECEIPT")));
}

TEST_F(QvfpDemo, JournalListsTheReceiptsAndZReportsOfADemo) {
  ASSERT_EQ(Run({"demo", "--data", Data()}).status, 0);
  tQvfpRun journal = Run({"journal", "--data", Data()});
  ASSERT_EQ(journal.status, 0) << journal.out << journal.err;
  EXPECT_THAT(journal.out, ::testing::StartsWith(TodayStamp() + "\n"));
  // One line per receipt: file, number, time, type, total, signature.
  const char* receipts[][3] = {{"0001-0000001.fprd", "Sale", "16.74"},
                               {"0001-0000002.fprd", "Sale", "9.24"},
                               {"0001-0000003.fprd", "Refund", "3.5"},
                               {"0001-0000004.fprd", "Void", "1.2"}};
  int number = 0;
  for (const auto& [file, type, total] : receipts) {
    ++number;
    size_t at = journal.out.find(std::string("  ") + file + "  receipt " + std::to_string(number));
    ASSERT_NE(at, std::string::npos) << file << "\n" << journal.out;
    std::string line = journal.out.substr(at, journal.out.find('\n', at) - at);
    EXPECT_THAT(line, HasSubstr(std::string(" ") + type + " "));
    EXPECT_THAT(line, HasSubstr(std::string(" ") + total + "  "));
    EXPECT_THAT(line, HasSubstr(TodayStamp().substr(0, 4) + "-"));
    // The signature as the receipt's last two trailer lines hold it, its blank shown once.
    std::string journalFile = tHostScratch::ReadFile(JournalDay() + "/" + file);
    std::vector<std::string> trailer;
    for (size_t at = journalFile.find("<Value>"); at != std::string::npos;
         at = journalFile.find("<Value>", at + 1)) {
      trailer.push_back(journalFile.substr(at + 7, journalFile.find("</Value>", at) - at - 7));
    }
    ASSERT_GE(trailer.size(), 2u) << journalFile;
    std::string first = trailer[trailer.size() - 2], second = trailer.back();
    ASSERT_FALSE(first.empty() || second.empty()) << journalFile;
    EXPECT_EQ(first.back(), ' ');
    EXPECT_EQ(second.front(), ' ');
    EXPECT_THAT(line, ::testing::EndsWith("  " + first + second.substr(1)));
  }
  EXPECT_THAT(journal.out,
              HasSubstr("  0001-9999.fprd     Z-report 1, day total 21.28, receipts 4"));
  EXPECT_THAT(journal.out, Not(HasSubstr("unreadable")));

  tQvfpRun today = Run({"journal", "--data", Data(), "--day", TodayStamp()});
  EXPECT_EQ(today.status, 0);
  EXPECT_EQ(today.out, journal.out);

  tQvfpRun otherDay = Run({"journal", "--data", Data(), "--day", "19990101"});
  EXPECT_EQ(otherDay.status, 1);
  EXPECT_THAT(otherDay.err, HasSubstr("No journal entries for 19990101"));
  EXPECT_THAT(otherDay.out, IsEmpty());
}

TEST_F(QvfpDemo, JournalOfATillWithoutDataIsRefused) {
  tQvfpRun run = Run({"journal", "--data", Data(), "--till", "T7"});
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.err, HasSubstr("No journal for till T7"));
}

}  // namespace
}  // namespace qv::testing
