// The control file of a simulated device, through which a test tells the device how to
// answer. One "key=value" per line; blank lines and lines starting with "#" are ignored;
// keys are compared without regard to letter case and blanks around them; values are taken
// as they stand (no trimming after the "=").
//
// Safe from any thread: a control file object is a snapshot of the file.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace qv::standins {

class tControlFile {
 public:
  // Reads the file aPath (a system path: drive C as the platform maps it); a missing or
  // unreadable file gives no values.
  static tControlFile Read(const char* aPath);
  static tControlFile Parse(std::string_view aText);

  // The value of aKey, if given.
  std::optional<std::string> Value(std::string_view aKey) const;
  // The value of aKey with "\r" and "\n" turned into CR and LF, if given.
  std::optional<std::string> Text(std::string_view aKey) const;
  // The value of aKey as a number, hexadecimal with "0x" (0x80004005) or signed decimal,
  // blanks around it allowed; aMalformed when it is given but no number from aMin to aMax.
  std::optional<int64_t> Number(std::string_view aKey, int64_t aMin, int64_t aMax,
                                int64_t aMalformed) const;
  // The value of aKey as a COM result code: a number up to 0xFFFFFFFF, E_FAIL when it is
  // given but malformed.
  std::optional<int32_t> ResultCode(std::string_view aKey) const;

 private:
  std::map<std::string, std::string> fValues;  // lower-case keys
};

}  // namespace qv::standins
