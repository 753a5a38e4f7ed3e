// Helpers of the platform tests: a scratch folder removed afterwards, environment variables
// restored afterwards, and child programs run with their output captured. The tests check
// the platform functions against the standard library's own view of the files.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace qv::platform::test {

// A new empty folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return fPath; }
  // The native path of a file inside, as text.
  std::string File(const std::string& aName) const { return (fPath / aName).string(); }

 private:
  std::filesystem::path fPath;
};

// Sets (or with nullopt unsets) one environment variable until destruction.
class ScopedEnvironment {
 public:
  ScopedEnvironment(std::string aName, std::optional<std::string> aValue);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string fName;
  std::optional<std::string> fOldValue;
};

// The text for a shell command line that passes aText as one word.
std::string ShellQuote(const std::string& aText);
// The path of a helper program built beside the tests.
std::string HelperProgram(const std::string& aName);

// Runs aCommandLine through the shell; the whole standard output and the exit status.
struct ProgramResult {
  std::string output;
  int status = -1;  // 0: the program ended with exit code 0
};
ProgramResult RunProgram(const std::string& aCommandLine);

// A child program started through the shell whose output is read line by line while it
// runs; destruction waits for it to end.
class RunningProgram {
 public:
  explicit RunningProgram(const std::string& aCommandLine);
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  // The next line without its line end; false at the end of the output.
  bool ReadLine(std::string& aLine);
  // Waits for the program to end; its exit status (0: exit code 0).
  int Wait();

 private:
  void* fPipe = nullptr;
};

}  // namespace qv::platform::test
