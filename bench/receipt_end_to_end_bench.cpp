// One fiscal receipt end to end against the file work it cannot avoid.
//
// BM_ReceiptEndToEnd loads the built library QVFP_CYKAVREN_10 as a host does (from this
// program's folder, with the stand-in receipt printer and signing box beside it), opens a
// till and sends PROCESSRECEIPT: counting under the lock, laying out the receipt text in
// the printer driver, signing it in the box, writing the journal file, its line in the
// journal chain and the log.
//
// The baselines do only the file work of one receipt, with the platform calls:
// - BM_ReceiptFileWork, the file work of a receipt today: take the counters locks (the
//   working directory's and the till's), look into the queue folder, read the counters file,
//   write the receipt's queue record and flush it and its folder to disk, replace the
//   counters file atomically, release the locks; write and delete the receipt-text file;
//   create the journal file atomically; under the locks again read the tail of the journal
//   chain and append its line durably; remove the queue record.
// - BM_ReceiptAndSigningDeviceFileWork, the same and the file work that the signing box
//   stand-in does for the signature (its lock, its device state read and replaced atomically,
//   its signature log line): what the stand-ins add that is not the library's.
// - BM_ReceiptFileWorkWithoutQueue, the file work before receipts had a queue record and a
//   chain line: one lock, counters, receipt-text file, journal file.
//
// All four run on the local disk in the same run, in random order, several times; the
// figures to read on a noisy machine are the ratios of the medians, in real time and in the
// CPU time of the whole process (the log threads included). Target: end to end at most 1.5
// times the file work of a receipt today.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/date_time.h"
#include "bench_till.h"
#include "platform/dynamic_library.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/lock_file.h"
#include "platform/ole_string.h"
#include "platform/process.h"

namespace {

namespace fs = std::filesystem;

constexpr double kTarget = 1.5;

std::string Request(int aHandle) {
  return qv::bench::TillRequest("BENCH", aHandle, qv::bench::kSaleReceipt);
}

// The library with a till opened in it and the request of one sale; Error() says what failed.
class tOpenedTill {
 public:
  tOpenedTill() {
    try {
      fTill = std::make_unique<qv::bench::OpenedTill>(Request(0));
      fRequest = qv::platform::OleString(Request(fTill->Handle()));
    } catch (const std::exception& aError) {
      fError = aError.what();
    }
  }
  const std::string& Error() const { return fError; }

  // One receipt; its updated request, or false with Error() set.
  bool Process(std::string& aOutput) {
    std::string failure;
    if (fTill->Process(fRequest, aOutput, failure) != 0) {
      fError = "PROCESSRECEIPT failed: " + failure;
      return false;
    }
    return true;
  }

 private:
  std::unique_ptr<qv::bench::OpenedTill> fTill;
  qv::platform::OleString fRequest;
  std::string fError;
};

// The journal text and the receipt text of one real receipt, as the baselines' file contents.
struct tSample {
  std::string journal;
  std::string receiptText;
};
tSample gSample;

void TakeSample() {
  qv::bench::ScratchTill till("sample");
  tOpenedTill opened;
  if (!opened.Error().empty() || !opened.Process(gSample.journal)) {
    std::fprintf(stderr, "No sample receipt (%s); the baselines write 3,000 bytes\n",
                 opened.Error().c_str());
    gSample.journal.assign(3000, 'x');
  }
  // A receipt text of the printer's size.
  gSample.receiptText.assign(1200, 'r');
}

void BM_ReceiptEndToEnd(benchmark::State& aState) {
  qv::bench::ScratchTill till("e2e");
  tOpenedTill opened;
  if (!opened.Error().empty()) {
    aState.SkipWithError(opened.Error().c_str());
    return;
  }
  std::string output;
  for (auto _ : aState) {
    if (!opened.Process(output)) {
      aState.SkipWithError(opened.Error().c_str());
      break;
    }
  }
  aState.SetItemsProcessed(aState.iterations());
  aState.counters["journal_bytes"] = static_cast<double>(output.size());
}
BENCHMARK(BM_ReceiptEndToEnd)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

// The counters file as the store writes it.
constexpr const char* kCountersText =
    "<?xml version=\"1.0\"?>\r\n<FPRCounters><TillSerial>T1</TillSerial>"
    "<CreatedAt>2023-08-09T09:39:19</CreatedAt><LastUpdatedAt>2023-08-09T09:39:19"
    "</LastUpdatedAt><CurrentReceiptNo>41</CurrentReceiptNo><CurrentZReportNo>3"
    "</CurrentZReportNo><DailyTotal>1234.5</DailyTotal><DailySales>1234.5</DailySales>"
    "<DailyRefunds>0</DailyRefunds><DailyVoids>0</DailyVoids><DailyDiscounts>0"
    "</DailyDiscounts><GrandTotalTotal>98765.43</GrandTotalTotal><GrandTotalSales>98765.43"
    "</GrandTotalSales><GrandTotalRefunds>0</GrandTotalRefunds><GrandTotalVoids>0"
    "</GrandTotalVoids><GrandTotalDiscounts>0</GrandTotalDiscounts><TrainingMode>False"
    "</TrainingMode></FPRCounters>\r\n";

// A queue record of the size the ledger writes: the receipt's facts and its request.
std::string QueueRecordText() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<QueuedReceipt>\n"
         "  <CounterNumber>42</CounterNumber>\n  <Number>42</Number>\n"
         "  <ZReportNumber>3</ZReportNumber>\n  <DateTime>2023-08-09T09:39:19</DateTime>\n"
         "  <Type>Sale</Type>\n  <Amount>12.7</Amount>\n  <Request>" +
         Request(1) + "</Request>\n</QueuedReceipt>\n";
}

