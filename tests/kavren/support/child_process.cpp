#include "kavren/support/child_process.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qv::testing {

ChildProcess::ChildProcess(const std::string& aProgram, const std::vector<std::string>& aArguments,
                           const std::string& aWorkingDirectory) {
  // Everything the child needs is prepared before fork: after it only async-signal-safe
  // calls may run.
  std::vector<std::string> arguments;
  arguments.push_back(aProgram);
  arguments.insert(arguments.end(), aArguments.begin(), aArguments.end());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid < 0) {
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    throw std::runtime_error("fork failed");
  }
  if (pid == 0) {
    dup2(pipeEnds[1], STDOUT_FILENO);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    if (chdir(aWorkingDirectory.c_str()) != 0) _exit(126);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(pipeEnds[1]);
  fPid = pid;
  fOutput = fdopen(pipeEnds[0], "r");
}

ChildProcess::~ChildProcess() {
  if (!fReaped) {
    Kill();
    Wait();
  }
  if (fOutput) fclose(static_cast<FILE*>(fOutput));
}

bool ChildProcess::ReadLine(std::string& aLine) {
  aLine.clear();
  FILE* output = static_cast<FILE*>(fOutput);
  int c;
  while ((c = fgetc(output)) != EOF) {
    if (c == '\n') return true;
    aLine += static_cast<char>(c);
  }
  return !aLine.empty();
}

void ChildProcess::Kill() {
  if (!fReaped) kill(static_cast<pid_t>(fPid), SIGKILL);
}

int ChildProcess::Wait() {
  if (!fReaped) {
    int status = 0;
    while (waitpid(static_cast<pid_t>(fPid), &status, 0) < 0 && errno == EINTR) {
    }
    fReaped = true;
    fStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  }
  return fStatus;
}

std::string HelperProgram(const std::string& aName) {
  return std::string(QV_BIN_DIR) + "/" + aName;
}

}  // namespace qv::testing
