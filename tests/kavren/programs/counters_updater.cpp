// Counts receipts into a counters file, as a till process would, and prints the number each
// receipt was given as soon as its update is complete.
//
// counters_updater <counters file> <receipts, 0 = until killed> <longest pause in ms>
//                  <Sale|Refund|Void|InvoiceSale> <amount>
//
// Exit code 0 when all receipts were counted, 1 on a failure (its message on stderr).
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "base/utils.h"
#include "documents/codes.h"
#include "kavren/counters_store.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: counters_updater FILE COUNT PAUSE_MS TYPE AMOUNT\n");
    return 2;
  }
  try {
    const std::string fileName = argv[1];
    const long count = std::strtol(argv[2], nullptr, 10);
    const int pauseMs = static_cast<int>(std::strtol(argv[3], nullptr, 10));
    const auto type = qv::documents::krptUtil::DecodeReceiptType(argv[4]);
    const auto amount = qv::base::StrToCurrency(argv[5]);

    std::mt19937 random(static_cast<unsigned>(qv::platform::ProcessId()));
    qv::kavren::kFiscalProcessorCounters counters;
    counters.Init(fileName, "T1");
    for (long done = 0; count == 0 || done < count; ++done) {
      counters.Update(type, amount);
      std::printf("%d\n", counters.CurrentReceiptNo());
      std::fflush(stdout);
      if (pauseMs > 0) {
        qv::platform::SleepMilliseconds(static_cast<int>(random() % (pauseMs + 1)));
      }
    }
    return 0;
  } catch (const qv::Error& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
}
