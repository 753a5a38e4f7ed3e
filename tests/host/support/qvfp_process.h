// Runs the built qvfp program the way a user runs it from a shell: in a working directory of
// the test's choosing, with some environment variables set or removed, and with its standard
// output, standard error and exit status captured.
//
// Threading: free functions; each run blocks the calling thread until qvfp ends.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qv::testing {

struct tQvfpRun {
  int status = -1;  // exit status, or minus the signal that ended the program
  std::string out;  // standard output
  std::string err;  // standard error
  bool timedOut = false;
};

// Environment changes for one run: a value sets the variable, nullopt removes it; every
// other variable is inherited from the test.
using tEnvironmentChanges = std::map<std::string, std::optional<std::string>>;

// Runs <bin>/qvfp with aArguments in aWorkingDirectory and waits at most aTimeoutSeconds
// (then kills it and sets timedOut). Throws std::runtime_error when it cannot be started.
tQvfpRun RunQvfp(const std::vector<std::string>& aArguments, const std::string& aWorkingDirectory,
                 const tEnvironmentChanges& aEnvironment, int aTimeoutSeconds = 60);

// Any program (a full path) run the same way.
tQvfpRun RunProgram(const std::string& aProgram, const std::vector<std::string>& aArguments,
                    const std::string& aWorkingDirectory, const tEnvironmentChanges& aEnvironment,
                    int aTimeoutSeconds = 60);

// Starts aCommand (the program's full path first, then its arguments) in aWorkingDirectory
// with the test's environment and aEnvironment's changes, its standard output going to the
// descriptor aOutput and its standard error to aErrors (the caller keeps and closes both).
// Gives the process id; throws std::runtime_error when no process can be made. The process
// ends with status 126 when it cannot enter the folder, 127 when the program does not start.
int StartProgram(const std::vector<std::string>& aCommand, const std::string& aWorkingDirectory,
                 const tEnvironmentChanges& aEnvironment, int aOutput, int aErrors);

// The exit status of a waitpid status: the program's own, or minus the signal that ended it.
int ExitStatus(int aWaitStatus);

// The built qvfp program and the folder of the example requests.
std::string QvfpProgram();
std::string ExamplesFolder();  // with a trailing "/"

}  // namespace qv::testing
