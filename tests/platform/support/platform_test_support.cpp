#include "platform/support/platform_test_support.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <stdexcept>

namespace qv::platform::test {

ScratchFolder::ScratchFolder() {
  static std::atomic<int> counter{0};
  std::random_device random;
  fPath = std::filesystem::temp_directory_path() /
          ("qv_platform_test_" + std::to_string(random()) + "_" + std::to_string(++counter));
  std::filesystem::create_directories(fPath);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(fPath, ignored);
}

ScopedEnvironment::ScopedEnvironment(std::string aName, std::optional<std::string> aValue)
    : fName(std::move(aName)) {
  if (const char* old = std::getenv(fName.c_str())) fOldValue = old;
  if (aValue) {
    setenv(fName.c_str(), aValue->c_str(), 1);
  } else {
    unsetenv(fName.c_str());
  }
}

ScopedEnvironment::~ScopedEnvironment() {
  if (fOldValue) {
    setenv(fName.c_str(), fOldValue->c_str(), 1);
  } else {
    unsetenv(fName.c_str());
  }
}

std::string ShellQuote(const std::string& aText) {
  std::string quoted = "'";
  for (char c : aText) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::string HelperProgram(const std::string& aName) {
  return std::string(QV_BIN_DIR) + "/" + aName;
}

ProgramResult RunProgram(const std::string& aCommandLine) {
  RunningProgram program(aCommandLine);
  ProgramResult result;
  std::string line;
  while (program.ReadLine(line)) result.output += line + "\n";
  result.status = program.Wait();
  return result;
}

RunningProgram::RunningProgram(const std::string& aCommandLine)
    : fPipe(popen(aCommandLine.c_str(), "r")) {
  if (fPipe == nullptr) throw std::runtime_error("cannot start " + aCommandLine);
}

RunningProgram::~RunningProgram() { Wait(); }

bool RunningProgram::ReadLine(std::string& aLine) {
  aLine.clear();
  if (fPipe == nullptr) return false;
  auto* pipe = static_cast<FILE*>(fPipe);
  int c = std::fgetc(pipe);
  if (c == EOF) return false;
  for (; c != EOF && c != '\n'; c = std::fgetc(pipe)) aLine += static_cast<char>(c);
  return true;
}

int RunningProgram::Wait() {
  if (fPipe == nullptr) return -1;
  const int status = pclose(static_cast<FILE*>(fPipe));
  fPipe = nullptr;
  return status;
}

}  // namespace qv::platform::test

// glibc's newlocale keeps the LOCPATH search list it builds (argz) and never frees it; only
// the locale tests set LOCPATH, so the leak checker is told to ignore that one allocation.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:__argz_add_sep\n";
}
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_options() {
  return "print_suppressions=0";
}
