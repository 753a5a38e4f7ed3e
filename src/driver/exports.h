// The five functions the point-of-sale host calls.
//
// Each takes the request XML as an OLE string (passed by value; the caller keeps it; null is
// an empty text), and returns 0 when the call succeeded, -1 when it failed.
//   OPEN(request, &handle, &error): the new or reused processor handle, 0 on failure.
//   PROCESSRECEIPT(request, &output, &error): the whole request with the receipt updated.
//   PROCESSZREPORT / PROCESSXREPORT / PROCESSGETSTATUS(request, &output, &error): the ZReport,
//   XReport or Status document, also when the call failed (then with zero figures).
// Text outputs: null is stored on entry (what the variable held is not freed); on exit a
// new OLE string the caller frees with SysFreeString, or null for an empty text (an empty
// error text is null). A null output pointer is skipped and never written. No exception
// leaves these functions.
//
// Threading: one call at a time (the host's calling thread); nothing here takes a lock.
#pragma once

#include <cstdint>

#include "platform/export.h"
#include "platform/ole_string.h"

extern "C" {
QV_EXPORT int32_t QV_STDCALL OPEN(qv::platform::OleStr aRequest, int32_t* aHandle,
                                  qv::platform::OleStr* aError);
QV_EXPORT int32_t QV_STDCALL PROCESSRECEIPT(qv::platform::OleStr aRequest,
                                            qv::platform::OleStr* aOutput,
                                            qv::platform::OleStr* aError);
QV_EXPORT int32_t QV_STDCALL PROCESSZREPORT(qv::platform::OleStr aRequest,
                                            qv::platform::OleStr* aOutput,
                                            qv::platform::OleStr* aError);
QV_EXPORT int32_t QV_STDCALL PROCESSXREPORT(qv::platform::OleStr aRequest,
                                            qv::platform::OleStr* aOutput,
                                            qv::platform::OleStr* aError);
QV_EXPORT int32_t QV_STDCALL PROCESSGETSTATUS(qv::platform::OleStr aRequest,
                                              qv::platform::OleStr* aOutput,
                                              qv::platform::OleStr* aError);
}
