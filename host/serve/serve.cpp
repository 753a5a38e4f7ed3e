// qvfp serve: the fiscal library offered over HTTP/JSON to web and network point-of-sale.
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <thread>

#include "commands.h"
#include "platform/error.h"
#include "platform/stop_requests.h"
#include "serve/http_service.h"
#include "serve/till_service.h"

namespace qv::host {

namespace {

TillOptions ParseTill(const std::string& aText) {
  size_t equals = aText.find('=');
  TillOptions till;
  if (equals == std::string::npos || equals == 0 || equals + 1 == aText.size()) {
    throw Error("--till takes SERIAL=PROCESSORPORT, not \"" + aText + "\"");
  }
  till.till = aText.substr(0, equals);
  till.port = aText.substr(equals + 1);
  till.logId = "SERVE";
  for (char c : till.till) {
    bool safe = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                c == '-' || c == '_' || c == '.';
    if (!safe)
      throw Error("A till serial has letters, digits, \"-\", \"_\" and \".\" only: " + till.till);
  }
  return till;
}

void ParseListen(const std::string& aText, HttpSettings& aSettings) {
  size_t colon = aText.find_last_of(':');
  if (colon == std::string::npos || colon == 0) {
    throw Error("--listen takes ADDRESS:PORT, not \"" + aText + "\"");
  }
  aSettings.host = aText.substr(0, colon);
  std::string port = aText.substr(colon + 1);
  if (port.empty() || port.size() > 5 ||
      port.find_first_not_of("0123456789") != std::string::npos || std::stoi(port) > 65535) {
    throw Error("--listen takes ADDRESS:PORT, not \"" + aText + "\"");
  }
  aSettings.port = std::stoi(port);
}

std::string ReadToken(const std::string& aFile) {
  std::string token = ReadTextFile(aFile);
  size_t end = token.find_last_not_of(" \t\r\n");
  token = end == std::string::npos ? "" : token.substr(0, end + 1);
  size_t begin = token.find_first_not_of(" \t\r\n");
  token = begin == std::string::npos ? "" : token.substr(begin);
  if (token.size() < 16 || token.find_first_of(" \t\r\n") != std::string::npos) {
    throw Error("The token in " + aFile + " must be one word of at least 16 characters");
  }
  return token;
}

// Opens again, every aSeconds, the tills that could not be opened, until stopped.
class TillReopener {
 public:
  TillReopener(std::vector<std::unique_ptr<TillService>>& aTills, int aSeconds)
      : fTills(aTills), fSeconds(aSeconds), fThread([this] { Loop(); }) {}
  ~TillReopener() {
    {
      std::lock_guard<std::mutex> lock(fMutex);
      fStopping = true;
    }
    fWake.notify_all();
    fThread.join();
  }

 private:
  void Loop() {
    std::unique_lock<std::mutex> lock(fMutex);
    while (!fWake.wait_for(lock, std::chrono::seconds(fSeconds), [this] { return fStopping; })) {
      lock.unlock();
      for (std::unique_ptr<TillService>& till : fTills) {
        if (!till->IsOpen() && till->EnsureOpen()) {
          std::cout << "qvfp serve: till " << till->Name() << " is open" << std::endl;
        }
      }
      lock.lock();
    }
  }

  std::vector<std::unique_ptr<TillService>>& fTills;
  const int fSeconds;
  std::mutex fMutex;
  std::condition_variable fWake;
  bool fStopping = false;
  std::thread fThread;
};

}  // namespace

int RunServe(const ServeOptions& aOptions) {
  // Before any thread starts: the stop signals are taken by the wait below only.
  platform::StopRequests stopRequests;
  HttpSettings settings;
  ParseListen(aOptions.listen, settings);
  if (!aOptions.tokenFile.empty()) settings.token = ReadToken(aOptions.tokenFile);
  if (settings.token.empty() && !IsLoopbackAddress(settings.host)) {
    throw Error("Listening on " + settings.host +
                " needs --token-file: only the loopback address may be served without a token");
  }
  if (aOptions.tlsCertificate.empty() != aOptions.tlsKey.empty()) {
    throw Error("--tls-cert and --tls-key go together");
  }
  settings.allowedOrigins = aOptions.allowedOrigins;
  settings.tlsCertificate = aOptions.tlsCertificate;
  settings.tlsKey = aOptions.tlsKey;
  settings.threads = aOptions.threads;

  std::vector<TillOptions> tillOptions;
  for (const std::string& text : aOptions.tills) {
    TillOptions till = ParseTill(text);
    for (const TillOptions& other : tillOptions) {
      if (other.till == till.till) throw Error("Till " + till.till + " is given twice");
    }
    tillOptions.push_back(till);
  }

  SharedLibrary library(aOptions.library);
  std::vector<std::unique_ptr<TillService>> tills;
  for (const TillOptions& till : tillOptions) {
    tills.push_back(std::make_unique<TillService>(library, till, aOptions.keyRetentionDays));
    if (tills.back()->EnsureOpen()) {
      std::cout << "qvfp serve: till " << till.till << " is open" << std::endl;
    } else {
      std::cout << "qvfp serve: till " << till.till << " is not open ("
                << tills.back()->State()["message"].get<std::string>() << "); retrying every "
                << aOptions.retrySeconds << " s" << std::endl;
    }
  }

  HttpService service(tills, settings);
  const int port = service.Start();
  std::cout << "qvfp serve: listening on " << (service.UsesTls() ? "https" : "http") << "://"
            << settings.host << ":" << port << std::endl;
  TillReopener reopener(tills, aOptions.retrySeconds);
  std::thread server([&service, &stopRequests] {
    service.Run();
    stopRequests.RequestStop();
  });
  std::string reason = stopRequests.Wait();
  std::cout << "qvfp serve: stopping (" << reason << "), letting the calls in progress finish"
            << std::endl;
  service.Stop();
  server.join();
  std::cout << "qvfp serve: stopped" << std::endl;
  return 0;
}

}  // namespace qv::host
