// The service's HTTP/1.1 face: the /v1 calls of every till, the till page and the API
// description, behind the token and origin rules.
//
// Threading: Start and Stop from the owner's thread; Run blocks one thread until Stop.
// Requests are served by a pool of threads; each till serializes its own calls.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "serve/till_service.h"

namespace httplib {
class Server;
}

namespace qv::host {

struct HttpSettings {
  std::string host = "127.0.0.1";
  int port = 8787;                          // 0: any free port
  std::string token;                        // empty: no Authorization needed
  std::vector<std::string> allowedOrigins;  // "*" allows every origin
  std::string tlsCertificate, tlsKey;       // both or neither
  int threads = 24;
};

class HttpService {
 public:
  HttpService(std::vector<std::unique_ptr<TillService>>& aTills, HttpSettings aSettings);
  ~HttpService();

  // Binds the listening socket; gives the port. Throws qv::Error when it cannot (address in
  // use, unreadable certificate, TLS not built in).
  int Start();
  // Serves until Stop; in-flight requests finish before it returns.
  void Run();
  void Stop();
  bool UsesTls() const { return !fSettings.tlsCertificate.empty(); }

 private:
  void InstallRoutes();
  TillService& FindTill(const std::string& aName);

  std::vector<std::unique_ptr<TillService>>& fTills;
  HttpSettings fSettings;
  std::unique_ptr<httplib::Server> fServer;
};

// True for 127.0.0.0/8, ::1 and "localhost".
bool IsLoopbackAddress(const std::string& aHost);

// The page served at "/" and the OpenAPI description of /v1.
const std::string& TillPage();
const std::string& OpenApiDocument();

}  // namespace qv::host
