// A point-of-sale host in miniature for the signing processor's end-to-end tests: loads the
// fiscal processor library into this fresh process (so its handles start at 1) and calls
// its exports.
//
//   processor_host <library> script <file>
//     Runs the calls of the script: each starts with a line "@<EXPORT>" followed by its
//     request text (every line up to the next "@" line). For each call it prints
//       CALL <EXPORT>
//       rc <result>
//       handle <value>            (OPEN only)
//       output <length, -1 for null>
//       <text>
//       error <length, -1 for null>
//       <text>
//     A line "@FILE <path>" instead writes the lines up to the next "@" line into the file
//     <path> (a native path; the lines joined by LF) before the next call, and prints nothing:
//     the test changes a control or counters file between two calls of one process.
//     A line "@RESOURCES" prints, in the form of a call named RESOURCES whose output is
//     "<threads> <open files>", how many threads and open files the process has then.
//
//   processor_host <library> receipts <request file> <count>
//     Opens the processor with the request of the file (its text without a Receipt element is
//     the OPEN request) and sends it <count> times as PROCESSRECEIPT with the handle given
//     by OPEN. Prints "OPENED <handle>" and, after each receipt, "RECEIPT <i> <rc> <Number>"
//     (flushed at once, so that a test sees exactly which receipts were answered), or
//     "FAILED <i> <error>" and ends with exit code 1.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/dynamic_library.h"
#include "platform/file_system.h"
#include "platform/ole_string.h"
#include "platform/process.h"
#include "support/file_status_assertions.h"

namespace {

using qv::platform::OleStr;
using tOpen = int32_t (*)(OleStr, int32_t*, OleStr*);
using tProcess = int32_t (*)(OleStr, OleStr*, OleStr*);

struct tCall {
  std::string name;
  std::string request;
};

std::vector<tCall> ReadScript(const std::string& aText) {
  std::vector<tCall> calls;
  std::istringstream lines(aText);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line[0] == '@') {
      calls.push_back(tCall{line.substr(1), ""});
    } else if (!calls.empty()) {
      if (!calls.back().request.empty()) calls.back().request += "\n";
      calls.back().request += line;
    }
  }
  return calls;
}

// The text of an output and frees it; the null string stays null.
struct tText {
  bool null = true;
  std::string text;
};

tText Take(OleStr aText) {
  tText result;
  if (aText == nullptr) return result;
  result.null = false;
  result.text = qv::platform::OleStringToUtf8(aText);
  SysFreeString(aText);
  return result;
}

void PrintText(const char* aLabel, const tText& aText) {
  if (aText.null) {
    std::cout << aLabel << " -1\n\n";
  } else {
    std::cout << aLabel << " " << aText.text.size() << "\n" << aText.text << "\n";
  }
}

struct tAnswer {
  int32_t rc = 0;
  int32_t handle = 0;
  tText output;
  tText error;
};

tAnswer CallExport(const qv::platform::DynamicLibrary& aLibrary, const std::string& aName,
                   const std::string& aRequest) {
  tAnswer answer;
  void* symbol = aLibrary.Symbol(aName.c_str());
  if (symbol == nullptr) {
    std::cerr << "no export " << aName << "\n";
    std::exit(2);
  }
  qv::platform::OleString request(aRequest);
  OleStr output = nullptr;
  OleStr error = nullptr;
  if (aName == "OPEN") {
    answer.rc = reinterpret_cast<tOpen>(symbol)(request.Get(), &answer.handle, &error);
  } else {
    answer.rc = reinterpret_cast<tProcess>(symbol)(request.Get(), &output, &error);
  }
  answer.output = Take(output);
  answer.error = Take(error);
  return answer;
}

