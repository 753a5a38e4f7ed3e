// One fiscal receipt end to end against the file work it cannot avoid.
//
// BM_ReceiptEndToEnd loads the built library QVFP_CYKAVREN_10 as a host does (from this
// program's folder, with the stand-in receipt printer and signing box beside it), opens a
// till and sends PROCESSRECEIPT: counting under the lock, laying out the receipt text in
// the printer driver, signing it in the box, writing the journal file and the log.
// BM_BareReceiptFileWork does only the file work of one receipt with the platform calls:
// take the counters lock, read the counters file and replace it atomically, release the
// lock, write and delete the receipt-text file, replace the journal file atomically. Both
// run on the local disk in the same run; their ratio is the figure to read on a noisy
// machine (target: end to end at most three times the bare work).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

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
using qv::platform::OleStr;
using tOpen = int32_t (*)(OleStr, int32_t*, OleStr*);
using tProcess = int32_t (*)(OleStr, OleStr*, OleStr*);

std::string Request(int aHandle) {
  return qv::bench::TillRequest("BENCH", aHandle, qv::bench::kSaleReceipt);
}

using qv::bench::TakeText;

// The output and receipt text of one real receipt, as the bare work's file contents.
std::string gJournalSample;

void BM_ReceiptEndToEnd(benchmark::State& aState) {
  qv::bench::ScratchTill till("e2e");
  const std::string library =
      (fs::path(qv::platform::ExecutablePath()).parent_path() / "QVFP_CYKAVREN_10.so").string();
  qv::platform::DynamicLibrary driver;
  std::string error;
  if (!driver.Load(library, error)) {
    aState.SkipWithError(("cannot load " + library + ": " + error).c_str());
    return;
  }
  auto open = reinterpret_cast<tOpen>(driver.Symbol("OPEN"));
  auto process = reinterpret_cast<tProcess>(driver.Symbol("PROCESSRECEIPT"));
  int32_t handle = 0;
  OleStr openError = nullptr;
  qv::platform::OleString openRequest(Request(0));
  if (open(openRequest.Get(), &handle, &openError) != 0) {
    aState.SkipWithError(("OPEN failed: " + TakeText(openError)).c_str());
    return;
  }
  const qv::platform::OleString request(Request(handle));
  for (auto _ : aState) {
    OleStr output = nullptr;
    OleStr failure = nullptr;
    if (process(request.Get(), &output, &failure) != 0) {
      aState.SkipWithError(("PROCESSRECEIPT failed: " + TakeText(failure)).c_str());
      break;
    }
    gJournalSample = TakeText(output);
  }
  aState.SetItemsProcessed(aState.iterations());
  aState.counters["journal_bytes"] = static_cast<double>(gJournalSample.size());
}
BENCHMARK(BM_ReceiptEndToEnd)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_BareReceiptFileWork(benchmark::State& aState) {
  qv::bench::ScratchTill till("bare");
  const std::string countersFile = till.Path("C/counters.actual.fprc");
  const std::string lockFile = till.Path("work/QVFP_CYKAVREN.Lock");
  const std::string journalFolder =
      till.Path("C/Processed/" + qv::base::FormatDateTime("yyyymmdd", qv::base::NowDateTime()));
  qv::platform::ForceDirectories(journalFolder);
  // The counters file as the store writes it, and a receipt text of the printer's size.
  qv::platform::ReplaceFileAtomically(
      countersFile,
      "<?xml version=\"1.0\"?>\r\n<FPRCounters><TillSerial>T1</TillSerial>"
      "<CreatedAt>2023-08-09T09:39:19</CreatedAt><LastUpdatedAt>2023-08-09T09:39:19"
      "</LastUpdatedAt><CurrentReceiptNo>41</CurrentReceiptNo><CurrentZReportNo>3"
      "</CurrentZReportNo><DailyTotal>1234.5</DailyTotal><DailySales>1234.5</DailySales>"
      "<DailyRefunds>0</DailyRefunds><DailyVoids>0</DailyVoids><DailyDiscounts>0"
      "</DailyDiscounts><GrandTotalTotal>98765.43</GrandTotalTotal><GrandTotalSales>98765.43"
      "</GrandTotalSales><GrandTotalRefunds>0</GrandTotalRefunds><GrandTotalVoids>0"
      "</GrandTotalVoids><GrandTotalDiscounts>0</GrandTotalDiscounts><TrainingMode>False"
      "</TrainingMode></FPRCounters>\r\n");
  const std::string journal = gJournalSample.empty() ? std::string(3000, 'x') : gJournalSample;
  const std::string receiptText(1200, 'r');
  std::string content, error;
  int64_t number = 0;
  for (auto _ : aState) {
    qv::platform::LockFile lock;
    if (!lock.TryAcquire(lockFile, error)) aState.SkipWithError(error.c_str());
    if (!qv::platform::ReadWholeFile(countersFile, content, error)) {
      aState.SkipWithError(error.c_str());
    }
    qv::platform::ReplaceFileAtomically(countersFile, content);
    lock.Release();
    const std::string textFile = qv::platform::CreateTemporaryFile("tmp");
    if (!qv::platform::WriteWholeFile(textFile, receiptText, error)) {
      aState.SkipWithError(error.c_str());
    }
    qv::platform::DeleteFile(textFile);
    qv::platform::ReplaceFileAtomically(
        journalFolder + "/0003-" + std::to_string(1000000 + ++number) + ".fprd", journal);
  }
  aState.SetItemsProcessed(aState.iterations());
  aState.counters["journal_bytes"] = static_cast<double>(journal.size());
}
BENCHMARK(BM_BareReceiptFileWork)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
