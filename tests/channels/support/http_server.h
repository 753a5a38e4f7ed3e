// A small HTTP/1.1 server for the HTTP channel's tests, on 127.0.0.1 only: plain or TLS
// (with a self-signed certificate made at run time), one request per connection, answered
// by a handler function of the test. It keeps every request it read, so a test can check
// what the channel sent (method, headers, body).
//
// The server runs on its own thread from construction to destruction, which joins it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <openssl/ssl.h>

#include "platform/socket.h"

namespace qv::test_support {

struct HttpRequest {
  std::string method;
  std::string target;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  // The value of the first header of that name (letter case ignored), or "<none>".
  std::string Header(const std::string& aName) const;
  int HeaderCount(const std::string& aName) const;
};

struct HttpReply {
  int status = 200;
  std::string reason = "OK";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
  // Announce a longer body than is sent, then close: the answer breaks off.
  bool breakOff = false;
};

// A private key and a self-signed certificate for "127.0.0.1" and "localhost".
class TlsIdentity {
 public:
  // Writes the certificate (PEM) to aCertificateFile, for clients to trust.
  explicit TlsIdentity(const std::string& aCertificateFile);
  ~TlsIdentity();
  TlsIdentity(const TlsIdentity&) = delete;
  TlsIdentity& operator=(const TlsIdentity&) = delete;

  const std::string& CertificateFile() const { return fCertificateFile; }
  SSL_CTX* Context() const { return fContext; }

 private:
  std::string fCertificateFile;
  SSL_CTX* fContext = nullptr;
};

class HttpServer {
 public:
  using Handler = std::function<HttpReply(const HttpRequest&)>;

  // Plain HTTP, or HTTPS when aTls is given (it must outlive the server).
  explicit HttpServer(Handler aHandler, const TlsIdentity* aTls = nullptr);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  uint16_t Port() const { return fListener.Port(); }
  // "http://127.0.0.1:<port><aPath>" or "https://...".
  std::string Url(const std::string& aPath = "/receipts") const;
  std::vector<HttpRequest> Requests();

 private:
  void Run();
  void Serve(platform::TcpStream& aStream);

  Handler fHandler;
  const TlsIdentity* fTls;
  platform::TcpListener fListener;
  std::mutex fMutex;
  std::vector<HttpRequest> fRequests;
  bool fStopping = false;
  std::thread fThread;
};

// Authentication checks for handlers.
bool HasBasicCredentials(const HttpRequest& aRequest, const std::string& aUser,
                         const std::string& aPassword);
// Whether the request answers the digest challenge of DigestChallenge (qop "auth", MD5) with
// these credentials.
bool HasDigestCredentials(const HttpRequest& aRequest, const std::string& aUser,
                          const std::string& aPassword);
// The WWW-Authenticate value of the server's digest challenge.
std::string DigestChallenge();

}  // namespace qv::test_support
