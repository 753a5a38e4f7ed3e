// The text-only receipt-printer driver QVRP_GENERIC_10: the exports OPEN and PRINTFR.
//
// Both take the device XML (root ReceiptPrinterManager: Type, Driver, Method, Handle,
// Connection, Parameters) as an OLE string and give an output and an error text as OLE strings
// that the caller frees; the result is 0 for success. The device speaks the "text" protocol
// only: it "prints" a receipt by laying it out LineLength columns wide (parameter, default
// 52) and, with the parameter GetReceiptText True (the default), returns it as
// <ReceiptText>...</ReceiptText>, escaped, CR LF between lines (CR written as "&#13;" so that
// it survives the reader's line-end handling).
//
//   OPEN     output "<Handle>n</Handle>", n > 0, a handle for this loaded driver
//   PRINTFR  the request must carry an open Handle and a Receipt element as the last child of
//            the root; output "<ReceiptText>...</ReceiptText>"
//
// Results: 0 done; 1 the request is not well-formed XML or has no root; 2 the protocol or
// line length is not supported; 3 the handle is not open; 4 the receipt cannot be laid out
// (missing Receipt or Lines, unknown line, payment, tax or alignment code, bad amount);
// 9 an unexpected failure. The error output says why.
//
// A test can make the driver misbehave through the control file
// "C:\QVRP_GENERIC_10\control.txt" (same form as the signing box's: key=value lines, "#"
// comments, keys without regard to letter case), read at every call:
//   OPEN.status=<n>, PRINTFR.status=<n>     return n (with the error text below) and do nothing
//   OPEN.error=<text>, PRINTFR.error=<text> the error output that goes with a forced status
//   OPEN.output=<text>, PRINTFR.output=<text>  give this output verbatim instead of the real one
//                                           (for example "<Handle>0</Handle>" or "<Other/>")
//
// The handle table is guarded by a mutex; the exports may be called from any thread.
#include <atomic>
#include <cctype>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include <pugixml.hpp>

#include "platform/export.h"
#include "platform/file_system.h"
#include "platform/ole_string.h"
#include "receipt_layout.h"

