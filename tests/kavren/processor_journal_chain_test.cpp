// The journal chain that the signing processor keeps through the built library: every
// receipt's journal file and every Z-report copy gets its line in the chain of its Z period.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kavren/journal_chain.h"
#include "kavren/support/processor_session.h"
#include "platform/file_system.h"
#include "support/file_status_assertions.h"

namespace qv::testing {
namespace {

using Session = tProcessorSession;

std::vector<kavren::tJournalChainLine> ChainLines(const std::string& aChainFile) {
  std::vector<kavren::tJournalChainLine> lines;
  const std::string text = FileText(aChainFile);
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    kavren::tJournalChainLine line;
    EXPECT_TRUE(kavren::ParseJournalChainLine(text.substr(start, end - start + 1), line)) << text;
    lines.push_back(line);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

class ProcessorJournalChain : public ::testing::Test {
 protected:
  std::string Open() { return Session::Call("OPEN", fSession.Request(0)); }
  std::string Receipt(const std::string& aReceiptXml) {
    return Session::Call("PROCESSRECEIPT", fSession.Request(1, aReceiptXml));
  }
  std::string Z() { return Session::Call("PROCESSZREPORT", fSession.Request(1)); }
  std::string ChainFile(const std::string& aName) const {
    return fSession.TillFolder() + "/Journal/" + aName;
  }
  // Every line's file exists with that hash and every chain value follows from the last.
  void ExpectChainMatchesTheFiles(const std::vector<kavren::tJournalChainLine>& aLines) {
    std::string previous(kavren::kInitialChainValue);
    for (const kavren::tJournalChainLine& line : aLines) {
      std::string native = line.path;
      for (char& c : native) c = c == '\\' ? '/' : c;
      EXPECT_EQ(kavren::JournalFileHash(FileText(fSession.TillFolder() + "/" + native)),
                line.fileHash)
          << line.path;
      EXPECT_EQ(kavren::NextChainValue(previous, line.fileHash), line.chainValue) << line.path;
      previous = line.chainValue;
    }
  }

  tProcessorSession fSession;
};

TEST_F(ProcessorJournalChain, ReceiptsAndTheZReportCopyAreChainedInTheirPeriod) {
  const auto calls =
      fSession.Run(Open() + Receipt(ReceiptXml("12.50")) + Receipt(ReceiptXml("4", "Refund")) +
                   Receipt(ReceiptXml("3", "Sale", "50")) + Z() + Receipt(ReceiptXml("1")));
  ASSERT_EQ(calls.size(), 6u);
  for (const tHostCall& call : calls) ASSERT_EQ(call.rc, 0) << call.name << call.error.value_or("");

  const std::string day = "Processed\\" + TodayStamp() + "\\";
  const auto closed = ChainLines(ChainFile("0001.fpch"));
  ASSERT_EQ(closed.size(), 4u);
  EXPECT_EQ(closed[0].path, day + "0001-0000001.fprd");
  EXPECT_EQ(closed[1].path, day + "0001-0000002.fprd");
  EXPECT_EQ(closed[2].path, day + "0001-0000050.fprd");
  EXPECT_EQ(closed[3].path, day + "0001-9999.fprd");
  ExpectChainMatchesTheFiles(closed);

  const auto open = ChainLines(ChainFile("0002.fpch"));
  ASSERT_EQ(open.size(), 1u);
  EXPECT_EQ(open[0].path, day + "0002-0000001.fprd");
  ExpectChainMatchesTheFiles(open);
}

// A Z-report that stopped after its journal copy left no chain line for it: the Z-report
// that takes the copy over records it, once.
TEST_F(ProcessorJournalChain, TheCopyOfAnInterruptedZReportIsRecordedOnce) {
  fSession.WriteCounters(0, 1);
  platform::ForceDirectories(fSession.TodayJournalFolder()).ThrowIfFailed();
  std::string error;
  ASSERT_TRUE(StatusOk(platform::CopyFileNoOverwrite(
      fSession.CountersFile(), fSession.TodayJournalFolder() + "/0001-9999.fprd")));
  const auto calls = fSession.Run(Open() + Z());
  ASSERT_EQ(calls.size(), 2u);
  ASSERT_EQ(calls[1].rc, 0) << calls[1].error.value_or("");
  const auto lines = ChainLines(ChainFile("0001.fpch"));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].path, "Processed\\" + TodayStamp() + "\\0001-9999.fprd");
  ExpectChainMatchesTheFiles(lines);
}

// An edited chain line must not stop the till from selling: the receipt is journaled and
// chained afresh, the damage stays for the auditor and the log says so.
TEST_F(ProcessorJournalChain, ADamagedChainIsLoggedAndTheReceiptStillRecorded) {
  fSession.WriteCounters(0, 1);
  platform::ForceDirectories(fSession.TillFolder() + "/Journal").ThrowIfFailed();
  const std::string damaged = "edited by hand\r\n";
  std::string error;
  ASSERT_TRUE(StatusOk(platform::WriteWholeFile(ChainFile("0001.fpch"), damaged)));
  const auto calls = fSession.Run(Open() + Receipt(ReceiptXml("2")));
  ASSERT_EQ(calls.size(), 2u);
  ASSERT_EQ(calls[1].rc, 0) << calls[1].error.value_or("");
  const std::string text = FileText(ChainFile("0001.fpch"));
  ASSERT_EQ(text.compare(0, damaged.size(), damaged), 0) << text;
  kavren::tJournalChainLine line;
  ASSERT_TRUE(kavren::ParseJournalChainLine(text.substr(damaged.size()), line)) << text;
  ExpectChainMatchesTheFiles({line});
  const std::string log = fSession.LogText();
  EXPECT_NE(log.find(" - ERROR - JournalChain:The journal chain \""), std::string::npos) << log;
  EXPECT_NE(log.find("was damaged: its last line is not a chain line."), std::string::npos) << log;
}

}  // namespace
}  // namespace qv::testing
