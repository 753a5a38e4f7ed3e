#include "host/support/serve_process.h"

#include <chrono>
#include <csignal>
#include <regex>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qv::testing {

namespace {

// Starts aArguments (the program first) in aScratch's work folder with its environment and
// aEnvironment's changes, the output going to aOutputFile. Gives the process id.
int Spawn(const tHostScratch& aScratch, const std::vector<std::string>& aArguments,
          const tEnvironmentChanges& aEnvironment, const std::string& aOutputFile) {
  tEnvironmentChanges changes = aScratch.Environment();
  for (const auto& [name, value] : aEnvironment) changes[name] = value;
  int output = open(aOutputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (output < 0) throw std::runtime_error("cannot create " + aOutputFile);
  int pid = -1;
  try {
    pid = StartProgram(aArguments, aScratch.Work(), changes, output, output);
  } catch (...) {
    close(output);
    throw;
  }
  close(output);
  return pid;
}

int Spawn(const tHostScratch& aScratch, const std::vector<std::string>& aArguments,
          const std::string& aOutputFile) {
  std::vector<std::string> arguments{QvfpProgram(), "serve"};
  arguments.insert(arguments.end(), aArguments.begin(), aArguments.end());
  return Spawn(aScratch, arguments, {}, aOutputFile);
}

}  // namespace

tServeProcess::tServeProcess(const tHostScratch& aScratch, std::vector<std::string> aArguments) {
  static int gNext = 0;
  fOutputFile = aScratch.Root() + "/serve-" + std::to_string(++gNext) + ".out";
  bool listenGiven = false;
  for (const std::string& argument : aArguments)
    listenGiven = listenGiven || argument == "--listen";
  if (!listenGiven) {
    aArguments.push_back("--listen");
    aArguments.push_back("127.0.0.1:0");
  }
  fPid = Spawn(aScratch, aArguments, fOutputFile);
  const std::regex listening("listening on https?://[^ ]*:([0-9]+)");
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < deadline) {
    std::smatch match;
    std::string output = Output();
    if (std::regex_search(output, match, listening)) {
      fPort = std::stoi(match[1]);
      return;
    }
    if (!Running()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::string output = Output();
  if (Running()) {
    kill(fPid, SIGKILL);
    Wait();
  }
  throw std::runtime_error("qvfp serve did not start listening: " + output);
}

tServeProcess::~tServeProcess() {
  if (Running()) {
    kill(fPid, SIGKILL);
    Wait();
  }
}

std::unique_ptr<httplib::Client> tServeProcess::Client() const {
  auto client = std::make_unique<httplib::Client>("127.0.0.1", fPort);
  client->set_read_timeout(60, 0);
  client->set_connection_timeout(10, 0);
  client->set_tcp_nodelay(true);
  return client;
}

void tServeProcess::Signal(int aSignal) {
  if (!fEnded) kill(fPid, aSignal);
}

bool tServeProcess::Running() {
  if (fEnded) return false;
  int status = 0;
  if (waitpid(fPid, &status, WNOHANG) == fPid) {
    fEnded = true;
    fStatus = ExitStatus(status);
  }
  return !fEnded;
}

int tServeProcess::Wait(int aTimeoutSeconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(aTimeoutSeconds);
  while (Running()) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(fPid, SIGKILL);
      deadline += std::chrono::seconds(60);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return fStatus;
}

std::string tServeProcess::Output() const { return tHostScratch::ReadFile(fOutputFile); }

tBackgroundProgram::tBackgroundProgram(const tHostScratch& aScratch, const std::string& aProgram,
                                       const std::vector<std::string>& aArguments,
                                       const tEnvironmentChanges& aEnvironment) {
  static int gNext = 0;
  fOutputFile = aScratch.Root() + "/background-" + std::to_string(++gNext) + ".out";
  std::vector<std::string> arguments{aProgram};
  arguments.insert(arguments.end(), aArguments.begin(), aArguments.end());
  fPid = Spawn(aScratch, arguments, aEnvironment, fOutputFile);
}

tBackgroundProgram::~tBackgroundProgram() {
  if (Running()) kill(fPid, SIGKILL);
  int status = 0;
  if (!fEnded) waitpid(fPid, &status, 0);
}

bool tBackgroundProgram::Running() {
  int status = 0;
  if (!fEnded && waitpid(fPid, &status, WNOHANG) == fPid) fEnded = true;
  return !fEnded;
}

std::string tBackgroundProgram::Output() const { return tHostScratch::ReadFile(fOutputFile); }

int ServeRefusal(const tHostScratch& aScratch, const std::vector<std::string>& aArguments,
                 std::string& aOutput) {
  std::vector<std::string> arguments{"serve"};
  arguments.insert(arguments.end(), aArguments.begin(), aArguments.end());
  tQvfpRun run = aScratch.Run(arguments);
  aOutput = run.out + run.err;
  return run.status;
}

}  // namespace qv::testing

namespace qv::testing {

std::string SaleJson(const std::string& aAmount, const std::string& aReference) {
  return R"({"Type": "Sale", "ExternalReference": ")" + aReference + R"(", "TotalAmount": )" +
         aAmount +
         R"(, "Lines": [{"ProductSale": {"Code": "1001", "Description": "Espresso",
         "Quantity": 1, "Price": )" +
         aAmount + R"(, "Amount": )" + aAmount +
         R"(, "Attribute": "Product"}}],
         "Taxes": [{"Tax": {"Type": "VAT", "Code": "1", "Rate": 19, "TotalAmount": )" +
         aAmount + R"(}}], "Payments": [{"Payment": {"Type": "Cash", "Amount": )" + aAmount +
         R"(}}]})";
}

}  // namespace qv::testing
