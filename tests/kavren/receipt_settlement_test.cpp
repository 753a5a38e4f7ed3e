// Receipts whose host process died: hosts killed without warning at random moments, a host
// killed while another goes on, a day closed while a receipt was in flight, queue records
// left in every state a death can leave them in, and the debris of interrupted writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/date_time.h"
#include "base/utils.h"
#include "kavren/support/child_process.h"
#include "kavren/support/processor_session.h"
#include "kavren/support/till_audit.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "support/file_status_assertions.h"
#include "support/protected_path.h"

namespace qv::testing {
namespace {

using Session = tProcessorSession;

bool Contains(const std::string& aText, const std::string& aPart) {
  return aText.find(aPart) != std::string::npos;
}

void WriteFile(const std::string& aPath, const std::string& aText) {
  platform::ForceDirectories(aPath.substr(0, aPath.find_last_of('/'))).ThrowIfFailed();
  ASSERT_TRUE(StatusOk(platform::WriteWholeFile(aPath, aText)));
}

// A host process that sends receipts of aAmount until it is killed (or aCount are done).
class tReceiptHost {
 public:
  tReceiptHost(tProcessorSession& aSession, const std::string& aName, const std::string& aAmount,
               int aCount = 100000)
      : fSession(aSession), fLogId(aSession.LogId() + aName) {
    std::string request = aSession.Request(0, ReceiptXml(aAmount));
    const std::string logId = "<LogId>" + aSession.LogId() + "</LogId>";
    request.replace(request.find(logId), logId.size(), "<LogId>" + fLogId + "</LogId>");
    fRequestFile = aSession.Folder() + "/request_" + aName + ".xml";
    WriteFile(fRequestFile, request);
    aSession.PrepareEnvironment();
    const std::string bin = BuildBinFolder();
    fProcess = std::make_unique<ChildProcess>(
        bin + "/processor_host",
        std::vector<std::string>{bin + "/QVFP_CYKAVREN_10.so", "receipts", fRequestFile,
                                 std::to_string(aCount)},
        aSession.WorkFolder());
  }
  ~tReceiptHost() {
    fProcess.reset();
    platform::DeleteFile(BuildBinFolder() + "/LogFiles/FiscalPrinter/QVFP_CYKAVREN_10_" + fLogId +
                         "_" + TodayStamp() + ".log")
        .IgnoreFailure();
  }

  // The next line of output ("OPENED 1", "RECEIPT i rc number", "FAILED ..."); false at
  // the end.
  bool ReadLine(std::string& aLine) { return fProcess->ReadLine(aLine); }
  void Kill() { fProcess->Kill(); }
  int Wait() { return fProcess->Wait(); }
  // The receipt numbers this host was answered, reading its output to the end.
  std::vector<int> AnsweredNumbers() {
    std::vector<int> numbers;
    std::string line;
    while (ReadLine(line)) {
      std::istringstream words(line);
      std::string word;
      int index = 0, rc = -1, number = 0;
      words >> word >> index >> rc >> number;
      if (word == "RECEIPT" && rc == 0) numbers.push_back(number);
    }
    return numbers;
  }

