// Reading a locale's strftime date pattern as the report's short date format.
#include "platform/date_pattern.h"

#include <cctype>
#include <cstring>
#include <vector>

namespace qv::platform {
namespace {

// The report letters of one strftime conversion, or empty for conversions that are not a
// day, month or year field. aUnpadded is glibc's "-" flag.
std::string FieldLetters(char aConversion, bool aUnpadded) {
  switch (aConversion) {
    case 'd':
      return aUnpadded ? "d" : "dd";
    case 'e':
      return "d";
    case 'm':
      return aUnpadded ? "m" : "mm";
    case 'Y':
    case 'G':
      return "yyyy";
    case 'y':
    case 'g':
      return "yy";
    default:
      return {};
  }
}

// Expands the composite conversions into their parts.
std::string ExpandComposites(std::string_view aPattern) {
  std::string expanded;
  for (std::size_t i = 0; i < aPattern.size(); ++i) {
    if (aPattern[i] == '%' && i + 1 < aPattern.size()) {
      const char next = aPattern[i + 1];
      if (next == 'D' || next == 'x') {
        expanded += "%m/%d/%y";
        ++i;
        continue;
      }
      if (next == 'F') {
        expanded += "%Y-%m-%d";
        ++i;
        continue;
      }
      expanded += aPattern[i];
      expanded += next;
      ++i;
      continue;
    }
    expanded += aPattern[i];
  }
  return expanded;
}

}  // namespace

DateOrder DateOrderFromStrftime(std::string_view aPattern) {
  const std::string pattern = ExpandComposites(aPattern);
  std::vector<std::string> fields;
  std::string literal;
  std::string separator;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%' || i + 1 >= pattern.size()) {
      literal += pattern[i];
      continue;
    }
    ++i;
    bool unpadded = false;
    while (i < pattern.size() && std::strchr("-_0^#", pattern[i]) != nullptr) {
      unpadded = unpadded || pattern[i] == '-' || pattern[i] == '_';
      ++i;
    }
    while (i < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[i]))) ++i;
    if (i < pattern.size() && (pattern[i] == 'E' || pattern[i] == 'O')) ++i;
    if (i >= pattern.size()) break;
    if (pattern[i] == '%') {
      literal += '%';
      continue;
    }
    const std::string letters = FieldLetters(pattern[i], unpadded);
    if (letters.empty()) continue;
    if (fields.size() == 1) separator = literal;
    fields.push_back(letters);
    literal.clear();
  }
  const auto has = [&fields](char aLetter) {
    for (const std::string& field : fields) {
      if (field[0] == aLetter) return true;
    }
    return false;
  };
  if (fields.size() != 3 || !has('d') || !has('m') || !has('y')) return {};
  DateOrder order;
  order.separator = separator.empty() ? "/" : separator;
  order.shortDateFormat = fields[0] + "/" + fields[1] + "/" + fields[2];
  return order;
}

}  // namespace qv::platform
