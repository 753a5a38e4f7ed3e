#include "framework/io_handler.h"

#include <cstdio>

#include "base/utils.h"
#include "framework/device_handler.h"
#include "platform/unicode.h"

namespace qv::framework {

namespace {

const std::string kStartLine = std::string(27, '*') + " START " + std::string(27, '*');
const std::string kStopLine = std::string(27, '*') + " STOP " + std::string(28, '*');
const std::string kConnectBannerLine(61, '*');

}  // namespace

kIOHandler::kIOHandler(const kConnection* aConnection, const std::string& aDirectory,
                       const std::string& aFileName) {
  if (aConnection != nullptr) {
    fReadTimeout = aConnection->ReadTimeOut();
    fConnectTimeout = aConnection->ConnectTimeOut();
  }
  if (!aDirectory.empty() && !aFileName.empty()) {
    fLogger = std::make_unique<tQV_LogWriter>(aFileName, aDirectory, /*aMaxMessageLength=*/0,
                                              /*aDaily=*/true);
    fLogger->SetDailyBanner(kStartLine);
    fLogger->Write(let_info, kStartLine);
  }
}

kIOHandler::~kIOHandler() {
  if (!fLogger) return;
  try {
    fLogger->Write(let_info, kStopLine);
  } catch (...) {
    // A log moved to an empty file name gets no STOP line; destruction goes on.
  }
  fLogger.reset();
}

bool kIOHandler::Connect() {
  Debug(let_info, kConnectBannerLine);
  Debug(let_info, ClassName());
  Debug(let_info, fVersion);
  Debug(let_info, "ConnectTimeout=" + std::to_string(fConnectTimeout));
  Debug(let_info, "ReadTimeout=" + std::to_string(fReadTimeout));
  return true;
}

void kIOHandler::Debug(tQV_MessageType aEntryType, const std::string& aMessage) {
  if (fLogger) fLogger->Write(aEntryType, aMessage);
}

void kIOHandler::WriteLog(tQV_MessageType aEntryType, const std::string& aTitle,
                          const std::string& aMessage) {
  if (!fLogger) return;
  if (fHexLog) {
    fLogger->Write(aEntryType, aTitle + ":" + aMessage + " [" + HexString(aMessage) + "]");
  } else {
    fLogger->Write(aEntryType, aTitle + ":" + aMessage);
  }
}

void kIOHandler::SetCustomError(int32_t aErrorCode, const std::string& aErrorMessage) {
  fErrorFound = true;
  fErrorCode = aErrorCode;
  fErrorMessage = aErrorMessage;
}

void kIOHandler::ResetCustomError() {
  fErrorFound = false;
  fErrorCode = 0;
  fErrorMessage.clear();
}

void kIOHandler::SuspendLog() {
  if (fLogger) fLogger->Suspend();
}

void kIOHandler::ResumeLog() {
  if (fLogger) fLogger->Resume();
}

std::string kIOHandler::GetLogFileName() const {
  return fLogger ? fLogger->FileName() : std::string();
}

void kIOHandler::SetTemporaryReadTimeout(int32_t aNewTimeout) {
  if (fLogger) {
    fLogger->Write(let_info, "Set Read Timeout to " + std::to_string(aNewTimeout) + "ms from " +
                                 std::to_string(fReadTimeout) + " ms");
  }
  if (aNewTimeout > 0) {
    fTemporaryReadTimeout = fReadTimeout;
    fReadTimeout = aNewTimeout;
  }
}

void kIOHandler::ResetTemporaryReadTimeout() {
  if (fLogger) {
    fLogger->Write(let_info, "Reset Timeout to " + std::to_string(fTemporaryReadTimeout) + " ms");
  }
  if (fTemporaryReadTimeout != 0) fReadTimeout = fTemporaryReadTimeout;
}

std::string kIOHandler::HexString(const std::string& aText) {
  const std::u16string units = platform::Utf8ToUtf16(aText);
  std::string result;
  result.reserve(units.size() * 3);
  char digits[8];
  for (char16_t unit : units) {
    if (!result.empty()) result += ' ';
    std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned>(unit));
    result += digits;
  }
  return result;
}

std::string kIOHandler::FormatAmount(base::Currency aAmount) {
  return base::CurrencyToXmlText(aAmount);
}

std::string DeviceLogFolder() { return base::ExecutableFolder() + "LogFiles\\FiscalPrinter"; }

}  // namespace qv::framework
