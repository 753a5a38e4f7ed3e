// Reading what a test host program prints for each call of the fiscal library:
//   CALL <export> rc <code> [handle <n>]
//   output <length>\n<text>\n      (length -1: a null string)
//   error <length>\n<text>\n
// Shared by the tests that load a built library into a host process of their own.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <istream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace qv::testing {

inline std::optional<std::string> ReadTranscriptText(std::istream& aIn, const std::string& aLabel) {
  std::string label;
  long length = 0;
  aIn >> label >> length;
  EXPECT_EQ(label, aLabel);
  aIn.get();  // the line end after the length
  std::string text(length < 0 ? 0 : static_cast<std::size_t>(length), '\0');
  if (length > 0) aIn.read(text.data(), length);
  aIn.get();  // the line end after the text
  if (length < 0) return std::nullopt;
  return text;
}

// TCall has the fields name, rc, handle, output and error.
template <typename TCall>
std::vector<TCall> ParseHostTranscript(const std::string& aOutput) {
  std::vector<TCall> calls;
  std::istringstream in(aOutput);
  std::string word;
  while (in >> word) {
    EXPECT_EQ(word, "CALL");
    TCall call;
    in >> call.name >> word >> call.rc;
    if (call.name == "OPEN") in >> word >> call.handle;
    in.get();
    call.output = ReadTranscriptText(in, "output");
    call.error = ReadTranscriptText(in, "error");
    calls.push_back(call);
  }
  return calls;
}

}  // namespace qv::testing
