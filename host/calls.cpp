// qvfp call and qvfp run: requests from files, sent to the library's exports.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"
#include "fiscal_library.h"
#include "platform/environment.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/process.h"

namespace qv::host {

std::string ReadTextFile(const std::string& aPath) {
  std::ifstream file(aPath, std::ios::binary);
  if (!file) throw Error("Cannot read " + aPath + ": no such file or not readable");
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string MapDriveC(const std::string& aDataFolder) {
  if (auto mapped = platform::GetEnvironmentVariable("QVFP_DRIVE_C")) return *mapped;
  std::string folder = aDataFolder;
  if (!platform::IsAbsolutePath(folder)) folder = platform::WorkingDirectory() + "/" + folder;
  if (!platform::ForceDirectories(folder).IsOk()) throw Error("Cannot create the folder " + folder);
  platform::SetEnvironmentVariable("QVFP_DRIVE_C", folder);
  return folder;
}

namespace {

void PrintResult(const std::string& aExport, const CallResult& aResult) {
  std::cout << aExport << " returned " << aResult.code << "\n";
  if (aExport == "OPEN") std::cout << "handle: " << aResult.handle << "\n";
  if (!aResult.output.empty()) std::cout << "output:\n" << aResult.output << "\n";
  std::cout << "error: " << (aResult.error.empty() ? "(none)" : aResult.error) << "\n";
}

std::string Trimmed(const std::string& aText) {
  size_t first = aText.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  size_t last = aText.find_last_not_of(" \t\r");
  return aText.substr(first, last - first + 1);
}

std::string FolderOf(const std::string& aPath) {
  size_t slash = aPath.find_last_of('/');
  return slash == std::string::npos ? std::string() : aPath.substr(0, slash + 1);
}

// The request of aFile with aHandle put in; a malformed request is named with its file.
std::string RequestWithHandle(const std::string& aFile, const std::string& aRequest,
                              int32_t aHandle) {
  try {
    return WithHandle(aRequest, aHandle);
  } catch (const Error& e) {
    throw Error("Malformed XML in " + aFile + ": " + e.what());
  }
}

}  // namespace

int RunCall(const std::string& aLibrary, const std::string& aExport, const std::string& aFile,
            std::optional<int> aHandle) {
  std::string request = ReadTextFile(aFile);
  if (aHandle) request = RequestWithHandle(aFile, request, *aHandle);
  FiscalLibrary library(aLibrary);
  CallResult result = library.Call(aExport, request);
  PrintResult(aExport, result);
  return result.code == 0 ? 0 : 1;
}

namespace {

struct ScriptStep {
  std::string exportName;
  std::string file;
  std::string request;
  bool keepHandle = false;
};

bool IsExport(const std::string& aName) {
  for (const char* name :
       {"OPEN", "PROCESSRECEIPT", "PROCESSZREPORT", "PROCESSXREPORT", "PROCESSGETSTATUS"}) {
    if (aName == name) return true;
  }
  return false;
}

// Every call of the script with its request read; throws at the first wrong line.
std::vector<ScriptStep> ReadScript(const std::string& aScript) {
  std::istringstream lines(ReadTextFile(aScript));
  std::vector<ScriptStep> steps;
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    line = Trimmed(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    std::istringstream words(line);
    ScriptStep step;
    std::string flag, extra;
    words >> step.exportName >> step.file >> flag >> extra;
    std::string where = aScript + " line " + std::to_string(number) + ": ";
    if (step.file.empty() || (!flag.empty() && flag != "--keep-handle") || !extra.empty()) {
      throw Error(where + "expected \"EXPORT request-file [--keep-handle]\"");
    }
    if (!IsExport(step.exportName)) {
      throw Error(where + "unknown export \"" + step.exportName +
                  "\". Use OPEN, PROCESSRECEIPT, PROCESSZREPORT, PROCESSXREPORT or "
                  "PROCESSGETSTATUS.");
    }
    if (!platform::IsAbsolutePath(step.file)) step.file = FolderOf(aScript) + step.file;
    step.request = ReadTextFile(step.file);
    step.keepHandle = !flag.empty();
    // A request that will get the handle of the OPEN must parse; find out now.
    if (!step.keepHandle && step.exportName != "OPEN") {
      RequestWithHandle(step.file, step.request, 0);
    }
    steps.push_back(std::move(step));
  }
  return steps;
}

}  // namespace

int RunScript(const std::string& aLibrary, const std::string& aScript) {
  std::vector<ScriptStep> steps = ReadScript(aScript);
  FiscalLibrary library(aLibrary);
  int32_t handle = 0;
  int failures = 0;
  for (ScriptStep& step : steps) {
    if (handle > 0 && !step.keepHandle && step.exportName != "OPEN") {
      step.request = RequestWithHandle(step.file, step.request, handle);
    }
    std::cout << "-- " << step.exportName << " " << step.file << "\n";
    CallResult result = library.Call(step.exportName, step.request);
    PrintResult(step.exportName, result);
    if (step.exportName == "OPEN" && result.code == 0) handle = result.handle;
    if (result.code != 0) ++failures;
  }
  return failures == 0 ? 0 : 1;
}

}  // namespace qv::host
