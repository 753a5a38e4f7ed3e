// A running "qvfp serve" for the tests: started in the background in a scratch folder on a
// free loopback port, called over HTTP, stopped by a signal of the test's choosing.
//
// Threading: one object per service; Client may be used from several threads, each thread
// with its own client.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <httplib.h>

#include "host/support/host_scratch.h"
#include "host/support/qvfp_process.h"

namespace qv::testing {

class tServeProcess {
 public:
  // Starts qvfp serve with aArguments (--listen 127.0.0.1:0 added unless given) and waits
  // until it listens; throws std::runtime_error with its output when it ends or does not
  // listen within 60 s.
  tServeProcess(const tHostScratch& aScratch, std::vector<std::string> aArguments);
  ~tServeProcess();  // kills a service still running
  tServeProcess(const tServeProcess&) = delete;
  tServeProcess& operator=(const tServeProcess&) = delete;

  int Port() const { return fPort; }
  std::unique_ptr<httplib::Client> Client() const;

  // Sends aSignal; Wait then gives the exit status (minus the signal when one ended it).
  void Signal(int aSignal);
  int Wait(int aTimeoutSeconds = 60);
  bool Running();
  // What the service printed so far.
  std::string Output() const;

 private:
  std::string fOutputFile;
  int fPid = -1;
  int fPort = 0;
  int fStatus = 0;
  bool fEnded = false;
};

// Any program (a full path) started in the background in aScratch's work folder, with its
// environment and aEnvironment's changes; killed when the object goes.
class tBackgroundProgram {
 public:
  tBackgroundProgram(const tHostScratch& aScratch, const std::string& aProgram,
                     const std::vector<std::string>& aArguments,
                     const tEnvironmentChanges& aEnvironment);
  ~tBackgroundProgram();
  tBackgroundProgram(const tBackgroundProgram&) = delete;
  tBackgroundProgram& operator=(const tBackgroundProgram&) = delete;

  bool Running();
  // Its standard output and standard error so far.
  std::string Output() const;

 private:
  std::string fOutputFile;
  int fPid = -1;
  bool fEnded = false;
};

// Starts qvfp serve and waits for it to end by itself (it refuses to start): gives the
// status, with its output in aOutput.
int ServeRefusal(const tHostScratch& aScratch, const std::vector<std::string>& aArguments,
                 std::string& aOutput);

}  // namespace qv::testing

namespace qv::testing {

// A sale as the receipt JSON: one line of aAmount, VAT and a cash payment; aReference goes
// into ExternalReference so that an answer can be told apart from the others.
std::string SaleJson(const std::string& aAmount, const std::string& aReference);

}  // namespace qv::testing
