// printf-like formatting of message texts with a list of values.
#include <algorithm>
#include <cstdio>

#include "base/utils.h"
#include "platform/error.h"

namespace qv::base {

namespace {

struct Directive {
  bool leftAlign = false;
  int width = 0;
  int precision = -1;
  char kind = 0;
};

// Reads "[-][width][.precision]kind" from aPattern at aPos (after the "%").
bool ReadDirective(std::string_view aPattern, size_t& aPos, Directive& aDirective) {
  if (aPos < aPattern.size() && aPattern[aPos] == '-') {
    aDirective.leftAlign = true;
    ++aPos;
  }
  while (aPos < aPattern.size() && aPattern[aPos] >= '0' && aPattern[aPos] <= '9') {
    aDirective.width = std::min(aDirective.width * 10 + (aPattern[aPos++] - '0'), 1000);
  }
  if (aPos < aPattern.size() && aPattern[aPos] == '.') {
    ++aPos;
    aDirective.precision = 0;
    while (aPos < aPattern.size() && aPattern[aPos] >= '0' && aPattern[aPos] <= '9') {
      aDirective.precision = std::min(aDirective.precision * 10 + (aPattern[aPos++] - '0'), 100);
    }
  }
  if (aPos >= aPattern.size()) return false;
  aDirective.kind = static_cast<char>(LowerCase(aPattern.substr(aPos++, 1))[0]);
  return true;
}

std::string Printf(const char* aFormat, int aPrecision, auto aValue) {
  const int length = std::snprintf(nullptr, 0, aFormat, aPrecision, aValue);
  std::string text(static_cast<size_t>(length > 0 ? length : 0), '\0');
  std::snprintf(text.data(), text.size() + 1, aFormat, aPrecision, aValue);
  return text;
}

// The text of one value for a directive; false when the value does not fit it.
bool ValueText(const Directive& aDirective, const FormatValue& aValue, std::string& aText) {
  const int64_t* integer = std::get_if<int64_t>(&aValue);
  const double* number = std::get_if<double>(&aValue);
  const std::string* text = std::get_if<std::string>(&aValue);
  switch (aDirective.kind) {
    case 's':
      if (text) aText = *text;
      if (integer) aText = std::to_string(*integer);
      if (number) aText = Printf("%.*g", 15, *number);
      if (aDirective.precision >= 0 && aText.size() > static_cast<size_t>(aDirective.precision)) {
        aText.resize(static_cast<size_t>(aDirective.precision));
      }
      return true;
    case 'd':
      if (!integer) return false;
      aText = Printf("%.*lld", std::max(aDirective.precision, 1), static_cast<long long>(*integer));
      return true;
    case 'x':
      if (!integer) return false;
      aText = Printf("%.*llX", std::max(aDirective.precision, 1),
                     static_cast<unsigned long long>(*integer));
      return true;
    case 'f':
      if (!integer && !number) return false;
      aText = Printf("%.*f", aDirective.precision < 0 ? 2 : aDirective.precision,
                     integer ? static_cast<double>(*integer) : *number);
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string FormatText(std::string_view aPattern, const std::vector<FormatValue>& aValues) {
  const auto invalid = [&] {
    return Error("Format '" + std::string(aPattern) + "' invalid or incompatible with argument");
  };
  std::string out;
  size_t next = 0;
  for (size_t i = 0; i < aPattern.size();) {
    if (aPattern[i] != '%') {
      out.push_back(aPattern[i++]);
      continue;
    }
    ++i;
    if (i < aPattern.size() && aPattern[i] == '%') {
      out.push_back('%');
      ++i;
      continue;
    }
    Directive directive;
    std::string text;
    if (!ReadDirective(aPattern, i, directive) || next >= aValues.size() ||
        !ValueText(directive, aValues[next++], text)) {
      throw invalid();
    }
    const size_t width = static_cast<size_t>(directive.width);
    if (text.size() < width) {
      const std::string padding(width - text.size(), ' ');
      text = directive.leftAlign ? text + padding : padding + text;
    }
    out += text;
  }
  return out;
}

}  // namespace qv::base
