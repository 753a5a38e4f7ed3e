// Several host processes on one till at the same time, and host processes killed without
// warning while they process receipts: every receipt gets its own number, no amount is lost
// and the counters file is whole at every moment.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <pugixml.hpp>

#include "base/currency.h"
#include "base/utils.h"
#include "kavren/support/child_process.h"
#include "kavren/support/processor_session.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "support/file_status_assertions.h"

namespace qv::testing {
namespace {

// The counters file as a reader sees it: whole XML with its figures, or a complaint.
struct tCountersSnapshot {
  bool whole = false;
  std::string complaint;
  int32_t receiptNo = 0;
  base::Currency dailySales;
  base::Currency grandTotalSales;
};

tCountersSnapshot ReadCounters(const std::string& aPath) {
  tCountersSnapshot snapshot;
  pugi::xml_document document;
  const pugi::xml_parse_result parsed = document.load_file(aPath.c_str());
  if (!parsed) {
    snapshot.complaint = parsed.description();
    return snapshot;
  }
  const pugi::xml_node root = document.child("FPRCounters");
  if (std::distance(root.children().begin(), root.children().end()) != 16) {
    snapshot.complaint = "not sixteen figures";
    return snapshot;
  }
  if (!base::TryStrToInt(root.child("CurrentReceiptNo").text().get(), snapshot.receiptNo) ||
      !base::TryStrToCurrency(root.child("DailySales").text().get(), snapshot.dailySales) ||
      !base::TryStrToCurrency(root.child("GrandTotalSales").text().get(),
                              snapshot.grandTotalSales)) {
    snapshot.complaint = "figures that do not convert";
    return snapshot;
  }
  snapshot.whole = true;
  return snapshot;
}

std::string ReceiptRequest(const tProcessorSession& aSession, const std::string& aLogId,
                           const std::string& aAmount) {
  std::string request = aSession.Request(0, ReceiptXml(aAmount));
  const std::string logId = "<LogId>" + aSession.LogId() + "</LogId>";
  return request.replace(request.find(logId), logId.size(), "<LogId>" + aLogId + "</LogId>");
}

std::string WriteRequestFile(const tProcessorSession& aSession, const std::string& aName,
                             const std::string& aRequest) {
  const std::string path = aSession.Folder() + "/" + aName;
  std::string error;
  EXPECT_TRUE(StatusOk(platform::WriteWholeFile(path, aRequest)));
  return path;
}

// A host process that sends aCount receipts, started in the session's working directory
// unless aWorkFolder names another.
std::unique_ptr<ChildProcess> StartReceipts(const tProcessorSession& aSession,
                                            const std::string& aRequestFile, int aCount,
                                            const std::string& aWorkFolder = "") {
  aSession.PrepareEnvironment();
  const std::string bin = BuildBinFolder();
  return std::make_unique<ChildProcess>(
      bin + "/processor_host",
      std::vector<std::string>{bin + "/QVFP_CYKAVREN_10.so", "receipts", aRequestFile,
                               std::to_string(aCount)},
      aWorkFolder.empty() ? aSession.WorkFolder() : aWorkFolder);
}

// The receipt numbers a host printed ("RECEIPT i rc number"), each answered with 0.
std::vector<int> ReceiptNumbers(ChildProcess& aHost) {
  std::vector<int> numbers;
  std::string line;
  while (aHost.ReadLine(line)) {
    std::istringstream words(line);
    std::string word;
    int index = 0, rc = -1, number = 0;
    words >> word;
    if (word != "RECEIPT") {
      EXPECT_EQ(word, "OPENED") << line;
      continue;
    }
    words >> index >> rc >> number;
    EXPECT_EQ(rc, 0) << line;
    numbers.push_back(number);
  }
  return numbers;
}

void DeleteLog(const std::string& aLogId) {
  platform::DeleteFile(BuildBinFolder() + "/LogFiles/FiscalPrinter/QVFP_CYKAVREN_10_" + aLogId +
                       "_" + TodayStamp() + ".log")
      .IgnoreFailure();
}

// Watches the counters file until stopped: every read must find it whole, with a receipt
// number that never goes back.
class tCountersWatcher {
 public:
  explicit tCountersWatcher(std::string aPath)
      : fPath(std::move(aPath)), fThread([this] { Watch(); }) {}
  ~tCountersWatcher() { Stop(); }
  void Stop() {
    fStop = true;
    if (fThread.joinable()) fThread.join();
  }
  int Reads() const { return fReads; }
  const std::string& Fault() const { return fFault; }

