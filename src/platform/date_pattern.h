// The short date pattern of a POSIX locale (strftime's "%d/%m/%Y") in the letters the
// reports use ("dd/mm/yyyy"). Private to the platform layer; stateless.
#pragma once

#include <string>
#include <string_view>

namespace qv::platform {

struct DateOrder {
  std::string separator;        // the text between the first two fields, "/" when none
  std::string shortDateFormat;  // the fields in order, joined by "/"
};

// Day "%d" -> "dd", "%e" / "%-d" -> "d"; month "%m" -> "mm", "%-m" -> "m"; year "%Y" ->
// "yyyy", "%y" -> "yy"; "%D" is "%m/%d/%y" and "%F" is "%Y-%m-%d". Literal text after the
// last field (Hungarian "%Y. %m. %d.") is dropped. An empty result when the pattern names no
// day, month and year.
DateOrder DateOrderFromStrftime(std::string_view aPattern);

}  // namespace qv::platform
