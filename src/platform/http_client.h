// An HTTP client for the channels that post documents to a web service: one POST (or GET) per call,
// plain or over TLS ("https://" URLs; the server's certificate is checked against the
// system's trusted authorities, or against a file the caller names), with basic or digest
// authentication, custom request headers, a connect time-out and a read time-out.
//
// Post and Get give the response body of a 2xx answer. Every other outcome fails with qv::Error:
// an answer with another status fails with its status line ("HTTP/1.1 404 Not Found"); no
// answer at all fails with the transport's text, followed by the system's text when there is
// one ("Failed to connect to 127.0.0.1 port 8080 after 0 ms: Couldn't connect to server
// (Connection refused)", "Read timed out after 5000 ms"). ResponseCode tells which status the
// last answer had, -1 when none came.
//
// Only http and https are spoken, proxies from the environment are not used and redirects
// are not followed: a request goes to the URL the caller gave and nowhere else.
//
// Threading: one thread at a time per client; clients on different threads are independent
// (the transport library's global set-up runs once, whichever thread comes first).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv::platform {

enum class HttpAuthentication {
  None,    // no credentials are sent
  Basic,   // user and password sent with the first request
  Digest,  // the server's challenge is answered with a digest of the credentials
};

class HttpClient {
 public:
  HttpClient();
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // Milliseconds; 0 or less: the connect time-out of the transport library, and no read
  // time-out (a read waits for the server without limit).
  int32_t ConnectTimeout() const { return fConnectTimeout; }
  void SetConnectTimeout(int32_t aMilliseconds) { fConnectTimeout = aMilliseconds; }
  // How long the answer may keep the client waiting without a byte arriving.
  int32_t ReadTimeout() const { return fReadTimeout; }
  void SetReadTimeout(int32_t aMilliseconds) { fReadTimeout = aMilliseconds; }

  void SetAuthentication(HttpAuthentication aScheme, const std::string& aUser,
                         const std::string& aPassword);
  HttpAuthentication Authentication() const { return fAuthentication; }

  // Sets the request header aName (letter case ignored when looking for it) to aValue:
  // replaces the value of the header already set, else adds it at the end. Line breaks in
  // the name or value are removed, so that no header can smuggle in another.
  void SetHeader(const std::string& aName, const std::string& aValue);
  // The custom headers in the order they were first set.
  const std::vector<std::pair<std::string, std::string>>& Headers() const { return fHeaders; }

  // A PEM file of the authorities whose certificates to trust instead of the system's; the
  // empty text goes back to the system's.
  void SetTrustedCertificates(const std::string& aPemFile) { fTrustedCertificates = aPemFile; }

  // Posts aBody to aUrl with the Content-Type aContentType (none when empty) and gives the
  // body of a 2xx answer. Fails as described above; ResponseCode is set either way.
  std::string Post(const std::string& aUrl, std::string_view aBody,
                   const std::string& aContentType);
  // Asks aUrl for its content with a GET (no body, no Content-Type) and gives the body of a
  // 2xx answer. Fails like Post; ResponseCode is set either way.
  std::string Get(const std::string& aUrl);
  // The status of the last answer, -1 when the last request got none.
  int32_t ResponseCode() const { return fResponseCode; }

  // Whether a connection of the last request is still open for the next one.
  bool Connected() const;
  // Closes any open connection.
  void Disconnect();

 private:
  // One request with the method aMethod ("POST" or "GET"); a GET sends no body.
  std::string Send(const std::string& aMethod, const std::string& aUrl, std::string_view aBody,
                   const std::string& aContentType);

  int32_t fConnectTimeout = 0;
  int32_t fReadTimeout = 0;
  HttpAuthentication fAuthentication = HttpAuthentication::None;
  std::string fUser;
  std::string fPassword;
  std::vector<std::pair<std::string, std::string>> fHeaders;
  std::string fTrustedCertificates;
  int32_t fResponseCode = -1;
  // The transport library's handle; it keeps the connection of the last request.
  void* fHandle = nullptr;
};

}  // namespace qv::platform
