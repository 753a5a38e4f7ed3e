// qvfp call and qvfp run: requests from files, sent to the library's exports.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

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
  if (!platform::ForceDirectories(folder)) throw Error("Cannot create the folder " + folder);
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

}  // namespace

int RunCall(const std::string& aLibrary, const std::string& aExport, const std::string& aFile,
            int aHandle) {
  std::string request = ReadTextFile(aFile);
  if (aHandle > 0) request = WithHandle(request, aHandle);
  FiscalLibrary library(aLibrary);
  CallResult result = library.Call(aExport, request);
  PrintResult(aExport, result);
  return result.code == 0 ? 0 : 1;
}

int RunScript(const std::string& aLibrary, const std::string& aScript) {
  std::istringstream lines(ReadTextFile(aScript));
  FiscalLibrary library(aLibrary);
  int32_t handle = 0;
  int failures = 0;
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    line = Trimmed(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    std::istringstream words(line);
    std::string exportName, file, flag;
    words >> exportName >> file >> flag;
    if (file.empty() || (!flag.empty() && flag != "--keep-handle")) {
      throw Error(aScript + " line " + std::to_string(number) +
                  ": expected \"EXPORT request-file [--keep-handle]\"");
    }
    if (!platform::IsAbsolutePath(file)) file = FolderOf(aScript) + file;
    std::string request = ReadTextFile(file);
    if (handle > 0 && flag.empty() && exportName != "OPEN") request = WithHandle(request, handle);
    std::cout << "-- " << exportName << " " << file << "\n";
    CallResult result = library.Call(exportName, request);
    PrintResult(exportName, result);
    if (exportName == "OPEN" && result.code == 0) handle = result.handle;
    if (result.code != 0) ++failures;
  }
  return failures == 0 ? 0 : 1;
}

}  // namespace qv::host
