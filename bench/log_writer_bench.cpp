// How fast a caller hands a line to the log writer, and how fast the log thread gets the
// lines into the file (one open-append-close per line), each beside a baseline measured in
// the same run: formatting a line alone, and appending lines on the calling thread.
//
// The log files go to a scratch folder under the temporary folder, removed afterwards.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "framework/log_writer.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/process.h"

namespace {

using qv::framework::let_info;
using qv::framework::tQV_LogWriter;

const std::string kMessage = "PROCESSRECEIPT:Receipt 0001-0000042 signed, total 12.5";

std::string ScratchFolder() {
  static std::atomic<int> counter{0};
  return qv::platform::TemporaryFolder() + "qv_log_bench_" +
         std::to_string(qv::platform::ProcessId()) + "_" + std::to_string(counter++);
}

// Baseline for Write: the part of its work that every logger has (clock and formatting).
void BM_FormatLineOnly(benchmark::State& state) {
  for (auto _ : state) {
    const qv::platform::LocalTime now = qv::platform::Now();
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d:%03d", now.year, now.month,
                  now.day, now.hour, now.minute, now.second, now.millisecond);
    std::string line = std::string(stamp) + " - " + kMessage;
    benchmark::DoNotOptimize(line);
  }
}
BENCHMARK(BM_FormatLineOnly)->Iterations(20000)->Repetitions(5)->ReportAggregatesOnly(true);

// Write per call while the log thread writes to a real file behind it.
void BM_Write(benchmark::State& state) {
  const std::string folder = ScratchFolder();
  auto writer = std::make_unique<tQV_LogWriter>("bench", folder, 0, /*aDaily=*/true);
  for (auto _ : state) writer->Write(let_info, kMessage);
  writer.reset();  // drains, after the measured loop
  std::filesystem::remove_all(qv::platform::NativePath(folder));
}
BENCHMARK(BM_Write)->Iterations(20000)->Repetitions(5)->ReportAggregatesOnly(true);

// Baseline for the drain rate: the same appends done directly on the calling thread.
void BM_AppendOnCallerThread(benchmark::State& state) {
  const std::string folder = ScratchFolder();
  qv::platform::ForceDirectories(folder).ThrowIfFailed();
  const std::string file = folder + "\\direct.log";
  const std::string line = "2023-08-09 09:39:19:042 - " + kMessage + "\r\n";
  for (auto _ : state) {
    for (int i = 0; i < state.range(0); ++i) {
      if (const auto appended = qv::platform::AppendToFile(file, line); !appended.IsOk()) {
        state.SkipWithError(appended.Message().c_str());
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  std::filesystem::remove_all(qv::platform::NativePath(folder));
}
BENCHMARK(BM_AppendOnCallerThread)->Arg(2000)->Repetitions(3)->ReportAggregatesOnly(true);

// Drain rate: a burst of lines queued at once, timed until the writer's destruction has
// handed the last one to the file.
void BM_DrainBurst(benchmark::State& state) {
  const std::string folder = ScratchFolder();
  for (auto _ : state) {
    tQV_LogWriter writer("bench", folder, 0, /*aDaily=*/false);
    for (int i = 0; i < state.range(0); ++i) writer.Write(let_info, kMessage);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  std::filesystem::remove_all(qv::platform::NativePath(folder));
}
BENCHMARK(BM_DrainBurst)->Arg(2000)->UseRealTime()->Repetitions(3)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
