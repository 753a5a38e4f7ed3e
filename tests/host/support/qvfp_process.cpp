#include "host/support/qvfp_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qv::testing {

namespace {

// The test's environment with aChanges applied, as "NAME=value" texts.
std::vector<std::string> ChildEnvironment(const tEnvironmentChanges& aChanges) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text = *entry;
    std::string name = text.substr(0, text.find('='));
    if (aChanges.count(name) == 0) entries.push_back(text);
  }
  for (const auto& [name, value] : aChanges) {
    if (value) entries.push_back(name + "=" + *value);
  }
  return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& aTexts) {
  std::vector<char*> pointers;
  for (std::string& text : aTexts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

std::string ReadAndRemove(const std::string& aPath) {
  std::ifstream file(aPath, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  file.close();
  unlink(aPath.c_str());
  return text.str();
}

int OpenCapture(const std::string& aPath) {
  int fd = open(aPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) throw std::runtime_error("cannot create " + aPath + ": " + std::strerror(errno));
  return fd;
}

}  // namespace

int StartProgram(const std::vector<std::string>& aCommand, const std::string& aWorkingDirectory,
                 const tEnvironmentChanges& aEnvironment, int aOutput, int aErrors) {
  // Everything the child needs is prepared before fork: after it only async-signal-safe
  // calls run.
  std::vector<std::string> arguments = aCommand;
  std::vector<std::string> environment = ChildEnvironment(aEnvironment);
  std::vector<char*> argv = Pointers(arguments);
  std::vector<char*> envp = Pointers(environment);
  const char* folder = aWorkingDirectory.c_str();
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(aOutput, STDOUT_FILENO);
    dup2(aErrors, STDERR_FILENO);
    if (chdir(folder) != 0) _exit(126);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  return pid;
}

int ExitStatus(int aWaitStatus) {
  return WIFEXITED(aWaitStatus) ? WEXITSTATUS(aWaitStatus) : -WTERMSIG(aWaitStatus);
}

std::string QvfpProgram() { return std::string(QV_BIN_DIR) + "/qvfp"; }

std::string ExamplesFolder() { return std::string(QV_SOURCE_DIR) + "/examples/"; }

tQvfpRun RunQvfp(const std::vector<std::string>& aArguments, const std::string& aWorkingDirectory,
                 const tEnvironmentChanges& aEnvironment, int aTimeoutSeconds) {
  return RunProgram(QvfpProgram(), aArguments, aWorkingDirectory, aEnvironment, aTimeoutSeconds);
}

tQvfpRun RunProgram(const std::string& aProgram, const std::vector<std::string>& aArguments,
                    const std::string& aWorkingDirectory, const tEnvironmentChanges& aEnvironment,
                    int aTimeoutSeconds) {
  // The outputs go to files, so a talkative child never blocks on a full pipe.
  std::vector<std::string> command{aProgram};
  command.insert(command.end(), aArguments.begin(), aArguments.end());
  static int gRun = 0;
  std::string stem =
      aWorkingDirectory + "/.qvfp-run-" + std::to_string(getpid()) + "-" + std::to_string(++gRun);
  int outFd = OpenCapture(stem + ".out");
  int errFd = OpenCapture(stem + ".err");
  pid_t pid = -1;
  try {
    pid = StartProgram(command, aWorkingDirectory, aEnvironment, outFd, errFd);
  } catch (...) {
    close(outFd);
    close(errFd);
    throw;
  }
  close(outFd);
  close(errFd);

  tQvfpRun run;
  int status = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(aTimeoutSeconds);
  for (;;) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) throw std::runtime_error("waitpid failed");
    if (std::chrono::steady_clock::now() > deadline && !run.timedOut) {
      run.timedOut = true;
      kill(pid, SIGKILL);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  run.status = ExitStatus(status);
  run.out = ReadAndRemove(stem + ".out");
  run.err = ReadAndRemove(stem + ".err");
  return run;
}

}  // namespace qv::testing
