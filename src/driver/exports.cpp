#include "driver/exports.h"

#include <memory>
#include <string>

#include "driver/result_documents.h"
#include "driver/wrappers.h"

namespace qv::driver {

namespace {

using platform::OleStr;

constexpr int32_t kCallFailed = -1;

// Stores aText as a new OLE string, or null for the empty text. A text that cannot be
// allocated leaves null.
void StoreText(OleStr* aTarget, const std::string& aText) noexcept {
  if (aTarget == nullptr) return;
  *aTarget = nullptr;
  if (aText.empty()) return;
  try {
    *aTarget = platform::NewOleString(aText);
  } catch (...) {
    *aTarget = nullptr;
  }
}

void ClearText(OleStr* aTarget) noexcept {
  if (aTarget != nullptr) *aTarget = nullptr;
}

// When even the wrapper cannot be made (memory), the call fails with a message of its own.
int32_t FailEarly(OleStr* aError) noexcept {
  StoreText(aError, "Out of memory");
  return kCallFailed;
}

// The frame shared by the exports: clear the outputs, make the wrapper, let it process the
// request, then hand over its results with aStoreResults and the error text.
template <typename TWrapper, typename TStoreResults>
int32_t RunCall(OleStr aRequest, OleStr* aOutput, OleStr* aError,
                TStoreResults aStoreResults) noexcept {
  ClearText(aOutput);
  ClearText(aError);
  try {
    auto wrapper = std::make_unique<TWrapper>();
    wrapper->ProcessRequest(aRequest);
    aStoreResults(*wrapper);
    StoreText(aError, wrapper->ErrorText());
    return wrapper->ResultCode();
  } catch (...) {
    return FailEarly(aError);
  }
}

}  // namespace

}  // namespace qv::driver

using qv::driver::kFiscalProcessorWrapper_GETSTATUS;
using qv::driver::kFiscalProcessorWrapper_OPEN;
using qv::driver::kFiscalProcessorWrapper_PROCESSRECEIPT;
using qv::driver::kFiscalProcessorWrapper_PROCESSXREPORT;
using qv::driver::kFiscalProcessorWrapper_PROCESSZREPORT;
using qv::platform::OleStr;

extern "C" {

QV_EXPORT int32_t QV_STDCALL OPEN(OleStr aRequest, int32_t* aHandle, OleStr* aError) {
  // The handle is not touched on entry: it receives the wrapper's handle on exit, or 0 when
  // the call could not run at all.
  int32_t handle = 0;
  const int32_t result = qv::driver::RunCall<kFiscalProcessorWrapper_OPEN>(
      aRequest, nullptr, aError,
      [&handle](const kFiscalProcessorWrapper_OPEN& aWrapper) { handle = aWrapper.Handle(); });
  if (aHandle != nullptr) *aHandle = handle;
  return result;
}

QV_EXPORT int32_t QV_STDCALL PROCESSRECEIPT(OleStr aRequest, OleStr* aOutput, OleStr* aError) {
  return qv::driver::RunCall<kFiscalProcessorWrapper_PROCESSRECEIPT>(
      aRequest, aOutput, aError, [aOutput](const kFiscalProcessorWrapper_PROCESSRECEIPT& aWrapper) {
        qv::driver::StoreText(aOutput, aWrapper.Output());
      });
}

QV_EXPORT int32_t QV_STDCALL PROCESSZREPORT(OleStr aRequest, OleStr* aOutput, OleStr* aError) {
  return qv::driver::RunCall<kFiscalProcessorWrapper_PROCESSZREPORT>(
      aRequest, aOutput, aError, [aOutput](const kFiscalProcessorWrapper_PROCESSZREPORT& aWrapper) {
        qv::driver::StoreText(aOutput, qv::driver::ReportResultDocument(aWrapper, "ZReport"));
      });
}

QV_EXPORT int32_t QV_STDCALL PROCESSXREPORT(OleStr aRequest, OleStr* aOutput, OleStr* aError) {
  return qv::driver::RunCall<kFiscalProcessorWrapper_PROCESSXREPORT>(
      aRequest, aOutput, aError, [aOutput](const kFiscalProcessorWrapper_PROCESSXREPORT& aWrapper) {
        qv::driver::StoreText(aOutput, qv::driver::ReportResultDocument(aWrapper, "XReport"));
      });
}

QV_EXPORT int32_t QV_STDCALL PROCESSGETSTATUS(OleStr aRequest, OleStr* aOutput, OleStr* aError) {
  return qv::driver::RunCall<kFiscalProcessorWrapper_GETSTATUS>(
      aRequest, aOutput, aError, [aOutput](const kFiscalProcessorWrapper_GETSTATUS& aWrapper) {
        qv::driver::StoreText(aOutput, qv::driver::StatusResultDocument(aWrapper));
      });
}

}  // extern "C"