 private:
  tProcessorSession& fSession;
  std::string fLogId;
  std::string fRequestFile;
  std::unique_ptr<ChildProcess> fProcess;
};

std::vector<tHostCall> OpenOnly(tProcessorSession& aSession) {
  return aSession.Run(Session::Call("OPEN", aSession.Request(0)));
}

TEST(ReceiptSettlement, HostsKilledAtRandomLeaveEveryNumberJournaledOrRecorded) {
  tProcessorSession session;
  session.WriteCounters(0, 1);
  const char* amounts[] = {"1.25", "2.5", "4"};
  std::vector<std::unique_ptr<tReceiptHost>> hosts;
  int started = 0;
  auto start = [&](int aSlot) {
    hosts[aSlot] =
        std::make_unique<tReceiptHost>(session, "H" + std::to_string(started++), amounts[aSlot]);
  };
  hosts.resize(3);
  for (int slot = 0; slot < 3; ++slot) start(slot);
  std::mt19937 random(20231209);
  constexpr int kKills = 24;
  for (int kill = 0; kill < kKills; ++kill) {
    const int slot = std::uniform_int_distribution<int>(0, 2)(random);
    std::string line;
    ASSERT_TRUE(hosts[slot]->ReadLine(line)) << "kill " << kill;
    platform::SleepMilliseconds(std::uniform_int_distribution<int>(0, 60)(random));
    hosts[slot]->Kill();
    EXPECT_EQ(hosts[slot]->Wait(), -9);
    start(slot);
  }
  for (auto& host : hosts) {
    std::string line;
    host->ReadLine(line);
    platform::SleepMilliseconds(std::uniform_int_distribution<int>(0, 40)(random));
    host->Kill();
    host->Wait();
  }
  hosts.clear();

  const auto opened = OpenOnly(session);
  ASSERT_EQ(opened.size(), 1u);
  ASSERT_EQ(opened[0].rc, 0) << opened[0].error.value_or("");
  const tTillAudit audit = AuditTill(session);
  EXPECT_TRUE(audit.faults.empty()) << FaultText(audit);
  std::string findings;
  EXPECT_EQ(VerifyTill(session, findings), 0) << findings;
  EXPECT_GT(audit.currentReceiptNo, kKills);
  // Only deaths between the counting and the journal file leave error records, and every
  // one of them says so.
  EXPECT_EQ(audit.Failed(), audit.Failed("Interrupted"));
  EXPECT_GT(audit.Failed("Interrupted"), 0);
  std::printf("receipts %d, journaled %d, interrupted %d\n", audit.currentReceiptNo,
              audit.Journaled(), audit.Failed("Interrupted"));
}

TEST(ReceiptSettlement, AHostKilledMidReceiptNeverSettlesAnotherHostsReceipt) {
  tProcessorSession session;
  session.WriteCounters(0, 1);
  // Slow signing keeps receipts in flight while the other host opens and counts.
  session.SetBoxControl("Sign.delay=40");
  constexpr int kSteadyReceipts = 30;
  tReceiptHost steady(session, "S", "2.22", kSteadyReceipts);
  std::mt19937 random(77);
  for (int kill = 0; kill < 8; ++kill) {
    tReceiptHost killed(session, "K" + std::to_string(kill), "1.11");
    std::string line;
    ASSERT_TRUE(killed.ReadLine(line));
    platform::SleepMilliseconds(std::uniform_int_distribution<int>(20, 120)(random));
    killed.Kill();
    EXPECT_EQ(killed.Wait(), -9);
  }
  const std::vector<int> answered = steady.AnsweredNumbers();
  EXPECT_EQ(steady.Wait(), 0);
  ASSERT_EQ(answered.size(), static_cast<std::size_t>(kSteadyReceipts));
  session.SetBoxControl("");

  ASSERT_EQ(OpenOnly(session).size(), 1u);
  const tTillAudit audit = AuditTill(session);
  EXPECT_TRUE(audit.faults.empty()) << FaultText(audit);
  std::string findings;
  EXPECT_EQ(VerifyTill(session, findings), 0) << findings;
  for (int number : answered) {
    const auto found = audit.numbers.find(number);
    ASSERT_NE(found, audit.numbers.end()) << number;
    ASSERT_EQ(found->second.size(), 1u) << number;
    EXPECT_FALSE(found->second[0].failed) << found->second[0].file;
    EXPECT_EQ(base::CurrencyToXmlText(found->second[0].amount), "2.22") << number;
  }
  // Every error record is one of the killed hosts'.
  for (const auto& [number, files] : audit.numbers) {
    for (const tAccountedReceipt& file : files) {
      if (file.failed) {
        EXPECT_EQ(base::CurrencyToXmlText(file.amount), "1.11") << file.file;
      }
    }
  }
}

TEST(ReceiptSettlement, DayClosedWhileAReceiptWasInFlightIsNotChanged) {
  tProcessorSession session;
  session.WriteCounters(0, 1);
  session.SetBoxControl("Sign.delay=4000");
  tReceiptHost host(session, "Z", "3", 1);
  // Wait until the receipt is counted (its queue record is there).
  for (int wait = 0; wait < 200 && session.QueueFiles().empty(); ++wait) {
    platform::SleepMilliseconds(25);
  }
  ASSERT_EQ(session.QueueFiles(), std::vector<std::string>{"0001-0000001.fprq"});
  const auto zReport = session.Run(Session::Call("OPEN", session.Request(0)) +
                                   Session::Call("PROCESSZREPORT", session.Request(1)));
  ASSERT_EQ(zReport.size(), 2u);
  ASSERT_EQ(zReport[1].rc, 0) << zReport[1].error.value_or("");
  // The receipt in flight was neither settled nor left out of the day.
  EXPECT_EQ(XmlElement(*zReport[1].output, "DayReceiptsNumber"), "1");
  EXPECT_EQ(session.QueueFiles(), std::vector<std::string>{"0001-0000001.fprq"});
  session.SetBoxControl("Sign.status=2");
  std::string line;
  ASSERT_TRUE(host.ReadLine(line));
  ASSERT_TRUE(host.ReadLine(line));
  EXPECT_EQ(line.rfind("FAILED 1 Error when signing the receipt: [2]", 0), 0u) << line;
  EXPECT_EQ(host.Wait(), 1);

  // The closed day keeps its figures; the record says where the amount was counted.
  EXPECT_EQ(XmlElement(FileText(session.TodayJournalFolder() + "/0001-9999.fprd"), "DailySales"),
            "3");
  EXPECT_EQ(session.Counters()["CurrentZReportNo"], "2");
  EXPECT_EQ(session.Counters()["DailySales"], "0");
  EXPECT_EQ(session.Counters()["GrandTotalSales"], "3");
  ASSERT_EQ(session.TodayErrorFiles(), std::vector<std::string>{"0001-0000001.fpre"});
  const std::string record = FileText(session.TodayErrorFolder() + "/0001-0000001.fpre");
  EXPECT_EQ(XmlElement(record, "Step"), "Signing");
  EXPECT_EQ(XmlElement(record, "CountedInZReport"), "1");
  EXPECT_TRUE(session.QueueFiles().empty());
}

// ---- Queue records as a death leaves them ----------------------------------------------------

class AbandonedQueueRecord : public ::testing::Test {
 protected:
  std::string Queue(const std::string& aName) { return fSession.TillFolder() + "/Queue/" + aName; }
  // A queue record of a sale of 10 with counter number and receipt number aNumber.
  std::string Record(int aNumber, const std::string& aExtra = "") {
    return "<?xml version=\"1.0\"?><QueuedReceipt><CounterNumber>" + std::to_string(aNumber) +
           "</CounterNumber><Number>" + std::to_string(aNumber) +
           "</Number><ZReportNumber>1</ZReportNumber><DateTime>" + fDateTime +
           "</DateTime><Type>Sale</Type><Amount>10</Amount>" + aExtra +
           "<Request>&lt;FiscalRequest&gt;receipt " + std::to_string(aNumber) +
           "&lt;/FiscalRequest&gt;</Request></QueuedReceipt>";
  }
  std::string Journal(int aNumber) {
    return "<FiscalRequest><Receipt><Type>Sale</Type><Number>" + std::to_string(aNumber) +
           "</Number><DateTime>" + fDateTime +
           "</DateTime><ZReportNumber>1</ZReportNumber><TotalAmount>10</TotalAmount></Receipt>"
           "</FiscalRequest>";
  }
  std::string Error(const std::string& aName) {
    return FileText(fSession.TodayErrorFolder() + "/" + aName);
  }

