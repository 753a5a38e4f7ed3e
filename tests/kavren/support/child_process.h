// A helper program started by a test: its standard output is read line by line, and it can
// be killed without warning (SIGKILL on Linux) to simulate a till that loses power.
//
// Threading: one object per child, used by one thread at a time.
#pragma once

#include <string>
#include <vector>

namespace qv::testing {

class ChildProcess {
 public:
  // Starts aProgram (a full path) with aArguments in aWorkingDirectory; its standard output
  // goes to a pipe read by ReadLine, its standard error stays the test's. Throws
  // std::runtime_error when the program cannot be started.
  ChildProcess(const std::string& aProgram, const std::vector<std::string>& aArguments,
               const std::string& aWorkingDirectory);
  ~ChildProcess();  // kills a child that is still running and reaps it
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The next line of the child's output without its line end; false at the end of output.
  bool ReadLine(std::string& aLine);
  // Kills the child at once (no clean-up in the child).
  void Kill();
  // Waits for the child to end: its exit code, or minus the signal that ended it.
  int Wait();

 private:
  long fPid = -1;
  void* fOutput = nullptr;  // FILE* of the read end of the pipe
  bool fReaped = false;
  int fStatus = 0;
};

// The folder of the helper programs and libraries built with the tests.
std::string HelperProgram(const std::string& aName);

}  // namespace qv::testing
