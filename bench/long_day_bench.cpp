// A fiscal day of 100,000 receipts to one till in one process: the last receipts cost what
// the first did, and the process does not grow with the day.
//
// The built library QVFP_CYKAVREN_10 is loaded from this program's folder (with the stand-in
// receipt printer and signing box beside it) and sent PROCESSRECEIPT 100,000 times, in blocks
// of 10,000. The till lies on a memory file system where the machine has one (/dev/shm), so
// that the disk's flushes, which cost the same for every receipt, do not hide a cost that
// grows with the day; the journal folder of the day ends with 100,000 files in it. For each
// block the program prints its time and the process's resident memory after it.
// Targets: the last block costs at most 1.2 times the first; the resident memory after the
// last block is within 2 MiB of that after the first.
//
//   bench_long_day_bench [receipts [block]]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_till.h"
#include "platform/dynamic_library.h"
#include "platform/environment.h"
#include "platform/ole_string.h"
#include "platform/process.h"

namespace {

namespace fs = std::filesystem;

// A memory file system where there is one, so that the disk's flush delays do not drown
// what the day's length costs.
fs::path ScratchBase() {
  std::error_code error;
  return fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : qv::bench::ProgramFolder();
}

std::string Request(int aHandle, bool aWithReceipt) {
  return qv::bench::TillRequest("DAYBENCH", aHandle, aWithReceipt ? qv::bench::kSaleReceipt : "");
}

// The process's resident memory in KiB (VmRSS of /proc/self/status; 0 where there is none).
long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      long kib = 0;
      status >> kib;
      return kib;
    }
    status.ignore(4096, '\n');
  }
  return 0;
}

std::size_t FilesIn(const fs::path& aFolder) {
  std::size_t count = 0;
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(aFolder, error)) {
    if (entry.is_regular_file()) ++count;
  }
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const int receipts = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int block = argc > 2 ? std::atoi(argv[2]) : 10000;
    if (receipts <= 0 || block <= 0 || receipts % block != 0) {
      throw std::runtime_error("usage: bench_long_day_bench [receipts [block]], block divides");
    }
    qv::bench::ScratchTill till("day", ScratchBase());
    const qv::bench::OpenedTill opened(Request(0, false));
    const qv::platform::OleString request(Request(opened.Handle(), true));
    std::string output, failure;

    std::printf("A day of %d receipts to one till in one process, on %s\n", receipts,
                till.Root().parent_path().string().c_str());
    std::vector<double> seconds, medians;
    std::vector<long> resident;
    std::vector<double> receiptTimes(static_cast<std::size_t>(block));
    for (int done = 0; done < receipts; done += block) {
      const auto start = std::chrono::steady_clock::now();
      for (int i = 0; i < block; ++i) {
        const auto sent = std::chrono::steady_clock::now();
        if (opened.Process(request, output, failure) != 0) {
          throw std::runtime_error("PROCESSRECEIPT failed: " + failure);
        }
        receiptTimes[static_cast<std::size_t>(i)] =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
      }
      seconds.push_back(
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
      resident.push_back(ResidentKiB());
      std::sort(receiptTimes.begin(), receiptTimes.end());
      medians.push_back(receiptTimes[receiptTimes.size() / 2]);
      std::printf(
          "  receipts %6d to %6d: %7.2f s, %5.2f ms a receipt (median %5.2f ms), "
          "resident %ld KiB\n",
          done + 1, done + block, seconds.back(), 1000 * seconds.back() / block,
          1000 * medians.back(), resident.back());
      std::fflush(stdout);
    }
    const double ratio = seconds.back() / seconds.front();
    const long growth = resident.back() - resident.front();
    std::printf("  journal and till files at the end: %zu\n", FilesIn(till.Root() / "C"));
    std::printf(
        "  last block against the first: %.2f (target <= 1.20): %s; median receipt of "
        "the last block against the first: %.2f\n",
        ratio, ratio <= 1.2 ? "met" : "NOT MET", medians.back() / medians.front());
    std::printf(
        "  resident memory after the last block against the first: %+ld KiB "
        "(target within 2048 KiB): %s\n",
        growth, growth <= 2048 && growth >= -2048 ? "met" : "NOT MET");
    return 0;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "%s\n", failure.what());
    return 1;
  }
}