  tProcessorSession fSession;
  std::string fDateTime = base::DateTimeToXmlText(false, base::NowDateTime());
};

TEST_F(AbandonedQueueRecord, SettledAtOpenByWhatTheCountersAndTheJournalShow) {
  fSession.WriteCounters(5, 1, {{"DailySales", "50"}, {"GrandTotalSales", "50"}});
  WriteFile(Queue("0001-0000004.fprq"), Record(4));  // journaled, then the host died
  WriteFile(fSession.TodayJournalFolder() + "/0001-0000004.fprd", Journal(4));
  WriteFile(Queue("0001-0000005.fprq"), Record(5));  // counted, never journaled
  WriteFile(Queue("0001-0000006.fprq"), Record(6));  // never counted
  WriteFile(Queue("0001-0000007.fprq"), "");         // died while writing it
  const auto opened = OpenOnly(fSession);
  ASSERT_EQ(opened.size(), 1u);
  ASSERT_EQ(opened[0].rc, 0) << opened[0].error.value_or("");
  EXPECT_TRUE(fSession.QueueFiles().empty());
  EXPECT_EQ(fSession.Counters()["CurrentReceiptNo"], "5");
  EXPECT_EQ(fSession.Counters()["DailySales"], "40");
  EXPECT_EQ(fSession.Counters()["DailyTotal"], "40");
  EXPECT_EQ(fSession.Counters()["GrandTotalSales"], "40");
  ASSERT_EQ(fSession.TodayErrorFiles(), std::vector<std::string>{"0001-0000005.fpre"});
  const std::string record = Error("0001-0000005.fpre");
  EXPECT_EQ(XmlElement(record, "Step"), "Interrupted");
  EXPECT_EQ(XmlElement(record, "Number"), "5");
  EXPECT_EQ(XmlElement(record, "DateTime"), fDateTime);
  EXPECT_EQ(XmlElement(record, "Amount"), "10");
  EXPECT_EQ(XmlElement(record, "Request"), "&lt;FiscalRequest&gt;receipt 5&lt;/FiscalRequest&gt;");
  EXPECT_EQ(XmlElement(record, "CountedInZReport"), "");
  EXPECT_TRUE(Contains(fSession.LogText(), " - ERROR - FailedReceipt:Receipt 5 [Interrupted]"));
}

TEST_F(AbandonedQueueRecord, ARecordThatCannotBeRemovedIsLeftForLaterNotLoggedAsRemoved) {
  fSession.WriteCounters(5, 1, {{"DailySales", "50"}, {"GrandTotalSales", "50"}});
  WriteFile(Queue("0001-0000006.fprq"), Record(6));  // never counted
  // A queue folder in which the system refuses every removal.
  tProtectedPath queue(fSession.TillFolder() + "/Queue", tProtectedPath::tKind::AppendOnly);
  if (!queue.IsSet()) GTEST_SKIP() << "no folder here refuses removals";
  auto opened = OpenOnly(fSession);
  ASSERT_EQ(opened.size(), 1u);
  ASSERT_EQ(opened[0].rc, 0) << opened[0].error.value_or("");
  EXPECT_EQ(fSession.QueueFiles(), std::vector<std::string>{"0001-0000006.fprq"});
  std::string log = fSession.LogText();
  EXPECT_TRUE(Contains(log, "0001-0000006.fprq\" is left for later: Cannot delete \"")) << log;
  EXPECT_TRUE(Contains(log, "0001-0000006.fprq\": Operation not permitted")) << log;
  EXPECT_FALSE(Contains(log, "never counted, removed")) << log;

  queue.Clear();
  opened = OpenOnly(fSession);
  ASSERT_EQ(opened.size(), 1u);
  ASSERT_EQ(opened[0].rc, 0) << opened[0].error.value_or("");
  EXPECT_TRUE(fSession.QueueFiles().empty());
  EXPECT_TRUE(Contains(fSession.LogText(), "0001-0000006.fprq\": never counted, removed"));
  EXPECT_EQ(fSession.Counters()["CurrentReceiptNo"], "5");
}

TEST_F(AbandonedQueueRecord, HalfRecordedFailureTakesTheAmountBackExactlyOnce) {
  // Died after noting the failure, before the counters were changed...
  fSession.WriteCounters(3, 1, {{"DailySales", "30"}, {"GrandTotalSales", "130"}});
  WriteFile(Queue("0001-0000002.fprq"),
            Record(2,
                   "<Step>Signing</Step><Message>Refused</Message><TotalBefore>130"
                   "</TotalBefore>"));
  ASSERT_EQ(OpenOnly(fSession).size(), 1u);
  EXPECT_EQ(fSession.Counters()["DailySales"], "20");
  EXPECT_EQ(fSession.Counters()["GrandTotalSales"], "120");
  EXPECT_EQ(XmlElement(Error("0001-0000002.fpre"), "Step"), "Signing");
  EXPECT_EQ(XmlElement(Error("0001-0000002.fpre"), "Message"), "Refused");

  // ... and after the counters were changed: they are left as they are.
  WriteFile(Queue("0001-0000003.fprq"),
            Record(3,
                   "<Step>Journal</Step><Message>Disk full</Message><Signature>AB CD"
                   "</Signature><TotalBefore>130</TotalBefore>"));
  ASSERT_EQ(OpenOnly(fSession).size(), 1u);
  EXPECT_EQ(fSession.Counters()["DailySales"], "20");
  EXPECT_EQ(fSession.Counters()["GrandTotalSales"], "120");
  EXPECT_EQ(XmlElement(Error("0001-0000003.fpre"), "Signature"), "AB CD");

  // ... and after the error record was written: it is not written twice.
  WriteFile(Queue("0001-0000002.fprq"),
            Record(2,
                   "<Step>Signing</Step><Message>Refused</Message><TotalBefore>130"
                   "</TotalBefore>"));
  ASSERT_EQ(OpenOnly(fSession).size(), 1u);
  EXPECT_EQ(fSession.Counters()["DailySales"], "20");
  EXPECT_EQ(fSession.TodayErrorFiles(),
            (std::vector<std::string>{"0001-0000002.fpre", "0001-0000003.fpre"}));
  EXPECT_TRUE(fSession.QueueFiles().empty());
}

TEST(ReplaceDebris, TemporaryFilesOfInterruptedWritesAreRemovedAtOpen) {
  tProcessorSession session;
  session.WriteCounters(0, 1);
  const std::string till = session.TillFolder();
  const std::string day = session.TodayJournalFolder();
  for (const std::string& path :
       {till + "/.counters.actual.fprc.Ab3xYz.tmp", day + "/.0001-0000001.fprd.Qw12Er.tmp",
        till + "/Queue/.0001-0000002.fprq.zzzzzz.tmp", till + "/notes.tmp",
        till + "/.counters.actual.fprc.tmp", day + "/.0001-0000001.fprd.Qw-2Er.tmp"}) {
    WriteFile(path, "partial");
  }
  const auto opened = OpenOnly(session);
  ASSERT_EQ(opened.size(), 1u);
  ASSERT_EQ(opened[0].rc, 0) << opened[0].error.value_or("");
  EXPECT_FALSE(platform::FileExists(till + "/.counters.actual.fprc.Ab3xYz.tmp"));
  EXPECT_FALSE(platform::FileExists(day + "/.0001-0000001.fprd.Qw12Er.tmp"));
  EXPECT_FALSE(platform::FileExists(till + "/Queue/.0001-0000002.fprq.zzzzzz.tmp"));
  // Names of other patterns are not ours to remove.
  EXPECT_TRUE(platform::FileExists(till + "/notes.tmp"));
  EXPECT_TRUE(platform::FileExists(till + "/.counters.actual.fprc.tmp"));
  EXPECT_TRUE(platform::FileExists(day + "/.0001-0000001.fprd.Qw-2Er.tmp"));
  const std::string log = session.LogText();
  EXPECT_TRUE(Contains(log,
                       "Removed 1 temporary file(s) of interrupted writes in "
                       "\"C:\\QV_FPR_DB\\T1\"\r\n"))
      << log;
}

}  // namespace
}  // namespace qv::testing