// A line of the journal chain: the journal file's path in the till, two SHA-256 values.
std::string ChainLine(int64_t aNumber) {
  return "Processed\\20230809\\0003-" + std::to_string(1000000 + aNumber) + ".fprd " +
         std::string(64, 'a') + " " + std::string(64, 'b') + "\r\n";
}

// True when aStatus is a success; else false with its message in aError.
bool Done(const qv::platform::FileStatus& aStatus, std::string& aError) {
  if (!aStatus.IsOk()) aError = aStatus.Message();
  return aStatus.IsOk();
}

class tBareTill {
 public:
  explicit tBareTill(const qv::bench::ScratchTill& aTill)
      : fCountersFile(aTill.Path("C/counters.actual.fprc")),
        fWorkLock(aTill.Path("work/QVFP_CYKAVREN.Lock")),
        fTillLock(aTill.Path("C/QVFP_CYKAVREN.Lock")),
        fQueueFolder(aTill.Path("C/Queue")),
        fJournalFolder(aTill.Path("C/Processed/" +
                                  qv::base::FormatDateTime("yyyymmdd", qv::base::NowDateTime()))),
        fChainFile(aTill.Path("C/Journal/0003.fpch")),
        fBoxLock(aTill.Path("C/AlgoBox/box.lock")),
        fDeviceFolder(aTill.Path("C/AlgoBox/KVB0000001/")),
        fQueueRecord(QueueRecordText()) {
    for (const std::string& folder :
         {fQueueFolder, fJournalFolder, aTill.Path("C/Journal"), fDeviceFolder}) {
      qv::platform::ForceDirectories(folder).ThrowIfFailed();
    }
    qv::platform::ReplaceFileAtomically(fCountersFile, kCountersText).ThrowIfFailed();
    qv::platform::ReplaceFileAtomically(fDeviceFolder + "key.pem", std::string(119, 'k'))
        .ThrowIfFailed();
    qv::platform::ReplaceFileAtomically(fDeviceFolder + "state.txt", DeviceState()).ThrowIfFailed();
  }

