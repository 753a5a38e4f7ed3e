// The HTTP client on Windows. Not yet written on WinHTTP: a post fails with a clear text, so
// an HTTP channel reports it instead of pretending.
#include "platform/error.h"
#include "platform/http_client.h"

namespace qv::platform {

HttpClient::HttpClient() = default;
HttpClient::~HttpClient() = default;

void HttpClient::SetAuthentication(HttpAuthentication aScheme, const std::string& aUser,
                                   const std::string& aPassword) {
  fAuthentication = aScheme;
  fUser = aUser;
  fPassword = aPassword;
}

void HttpClient::SetHeader(const std::string& aName, const std::string& aValue) {
  fHeaders.emplace_back(aName, aValue);
}

std::string HttpClient::Post(const std::string& aUrl, std::string_view, const std::string&) {
  fResponseCode = -1;
  throw Error("Cannot post to " + aUrl + ": HTTP is not available in this Windows build");
}

bool HttpClient::Connected() const { return false; }
void HttpClient::Disconnect() {}

}  // namespace qv::platform
