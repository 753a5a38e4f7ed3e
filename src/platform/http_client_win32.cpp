// The HTTP client on WinHTTP; TLS and the certificate checks come from the system.
#include "platform/windows_headers_win32.h"

#include <winhttp.h>

#include <chrono>
#include <memory>

#include "platform/error.h"
#include "platform/http_client.h"
#include "platform/http_client_system.h"
#include "platform/system_error.h"

namespace qv::platform {

namespace {

using http_system::SameHeaderName;
using http_system::WithoutLineBreaks;

using Clock = std::chrono::steady_clock;

// WinHTTP's default connect time-out, for a client that names none.
constexpr int kDefaultConnectTimeoutMs = 60000;
// WSAETIMEDOUT: some WinHTTP builds hand on the socket's own code for a read that timed out.
constexpr DWORD kSocketTimedOut = 10060;

// WinHTTP's own codes have their texts in winhttp.dll, not in the system's message table.
std::string TransportErrorText(DWORD aCode) {
  if (aCode >= WINHTTP_ERROR_BASE && aCode <= WINHTTP_ERROR_LAST) {
    std::string text = MessageTableText(aCode, GetModuleHandleW(L"winhttp.dll"));
    if (!text.empty()) return text;
    // Systems whose winhttp.dll carries no message table get the texts of the usual cases.
    switch (aCode) {
      case ERROR_WINHTTP_TIMEOUT:
        return "The operation timed out";
      case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return "The server name or address could not be resolved";
      case ERROR_WINHTTP_CANNOT_CONNECT:
        return "A connection with the server could not be established";
      case ERROR_WINHTTP_CONNECTION_ERROR:
        return "The connection with the server was reset";
      case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
        return "The server returned an invalid or unrecognized response";
      case ERROR_WINHTTP_SECURE_FAILURE:
        return "A security error occurred";
      default:
        break;
    }
  }
  return SystemErrorText(static_cast<int>(aCode));
}

// Closes one WinHTTP handle.
struct InternetCloser {
  void operator()(void* aHandle) const { WinHttpCloseHandle(aHandle); }
};
using InternetHandle = std::unique_ptr<void, InternetCloser>;

// The parts of a URL that a request needs.
struct Target {
  std::wstring host;
  INTERNET_PORT port = 0;
  bool secure = false;
  std::wstring path;  // path and query
};

Target CrackUrl(const std::string& aUrl) {
  // Like the Linux client, a URL without a scheme is taken as http.
  std::string url = aUrl.find("://") == std::string::npos ? "http://" + aUrl : aUrl;
  const std::wstring wide = ToWide(url);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwSchemeLength = static_cast<DWORD>(-1);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts)) {
    const DWORD error = GetLastError();
    if (error == ERROR_WINHTTP_UNRECOGNIZED_SCHEME) {
      throw Error("Protocol \"" + url.substr(0, url.find("://")) + "\" not supported");
    }
    throw Error("URL rejected: " + TransportErrorText(error));
  }
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
    throw Error("Protocol \"" + url.substr(0, url.find("://")) + "\" not supported");
  }
  Target target;
  target.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  target.port = parts.nPort;
  target.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  target.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  if (parts.lpszExtraInfo != nullptr)
    target.path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (target.path.empty()) target.path = L"/";
  return target;
}

std::wstring QueryHeaderText(HINTERNET aRequest, DWORD aWhich) {
  DWORD bytes = 0;
  WinHttpQueryHeaders(aRequest, aWhich, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &bytes,
                      WINHTTP_NO_HEADER_INDEX);
  if (bytes == 0) return {};
  std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
  if (!WinHttpQueryHeaders(aRequest, aWhich, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &bytes,
                           WINHTTP_NO_HEADER_INDEX)) {
    return {};
  }
  text.resize(bytes / sizeof(wchar_t));
  return text;
}

DWORD QueryStatus(HINTERNET aRequest) {
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!WinHttpQueryHeaders(aRequest, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
    return 0;
  }
  return status;
}