  // The file work of one receipt today; false with aError set when a step fails.
  bool Receipt(std::string& aError) {
    const std::string name = NextName();
    const std::string queueFile = fQueueFolder + "/" + name + ".fprq";
    qv::platform::LockFile hold;
    {
      qv::platform::LockFile workLock, tillLock;
      if (!Done(workLock.TryAcquire(fWorkLock), aError) ||
          !Done(tillLock.TryAcquire(fTillLock), aError)) {
        return false;
      }
      benchmark::DoNotOptimize(qv::platform::ListFileNames(fQueueFolder));
      if (!Done(qv::platform::ReadWholeFile(fCountersFile, fContent), aError)) return false;
      if (!Done(hold.TryCreateHeld(queueFile, fQueueRecord), aError)) return false;
      if (!Done(qv::platform::ReplaceFileAtomically(fCountersFile, fContent), aError)) {
        return false;
      }
    }
    if (!WriteReceiptText(aError)) return false;
    const std::string journalFile = fJournalFolder + "/" + name + ".fprd";
    bool created = false;
    if (!qv::platform::FileExists(journalFile) &&
        !Done(qv::platform::CreateFileAtomically(journalFile, gSample.journal, created), aError)) {
      return false;
    }
    if (!created) {
      aError = "the journal file " + journalFile + " is there already";
      return false;
    }
    qv::platform::LockFile workLock, tillLock;
    if (!Done(workLock.TryAcquire(fWorkLock), aError) ||
        !Done(tillLock.TryAcquire(fTillLock), aError)) {
      return false;
    }
    std::string tail;
    int64_t size = 0;
    if (qv::platform::FileExists(fChainFile) &&
        !Done(qv::platform::ReadFileTail(fChainFile, 4096, tail, size), aError)) {
      return false;
    }
    if (!Done(qv::platform::AppendToFileDurably(fChainFile, ChainLine(fNumber)), aError)) {
      return false;
    }
    hold.Release();
    return Done(qv::platform::DeleteFile(queueFile), aError);
  }

  // The same and the file work of the signing box stand-in's device for the signature: its
  // lock, its state and key read, its state replaced atomically, its signature log line.
  bool ReceiptAndSignature(std::string& aError) {
    if (!Receipt(aError)) return false;
    qv::platform::LockFile lock;
    if (!Done(lock.TryAcquire(fBoxLock), aError)) return false;
    if (!Done(qv::platform::ReadWholeFile(fDeviceFolder + "state.txt", fContent), aError) ||
        !Done(qv::platform::ReadWholeFile(fDeviceFolder + "key.pem", fContent), aError) ||
        !Done(qv::platform::ReplaceFileAtomically(fDeviceFolder + "state.txt", DeviceState()),
              aError)) {
      return false;
    }
    return Done(qv::platform::AppendToFile(fDeviceFolder + "signatures.log",
                                           "SIGN;KVB0000001-" + std::to_string(10000000 + fNumber) +
                                               ";day=1;bytes=1200\n"),
                aError);
  }

  // The file work of one receipt before it had a queue record and a chain line.
  bool ReceiptWithoutQueue(std::string& aError) {
    const std::string name = NextName();
    qv::platform::LockFile lock;
    if (!Done(lock.TryAcquire(fWorkLock), aError) ||
        !Done(qv::platform::ReadWholeFile(fCountersFile, fContent), aError) ||
        !Done(qv::platform::ReplaceFileAtomically(fCountersFile, fContent), aError)) {
      return false;
    }
    lock.Release();
    if (!WriteReceiptText(aError)) return false;
    return Done(
        qv::platform::ReplaceFileAtomically(fJournalFolder + "/" + name + ".fprd", gSample.journal),
        aError);
  }

 private:
  std::string fCountersFile, fWorkLock, fTillLock, fQueueFolder, fJournalFolder, fChainFile;
  std::string fBoxLock, fDeviceFolder;
  std::string fQueueRecord;
  std::string fContent;
  int64_t fNumber = 0;

  std::string NextName() { return "0003-" + std::to_string(1000000 + ++fNumber); }
  // The receipt text handed to the printer driver: a temporary file written and removed.
  bool WriteReceiptText(std::string& aError) const {
    std::string textFile;
    return Done(qv::platform::CreateTemporaryFile("tmp", textFile), aError) &&
           Done(qv::platform::WriteWholeFile(textFile, gSample.receiptText), aError) &&
           Done(qv::platform::DeleteFile(textFile), aError);
  }
  std::string DeviceState() const {
    return "serial=KVB0000001\ncounter=" + std::to_string(fNumber) +
           "\nday=1\ndaySignatures=" + std::to_string(fNumber) + "\n";
  }
};

template <bool (tBareTill::*Work)(std::string&)>
void RunBareFileWork(benchmark::State& aState, const char* aName) {
  qv::bench::ScratchTill till(aName);
  tBareTill bare(till);
  std::string error;
  for (auto _ : aState) {
    if (!(bare.*Work)(error)) {
      aState.SkipWithError(error.c_str());
      break;
    }
  }
  aState.SetItemsProcessed(aState.iterations());
  aState.counters["journal_bytes"] = static_cast<double>(gSample.journal.size());
}

