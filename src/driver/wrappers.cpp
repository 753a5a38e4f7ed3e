#include "driver/wrappers.h"

#include <exception>
#include <new>
#include <string>
#include <string_view>

#include "base/date_time.h"
#include "base/xml_utils.h"
#include "driver/processor_registry.h"
#include "framework/io_handler.h"
#include "platform/error.h"
#include "platform/regional_settings.h"
#include "platform/unicode.h"

namespace qv::driver {

using framework::dt_Receipt;
using framework::dt_ZReport;
using framework::kFiscalProcessor;
using framework::let_error;
using framework::let_info;

namespace {

constexpr const char* kOutOfMemory = "Out of memory";
constexpr const char* kUnknownFailure = "Unknown error";

}  // namespace

kFiscalProcessorWrapper::kFiscalProcessorWrapper()
    : fHandler(std::make_unique<kFiscalProcessorHandler>()) {}

kFiscalProcessorWrapper::~kFiscalProcessorWrapper() = default;

void kFiscalProcessorWrapper::ProcessRequest(platform::OleStr aRequest) {
  const std::u16string_view units =
      aRequest == nullptr ? std::u16string_view()
                          : std::u16string_view(reinterpret_cast<const char16_t*>(aRequest),
                                                SysStringLen(aRequest));
  // Every unit is at least one byte of the XML text: a longer request is refused unread.
  if (units.size() > base::kMaxXmlDocumentBytes) {
    SetError(base::kXmlTooLargeMessage);
    return;
  }
  if (const size_t at = platform::FindUnpairedSurrogate(units); at != units.npos) {
    SetError("The request is not valid UTF-16: unpaired surrogate at position " +
             std::to_string(at + 1));
    return;
  }
  if (const size_t at = units.find(u'\0'); at != units.npos) {
    SetError("The request holds a NUL character at position " + std::to_string(at + 1));
    return;
  }
  std::string text;
  try {
    text = platform::Utf16ToUtf8(units);
  } catch (const std::bad_alloc&) {
    SetError(kOutOfMemory);
    return;
  }
  Process(text);
}

template <typename TOperation, typename TOnSuccess>
void kFiscalProcessorWrapper::Serve(const std::string& aXml,
                                    qvReceiptHandlerDocumentTypes aDocumentTypes, bool aCreate,
                                    TOperation aOperation, TOnSuccess aOnSuccess,
                                    bool aWithoutHandleSucceeds) {
  try {
    fHandler->Deserialize(aXml, aDocumentTypes);
    if (aWithoutHandleSucceeds && fHandler->DeviceHandle() <= 0) return;
    FindProcessor(aCreate);
    if (aOperation(*fProcessor)) {
      aOnSuccess(*fProcessor);
    } else {
      fError = true;
      fErrorText = fProcessor->IOHandler().ErrorMessage();
    }
  } catch (const std::bad_alloc&) {
    SetError(kOutOfMemory);
  } catch (const std::exception& error) {
    SetError(error.what());
  } catch (...) {
    SetError(kUnknownFailure);
  }
  // A host may retry OPEN every few seconds while the device is away: each failed OPEN
  // leaves a registered processor, which must not keep a thread or files between calls.
  if (fProcessor != nullptr && !fProcessor->Opened()) fProcessor->Suspend();
}

void kFiscalProcessorWrapper::FindProcessor(bool aCreate) {
  const int32_t handle = fHandler->DeviceHandle();
  if (handle > 0) {
    tProcessorHandles& handles = ProcessorHandles();
    auto found = handles.find(handle);
    if (found == handles.end()) throw qv::Error("Processor Handle not found");
    found->second->IOHandler().ResetCustomError();
    fProcessor = found->second;
    if (!fProcessor->Opened()) fProcessor->Resume();
    return;
  }
  if (!aCreate) throw qv::Error("Fiscal Processor has not previously opened");
  const std::string driver = fHandler->Driver();
  tProcessorClasses& classes = ProcessorClasses();
  auto registered = classes.find(driver);
  if (registered == classes.end()) {
    throw qv::Error("Fiscal Processor Driver [" + driver + "] not registered.");
  }
  // A constructor that fails leaves nothing registered and the handle counter unchanged.
  std::unique_ptr<kFiscalProcessor> processor = registered->second(*fHandler);
  fProcessor = &AdoptProcessor(std::move(processor));
}

void kFiscalProcessorWrapper::SetError(std::string_view aMessage) noexcept {
  fError = true;
  try {
    fErrorText.assign(aMessage);
  } catch (...) {
    fErrorText.clear();  // the message could not be kept; the call still fails
  }
  if (fProcessor == nullptr) return;
  try {
    fProcessor->IOHandler().Debug(let_error, std::string(aMessage));
  } catch (...) {
    // A log line that cannot be queued must not hide the call's own failure.
  }
}

void kFiscalProcessorWrapper::LogInfo(const std::string& aTag, const std::string& aText) {
  fProcessor->IOHandler().WriteLog(let_info, aTag, aText);
}

void kFiscalProcessorWrapper_OPEN::Process(const std::string& aXml) {
  Serve(
      aXml, {}, /*aCreate=*/true,
      [this](kFiscalProcessor& aProcessor) {
        aProcessor.SetOpened(false);
        aProcessor.SetOpened(aProcessor.Open(*fHandler));
        return aProcessor.Opened();
      },
      [this](kFiscalProcessor& aProcessor) {
        fHandle = aProcessor.Handle();
        LogInfo("OPEN", "Assigned Handle: " + std::to_string(fHandle));
      });
}

void kFiscalProcessorWrapper_PROCESSRECEIPT::Process(const std::string& aXml) {
  Serve(
      aXml, {dt_Receipt}, /*aCreate=*/false,
      [this](kFiscalProcessor& aProcessor) { return aProcessor.ProcessReceipt(*fHandler); },
      [this](kFiscalProcessor& aProcessor) {
        fOutput = aProcessor.XmlOutput();
        LogInfo("PROCESSRECEIPT", "Updated Receipt:\r\n" + fOutput);
      });
}

void kFiscalProcessorWrapper_PROCESSZREPORT::Process(const std::string& aXml) {
  Serve(
      aXml, {dt_ZReport}, /*aCreate=*/false,
      [this](kFiscalProcessor& aProcessor) {
        const bool closed = aProcessor.ProcessZReport(*fHandler);
        // A Z-report that the device refused has still closed the day in the till: the host
        // gets that day's figures and text with the failure.
        if (!closed) CopyCounters(aProcessor.Counters());
        return closed;
      },
      [this](kFiscalProcessor& aProcessor) {
        CopyCounters(aProcessor.Counters());
        LogInfo("PROCESSZREPORT",
                "ReportNo: " + std::to_string(Counters().Figures.CurrentReportNo));
      });
}

void kFiscalProcessorWrapper_PROCESSXREPORT::Process(const std::string& aXml) {
  Serve(
      aXml, {}, /*aCreate=*/false,
      [this](kFiscalProcessor& aProcessor) { return aProcessor.ProcessXReport(*fHandler); },
      [this](kFiscalProcessor& aProcessor) {
        CopyCounters(aProcessor.Counters());
        const std::string timeSeparator = platform::CurrentRegionalSettings().timeSeparator;
        LogInfo("PROCESSXREPORT",
                "Data: " + base::FormatDateTime("yyyy-mm-dd hh:nn:ss", Counters().ReportDateTime,
                                                "/", timeSeparator));
      });
}

void kFiscalProcessorWrapper_GETSTATUS::Process(const std::string& aXml) {
  // Without a handle the host gets the default status, and nothing is logged.
  Serve(
      aXml, {}, /*aCreate=*/false,
      [this](kFiscalProcessor& aProcessor) { return aProcessor.ProcessGetStatus(*fHandler); },
      [this](kFiscalProcessor& aProcessor) {
        const framework::qvProcessorStatus& status = aProcessor.Status();
        fDayOpened = status.DayOpened;
        fDateTime = status.DateTime;
        fTrainingMode = status.TrainingMode;
        fFirmwareVersion = status.FirmwareVersion;
        fSerialNumber = status.SerialNumber;
        fFiscalMode = status.FiscalMode;
      },
      /*aWithoutHandleSucceeds=*/true);
}

}  // namespace qv::driver
