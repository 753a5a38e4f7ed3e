// How fast the counters lock changes hands between host processes of one till.
//
// Receipts from many processes: 200 receipts sent to one till by 1 host process, then by 8
// host processes at once (25 each), through the built library QVFP_CYKAVREN_10 with the
// stand-in receipt printer and signing box, on the local disk. Each host opens its till
// first and waits at a common start line, so the figure is the time from the start line to
// the last answer. Target: 8 processes take at most 1.3 times what 1 process takes.
//
// Wake-up: a second process holds the till's counters lock for a while and lets it go; this
// process waits for the lock meanwhile. The figure is the time from the release to the
// moment the waiting process holds the lock. Target: at most 100 ms every time.
//
//   bench_lock_wake_bench [rounds]      runs both (rounds of each, 3 by default)
// The program also plays the two other processes (arguments "host" and "holder").
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_till.h"
#include "kavren/counters_store.h"
#include "platform/clock.h"
#include "platform/dynamic_library.h"
#include "platform/environment.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/ole_string.h"
#include "platform/process.h"

namespace {

namespace fs = std::filesystem;

constexpr int kReceipts = 200;
constexpr int kManyHosts = 8;

// Nanoseconds of the system's steady clock, which all processes of the machine share.
int64_t SteadyNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string Request(int aHandle, bool aWithReceipt) {
  return qv::bench::TillRequest("LOCKBENCH", aHandle, aWithReceipt ? qv::bench::kSaleReceipt : "");
}

// ---- The host process: opens the till, waits for the start line, sends its receipts -------

int RunHost(int aCount, const std::string& aStartFile) {
  std::unique_ptr<qv::bench::OpenedTill> till;
  try {
    till = std::make_unique<qv::bench::OpenedTill>(Request(0, false));
  } catch (const std::exception& aError) {
    std::printf("failed %s\n", aError.what());
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  while (!qv::platform::FileExists(aStartFile)) qv::platform::SleepMilliseconds(1);

  const qv::platform::OleString request(Request(till->Handle(), true));
  const int64_t start = SteadyNanoseconds();
  int64_t longest = 0;
  int failed = 0;
  std::string lastFailure;
  for (int i = 0; i < aCount; ++i) {
    const int64_t sent = SteadyNanoseconds();
    std::string output, failure;
    if (till->Process(request, output, failure) != 0) {
      // A receipt refused for a lock held too long is counted, and the host goes on.
      ++failed;
      lastFailure = failure;
    }
    longest = std::max(longest, SteadyNanoseconds() - sent);
  }
  std::printf("done %lld %lld %lld %d %s\n", static_cast<long long>(start),
              static_cast<long long>(SteadyNanoseconds()), static_cast<long long>(longest), failed,
              lastFailure.c_str());
  return 0;
}

// ---- The holder process: holds the till's lock, prints the moment it lets go ---------------

int RunHolder(const std::string& aCountersFile, int aMilliseconds) {
  try {
    qv::kavren::kFiscalProcessorCounters counters;
    counters.Init(aCountersFile, "T1");
    counters.Lock();
    std::printf("locked\n");
    std::fflush(stdout);
    qv::platform::SleepMilliseconds(aMilliseconds);
    const int64_t releasing = SteadyNanoseconds();
    counters.Unlock();
    std::printf("released %lld\n", static_cast<long long>(releasing));
    return 0;
  } catch (const qv::Error& error) {
    std::printf("failed %s\n", error.what());
    return 1;
  }
}

// ---- The measuring process -------------------------------------------------------------

using qv::bench::ScratchTill;

// A child process of this program whose output is read line by line.
class Child {
 public:
  explicit Child(const std::string& aArguments)
      : fPipe(popen((qv::platform::ExecutablePath() + " " + aArguments).c_str(), "r")) {}
  ~Child() {
    if (fPipe != nullptr) pclose(fPipe);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  std::string ReadLine() {
    char buffer[512];
    if (fPipe == nullptr || std::fgets(buffer, sizeof buffer, fPipe) == nullptr) return "";
    std::string line(buffer);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
  }

 private:
  FILE* fPipe;
};

struct tRun {
  double seconds = 0;
  double longestReceiptMs = 0;
  int failed = 0;           // receipts answered -1
  std::string lastFailure;  // the error text of one of them
};

// aHosts processes send kReceipts receipts between them from a common start line.
tRun SendReceipts(const ScratchTill& aTill, int aHosts, int aRound) {
  const std::string startFile =
      aTill.Path("start-" + std::to_string(aHosts) + "-" + std::to_string(aRound));
  std::vector<std::unique_ptr<Child>> hosts;
  for (int i = 0; i < aHosts; ++i) {
    hosts.push_back(
        std::make_unique<Child>("host " + std::to_string(kReceipts / aHosts) + " " + startFile));
  }
  for (auto& host : hosts) {
    const std::string line = host->ReadLine();
    if (line != "ready") throw qv::Error("host not ready: " + line);
  }
  // The hosts wait for this file; one that cannot be written shows as hosts that never start.
  qv::platform::WriteWholeFile(startFile, "").IgnoreFailure();
  int64_t first = INT64_MAX, last = 0, longest = 0;
  tRun run;
  for (auto& host : hosts) {
    std::istringstream words(host->ReadLine());
    std::string word;
    long long start = 0, end = 0, slowest = 0;
    int failed = 0;
    words >> word >> start >> end >> slowest >> failed;
    if (word != "done") throw qv::Error("host failed: " + words.str());
    first = std::min<int64_t>(first, start);
    last = std::max<int64_t>(last, end);
    longest = std::max<int64_t>(longest, slowest);
    run.failed += failed;
    if (failed > 0) std::getline(words >> std::ws, run.lastFailure);
  }
  run.seconds = static_cast<double>(last - first) / 1e9;
  run.longestReceiptMs = static_cast<double>(longest) / 1e6;
  return run;
}

// The time from another process's release of the till's lock to this process holding it.
double WakeUpMilliseconds(const ScratchTill& aTill, int aHoldMilliseconds) {
  const std::string countersFile = "C:\\QV_FPR_DB\\T1\\counters.actual.fprc";
  Child holder("holder '" + countersFile + "' " + std::to_string(aHoldMilliseconds));
  const std::string line = holder.ReadLine();
  if (line != "locked") throw qv::Error("holder: " + line);
  qv::kavren::kFiscalProcessorCounters counters;
  counters.Init(countersFile, "T1");
  counters.Lock();
  const int64_t held = SteadyNanoseconds();
  counters.Unlock();
  std::istringstream words(holder.ReadLine());
  std::string word;
  long long released = 0;
  words >> word >> released;
  if (word != "released") throw qv::Error("holder: " + words.str());
  return static_cast<double>(held - released) / 1e6;
}

double Median(std::vector<double> aValues) {
  std::sort(aValues.begin(), aValues.end());
  return aValues[aValues.size() / 2];
}

int Measure(int aRounds) {
  ScratchTill till("lock");
  fs::create_directories(till.Path("C/QV_FPR_DB/T1"));
  std::printf("Receipts from many processes: %d receipts to one till, %d rounds\n", kReceipts,
              aRounds);
  std::vector<double> one, many, ratios;
  double longestOne = 0, longestMany = 0;
  int failures = 0;
  for (int round = 0; round < aRounds; ++round) {
    // Alternating, so that the machine's load of the moment weighs on both alike.
    const tRun single = SendReceipts(till, 1, round);
    const tRun several = SendReceipts(till, kManyHosts, round);
    one.push_back(single.seconds);
    many.push_back(several.seconds);
    ratios.push_back(several.seconds / single.seconds);
    longestOne = std::max(longestOne, single.longestReceiptMs);
    longestMany = std::max(longestMany, several.longestReceiptMs);
    std::printf("  round %d: 1 process %.3f s, %d processes %.3f s, ratio %.2f\n", round + 1,
                single.seconds, kManyHosts, several.seconds, several.seconds / single.seconds);
    for (const tRun* run : {&single, &several}) {
      if (run->failed == 0) continue;
      failures += run->failed;
      std::printf("    %d receipts failed with %d process(es), for example: %s\n", run->failed,
                  run == &single ? 1 : kManyHosts, run->lastFailure.c_str());
    }
  }
  const double ratio = Median(ratios);
  std::printf("  median: 1 process %.3f s, %d processes %.3f s; ratio %.2f (target <= 1.30): %s\n",
              Median(one), kManyHosts, Median(many), ratio, ratio <= 1.3 ? "met" : "NOT MET");
  std::printf("  slowest receipt: %.1f ms with 1 process, %.1f ms with %d processes\n", longestOne,
              longestMany, kManyHosts);
  std::printf("  receipts refused: %d (target 0): %s\n", failures,
              failures == 0 ? "met" : "NOT MET");

  constexpr int kWakeRounds = 20;
  std::printf("Wake-up: the lock held by another process for 50 to 500 ms, %d times\n",
              kWakeRounds);
  std::mt19937 random(20230809);
  std::vector<double> wakes;
  for (int round = 0; round < kWakeRounds; ++round) {
    wakes.push_back(WakeUpMilliseconds(till, std::uniform_int_distribution<int>(50, 500)(random)));
  }
  const double slowest = *std::max_element(wakes.begin(), wakes.end());
  std::printf("  from release to held: median %.2f ms, slowest %.2f ms (target <= 100 ms): %s\n",
              Median(wakes), slowest, slowest <= 100 ? "met" : "NOT MET");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "host" && argc == 4) return RunHost(std::atoi(argv[2]), argv[3]);
    if (mode == "holder" && argc == 4) return RunHolder(argv[2], std::atoi(argv[3]));
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    return Measure(rounds);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
}
