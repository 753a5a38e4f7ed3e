// The HTTP client on libcurl; TLS comes from the OpenSSL build of libcurl.
#include "platform/http_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <mutex>

#include "platform/error.h"
#include "platform/system_error.h"

namespace qv::platform {

namespace {

using Clock = std::chrono::steady_clock;

// curl_global_init is not safe to run twice at once; every client passes here first.
void InitialiseTransportOnce() {
  static std::once_flag once;
  static CURLcode result = CURLE_OK;
  std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
  if (result != CURLE_OK) {
    throw Error(std::string("HTTP transport cannot start: ") + curl_easy_strerror(result));
  }
}

std::string WithoutLineBreaks(const std::string& aText) {
  std::string text = aText;
  std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
  return text;
}

bool SameHeaderName(const std::string& aLeft, const std::string& aRight) {
  return std::equal(aLeft.begin(), aLeft.end(), aRight.begin(), aRight.end(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  });
}

// What the callbacks of one request collect.
struct Transfer {
  CURL* handle = nullptr;
  std::string body;
  std::string statusLine;
  int32_t readTimeout = 0;
  Clock::time_point lastProgress = Clock::now();
  curl_off_t lastReceived = 0;
  curl_off_t lastSent = 0;
  bool timedOut = false;
};

size_t CollectBody(char* aData, size_t aSize, size_t aCount, void* aTransfer) {
  static_cast<Transfer*>(aTransfer)->body.append(aData, aSize * aCount);
  return aSize * aCount;
}

// Keeps the last status line: after a digest challenge or a "100 Continue" the final answer's
// line is the one that counts.
size_t CollectStatusLine(char* aData, size_t aSize, size_t aCount, void* aTransfer) {
  const std::string_view line(aData, aSize * aCount);
  if (line.starts_with("HTTP/")) {
    std::string status(line);
    while (!status.empty() && (status.back() == '\r' || status.back() == '\n')) status.pop_back();
    static_cast<Transfer*>(aTransfer)->statusLine = status;
  }
  return aSize * aCount;
}

// The read time-out: the request ends when no byte has moved either way for that long once
// the connection is up. The transport calls this at least once a second while it waits.
int WatchProgress(void* aTransfer, curl_off_t, curl_off_t aReceived, curl_off_t, curl_off_t aSent) {
  auto& transfer = *static_cast<Transfer*>(aTransfer);
  const Clock::time_point now = Clock::now();
  curl_off_t connectTime = 0;
  curl_easy_getinfo(transfer.handle, CURLINFO_CONNECT_TIME_T, &connectTime);
  if (connectTime == 0) {
    // Still connecting: the connect time-out watches this part.
    transfer.lastProgress = now;
    return 0;
  }
  if (aReceived != transfer.lastReceived || aSent != transfer.lastSent) {
    transfer.lastReceived = aReceived;
    transfer.lastSent = aSent;
    transfer.lastProgress = now;
    return 0;
  }
  if (transfer.readTimeout > 0 &&
      now - transfer.lastProgress > std::chrono::milliseconds(transfer.readTimeout)) {
    transfer.timedOut = true;
    return 1;
  }
  return 0;
}

class HeaderList {
 public:
  ~HeaderList() { curl_slist_free_all(fList); }
  void Add(const std::string& aLine) {
    curl_slist* list = curl_slist_append(fList, aLine.c_str());
    if (list == nullptr) throw Error("Out of memory for the HTTP request headers");
    fList = list;
  }
  curl_slist* Get() const { return fList; }

