// The file work of counting one receipt: take the counters lock, read the counters file,
// replace it atomically, release the lock. BM_BareCountersFileWork does exactly that with the
// platform calls alone; BM_CountersUpdate does it through the counters store (parsing,
// arithmetic, rendering on top). Both run in the same folder in the same run, so their ratio
// is what to read on a noisy machine.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "base/currency.h"
#include "bench_till.h"
#include "documents/codes.h"
#include "kavren/counters_store.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/lock_file.h"
#include "platform/process.h"

namespace {

namespace fs = std::filesystem;

// A folder of its own as the working directory (where the lock file lies) for one benchmark.
class BenchFolder {
 public:
  BenchFolder() : fPrevious(fs::current_path()) {
    fPath = fs::temp_directory_path() /
            ("qv_counters_bench_" + std::to_string(qv::platform::ProcessId()));
    fs::remove_all(fPath);
    fs::create_directories(fPath);
    fs::current_path(fPath);
  }
  ~BenchFolder() {
    fs::current_path(fPrevious);
    std::error_code ignored;
    fs::remove_all(fPath, ignored);
  }
  std::string File(const char* aName) const { return (fPath / aName).string(); }

 private:
  fs::path fPrevious;
  fs::path fPath;
};

void BM_BareCountersFileWork(benchmark::State& aState) {
  BenchFolder folder;
  const std::string file = folder.File("counters.actual.fprc");
  const std::string lockPath = folder.File(qv::kavren::kFiscalProcessorCounters::kLockFileName);
  {
    qv::kavren::kFiscalProcessorCounters counters;
    counters.Init(file, "T1");
  }
  std::string content;
  for (auto _ : aState) {
    qv::platform::LockFile lock;
    qv::bench::SkipOnFailure(aState, lock.TryAcquire(lockPath));
    qv::bench::SkipOnFailure(aState, qv::platform::ReadWholeFile(file, content));
    qv::bench::SkipOnFailure(aState, qv::platform::ReplaceFileAtomically(file, content));
    lock.Release();
  }
}
BENCHMARK(BM_BareCountersFileWork)->Unit(benchmark::kMicrosecond);

void BM_CountersUpdate(benchmark::State& aState) {
  BenchFolder folder;
  qv::kavren::kFiscalProcessorCounters counters;
  counters.Init(folder.File("counters.actual.fprc"), "T1");
  const auto amount = qv::base::Currency::FromRaw(12345);
  for (auto _ : aState) {
    counters.Update(qv::documents::rt_Sale, amount);
  }
  aState.counters["receipts"] = counters.CurrentReceiptNo();
}
BENCHMARK(BM_CountersUpdate)->Unit(benchmark::kMicrosecond);

void BM_CountersRefresh(benchmark::State& aState) {
  BenchFolder folder;
  qv::kavren::kFiscalProcessorCounters counters;
  counters.Init(folder.File("counters.actual.fprc"), "T1");
  for (auto _ : aState) {
    counters.Refresh();
    benchmark::DoNotOptimize(counters.CurrentReceiptNo());
  }
}
BENCHMARK(BM_CountersRefresh)->Unit(benchmark::kMicrosecond);

void BM_CountersLockUnlock(benchmark::State& aState) {
  BenchFolder folder;
  qv::kavren::kFiscalProcessorCounters counters;
  for (auto _ : aState) {
    counters.Lock();
    counters.Unlock();
  }
}
BENCHMARK(BM_CountersLockUnlock)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
