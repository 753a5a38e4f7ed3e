// The receipt request of a host, through PROCESSRECEIPT as a host calls it: the request
// context with its device configuration, the receipt reader, the counters, the receipt text
// of the stand-in receipt printer, the stand-in signing box and the journal file.
#include <cstddef>
#include <cstdint>

#include "driver/exports.h"
#include "fuzz/support/fuzz_till.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qv::fuzz::PrepareTill();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  qv::fuzz::Call(PROCESSRECEIPT, qv::fuzz::RequestText(aData, aSize));
  qv::fuzz::TidyTill();
  return 0;
}