void BM_ReceiptFileWork(benchmark::State& aState) {
  RunBareFileWork<&tBareTill::Receipt>(aState, "files");
}
BENCHMARK(BM_ReceiptFileWork)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

void BM_ReceiptAndSigningDeviceFileWork(benchmark::State& aState) {
  RunBareFileWork<&tBareTill::ReceiptAndSignature>(aState, "files_device");
}
BENCHMARK(BM_ReceiptAndSigningDeviceFileWork)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

void BM_ReceiptFileWorkWithoutQueue(benchmark::State& aState) {
  RunBareFileWork<&tBareTill::ReceiptWithoutQueue>(aState, "files_noqueue");
}
BENCHMARK(BM_ReceiptFileWorkWithoutQueue)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

// Console output plus the median real and CPU time of one iteration of each benchmark over
// its repetitions.
class tRatioReporter : public benchmark::ConsoleReporter {
 public:
  // Without colours: the figures are read from logs as often as from a terminal.
  tRatioReporter() : ConsoleReporter(OO_Tabular) {}
  struct tTimes {
    double real = 0;
    double cpu = 0;
  };
  void ReportRuns(const std::vector<Run>& aRuns) override {
    for (const Run& run : aRuns) {
      if (run.iterations > 0 && run.run_type == Run::RT_Iteration && !run.error_occurred) {
        const double iterations = static_cast<double>(run.iterations);
        fReal[run.run_name.function_name].push_back(run.real_accumulated_time / iterations);
        fCpu[run.run_name.function_name].push_back(run.cpu_accumulated_time / iterations);
      }
    }
    ConsoleReporter::ReportRuns(aRuns);
  }
  // Medians in seconds; zeros when the benchmark did not run.
  tTimes Median(const std::string& aName) {
    return {MedianOf(fReal[aName]), MedianOf(fCpu[aName])};
  }

 private:
  static double MedianOf(std::vector<double>& aTimes) {
    if (aTimes.empty()) return 0;
    std::sort(aTimes.begin(), aTimes.end());
    const std::size_t middle = aTimes.size() / 2;
    return aTimes.size() % 2 == 1 ? aTimes[middle] : (aTimes[middle - 1] + aTimes[middle]) / 2;
  }
  std::map<std::string, std::vector<double>> fReal;
  std::map<std::string, std::vector<double>> fCpu;
};

void PrintRatio(const char* aBaseline, const tRatioReporter::tTimes& aEndToEnd,
                const tRatioReporter::tTimes& aFiles, bool aWithTarget) {
  if (aEndToEnd.real <= 0 || aFiles.real <= 0 || aFiles.cpu <= 0) return;
  const double real = aEndToEnd.real / aFiles.real;
  const double cpu = aEndToEnd.cpu / aFiles.cpu;
  std::printf(
      "End to end against %s: real %.2f ms / %.2f ms = %.2fx, CPU %.2f ms / %.2f ms = %.2fx",
      aBaseline, aEndToEnd.real * 1e3, aFiles.real * 1e3, real, aEndToEnd.cpu * 1e3,
      aFiles.cpu * 1e3, cpu);
  if (aWithTarget) {
    std::printf(" (target: end to end <= %.1f times the file work: real %s, CPU %s)", kTarget,
                real <= kTarget ? "met" : "NOT MET", cpu <= kTarget ? "met" : "NOT MET");
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (!qv::bench::InitializeInterleaved(argc, argv, 9)) return 1;
  TakeSample();
  tRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const tRatioReporter::tTimes endToEnd = reporter.Median("BM_ReceiptEndToEnd");
  PrintRatio("the file work of a receipt", endToEnd, reporter.Median("BM_ReceiptFileWork"),
             /*aWithTarget=*/true);
  PrintRatio("the file work of a receipt and of the signing box stand-in's device", endToEnd,
             reporter.Median("BM_ReceiptAndSigningDeviceFileWork"), /*aWithTarget=*/false);
  PrintRatio("the file work without queue record and chain line", endToEnd,
             reporter.Median("BM_ReceiptFileWorkWithoutQueue"), /*aWithTarget=*/false);
  benchmark::Shutdown();
  return 0;
}
