// Reading the simulated printer's control file and writing its calls record.
#include "printer_control.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <mutex>

#include "platform/file_system.h"

namespace qv::standins {
namespace {

constexpr int32_t kUnspecifiedError = static_cast<int32_t>(0x80004005u);
constexpr int32_t kFailure = 111;  // OPOS_E_FAILURE
constexpr int32_t kDefaultMemory = 1000;

std::string Lower(std::string_view aText) {
  std::string result(aText);
  for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

std::string_view Trimmed(std::string_view aText) {
  while (!aText.empty() && std::isspace(static_cast<unsigned char>(aText.front()))) {
    aText.remove_prefix(1);
  }
  while (!aText.empty() && std::isspace(static_cast<unsigned char>(aText.back()))) {
    aText.remove_suffix(1);
  }
  return aText;
}

std::string Unescape(std::string_view aText) {
  std::string result;
  for (std::size_t i = 0; i < aText.size(); ++i) {
    if (aText[i] == '\\' && i + 1 < aText.size() && (aText[i + 1] == 'r' || aText[i + 1] == 'n')) {
      result += aText[i + 1] == 'r' ? '\r' : '\n';
      ++i;
    } else {
      result += aText[i];
    }
  }
  return result;
}

// Hexadecimal with "0x", or signed decimal.
std::optional<int64_t> ParseNumber(std::string_view aText) {
  aText = Trimmed(aText);
  int base = 10;
  if (aText.size() > 2 && aText[0] == '0' && (aText[1] == 'x' || aText[1] == 'X')) {
    aText.remove_prefix(2);
    base = 16;
  }
  int64_t value = 0;
  const auto [end, error] = std::from_chars(aText.data(), aText.data() + aText.size(), value, base);
  if (aText.empty() || error != std::errc() || end != aText.data() + aText.size()) {
    return std::nullopt;
  }
  return value;
}

int32_t NumberOr(const std::optional<std::string>& aText, int32_t aMalformed) {
  if (!aText) return 0;
  const auto number = ParseNumber(*aText);
  if (!number || *number < INT32_MIN || *number > INT32_MAX) return aMalformed;
  return static_cast<int32_t>(*number);
}

std::mutex gRecordMutex;

}  // namespace

tPrinterControl tPrinterControl::Read() {
  std::string content;
  std::string error;
  if (!platform::ReadWholeFile(kPrinterControlFile, content, error)) return {};
  return Parse(content);
}

tPrinterControl tPrinterControl::Parse(std::string_view aText) {
  tPrinterControl control;
  while (!aText.empty()) {
    const std::size_t end = aText.find('\n');
    std::string_view line = aText.substr(0, end);
    aText.remove_prefix(end == std::string_view::npos ? aText.size() : end + 1);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.empty() || line.front() == '#') continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    control.fValues[Lower(Trimmed(line.substr(0, equals)))] = std::string(line.substr(equals + 1));
  }
  return control;
}

std::optional<std::string> tPrinterControl::Value(std::string_view aKey) const {
  const auto found = fValues.find(Lower(aKey));
  if (found == fValues.end()) return std::nullopt;
  return found->second;
}

std::optional<tPrinterControl::tForcedAnswer> tPrinterControl::ForcedAnswer(
    std::string_view aOperation) const {
  const std::string prefix = std::string(aOperation) + ".";
  const auto result = Value(prefix + "result");
  if (!result) return std::nullopt;
  tForcedAnswer answer;
  answer.result = NumberOr(result, kFailure);
  answer.extended = NumberOr(Value(prefix + "extended"), 0);
  const auto error = Value(prefix + "error");
  answer.error =
      error ? Unescape(*error) : std::string(aOperation) + " refused by the simulated printer";
  return answer;
}

std::optional<int32_t> tPrinterControl::ForcedHResult(std::string_view aOperation) const {
  const auto text = Value(std::string(aOperation) + ".hresult");
  if (!text) return std::nullopt;
  const auto number = ParseNumber(*text);
  if (!number || *number < INT32_MIN || *number > static_cast<int64_t>(UINT32_MAX)) {
    return kUnspecifiedError;
  }
  return static_cast<int32_t>(static_cast<uint32_t>(*number));
}

std::optional<std::string> tPrinterControl::ErrorDescription(std::string_view aOperation) const {
  const std::string prefix = std::string(aOperation) + ".";
  if (Value(prefix + "errorinfo") == "0") return std::nullopt;
  if (const auto text = Value(prefix + "error")) return Unescape(*text);
  return std::string(aOperation) + " failed: the fiscal printer does not answer";
}

std::optional<std::string> tPrinterControl::ForcedText(std::string_view aOperation) const {
  const auto text = Value(std::string(aOperation) + ".text");
  if (!text) return std::nullopt;
  return Unescape(*text);
}

bool tPrinterControl::CoverOpen() const { return Lower(Value("cover").value_or("")) == "open"; }

bool tPrinterControl::PaperEmpty() const { return Lower(Value("paper").value_or("")) == "empty"; }

bool tPrinterControl::PaperNearEnd() const {
  return Lower(Value("paper").value_or("")) == "nearend";
}

int32_t tPrinterControl::RemainingMemory() const {
  const auto text = Value("memory");
  return text ? NumberOr(text, 0) : kDefaultMemory;
}

void RecordCall(std::string_view aDeviceName, std::string_view aCall, int32_t aResult) {
  std::string line = "[" + std::string(aDeviceName) + "] " + std::string(aCall) + " = " +
                     std::to_string(aResult) + "\r\n";
  std::lock_guard<std::mutex> lock(gRecordMutex);
  platform::ForceDirectories(kPrinterFolder);
  std::string error;
  platform::AppendToFile(kPrinterCallsFile, line, error);
}

}  // namespace qv::standins