 private:
  void Watch() {
    int32_t last = 0;
    while (!fStop) {
      const tCountersSnapshot snapshot = ReadCounters(fPath);
      ++fReads;
      if (!snapshot.whole && fFault.empty())
        fFault = "read " + std::to_string(fReads) + ": " + snapshot.complaint;
      if (snapshot.whole && snapshot.receiptNo < last && fFault.empty()) {
        fFault = "receipt number went back from " + std::to_string(last) + " to " +
                 std::to_string(snapshot.receiptNo);
      }
      if (snapshot.whole) last = snapshot.receiptNo;
      platform::SleepMilliseconds(2);
    }
  }

  std::string fPath;
  std::atomic<bool> fStop{false};
  std::atomic<int> fReads{0};
  std::string fFault;  // written by the watching thread only, read after Stop
  std::thread fThread;
};

TEST(ProcessorConcurrency, FourProcessesOnOneTillShareTheNumbersExactly) {
  tProcessorSession session;
  session.WriteCounters(0, 1);
  const char* amounts[] = {"1.01", "2.02", "3.03", "4.04"};
  constexpr int kReceiptsEach = 50;
  std::vector<std::unique_ptr<ChildProcess>> hosts;
  std::vector<std::string> logIds;
  tCountersWatcher watcher(session.CountersFile());
  for (int i = 0; i < 4; ++i) {
    logIds.push_back(session.LogId() + "P" + std::to_string(i));
    const std::string file = WriteRequestFile(session, "request" + std::to_string(i) + ".xml",
                                              ReceiptRequest(session, logIds.back(), amounts[i]));
    hosts.push_back(StartReceipts(session, file, kReceiptsEach));
  }
  std::multiset<int> numbers;
  for (auto& host : hosts) {
    std::string line;
    while (host->ReadLine(line)) {
      std::istringstream words(line);
      std::string word;
      int index = 0, rc = 0, number = 0;
      words >> word;
      if (word != "RECEIPT") {
        EXPECT_EQ(word, "OPENED") << line;
        continue;
      }
      words >> index >> rc >> number;
      EXPECT_EQ(rc, 0);
      numbers.insert(number);
    }
    EXPECT_EQ(host->Wait(), 0);
  }
  watcher.Stop();
  for (const std::string& logId : logIds) DeleteLog(logId);

  ASSERT_EQ(numbers.size(), 200u);
  for (int number = 1; number <= 200; ++number) {
    EXPECT_EQ(numbers.count(number), 1u) << number;
  }
  const tCountersSnapshot counters = ReadCounters(session.CountersFile());
  ASSERT_TRUE(counters.whole) << counters.complaint;
  EXPECT_EQ(counters.receiptNo, 200);
  EXPECT_EQ(base::CurrencyToXmlText(counters.dailySales), "505");
  EXPECT_EQ(base::CurrencyToXmlText(counters.grandTotalSales), "505");
  const std::vector<std::string> journal = session.TodayJournalFiles();
  ASSERT_EQ(journal.size(), 200u);
  for (int number = 1; number <= 200; ++number) {
    const std::string name = "0001-" + base::FixedWidthNumber(number, 7, 0, false, "") + ".fprd";
    EXPECT_TRUE(std::binary_search(journal.begin(), journal.end(), name)) << name;
  }
  EXPECT_TRUE(watcher.Fault().empty()) << watcher.Fault();
  EXPECT_GT(watcher.Reads(), 10);
}

TEST(ProcessorConcurrency, HostsOfOneTillInTwoWorkingDirectoriesNeverShareANumber) {
  tProcessorSession session;
  session.WriteCounters(0, 1);
  constexpr int kReceiptsEach = 50;
  std::vector<std::unique_ptr<ChildProcess>> hosts;
  std::vector<std::string> logIds;
  for (int i = 0; i < 2; ++i) {
    // Each host runs in a working directory of its own, so its lock file there is its own.
    const std::string workFolder = session.Folder() + "/work" + std::to_string(i);
    ASSERT_TRUE(StatusOk(platform::ForceDirectories(workFolder)));
    logIds.push_back(session.LogId() + "W" + std::to_string(i));
    const std::string file = WriteRequestFile(session, "request" + std::to_string(i) + ".xml",
                                              ReceiptRequest(session, logIds.back(), "1.5"));
    hosts.push_back(StartReceipts(session, file, kReceiptsEach, workFolder));
  }
  std::multiset<int> numbers;
  for (auto& host : hosts) {
    for (int number : ReceiptNumbers(*host)) numbers.insert(number);
    EXPECT_EQ(host->Wait(), 0);
  }
  for (const std::string& logId : logIds) DeleteLog(logId);

  ASSERT_EQ(numbers.size(), 100u);
  EXPECT_EQ(std::set<int>(numbers.begin(), numbers.end()).size(), 100u) << "a number twice";
  EXPECT_EQ(*numbers.begin(), 1);
  EXPECT_EQ(*numbers.rbegin(), 100);
  const tCountersSnapshot counters = ReadCounters(session.CountersFile());
  ASSERT_TRUE(counters.whole) << counters.complaint;
  EXPECT_EQ(counters.receiptNo, 100);
  EXPECT_EQ(base::CurrencyToXmlText(counters.dailySales), "150");
  EXPECT_EQ(session.TodayJournalFiles().size(), 100u);
}

TEST(ProcessorConcurrency, KilledHostsNeverLeaveTheCountersBehindOrBroken) {
  tProcessorSession session;
  session.WriteCounters(0, 1);
  const std::string logId = session.LogId() + "K";
  const std::string file =
      WriteRequestFile(session, "request.xml", ReceiptRequest(session, logId, "1.25"));
  std::mt19937 random(20230809);
  int32_t counted = 0;  // receipt number of the counters after the previous host
  int answered = 0;
  int inFlightCounted = 0;  // rounds whose unanswered receipt was already counted
  tCountersWatcher watcher(session.CountersFile());
  for (int round = 0; round < 50; ++round) {
    auto host = StartReceipts(session, file, 100000);
    std::string line;
    ASSERT_TRUE(host->ReadLine(line)) << "round " << round;
    ASSERT_EQ(line, "OPENED 1") << "round " << round;
    // Let it answer a few receipts, then kill it somewhere inside the next one.
    const int waitFor = std::uniform_int_distribution<int>(0, 2)(random);
    for (int i = 0; i < waitFor; ++i) ASSERT_TRUE(host->ReadLine(line));
    platform::SleepMilliseconds(std::uniform_int_distribution<int>(0, 30)(random));
    host->Kill();
    EXPECT_EQ(host->Wait(), -9);
    int receipts = waitFor;
    while (host->ReadLine(line)) {
      ASSERT_EQ(line.rfind("RECEIPT ", 0), 0u) << line;
      ++receipts;
    }
    answered += receipts;

    const tCountersSnapshot counters = ReadCounters(session.CountersFile());
    ASSERT_TRUE(counters.whole) << "round " << round << ": " << counters.complaint;
    // Every answered receipt is counted; at most the one in flight was counted on top.
    EXPECT_GE(counters.receiptNo, counted + receipts) << "round " << round;
    EXPECT_LE(counters.receiptNo, counted + receipts + 1) << "round " << round;
    // The number and the totals were written together; the receipts that earlier hosts left
    // unfinished were taken back out when the next host opened.
    const int32_t settled = static_cast<int32_t>(session.TodayErrorFiles().size());
    EXPECT_EQ(counters.dailySales, base::Currency::FromRaw(12500) *
                                       base::Currency::FromInteger(counters.receiptNo - settled))
        << "round " << round;
    if (counters.receiptNo == counted + receipts + 1) ++inFlightCounted;
    counted = counters.receiptNo;
  }
  watcher.Stop();
  EXPECT_TRUE(watcher.Fault().empty()) << watcher.Fault();
  EXPECT_GT(answered, 20);
  ::testing::Test::RecordProperty("answered", answered);
  ::testing::Test::RecordProperty("inFlightCounted", inFlightCounted);
  std::printf("answered %d, killed after counting %d of 50\n", answered, inFlightCounted);
  // The lock of the killed hosts is gone: a new host counts at once.
  auto host = StartReceipts(session, file, 1);
  std::string line;
  ASSERT_TRUE(host->ReadLine(line));
  ASSERT_TRUE(host->ReadLine(line));
  EXPECT_EQ(line, "RECEIPT 1 0 " + std::to_string(counted + 1));
  EXPECT_EQ(host->Wait(), 0);
  // Every journal file that was written is whole.
  for (const std::string& name : session.TodayJournalFiles()) {
    // A host killed while replacing a file leaves its hidden temporary file behind.
    if (name[0] == '.') continue;
    pugi::xml_document journal;
    EXPECT_TRUE(journal.load_file((session.TodayJournalFolder() + "/" + name).c_str())) << name;
  }
  DeleteLog(logId);
}

TEST(ProcessorConcurrency, ZReportInTheMiddleOfAnotherHostsReceiptsLosesNothing) {
  tProcessorSession session;
  session.WriteCounters(0, 1);
  const std::string logId = session.LogId() + "R";
  const std::string file =
      WriteRequestFile(session, "request.xml", ReceiptRequest(session, logId, "2.5"));
  constexpr int kReceipts = 30;
  auto host = StartReceipts(session, file, kReceipts);
  std::string line;
  ASSERT_TRUE(host->ReadLine(line));
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(host->ReadLine(line));
  const auto zReport = session.Run(tProcessorSession::Call("OPEN", session.Request(0)) +
                                   tProcessorSession::Call("PROCESSZREPORT", session.Request(1)));
  std::vector<int> numbers;
  while (host->ReadLine(line)) {
    std::istringstream words(line);
    std::string word;
    int index = 0, rc = 0, number = 0;
    words >> word >> index >> rc >> number;
    ASSERT_EQ(word, "RECEIPT") << line;
    numbers.push_back(number);
  }
  EXPECT_EQ(host->Wait(), 0);
  DeleteLog(logId);
  ASSERT_EQ(zReport.size(), 2u);
  ASSERT_EQ(zReport[1].rc, 0) << zReport[1].error.value_or("");
  const int closed = std::stoi(XmlElement(zReport[1].output.value_or(""), "DayReceiptsNumber"));
  EXPECT_GE(closed, 10);
  EXPECT_LE(closed, kReceipts);
  // The receipts after the Z-report start again at 1 in the next day, however many of them
  // the closed day took: the day turns over once, after its last receipt.
  ASSERT_EQ(numbers.size(), static_cast<std::size_t>(kReceipts - 10));
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    const int receipt = 11 + static_cast<int>(i);  // of the host's thirty
    const int expected = receipt <= closed ? receipt : receipt - closed;
    EXPECT_EQ(numbers[i], expected) << "receipt " << receipt << " of a day closed after " << closed;
  }
  // Every receipt is in exactly one day, with its amount.
  const std::string copy = FileText(session.TodayJournalFolder() + "/0001-9999.fprd");
  EXPECT_EQ(XmlElement(copy, "CurrentReceiptNo"), std::to_string(closed));
  EXPECT_EQ(XmlElement(copy, "DailySales"),
            base::CurrencyToXmlText(base::Currency::FromRaw(25000) *
                                    base::Currency::FromInteger(closed)));
  const tCountersSnapshot counters = ReadCounters(session.CountersFile());
  ASSERT_TRUE(counters.whole) << counters.complaint;
  EXPECT_EQ(counters.receiptNo, kReceipts - closed);
  EXPECT_EQ(base::CurrencyToXmlText(counters.grandTotalSales), "75");
  int journalReceipts = 0;
  for (const std::string& name : session.TodayJournalFiles()) {
    if (name.find("-9999.fprd") == std::string::npos) ++journalReceipts;
  }
  EXPECT_EQ(journalReceipts, kReceipts);
}

TEST(ProcessorConcurrency, TwoProcessorsOfOneHostOnOneTillNeverShareANumber) {
  tProcessorSession session;
  auto receipt = [&](int aHandle) {
    return tProcessorSession::Call("PROCESSRECEIPT", session.Request(aHandle, ReceiptXml("1")));
  };
  const auto calls = session.Run(tProcessorSession::Call("OPEN", session.Request(0)) +
                                 tProcessorSession::Call("OPEN", session.Request(0)) + receipt(1) +
                                 receipt(2) + receipt(2) + receipt(1));
  ASSERT_EQ(calls.size(), 6u);
  EXPECT_EQ(calls[1].handle, 2);
  const char* expected[] = {"1", "2", "3", "4"};
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(calls[2 + i].rc, 0) << calls[2 + i].error.value_or("");
    EXPECT_EQ(XmlElement(calls[2 + i].output.value_or(""), "Number"), expected[i]);
  }
  EXPECT_EQ(session.Counters()["DailySales"], "4");
}

}  // namespace
}  // namespace qv::testing
