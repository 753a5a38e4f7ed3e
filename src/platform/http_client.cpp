// The parts of the HTTP client that are the same on every system: its settings, its headers
// and the two request methods; http_client_posix.cpp and http_client_win32.cpp send them.
#include "platform/http_client.h"

#include <algorithm>
#include <cctype>

#include "platform/http_client_system.h"

namespace qv::platform {

std::string http_system::WithoutLineBreaks(const std::string& aText) {
  std::string text = aText;
  std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
  return text;
}

bool http_system::SameHeaderName(const std::string& aLeft, const std::string& aRight) {
  return std::equal(aLeft.begin(), aLeft.end(), aRight.begin(), aRight.end(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  });
}

HttpClient::~HttpClient() { Disconnect(); }

void HttpClient::SetAuthentication(HttpAuthentication aScheme, const std::string& aUser,
                                   const std::string& aPassword) {
  fAuthentication = aScheme;
  fUser = aUser;
  fPassword = aPassword;
}

void HttpClient::SetHeader(const std::string& aName, const std::string& aValue) {
  const std::string name = http_system::WithoutLineBreaks(aName);
  const std::string value = http_system::WithoutLineBreaks(aValue);
  for (auto& [existingName, existingValue] : fHeaders) {
    if (http_system::SameHeaderName(existingName, name)) {
      existingValue = value;
      return;
    }
  }
  fHeaders.emplace_back(name, value);
}

std::string HttpClient::Post(const std::string& aUrl, std::string_view aBody,
                             const std::string& aContentType) {
  return Send("POST", aUrl, aBody, aContentType);
}

std::string HttpClient::Get(const std::string& aUrl) { return Send("GET", aUrl, {}, ""); }

}  // namespace qv::platform
