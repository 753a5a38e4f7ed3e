// The HTTP client on libcurl; TLS comes from the OpenSSL build of libcurl. libcurl is loaded
// when the first request is made, not with the fiscal library, so that a till without it
// still runs its fiscal day.
#include "platform/http_client.h"
#include "platform/http_client_system.h"

// The calls go through pointers bound at run time, which curl's compile-time option checks
// (macros over curl_easy_setopt and curl_easy_getinfo) cannot wrap.
#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>

#include <chrono>
#include <mutex>

#include "platform/error.h"
#include "platform/optional_library.h"
#include "platform/system_error.h"

namespace qv::platform {

namespace {

using http_system::SameHeaderName;
using http_system::WithoutLineBreaks;

// clang-format off
#define QV_CURL_FUNCTIONS(X) \
  X(curl_easy_cleanup) X(curl_easy_getinfo) X(curl_easy_init) X(curl_easy_perform) \
  X(curl_easy_reset) X(curl_easy_setopt) X(curl_easy_strerror) X(curl_global_init) \
  X(curl_slist_append) X(curl_slist_free_all)
// clang-format on

QV_OPTIONAL_LIBRARY_FUNCTIONS(CurlLibrary, QV_CURL_FUNCTIONS);

// Throws qv::Error with the loader's text when libcurl is not installed; a later call tries
// again.
const CurlLibrary& Curl() {
  // Never unloaded, as a library linked at build time is not: libcurl's global set-up and
  // its TLS library's state would dangle.
  static OptionalLibrary& library =
      *new OptionalLibrary("The HTTP transport library", {"libcurl.so.4"});
  static const CurlLibrary curl = CurlLibrary::BoundFrom(library);
  return curl;
}

using Clock = std::chrono::steady_clock;

// curl_global_init is not safe to run twice at once; every client passes here first.
void InitialiseTransportOnce() {
  static std::once_flag once;
  static CURLcode result = CURLE_OK;
  std::call_once(once, [] { result = Curl().curl_global_init(CURL_GLOBAL_DEFAULT); });
  if (result != CURLE_OK) {
    throw Error(std::string("HTTP transport cannot start: ") + Curl().curl_easy_strerror(result));
  }
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
  Curl().curl_easy_getinfo(transfer.handle, CURLINFO_CONNECT_TIME_T, &connectTime);
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
  ~HeaderList() {
    if (fList != nullptr) Curl().curl_slist_free_all(fList);
  }
  void Add(const std::string& aLine) {
    curl_slist* list = Curl().curl_slist_append(fList, aLine.c_str());
    if (list == nullptr) throw Error("Out of memory for the HTTP request headers");
    fList = list;
  }
  curl_slist* Get() const { return fList; }

 private:
  curl_slist* fList = nullptr;
};

}  // namespace

HttpClient::HttpClient() { InitialiseTransportOnce(); }

bool HttpClient::Connected() const {
  if (fHandle == nullptr) return false;
  curl_socket_t socket = CURL_SOCKET_BAD;
  if (Curl().curl_easy_getinfo(fHandle, CURLINFO_ACTIVESOCKET, &socket) != CURLE_OK) return false;
  return socket != CURL_SOCKET_BAD;
}

void HttpClient::Disconnect() {
  if (fHandle == nullptr) return;
  Curl().curl_easy_cleanup(fHandle);
  fHandle = nullptr;
}

std::string HttpClient::Send(const std::string& aMethod, const std::string& aUrl,
                             std::string_view aBody, const std::string& aContentType) {
  const bool post = aMethod == "POST";
  fResponseCode = -1;
  if (fHandle == nullptr) {
    fHandle = Curl().curl_easy_init();
    if (fHandle == nullptr) throw Error("HTTP transport cannot create a request");
  } else {
    // Options of the previous request go; its open connection stays for this one.
    Curl().curl_easy_reset(fHandle);
  }
  CURL* curl = fHandle;
  const auto setOption = Curl().curl_easy_setopt;
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
  if (!customContentType && post) {
    // "Content-Type:" takes away the form type the transport would add on its own.
    headers.Add("Content-Type:" + (aContentType.empty() ? "" : " " + aContentType));
  }
  // The body goes with the request at once, never after a "100 Continue".
  if (!customExpect) headers.Add("Expect:");

  setOption(curl, CURLOPT_URL, aUrl.c_str());
  setOption(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  setOption(curl, CURLOPT_DEFAULT_PROTOCOL, "http");
  setOption(curl, CURLOPT_PROXY, "");
  setOption(curl, CURLOPT_NOSIGNAL, 1L);
  setOption(curl, CURLOPT_ERRORBUFFER, errorText);
  if (post) {
    setOption(curl, CURLOPT_POST, 1L);
    setOption(curl, CURLOPT_POSTFIELDS, aBody.data());
    setOption(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(aBody.size()));
  } else {
    setOption(curl, CURLOPT_HTTPGET, 1L);
  }
  setOption(curl, CURLOPT_HTTPHEADER, headers.Get());
  setOption(curl, CURLOPT_WRITEFUNCTION, CollectBody);
  setOption(curl, CURLOPT_WRITEDATA, &transfer);
  setOption(curl, CURLOPT_HEADERFUNCTION, CollectStatusLine);
  setOption(curl, CURLOPT_HEADERDATA, &transfer);
  setOption(curl, CURLOPT_XFERINFOFUNCTION, WatchProgress);
  setOption(curl, CURLOPT_XFERINFODATA, &transfer);
  setOption(curl, CURLOPT_NOPROGRESS, 0L);
  if (fConnectTimeout > 0) {
    setOption(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(fConnectTimeout));
  }
  if (!fTrustedCertificates.empty()) {
    setOption(curl, CURLOPT_CAINFO, fTrustedCertificates.c_str());
    setOption(curl, CURLOPT_CAPATH, nullptr);
  }
  if (fAuthentication != HttpAuthentication::None) {
    setOption(curl, CURLOPT_HTTPAUTH,
              fAuthentication == HttpAuthentication::Basic ? CURLAUTH_BASIC : CURLAUTH_DIGEST);
    setOption(curl, CURLOPT_USERNAME, fUser.c_str());
    setOption(curl, CURLOPT_PASSWORD, fPassword.c_str());
  }

  const CURLcode result = Curl().curl_easy_perform(curl);
  long status = 0;
  Curl().curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  if (status > 0) fResponseCode = static_cast<int32_t>(status);
  if (result != CURLE_OK) {
    if (transfer.timedOut) {
      throw Error("Read timed out after " + std::to_string(fReadTimeout) + " ms");
    }
    std::string message =
        errorText[0] != '\0' ? std::string(errorText) : Curl().curl_easy_strerror(result);
    long systemError = 0;
    Curl().curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &systemError);
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
