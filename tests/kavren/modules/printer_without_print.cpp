// A receipt-printer driver that opens its device but has no PRINTFR: the tests install it
// as QVRP_GENERIC_10 beside a host to see what a receipt answers then.
#include <cstdint>

#include "platform/export.h"
#include "platform/ole_string.h"

extern "C" QV_EXPORT int16_t QV_STDCALL OPEN(qv::platform::OleStr, qv::platform::OleStr* aOutput,
                                             qv::platform::OleStr* aError) {
  if (aOutput != nullptr) *aOutput = qv::platform::NewOleString("<Handle>1</Handle>");
  if (aError != nullptr) *aError = nullptr;
  return 0;
}
