// Reading the box's control file.
#include "box_control.h"

#include <climits>

namespace qv::standins {
namespace {

constexpr int16_t kMalformedStatus = 99;

// The key of aKey for aOperation: "<Operation>.<key>", or aKey alone without an operation.
std::string KeyOf(std::string_view aOperation, std::string_view aKey) {
  return aOperation.empty() ? std::string(aKey) : std::string(aOperation) + "." + std::string(aKey);
}

}  // namespace

tBoxControl tBoxControl::Read() { return tBoxControl(tControlFile::Read(kControlFileName)); }

tBoxControl tBoxControl::Parse(std::string_view aText) {
  return tBoxControl(tControlFile::Parse(aText));
}

std::optional<std::string> tBoxControl::Value(std::string_view aOperation,
                                              std::string_view aKey) const {
  return fFile.Value(KeyOf(aOperation, aKey));
}

std::optional<int32_t> tBoxControl::ForcedResult(std::string_view aOperation) const {
  return fFile.ResultCode(KeyOf(aOperation, "hresult"));
}

std::optional<int16_t> tBoxControl::ForcedStatus(std::string_view aOperation) const {
  const auto status =
      fFile.Number(KeyOf(aOperation, "status"), INT16_MIN, INT16_MAX, kMalformedStatus);
  if (!status) return std::nullopt;
  return static_cast<int16_t>(*status);
}

std::optional<std::string> tBoxControl::ForcedText(std::string_view aOperation) const {
  return fFile.Text(KeyOf(aOperation, "text"));
}

std::optional<std::string> tBoxControl::ErrorDescription(std::string_view aOperation) const {
  if (Value(aOperation, "errorinfo") == "0") return std::nullopt;
  return fFile.Text(KeyOf(aOperation, "error"))
      .value_or(std::string(aOperation) + " failed: the signing device does not answer");
}

std::string tBoxControl::NewDeviceSerial() const {
  const auto serial = Value({}, "serial");
  return serial && !serial->empty() ? *serial : std::string(kDefaultSerial);
}

}  // namespace qv::standins
