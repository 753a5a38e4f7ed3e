// Reading the box's control file.
#include "box_control.h"

#include <cctype>
#include <charconv>

#include "platform/file_system.h"

namespace qv::standins {
namespace {

constexpr int32_t kUnspecifiedError = static_cast<int32_t>(0x80004005u);
constexpr int16_t kMalformedStatus = 99;

std::string Lower(std::string_view aText) {
  std::string result(aText);
  for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

std::string_view TrimLineEnd(std::string_view aLine) {
  while (!aLine.empty() && (aLine.back() == '\r' || aLine.back() == '\n')) aLine.remove_suffix(1);
  return aLine;
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

// "0x80004005", "80004005h"-free forms only: hexadecimal with 0x, or signed decimal.
std::optional<int64_t> ParseNumber(std::string_view aText) {
  while (!aText.empty() && std::isspace(static_cast<unsigned char>(aText.front()))) {
    aText.remove_prefix(1);
  }
  while (!aText.empty() && std::isspace(static_cast<unsigned char>(aText.back()))) {
    aText.remove_suffix(1);
  }
  int base = 10;
  if (aText.size() > 2 && aText[0] == '0' && (aText[1] == 'x' || aText[1] == 'X')) {
    aText.remove_prefix(2);
    base = 16;
  }
  int64_t value = 0;
  const auto [end, error] = std::from_chars(aText.data(), aText.data() + aText.size(), value, base);
  if (error != std::errc() || end != aText.data() + aText.size() || aText.empty()) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

tBoxControl tBoxControl::Read() {
  std::string content;
  std::string error;
  if (!platform::ReadWholeFile(kControlFileName, content, error)) return {};
  return Parse(content);
}

tBoxControl tBoxControl::Parse(std::string_view aText) {
  tBoxControl control;
  while (!aText.empty()) {
    const std::size_t end = aText.find('\n');
    std::string_view line =
        TrimLineEnd(aText.substr(0, end == std::string_view::npos ? aText.size() : end + 1));
    aText.remove_prefix(end == std::string_view::npos ? aText.size() : end + 1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.empty() || line.front() == '#') continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    std::string_view key = line.substr(0, equals);
    while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.remove_suffix(1);
    control.fValues[Lower(key)] = std::string(line.substr(equals + 1));
  }
  return control;
}

std::optional<std::string> tBoxControl::Value(std::string_view aOperation,
                                              std::string_view aKey) const {
  const std::string key = aOperation.empty() ? Lower(aKey) : Lower(aOperation) + "." + Lower(aKey);
  const auto found = fValues.find(key);
  if (found == fValues.end()) return std::nullopt;
  return found->second;
}

std::optional<int32_t> tBoxControl::ForcedResult(std::string_view aOperation) const {
  const auto text = Value(aOperation, "hresult");
  if (!text) return std::nullopt;
  const auto number = ParseNumber(*text);
  if (!number || *number < INT32_MIN || *number > UINT32_MAX) return kUnspecifiedError;
  return static_cast<int32_t>(static_cast<uint32_t>(*number));
}

std::optional<int16_t> tBoxControl::ForcedStatus(std::string_view aOperation) const {
  const auto text = Value(aOperation, "status");
  if (!text) return std::nullopt;
  const auto number = ParseNumber(*text);
  if (!number || *number < INT16_MIN || *number > INT16_MAX) return kMalformedStatus;
  return static_cast<int16_t>(*number);
}

std::optional<std::string> tBoxControl::ForcedText(std::string_view aOperation) const {
  const auto text = Value(aOperation, "text");
  if (!text) return std::nullopt;
  return Unescape(*text);
}

std::optional<std::string> tBoxControl::ErrorDescription(std::string_view aOperation) const {
  if (Value(aOperation, "errorinfo") == "0") return std::nullopt;
  if (const auto text = Value(aOperation, "error")) return Unescape(*text);
  return std::string(aOperation) + " failed: the signing device does not answer";
}

std::string tBoxControl::NewDeviceSerial() const {
  const auto serial = Value({}, "serial");
  return serial && !serial->empty() ? *serial : std::string(kDefaultSerial);
}

}  // namespace qv::standins
