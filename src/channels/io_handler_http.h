// kIOHandler_HTTP: the channel of the HTTP connection type, for devices and services that
// take documents by HTTP POST. Each Write is one POST of the message (UTF-8) to URL; the
// body and status of the answer are kept in Response and ResponseCode. A failed POST never
// raises: it logs "Post Error", records the error state (ErrorFound, ErrorCode,
// ErrorMessage, the message ending in the status text of DecodeError) and gives false.
//
// "https" URLs are spoken over TLS; the server's certificate must be trusted by the
// system, or by the file given to HttpClient().SetTrustedCertificates.
//
// The channel reads nothing on its own: ReadUpTo and ReadChars give the empty text,
// ReadAll and InputBufferContainsData fail as unsupported.
//
// Threading: one thread at a time; a Write blocks the caller for at most the connect
// time-out plus the read time-out while no byte moves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/device_handler.h"
#include "framework/io_handler.h"
#include "platform/http_client.h"

namespace qv::channels {

class kIOHandler_HTTP : public framework::kIOHandler {
 public:
  // Base construction (time-outs, device log, START line), then the client. With a
  // connection: URL is its URL, or when that is empty its Address followed by ":" + Port for
  // a Port above 0; AuthType, User and Password are copied; the client gets the channel's
  // connect and read time-outs.
  kIOHandler_HTTP(const framework::kConnection* aConnection, const std::string& aDirectory,
                  const std::string& aFileName);
  // Closes any open connection, then the base part writes the STOP line.
  ~kIOHandler_HTTP() override;

  // The client's connected state (a connection kept from the last POST).
  bool Connected() override;
  // The connect banner and "URL=<URL>"; hands the connect time-out to the client again.
  // Opens nothing; true.
  bool Connect() override;
  std::string ClassName() const override { return "kIOHandler_HTTP"; }

  // Closes the client's connection; true when it is then not connected.
  bool Disconnect() override;
  void ClearBuffers() override {}
  // One POST of aMessage; true for a 2xx answer. Logs "Write [<bytes>]:<aMessage>", on
  // failure "Post Error:<message>" and (for a status outside 2xx, or no answer as -1)
  // "Post Error:<code> <status text>", and always "Read:ResponseCode:<code>" CR LF
  // "<Response>".
  bool Write(const std::string& aMessage) override;
  // The empty text.
  std::string ReadUpTo(const std::vector<uint8_t>& aChars) override;
  std::string ReadChars(int32_t aCharsNum) override;
  // Fails with "ReadAll Unsupported".
  std::string ReadAll() override;
  // The status text of an HTTP status code ("Not Found"), "Unknown" for any other code.
  std::string DecodeError(int32_t aErrorCode) override;
  // Fails with "InputBufferContainsData Unsupported".
  bool InputBufferContainsData() override;
  // Sets the request header aName to aValue for every later POST (replacing its value when
  // the header is already set).
  void SetParameter(const std::string& aName, const std::string& aValue) override;

  const std::string& ContentType() const { return fContentType; }
  void SetContentType(const std::string& aValue) { fContentType = aValue; }
  const std::string& URL() const { return fURL; }
  void SetURL(const std::string& aValue) { fURL = aValue; }
  framework::qvHTTPAuthType AuthType() const { return fAuthType; }
  void SetAuthType(framework::qvHTTPAuthType aValue) { fAuthType = aValue; }
  const std::string& User() const { return fUser; }
  void SetUser(const std::string& aValue) { fUser = aValue; }
  const std::string& Password() const { return fPassword; }
  void SetPassword(const std::string& aValue) { fPassword = aValue; }
  const std::string& Response() const { return fResponse; }
  int32_t ResponseCode() const { return fResponseCode; }

  platform::HttpClient& HttpClient() { return fHttpClient; }
  const platform::HttpClient& HttpClient() const { return fHttpClient; }

 private:
  void ApplyAuthentication();
  void RecordPostFailure(const std::string& aMessage);

  platform::HttpClient fHttpClient;
  std::string fContentType;
  std::string fURL;
  framework::qvHTTPAuthType fAuthType = framework::at_None;
  std::string fUser;
  std::string fPassword;
  std::string fResponse;
  int32_t fResponseCode = 0;
};

}  // namespace qv::channels
