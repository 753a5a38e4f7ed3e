// A point-of-sale host in miniature for the driver's tests: loads a fiscal processor library
// into this fresh process (so its handles start at 1) and runs a script of calls through its
// exports, printing what each call returned.
//
//   driver_host <library> <script> [unload]
//
// The script holds calls, each starting with a line "@<EXPORT> [flags]" followed by the
// request text (every line up to the next "@" line). Flags: nullrequest, nullhandle,
// nulloutput, nullerror (pass a null pointer there). With "unload" the library is unloaded
// before the program ends; otherwise it goes with the process.
//
// For each call the output is:
//   CALL <EXPORT>
//   rc <result>
//   handle <value>                 (OPEN only; "none" for a null pointer)
//   output <length or -1 for null>
//   <text>
//   error <length or -1 for null>
//   <text>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/dynamic_library.h"
#include "platform/file_system.h"
#include "platform/ole_string.h"
#include "support/file_status_assertions.h"

namespace {

using qv::platform::OleStr;
using tOpen = int32_t (*)(OleStr, int32_t*, OleStr*);
using tProcess = int32_t (*)(OleStr, OleStr*, OleStr*);

struct tCall {
  std::string name;
  std::vector<std::string> flags;
  std::string request;

  bool Has(const std::string& aFlag) const {
    for (const std::string& flag : flags) {
      if (flag == aFlag) return true;
    }
    return false;
  }
};

std::vector<tCall> ReadScript(const std::string& aText) {
  std::vector<tCall> calls;
  std::istringstream lines(aText);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line[0] == '@') {
      tCall call;
      std::istringstream words(line.substr(1));
      words >> call.name;
      for (std::string flag; words >> flag;) call.flags.push_back(flag);
      calls.push_back(call);
    } else if (!calls.empty()) {
      if (!calls.back().request.empty()) calls.back().request += "\n";
      calls.back().request += line;
    }
  }
  return calls;
}

void PrintText(const char* aLabel, bool aNull, OleStr aText) {
  if (aNull || aText == nullptr) {
    std::cout << aLabel << " -1\n\n";
    return;
  }
  const std::string text = qv::platform::OleStringToUtf8(aText);
  std::cout << aLabel << " " << text.size() << "\n" << text << "\n";
  SysFreeString(aText);
}

int RunCall(const qv::platform::DynamicLibrary& aLibrary, const tCall& aCall) {
  void* symbol = aLibrary.Symbol(aCall.name.c_str());
  if (symbol == nullptr) {
    std::cerr << "no export " << aCall.name << "\n";
    return 2;
  }
  qv::platform::OleString request(aCall.request);
  OleStr requestArg = aCall.Has("nullrequest") ? nullptr : request.Get();
  OleStr output = nullptr;
  OleStr error = nullptr;
  OleStr* errorArg = aCall.Has("nullerror") ? nullptr : &error;
  std::cout << "CALL " << aCall.name << "\n";
  if (aCall.name == "OPEN") {
    int32_t handle = -12345;
    int32_t* handleArg = aCall.Has("nullhandle") ? nullptr : &handle;
    const int32_t rc = reinterpret_cast<tOpen>(symbol)(requestArg, handleArg, errorArg);
    std::cout << "rc " << rc << "\n";
    if (handleArg == nullptr) {
      std::cout << "handle none\n";
    } else {
      std::cout << "handle " << handle << "\n";
    }
    PrintText("output", true, nullptr);
  } else {
    OleStr* outputArg = aCall.Has("nulloutput") ? nullptr : &output;
    const int32_t rc = reinterpret_cast<tProcess>(symbol)(requestArg, outputArg, errorArg);
    std::cout << "rc " << rc << "\n";
    PrintText("output", outputArg == nullptr, output);
  }
  PrintText("error", errorArg == nullptr, error);
  std::cout.flush();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: driver_host <library> <script> [unload]\n";
    return 2;
  }
  std::string script;
  std::string error;
  if (!Ok(qv::platform::ReadWholeFile(argv[2], script), error)) {
    std::cerr << error << "\n";
    return 2;
  }
  qv::platform::DynamicLibrary library;
  if (!library.Load(argv[1], error)) {
    std::cerr << "cannot load " << argv[1] << ": " << error << "\n";
    return 2;
  }
  for (const tCall& call : ReadScript(script)) {
    if (int failed = RunCall(library, call)) return failed;
  }
  if (argc > 3 && std::string(argv[3]) == "unload") library.Unload();
  return 0;
}
