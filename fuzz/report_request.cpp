// The report and status requests of a host and the request documents they may carry:
// PROCESSXREPORT, PROCESSGETSTATUS and PROCESSZREPORT with the input, then the request
// context reading it with every kind of request document (receipt, non-fiscal receipt,
// display, drawer, journal report, VAT, department and payment tables, Z-report, receipt
// reference, journal files request).
#include <cstddef>
#include <cstdint>

#include "driver/exports.h"
#include "framework/request_context.h"
#include "fuzz/support/fuzz_till.h"
#include "platform/error.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qv::fuzz::PrepareTill();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  const qv::platform::OleString request = qv::fuzz::RequestText(aData, aSize);
  qv::fuzz::Call(PROCESSXREPORT, request);
  qv::fuzz::Call(PROCESSGETSTATUS, request);
  qv::fuzz::Call(PROCESSZREPORT, request);
  qv::fuzz::TidyTill();
  try {
    qv::framework::kFiscalProcessorHandler handler;
    handler.Deserialize(qv::platform::OleStringToUtf8(request.Get()),
                        qv::framework::qvReceiptHandlerDocumentTypes::FromBits(~0u));
  } catch (const qv::Error&) {
    // A request the documents refuse: the exports turn this into -1 and its message.
  }
  return 0;
}