// "HTTP/1.1 404 Not Found", as the answer's first line reads.
std::string StatusLine(HINTERNET aRequest, DWORD aStatus) {
  std::string line = FromWide(QueryHeaderText(aRequest, WINHTTP_QUERY_VERSION));
  if (line.empty()) line = "HTTP/1.1";
  line += " " + std::to_string(aStatus);
  const std::string reason = FromWide(QueryHeaderText(aRequest, WINHTTP_QUERY_STATUS_TEXT));
  if (!reason.empty()) line += " " + reason;
  return line;
}

// Reads the answer's body to its end. False, with the system's code in aError, when the
// transport fails part way.
bool ReadBody(HINTERNET aRequest, std::string& aBody, DWORD& aError) {
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(aRequest, &available)) {
      aError = GetLastError();
      return false;
    }
    if (available == 0) return true;
    const size_t start = aBody.size();
    aBody.resize(start + available);
    DWORD got = 0;
    if (!WinHttpReadData(aRequest, aBody.data() + start, available, &got)) {
      aError = GetLastError();
      aBody.resize(start);
      return false;
    }
    aBody.resize(start + got);
    if (got == 0) return true;
  }
}

std::string ReadFailure(DWORD aError, int32_t aReadTimeout) {
  if (aError == ERROR_WINHTTP_TIMEOUT || aError == kSocketTimedOut) {
    return "Read timed out after " + std::to_string(aReadTimeout) + " ms";
  }
  return TransportErrorText(aError);
}

}  // namespace

// The session keeps the connections of earlier requests for the next one to the same server.
struct HttpSession {
  InternetHandle session;
  InternetHandle connection;
  std::wstring host;
  INTERNET_PORT port = 0;
  bool answered = false;
};

HttpClient::HttpClient() = default;

bool HttpClient::Connected() const {
  return fHandle != nullptr && static_cast<HttpSession*>(fHandle)->answered;
}

void HttpClient::Disconnect() {
  delete static_cast<HttpSession*>(fHandle);
  fHandle = nullptr;
}