int RunScript(const qv::platform::DynamicLibrary& aLibrary, const std::string& aScript) {
  for (const tCall& call : ReadScript(aScript)) {
    if (call.name.rfind("FILE ", 0) == 0) {
      const std::string path = call.name.substr(5);
      qv::platform::ForceDirectories(path.substr(0, path.find_last_of('/'))).ThrowIfFailed();
      std::string error;
      if (!Ok(qv::platform::WriteWholeFile(path, call.request), error)) {
        std::cerr << error << "\n";
        return 2;
      }
      continue;
    }
    if (call.name == "RESOURCES") {
      const std::string counts = std::to_string(qv::platform::ThreadCount()) + " " +
                                 std::to_string(qv::platform::OpenFileCount());
      std::cout << "CALL RESOURCES\nrc 0\n";
      PrintText("output", tText{false, counts});
      PrintText("error", tText{});
      std::cout.flush();
      continue;
    }
    const tAnswer answer = CallExport(aLibrary, call.name, call.request);
    std::cout << "CALL " << call.name << "\nrc " << answer.rc << "\n";
    if (call.name == "OPEN") std::cout << "handle " << answer.handle << "\n";
    PrintText("output", answer.output);
    PrintText("error", answer.error);
    std::cout.flush();
  }
  return 0;
}

std::string ElementText(const std::string& aXml, const std::string& aName) {
  const std::string open = "<" + aName + ">";
  const std::size_t start = aXml.find(open);
  if (start == std::string::npos) return "";
  const std::size_t end = aXml.find("</" + aName + ">", start);
  return end == std::string::npos ? ""
                                  : aXml.substr(start + open.size(), end - start - open.size());
}

// The request with "<Handle>n</Handle>" put right after the root's start tag.
std::string WithHandle(const std::string& aRequest, int32_t aHandle) {
  const std::size_t rootEnd = aRequest.find('>', aRequest.find('<', aRequest.find("?>") + 1));
  return aRequest.substr(0, rootEnd + 1) + "<Handle>" + std::to_string(aHandle) + "</Handle>" +
         aRequest.substr(rootEnd + 1);
}

std::string WithoutReceipt(const std::string& aRequest) {
  const std::size_t start = aRequest.find("<Receipt>");
  const std::size_t end = aRequest.find("</Receipt>");
  if (start == std::string::npos || end == std::string::npos) return aRequest;
  return aRequest.substr(0, start) + aRequest.substr(end + std::string("</Receipt>").size());
}

int RunReceipts(const qv::platform::DynamicLibrary& aLibrary, const std::string& aRequest,
                int aCount) {
  const tAnswer opened = CallExport(aLibrary, "OPEN", WithoutReceipt(aRequest));
  if (opened.rc != 0) {
    std::cout << "FAILED 0 " << opened.error.text << std::endl;
    return 1;
  }
  std::cout << "OPENED " << opened.handle << std::endl;
  const std::string request = WithHandle(aRequest, opened.handle);
  for (int i = 1; i <= aCount; ++i) {
    const tAnswer answer = CallExport(aLibrary, "PROCESSRECEIPT", request);
    if (answer.rc != 0) {
      std::cout << "FAILED " << i << " " << answer.error.text << std::endl;
      return 1;
    }
    std::cout << "RECEIPT " << i << " " << answer.rc << " "
              << ElementText(answer.output.text, "Number") << std::endl;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "usage: processor_host <library> script <file> | receipts <file> <count>\n";
    return 2;
  }
  std::string text;
  std::string error;
  if (!Ok(qv::platform::ReadWholeFile(argv[3], text), error)) {
    std::cerr << error << "\n";
    return 2;
  }
  qv::platform::DynamicLibrary library;
  if (!library.Load(argv[1], error)) {
    std::cerr << "cannot load " << argv[1] << ": " << error << "\n";
    return 2;
  }
  const std::string mode = argv[2];
  if (mode == "script") return RunScript(library, text);
  if (mode == "receipts" && argc > 4) return RunReceipts(library, text, std::stoi(argv[4]));
  std::cerr << "unknown mode " << mode << "\n";
  return 2;
}