 private:
  curl_slist* fList = nullptr;
};

}  // namespace

HttpClient::HttpClient() { InitialiseTransportOnce(); }

HttpClient::~HttpClient() { Disconnect(); }

void HttpClient::SetAuthentication(HttpAuthentication aScheme, const std::string& aUser,
                                   const std::string& aPassword) {
  fAuthentication = aScheme;
  fUser = aUser;
  fPassword = aPassword;
}

void HttpClient::SetHeader(const std::string& aName, const std::string& aValue) {
  const std::string name = WithoutLineBreaks(aName);
  const std::string value = WithoutLineBreaks(aValue);
  for (auto& [existingName, existingValue] : fHeaders) {
    if (SameHeaderName(existingName, name)) {
      existingValue = value;
      return;
    }
  }
  fHeaders.emplace_back(name, value);
}

bool HttpClient::Connected() const {
  if (fHandle == nullptr) return false;
  curl_socket_t socket = CURL_SOCKET_BAD;
  if (curl_easy_getinfo(fHandle, CURLINFO_ACTIVESOCKET, &socket) != CURLE_OK) return false;
  return socket != CURL_SOCKET_BAD;
}

void HttpClient::Disconnect() {
  if (fHandle == nullptr) return;
  curl_easy_cleanup(fHandle);
  fHandle = nullptr;
}

std::string HttpClient::Post(const std::string& aUrl, std::string_view aBody,
                             const std::string& aContentType) {
  fResponseCode = -1;
  if (fHandle == nullptr) {
    fHandle = curl_easy_init();
    if (fHandle == nullptr) throw Error("HTTP transport cannot create a request");
  } else {
    // Options of the previous request go; its open connection stays for this one.
    curl_easy_reset(fHandle);
  }
  CURL* curl = fHandle;
  Transfer transfer;
  transfer.handle = curl;
  transfer.readTimeout = fReadTimeout;
  char errorText[CURL_ERROR_SIZE] = {};

  HeaderList headers;
  bool customContentType = false;
  bool customExpect = false;
  for (const auto& [name, value] : fHeaders) {
    // "Name;" is how the transport sends a header with an empty value.
    headers.Add(value.empty() ? name + ";" : name + ": " + value);
    customContentType = customContentType || SameHeaderName(name, "Content-Type");
    customExpect = customExpect || SameHeaderName(name, "Expect");
  }
  if (!customContentType) {
    // "Content-Type:" takes away the form type the transport would add on its own.
    headers.Add("Content-Type:" + (aContentType.empty() ? "" : " " + aContentType));
  }
  // The body goes with the request at once, never after a "100 Continue".
  if (!customExpect) headers.Add("Expect:");

  curl_easy_setopt(curl, CURLOPT_URL, aUrl.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_DEFAULT_PROTOCOL, "http");
  curl_easy_setopt(curl, CURLOPT_PROXY, "");
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(curl, CURLOPT_POST, 1L);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, aBody.data());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(aBody.size()));
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.Get());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CollectBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, CollectStatusLine);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, WatchProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  if (fConnectTimeout > 0) {
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(fConnectTimeout));
  }
  if (!fTrustedCertificates.empty()) {
    curl_easy_setopt(curl, CURLOPT_CAINFO, fTrustedCertificates.c_str());
    curl_easy_setopt(curl, CURLOPT_CAPATH, nullptr);
  }
  if (fAuthentication != HttpAuthentication::None) {
    curl_easy_setopt(
        curl, CURLOPT_HTTPAUTH,
        fAuthentication == HttpAuthentication::Basic ? CURLAUTH_BASIC : CURLAUTH_DIGEST);
    curl_easy_setopt(curl, CURLOPT_USERNAME, fUser.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, fPassword.c_str());
  }

  const CURLcode result = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  if (status > 0) fResponseCode = static_cast<int32_t>(status);
  if (result != CURLE_OK) {
    if (transfer.timedOut) {
      throw Error("Read timed out after " + std::to_string(fReadTimeout) + " ms");
    }
    std::string message =
        errorText[0] != '\0' ? std::string(errorText) : curl_easy_strerror(result);
    long systemError = 0;
    curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &systemError);
    if (systemError != 0) message += " (" + SystemErrorText(static_cast<int>(systemError)) + ")";
    throw Error(message);
  }
  if (status < 200 || status > 299) {
    throw Error(!transfer.statusLine.empty() ? transfer.statusLine
                                             : "HTTP status " + std::to_string(status));
  }
  return std::move(transfer.body);
}

}  // namespace qv::platform
