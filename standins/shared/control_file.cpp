#include "shared/control_file.h"

#include <cctype>
#include <charconv>
#include <climits>

#include "base/utils.h"
#include "platform/file_system.h"

namespace qv::standins {
namespace {

constexpr int32_t kUnspecifiedError = static_cast<int32_t>(0x80004005u);

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

}  // namespace

tControlFile tControlFile::Read(const char* aPath) {
  std::string content;
  // No control file (or none readable): the device answers normally.
  if (!platform::ReadWholeFile(aPath, content).IsOk()) return {};
  return Parse(content);
}

tControlFile tControlFile::Parse(std::string_view aText) {
  tControlFile control;
  while (!aText.empty()) {
    const std::size_t end = aText.find('\n');
    std::string_view line = aText.substr(0, end);
    aText.remove_prefix(end == std::string_view::npos ? aText.size() : end + 1);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.empty() || line.front() == '#') continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    control.fValues[base::LowerCase(Trimmed(line.substr(0, equals)))] =
        std::string(line.substr(equals + 1));
  }
  return control;
}

std::optional<std::string> tControlFile::Value(std::string_view aKey) const {
  const auto found = fValues.find(base::LowerCase(aKey));
  if (found == fValues.end()) return std::nullopt;
  return found->second;
}

std::optional<std::string> tControlFile::Text(std::string_view aKey) const {
  const auto text = Value(aKey);
  if (!text) return std::nullopt;
  return Unescape(*text);
}

std::optional<int64_t> tControlFile::Number(std::string_view aKey, int64_t aMin, int64_t aMax,
                                            int64_t aMalformed) const {
  const auto text = Value(aKey);
  if (!text) return std::nullopt;
  const auto number = ParseNumber(*text);
  if (!number || *number < aMin || *number > aMax) return aMalformed;
  return number;
}

std::optional<int32_t> tControlFile::ResultCode(std::string_view aKey) const {
  const auto number = Number(aKey, INT32_MIN, UINT32_MAX, kUnspecifiedError);
  if (!number) return std::nullopt;
  return static_cast<int32_t>(static_cast<uint32_t>(*number));
}

}  // namespace qv::standins