std::string HttpClient::Send(const std::string& aMethod, const std::string& aUrl,
                             std::string_view aBody, const std::string& aContentType) {
  fResponseCode = -1;
  if (!fTrustedCertificates.empty()) {
    throw Error("Trusted certificates from " + fTrustedCertificates +
                " are not supported on Windows: add the authority to the system's store");
  }
  const Target target = CrackUrl(aUrl);
  if (fHandle == nullptr) {
    auto state = std::make_unique<HttpSession>();
    // No proxy: a request goes to the server the URL names.
    state->session.reset(WinHttpOpen(L"QVFP", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                     WINHTTP_NO_PROXY_BYPASS, 0));
    if (!state->session) {
      throw Error(SystemErrorMessage("HTTP transport cannot start", LastSystemError()));
    }
    fHandle = state.release();
  }
  auto& state = *static_cast<HttpSession*>(fHandle);
  state.answered = false;
  const int connectMs = fConnectTimeout > 0 ? fConnectTimeout : kDefaultConnectTimeoutMs;
  const int readMs = fReadTimeout > 0 ? fReadTimeout : 0;  // 0: wait without limit
  WinHttpSetTimeouts(state.session.get(), connectMs, connectMs, readMs, readMs);
  if (!state.connection || state.host != target.host || state.port != target.port) {
    state.connection.reset(
        WinHttpConnect(state.session.get(), target.host.c_str(), target.port, 0));
    if (!state.connection) throw Error(TransportErrorText(GetLastError()));
    state.host = target.host;
    state.port = target.port;
  }

  InternetHandle request(WinHttpOpenRequest(
      state.connection.get(), ToWide(aMethod).c_str(), target.path.c_str(), nullptr,
      WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, target.secure ? WINHTTP_FLAG_SECURE : 0));
  if (!request) throw Error(TransportErrorText(GetLastError()));
  DWORD redirects = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  WinHttpSetOption(request.get(), WINHTTP_OPTION_REDIRECT_POLICY, &redirects, sizeof redirects);
  // Waiting for the answer's head counts as reading, like waiting for its body.
  DWORD headMs = readMs > 0 ? static_cast<DWORD>(readMs) : INFINITE;
  WinHttpSetOption(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headMs, sizeof headMs);
  // Credentials go only where the caller asked for them, never from the logged-on user.
  DWORD logon = WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH;
  WinHttpSetOption(request.get(), WINHTTP_OPTION_AUTOLOGON_POLICY, &logon, sizeof logon);

  std::wstring headers;
  bool customContentType = false;
  for (const auto& [name, value] : fHeaders) {
    headers += ToWide(name) + L": " + ToWide(value) + L"\r\n";
    customContentType = customContentType || SameHeaderName(name, "Content-Type");
  }
  if (!customContentType && !aContentType.empty()) {
    headers += L"Content-Type: " + ToWide(WithoutLineBreaks(aContentType)) + L"\r\n";
  }
  if (!headers.empty() &&
      !WinHttpAddRequestHeaders(request.get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                                WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE)) {
    throw Error(SystemErrorMessage("Bad HTTP request header", LastSystemError()));
  }
  const std::wstring user = ToWide(fUser);
  const std::wstring password = ToWide(fPassword);
  if (fAuthentication == HttpAuthentication::Basic) {
    WinHttpSetCredentials(request.get(), WINHTTP_AUTH_TARGET_SERVER, WINHTTP_AUTH_SCHEME_BASIC,
                          user.c_str(), password.c_str(), nullptr);
  }

  const auto bodySize = static_cast<DWORD>(aBody.size());
  void* bodyData = const_cast<char*>(aBody.data());
  const Clock::time_point start = Clock::now();
  DWORD status = 0;
  // A digest challenge is answered once, with the body sent again.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, bodyData, bodySize,
                            bodySize, 0)) {
      const DWORD error = GetLastError();
      const auto elapsed =
          std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
      if (error == ERROR_WINHTTP_NAME_NOT_RESOLVED) {
        throw Error("Could not resolve host: " + FromWide(target.host));
      }
      if (error == ERROR_WINHTTP_CANNOT_CONNECT || error == ERROR_WINHTTP_TIMEOUT) {
        throw Error("Failed to connect to " + FromWide(target.host) + " port " +
                    std::to_string(target.port) + " after " + std::to_string(elapsed) +
                    " ms: " + TransportErrorText(error));
      }
      throw Error(TransportErrorText(error));
    }
    if (!WinHttpReceiveResponse(request.get(), nullptr)) {
      throw Error(ReadFailure(GetLastError(), fReadTimeout));
    }
    status = QueryStatus(request.get());
    if (status != HTTP_STATUS_DENIED || fAuthentication != HttpAuthentication::Digest ||
        attempt > 0) {
      break;
    }
    DWORD supported = 0, first = 0, target401 = 0;
    if (!WinHttpQueryAuthSchemes(request.get(), &supported, &first, &target401) ||
        (supported & WINHTTP_AUTH_SCHEME_DIGEST) == 0 ||
        !WinHttpSetCredentials(request.get(), WINHTTP_AUTH_TARGET_SERVER,
                               WINHTTP_AUTH_SCHEME_DIGEST, user.c_str(), password.c_str(),
                               nullptr)) {
      break;
    }
    // The challenge's body is read away so that the connection can carry the second try.
    std::string challenge;
    DWORD error = 0;
    if (!ReadBody(request.get(), challenge, error)) throw Error(ReadFailure(error, fReadTimeout));
  }
  if (status > 0) fResponseCode = static_cast<int32_t>(status);
  std::string body;
  DWORD error = 0;
  if (!ReadBody(request.get(), body, error)) throw Error(ReadFailure(error, fReadTimeout));
  state.answered = true;
  if (status < 200 || status > 299) throw Error(StatusLine(request.get(), status));
  return body;
}

}  // namespace qv::platform
