// What qvfp call and qvfp run print, read back into one record per call:
//   -- EXPORT file            (qvfp run only)
//   EXPORT returned CODE
//   handle: N                 (OPEN only)
//   output:                   (only when the call gave an output)
//   ...the result document...
//   error: TEXT or (none)
//
// Threading: plain functions and values.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <pugixml.hpp>

namespace qv::testing {

struct tPrintedCall {
  std::string exportName;
  std::string file;  // the request file of a script line; empty for qvfp call
  int code = 99;
  std::optional<int> handle;
  std::string output;  // the result document as printed; empty when there was none
  std::string error;   // the error text; "(none)" when the library gave none
};

// The calls in the standard output of qvfp call or qvfp run, in their order. A block that
// does not have the form above gives a record with code 99 and the block's text as error.
std::vector<tPrintedCall> ReadPrintedCalls(const std::string& aOutput);

// The text of the element at aPath ("Receipt/Number") below the root of aXml; "<no such
// element>" or "<malformed: ...>" when it cannot be found.
std::string XmlValue(const std::string& aXml, const std::string& aPath);

}  // namespace qv::testing
