#include "host/support/call_transcript.h"

#include <sstream>

namespace qv::testing {

namespace {

const char* const kExports[] = {"OPEN", "PROCESSRECEIPT", "PROCESSZREPORT", "PROCESSXREPORT",
                                "PROCESSGETSTATUS"};

bool StartsWith(const std::string& aText, const std::string& aPrefix) {
  return aText.compare(0, aPrefix.size(), aPrefix) == 0;
}

// "EXPORT returned CODE": the export's name, or empty for any other line.
std::string ReturnedExport(const std::string& aLine) {
  for (const char* name : kExports) {
    if (StartsWith(aLine, std::string(name) + " returned ")) return name;
  }
  return {};
}

std::vector<std::string> Lines(const std::string& aText) {
  std::vector<std::string> lines;
  std::istringstream stream(aText);
  std::string line;
  while (std::getline(stream, line)) lines.push_back(line);
  return lines;
}

std::string Joined(const std::vector<std::string>& aLines, size_t aFirst, size_t aEnd) {
  std::string text;
  for (size_t i = aFirst; i < aEnd; ++i) text += aLines[i] + "\n";
  return text;
}

tPrintedCall ReadBlock(const std::vector<std::string>& aLines, size_t aFirst, size_t aEnd) {
  tPrintedCall call;
  size_t at = aFirst;
  if (at < aEnd && StartsWith(aLines[at], "-- ")) {
    std::istringstream words(aLines[at].substr(3));
    words >> call.exportName >> call.file;
    ++at;
  }
  if (at >= aEnd || ReturnedExport(aLines[at]).empty()) {
    call.error = Joined(aLines, aFirst, aEnd);
    return call;
  }
  call.exportName = ReturnedExport(aLines[at]);
  call.code = std::stoi(aLines[at].substr(call.exportName.size() + 10));
  ++at;
  if (at < aEnd && StartsWith(aLines[at], "handle: "))
    call.handle = std::stoi(aLines[at++].substr(8));
  // The error line is the last line of the block that starts with "error: ".
  size_t errorLine = aEnd;
  for (size_t i = aEnd; i > at; --i) {
    if (StartsWith(aLines[i - 1], "error: ")) {
      errorLine = i - 1;
      break;
    }
  }
  if (errorLine == aEnd) {
    call.code = 99;
    call.error = Joined(aLines, aFirst, aEnd);
    return call;
  }
  if (at < errorLine && aLines[at] == "output:") call.output = Joined(aLines, at + 1, errorLine);
  call.error = aLines[errorLine].substr(7) + (errorLine + 1 < aEnd ? "\n" : "") +
               Joined(aLines, errorLine + 1, aEnd);
  return call;
}

}  // namespace

std::vector<tPrintedCall> ReadPrintedCalls(const std::string& aOutput) {
  std::vector<std::string> lines = Lines(aOutput);
  // A call starts at its "-- " script line, or at its "returned" line when it has none.
  std::vector<size_t> starts;
  for (size_t i = 0; i < lines.size(); ++i) {
    bool scriptLine = StartsWith(lines[i], "-- ");
    bool returned = !ReturnedExport(lines[i]).empty();
    if (scriptLine || (returned && (i == 0 || !StartsWith(lines[i - 1], "-- ")))) {
      starts.push_back(i);
    }
  }
  std::vector<tPrintedCall> calls;
  for (size_t n = 0; n < starts.size(); ++n) {
    calls.push_back(
        ReadBlock(lines, starts[n], n + 1 < starts.size() ? starts[n + 1] : lines.size()));
  }
  return calls;
}

std::string XmlValue(const std::string& aXml, const std::string& aPath) {
  pugi::xml_document document;
  pugi::xml_parse_result parsed = document.load_string(aXml.c_str());
  if (!parsed) return std::string("<malformed: ") + parsed.description() + ">";
  pugi::xml_node node = document.document_element();
  std::istringstream names(aPath);
  std::string name;
  while (std::getline(names, name, '/')) {
    node = node.child(name.c_str());
    if (!node) return "<no such element>";
  }
  return node.text().get();
}

}  // namespace qv::testing
