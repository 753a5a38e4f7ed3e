// Reading the simulated printer's control file and writing its calls record.
#include "printer_control.h"

#include <climits>
#include <mutex>

#include "base/utils.h"
#include "platform/file_system.h"

namespace qv::standins {
namespace {

constexpr int32_t kFailure = 111;  // OPOS_E_FAILURE
constexpr int32_t kDefaultMemory = 1000;

std::mutex gRecordMutex;

}  // namespace

tPrinterControl tPrinterControl::Read() {
  return tPrinterControl(tControlFile::Read(kPrinterControlFile));
}

tPrinterControl tPrinterControl::Parse(std::string_view aText) {
  return tPrinterControl(tControlFile::Parse(aText));
}

std::optional<std::string> tPrinterControl::Value(std::string_view aKey) const {
  return fFile.Value(aKey);
}

std::optional<tPrinterControl::tForcedAnswer> tPrinterControl::ForcedAnswer(
    std::string_view aOperation) const {
  const std::string prefix = std::string(aOperation) + ".";
  const auto result = fFile.Number(prefix + "result", INT32_MIN, INT32_MAX, kFailure);
  if (!result) return std::nullopt;
  tForcedAnswer answer;
  answer.result = static_cast<int32_t>(*result);
  answer.extended =
      static_cast<int32_t>(fFile.Number(prefix + "extended", INT32_MIN, INT32_MAX, 0).value_or(0));
  answer.error = fFile.Text(prefix + "error")
                     .value_or(std::string(aOperation) + " refused by the simulated printer");
  return answer;
}

std::optional<int32_t> tPrinterControl::ForcedHResult(std::string_view aOperation) const {
  return fFile.ResultCode(std::string(aOperation) + ".hresult");
}

std::optional<std::string> tPrinterControl::ErrorDescription(std::string_view aOperation) const {
  const std::string prefix = std::string(aOperation) + ".";
  if (fFile.Value(prefix + "errorinfo") == "0") return std::nullopt;
  return fFile.Text(prefix + "error")
      .value_or(std::string(aOperation) + " failed: the fiscal printer does not answer");
}

std::optional<std::string> tPrinterControl::ForcedText(std::string_view aOperation) const {
  return fFile.Text(std::string(aOperation) + ".text");
}

bool tPrinterControl::CoverOpen() const {
  return base::LowerCase(fFile.Value("cover").value_or("")) == "open";
}

bool tPrinterControl::PaperEmpty() const {
  return base::LowerCase(fFile.Value("paper").value_or("")) == "empty";
}

bool tPrinterControl::PaperNearEnd() const {
  return base::LowerCase(fFile.Value("paper").value_or("")) == "nearend";
}

int32_t tPrinterControl::RemainingMemory() const {
  return static_cast<int32_t>(
      fFile.Number("memory", INT32_MIN, INT32_MAX, 0).value_or(kDefaultMemory));
}

void RecordCall(std::string_view aDeviceName, std::string_view aCall, int32_t aResult) {
  std::string line = "[" + std::string(aDeviceName) + "] " + std::string(aCall) + " = " +
                     std::to_string(aResult) + "\r\n";
  std::lock_guard<std::mutex> lock(gRecordMutex);
  // The record of calls is for the tests that read it; a call never fails for it.
  platform::ForceDirectories(kPrinterFolder).IgnoreFailure();
  platform::AppendToFile(kPrinterCallsFile, line).IgnoreFailure();
}

}  // namespace qv::standins
