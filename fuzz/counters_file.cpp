// The counters file of a till as the counters store reads it: any bytes, in any encoding the
// store accepts. A file the store reads must, once the store has saved it, read back with
// the same figures: a till must never write a counters file it cannot read.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/support/fuzz_till.h"
#include "kavren/counters_store.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace {

using qv::kavren::kFiscalProcessorCounters;

bool SameFigures(const kFiscalProcessorCounters& aLeft, const kFiscalProcessorCounters& aRight) {
  return aLeft.Figures() == aRight.Figures() && aLeft.TrainingMode() == aRight.TrainingMode();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qv::fuzz::PrepareTill();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  const std::string file = qv::fuzz::TillFile("fuzzed.fprc");
  if (!qv::platform::WriteWholeFile(file,
                                    std::string_view(reinterpret_cast<const char*>(aData), aSize))
           .IsOk()) {
    std::abort();
  }
  kFiscalProcessorCounters read;
  try {
    read.Init(file, "T1");
  } catch (const qv::Error&) {
    return 0;  // refused with a message: the caller gets it
  }
  read.Save();
  kFiscalProcessorCounters again;
  try {
    again.Init(file, "T1");
  } catch (const qv::Error& failure) {
    std::fprintf(stderr, "a saved counters file does not read back: %s\n", failure.what());
    std::abort();
  }
  if (!SameFigures(read, again)) {
    std::fprintf(stderr, "a saved counters file reads back with other figures\n");
    std::abort();
  }
  return 0;
}
