// The call wrappers: one short-lived object per exported call.
//
// A wrapper creates the request context, and its Process parses the request into it, finds
// the processor the request names (by its handle, or for OPEN without a handle by
// constructing the registered class), runs one processor operation and keeps its results.
// Process never lets a failure escape: any raised error (also std::bad_alloc and errors of
// the XML library) becomes fError and fErrorText, and is written to the processor's log as
// an error entry once a processor was found.
//
// Threading: one object per call, used by the calling thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/date_time.h"
#include "framework/fiscal_processor.h"
#include "framework/request_context.h"
#include "platform/ole_string.h"

namespace qv::driver {

using framework::kFiscalProcessorHandler;
using framework::qvReceiptHandlerDocumentTypes;

class kFiscalProcessorWrapper {
 public:
  kFiscalProcessorWrapper();
  virtual ~kFiscalProcessorWrapper();
  kFiscalProcessorWrapper(const kFiscalProcessorWrapper&) = delete;
  kFiscalProcessorWrapper& operator=(const kFiscalProcessorWrapper&) = delete;

  // Serves the call for the request text aXml. Never throws.
  virtual void Process(const std::string& aXml) = 0;
  // Serves the call for the request as the host passed it. A request text that no XML can
  // be made of (an unpaired UTF-16 surrogate, a NUL character) fails the call with a message
  // that says where, before anything is read or counted. Never throws.
  void ProcessRequest(platform::OleStr aRequest);

  bool Error() const { return fError; }
  const std::string& ErrorText() const { return fErrorText; }
  // -1 when the call failed, else 0.
  int32_t ResultCode() const { return fError ? -1 : 0; }
  kFiscalProcessorHandler& Handler() const { return *fHandler; }

 protected:
  // The frame shared by every call: deserialize with aDocumentTypes, find the processor
  // (creating it when aCreate), run aOperation and, when it returns True, aOnSuccess; False
  // takes the error text from the processor's channel. Failures go through SetError. With
  // aWithoutHandleSucceeds a request without a handle (0 or less) ends right after it was
  // read: the call succeeds with the wrapper's initial results. A processor whose last OPEN
  // failed is suspended again when the call ends (see kFiscalProcessor::Suspend).
  template <typename TOperation, typename TOnSuccess>
  void Serve(const std::string& aXml, qvReceiptHandlerDocumentTypes aDocumentTypes, bool aCreate,
             TOperation aOperation, TOnSuccess aOnSuccess, bool aWithoutHandleSucceeds = false);
  // Finds the processor of the request (see processor_registry.h for the tables):
  // handle > 0: the open processor with that handle ("Processor Handle not found" when
  // there is none), whose channel's error state is cleared and which, when its last OPEN
  // failed, takes back what it gave up between calls (Resume); otherwise, with aCreate, a new
  // processor of the class registered under the request's driver name ("Fiscal Processor
  // Driver [name] not registered." when there is none), which receives the next handle;
  // without aCreate, "Fiscal Processor has not previously opened".
  void FindProcessor(bool aCreate);
  // Sets fError and fErrorText and logs aMessage as an error entry of the processor found.
  void SetError(std::string_view aMessage) noexcept;
  // Writes one information entry "aTag:aText" to the processor's log.
  void LogInfo(const std::string& aTag, const std::string& aText);

  std::unique_ptr<kFiscalProcessorHandler> fHandler;
  framework::kFiscalProcessor* fProcessor = nullptr;  // borrowed from ProcessorHandles
  bool fError = false;
  std::string fErrorText;
};

class kFiscalProcessorWrapper_OPEN : public kFiscalProcessorWrapper {
 public:
  void Process(const std::string& aXml) override;
  // The handle given to the host: 0 until the processor opened.
  int32_t Handle() const { return fHandle; }

 private:
  int32_t fHandle = 0;
};

class kFiscalProcessorWrapper_PROCESSRECEIPT : public kFiscalProcessorWrapper {
 public:
  void Process(const std::string& aXml) override;
  // The whole request with the receipt updated; empty on failure.
  const std::string& Output() const { return fOutput; }

 private:
  std::string fOutput;
};

class kFiscalProcessorWrapper_PROCESSZREPORT : public kFiscalProcessorWrapper {
 public:
  void Process(const std::string& aXml) override;

  // The figures, date and text of the report; zero and empty until the processor made one.
  const framework::qvFiscalCounters& Counters() const { return fCounters; }

 protected:
  void CopyCounters(const framework::qvFiscalCounters& aCounters) { fCounters = aCounters; }

 private:
  framework::qvFiscalCounters fCounters;
};

class kFiscalProcessorWrapper_PROCESSXREPORT : public kFiscalProcessorWrapper_PROCESSZREPORT {
 public:
  void Process(const std::string& aXml) override;
};

class kFiscalProcessorWrapper_GETSTATUS : public kFiscalProcessorWrapper {
 public:
  void Process(const std::string& aXml) override;

  bool DayOpened() const { return fDayOpened; }
  base::DateTime DateTime() const { return fDateTime; }
  bool TrainingMode() const { return fTrainingMode; }
  const std::string& FirmwareVersion() const { return fFirmwareVersion; }
  const std::string& SerialNumber() const { return fSerialNumber; }
  const std::string& FiscalMode() const { return fFiscalMode; }

 private:
  bool fDayOpened = false;
  base::DateTime fDateTime = 0;
  bool fTrainingMode = false;
  std::string fFirmwareVersion;
  std::string fSerialNumber;
  std::string fFiscalMode;
};

}  // namespace qv::driver