namespace qv::standins {
namespace {

using platform::OleStr;

enum : int16_t {
  kDone = 0,
  kBadXml = 1,
  kNotSupported = 2,
  kNotOpen = 3,
  kBadReceipt = 4,
  kUnexpected = 9,
};

constexpr const char* kControlFile = "C:\\QVRP_GENERIC_10\\control.txt";
constexpr int kDefaultLineLength = 52;

struct tFailure {
  int16_t status;
  std::string reason;
};

std::mutex gHandlesMutex;
std::set<int> gOpenHandles;
int gLastHandle = 0;

std::string Lower(std::string_view aText) {
  std::string result(aText);
  for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

std::optional<std::string> ControlValue(const std::string& aKey) {
  std::string content;
  // No control file (or none readable): nothing is set.
  if (!platform::ReadWholeFile(kControlFile, content).IsOk()) return std::nullopt;
  std::size_t start = 0;
  std::optional<std::string> value;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t equals = line.find('=');
    if (line.empty() || line[0] == '#' || equals == std::string::npos) continue;
    if (Lower(line.substr(0, equals)) == Lower(aKey)) value = line.substr(equals + 1);
  }
  return value;
}

std::string Escaped(std::string_view aText) {
  std::string result;
  for (char c : aText) {
    switch (c) {
      case '&':
        result += "&amp;";
        break;
      case '<':
        result += "&lt;";
        break;
      case '>':
        result += "&gt;";
        break;
      case '\r':
        result += "&#13;";
        break;
      default:
        result += c;
    }
  }
  return result;
}

// The first child of Parameters whose name matches aName without regard to letter case.
std::string Parameter(const pugi::xml_node& aRoot, std::string_view aName,
                      std::string_view aDefault) {
  for (const pugi::xml_node& parameter : aRoot.child("Parameters").children()) {
    if (Lower(parameter.name()) == Lower(aName)) return parameter.text().get();
  }
  return std::string(aDefault);
}

pugi::xml_node ParseRequest(pugi::xml_document& aDocument, const std::string& aRequest) {
  const pugi::xml_parse_result parsed = aDocument.load_buffer(
      aRequest.data(), aRequest.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!parsed) {
    throw tFailure{kBadXml, std::string("Request is not valid XML: ") + parsed.description() +
                                " at offset " + std::to_string(parsed.offset)};
  }
  const pugi::xml_node root = aDocument.document_element();
  if (!root) throw tFailure{kBadXml, "Request has no root element"};
  const std::string protocol = Lower(Parameter(root, "Protocol", "text"));
  if (protocol != "text") {
    throw tFailure{kNotSupported, "Protocol " + protocol + " is not supported by this driver"};
  }
  return root;
}

int LineLength(const pugi::xml_node& aRoot) {
  const std::string text = Parameter(aRoot, "LineLength", "");
  if (text.empty()) return kDefaultLineLength;
  std::size_t used = 0;
  int value = 0;
  try {
    value = std::stoi(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size()) throw tFailure{kNotSupported, "LineLength " + text + " is not a number"};
  return value;
}

std::string Open(const std::string& aRequest) {
  pugi::xml_document document;
  ParseRequest(document, aRequest);
  std::lock_guard<std::mutex> lock(gHandlesMutex);
  const int handle = ++gLastHandle;
  gOpenHandles.insert(handle);
  return "<Handle>" + std::to_string(handle) + "</Handle>";
}

std::string PrintFiscalReceipt(const std::string& aRequest) {
  pugi::xml_document document;
  const pugi::xml_node root = ParseRequest(document, aRequest);
  const int handle = root.child("Handle").text().as_int(0);
  {
    std::lock_guard<std::mutex> lock(gHandlesMutex);
    if (gOpenHandles.count(handle) == 0) {
      throw tFailure{kNotOpen, "Device handle " + std::to_string(handle) + " is not open"};
    }
  }
  const pugi::xml_node receipt = root.child("Receipt");
  if (!receipt) throw tFailure{kBadReceipt, "Receipt node not found"};
  std::string text;
  try {
    const tReceiptLayout layout(LineLength(root));
    for (const std::string& line : layout.Render(receipt)) {
      if (!text.empty()) text += "\r\n";
      text += line;
    }
  } catch (const tBadReceipt& failure) {
    const bool lineLength = std::string_view(failure.what()).rfind("LineLength", 0) == 0;
    throw tFailure{lineLength ? kNotSupported : kBadReceipt, failure.what()};
  }
  if (Lower(Parameter(root, "GetReceiptText", "true")) != "true") return {};
  return "<ReceiptText>" + Escaped(text) + "</ReceiptText>";
}

// The caller's variables are null on entry: a text given before is this call's own, and is
// replaced when a later step of the call gives another.
void Give(OleStr* aOut, const std::string& aText) {
  if (aOut == nullptr) return;
  OleStr text = platform::NewOleString(aText);
  SysFreeString(*aOut);
  *aOut = text;
}

// Runs one call: control file first, then the work; no exception leaves the library.
template <class Work>
int16_t Serve(const char* aName, OleStr aRequest, OleStr* aOutput, OleStr* aError, Work aWork) {
  try {
    const std::string name = aName;
    if (const auto forced = ControlValue(name + ".status")) {
      const auto status = static_cast<int16_t>(std::stoi(*forced));  // may throw: nothing given
      Give(aError, ControlValue(name + ".error").value_or(name + " refused by the device"));
      return status;
    }
    const std::string output = aWork(platform::OleStringToUtf8(aRequest));
    Give(aOutput, ControlValue(name + ".output").value_or(output));
    return kDone;
  } catch (const tFailure& failure) {
    Give(aError, failure.reason);
    return failure.status;
  } catch (const std::exception& failure) {
    Give(aError, failure.what());
    return kUnexpected;
  } catch (...) {
    Give(aError, "Unexpected failure");
    return kUnexpected;
  }
}

}  // namespace
}  // namespace qv::standins

extern "C" {

QV_EXPORT int16_t QV_STDCALL OPEN(qv::platform::OleStr aRequest, qv::platform::OleStr* aOutput,
                                  qv::platform::OleStr* aError) {
  return qv::standins::Serve("OPEN", aRequest, aOutput, aError, qv::standins::Open);
}

QV_EXPORT int16_t QV_STDCALL PRINTFR(qv::platform::OleStr aRequest, qv::platform::OleStr* aOutput,
                                     qv::platform::OleStr* aError) {
  return qv::standins::Serve("PRINTFR", aRequest, aOutput, aError,
                             qv::standins::PrintFiscalReceipt);
}
}
