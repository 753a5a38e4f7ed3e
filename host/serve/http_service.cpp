#include "serve/http_service.h"

#include <httplib.h>

#include <functional>

#include "platform/error.h"
#include "platform/socket.h"

namespace qv::host {

namespace {

constexpr size_t kLargestBody = 1024 * 1024;
constexpr size_t kLongestKey = 200;

// Compares without stopping at the first difference, so that the time taken does not tell
// how much of a guessed token was right.
bool TimingSafeEqual(const std::string& aLeft, const std::string& aRight) {
  if (aLeft.size() != aRight.size()) return false;
  unsigned char difference = 0;
  for (size_t i = 0; i < aLeft.size(); ++i) {
    difference |= static_cast<unsigned char>(aLeft[i] ^ aRight[i]);
  }
  return difference == 0;
}

void Send(httplib::Response& aResponse, const Answer& aAnswer) {
  aResponse.status = aAnswer.status;
  std::string type = aAnswer.contentType + "; charset=utf-8";
  aResponse.set_content(aAnswer.body, type.c_str());
  if (aAnswer.replayed) aResponse.set_header("Idempotent-Replayed", "true");
}

void SendFailure(httplib::Response& aResponse, int aStatus, const std::string& aMessage) {
  Send(aResponse, ErrorAnswer(aStatus, aMessage));
}

using Handler = std::function<Answer(const httplib::Request&)>;

// Every answer of a route, failures included, is a JSON document.
httplib::Server::Handler Guarded(Handler aHandler) {
  return [aHandler](const httplib::Request& aRequest, httplib::Response& aResponse) {
    try {
      Send(aResponse, aHandler(aRequest));
    } catch (const HttpFailure& e) {
      SendFailure(aResponse, e.Status(), e.what());
    } catch (const std::exception& e) {
      SendFailure(aResponse, 500, e.what());
    }
  };
}

// Idempotency-Key: printable ASCII without blanks, at most 200 characters.
std::string IdempotencyKey(const httplib::Request& aRequest) {
  if (!aRequest.has_header("Idempotency-Key")) return "";
  std::string key = aRequest.get_header_value("Idempotency-Key");
  bool printable = !key.empty() && key.size() <= kLongestKey;
  for (char c : key) printable = printable && c > ' ' && c < 0x7F;
  if (!printable) {
    throw HttpFailure(400, "Idempotency-Key must be 1 to 200 printable characters without blanks");
  }
  return key;
}

bool IsXmlBody(const httplib::Request& aRequest) {
  std::string type = aRequest.get_header_value("Content-Type");
  return type.rfind("application/xml", 0) == 0 || type.rfind("text/xml", 0) == 0;
}

std::string StatusText(int aStatus) {
  switch (aStatus) {
    case 404:
      return "No such resource";
    case 405:
      return "Method not allowed";
    case 413:
      return "The body is larger than 1 MiB";
    case 400:
      return "Bad request";
    default:
      return "HTTP status " + std::to_string(aStatus);
  }
}

}  // namespace

bool IsLoopbackAddress(const std::string& aHost) {
  return aHost == "localhost" || aHost == "::1" || aHost == "[::1]" || aHost.rfind("127.", 0) == 0;
}

HttpService::HttpService(std::vector<std::unique_ptr<TillService>>& aTills, HttpSettings aSettings)
    : fTills(aTills), fSettings(std::move(aSettings)) {}

HttpService::~HttpService() = default;

TillService& HttpService::FindTill(const std::string& aName) {
  for (std::unique_ptr<TillService>& till : fTills) {
    if (till->Name() == aName) return *till;
  }
  throw HttpFailure(404, "Unknown till " + aName);
}

int HttpService::Start() {
  if (UsesTls()) {
#if defined(CPPHTTPLIB_OPENSSL_SUPPORT)
    auto server = std::make_unique<httplib::SSLServer>(fSettings.tlsCertificate.c_str(),
                                                       fSettings.tlsKey.c_str());
    if (!server->is_valid()) {
      throw Error("Cannot use the certificate " + fSettings.tlsCertificate + " with the key " +
                  fSettings.tlsKey);
    }
    fServer = std::move(server);
#else
    throw Error("This qvfp is built without TLS: put a TLS proxy in front of it");
#endif
  } else {
    fServer = std::make_unique<httplib::Server>();
  }
  const int threads = fSettings.threads;
  fServer->new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  fServer->set_payload_max_length(kLargestBody);
  fServer->set_keep_alive_max_count(1000);
  // An answer goes out as head and body: without this the second write waits for the
  // client's delayed acknowledgement (about 40 ms a call).
  fServer->set_tcp_nodelay(true);
  // Two services on one port would share its connections, each with keys of its own.
  fServer->set_socket_options(
      [](socket_t aSocket) { platform::MakeExclusiveListener(static_cast<intptr_t>(aSocket)); });
  InstallRoutes();
  std::string host = fSettings.host;
  if (host.size() > 2 && host.front() == '[') host = host.substr(1, host.size() - 2);
  int port = fSettings.port;
  if (port == 0) {
    port = fServer->bind_to_any_port(host);
    if (port < 0) throw Error("Cannot listen on " + fSettings.host);
  } else if (!fServer->bind_to_port(host, port)) {
    throw Error("Cannot listen on " + fSettings.host + ":" + std::to_string(port) +
                " (address in use or not of this machine)");
  }
  return port;
}

void HttpService::Run() { fServer->listen_after_bind(); }

void HttpService::Stop() {
  if (fServer) fServer->stop();
}

void HttpService::InstallRoutes() {
  httplib::Server& server = *fServer;
  const HttpSettings& settings = fSettings;

  auto allowedOrigin = [&settings](const httplib::Request& aRequest) -> std::string {
    if (!aRequest.has_header("Origin")) return "";
    std::string origin = aRequest.get_header_value("Origin");
    for (const std::string& allowed : settings.allowedOrigins) {
      if (allowed == "*" || allowed == origin) return origin;
    }
    return "";
  };

  server.set_pre_routing_handler([&settings, allowedOrigin](const httplib::Request& aRequest,
                                                            httplib::Response& aResponse) {
    std::string origin = allowedOrigin(aRequest);
    if (!origin.empty()) {
      aResponse.set_header("Access-Control-Allow-Origin", origin);
      aResponse.set_header("Access-Control-Expose-Headers", "Idempotent-Replayed");
      aResponse.set_header("Vary", "Origin");
    }
    if (aRequest.method == "OPTIONS") {
      if (origin.empty()) {
        SendFailure(aResponse, 403, "Origin not allowed");
      } else {
        aResponse.status = 204;
        aResponse.set_header("Access-Control-Allow-Methods", "GET, POST, OPTIONS");
        aResponse.set_header("Access-Control-Allow-Headers",
                             "Authorization, Content-Type, Idempotency-Key");
        aResponse.set_header("Access-Control-Max-Age", "600");
      }
      return httplib::Server::HandlerResponse::Handled;
    }
    if (!settings.token.empty() && aRequest.path.rfind("/v1/", 0) == 0) {
      std::string authorization = aRequest.get_header_value("Authorization");
      const std::string scheme = "Bearer ";
      bool authorized = authorization.rfind(scheme, 0) == 0 &&
                        TimingSafeEqual(authorization.substr(scheme.size()), settings.token);
      if (!authorized) {
        aResponse.set_header("WWW-Authenticate", "Bearer");
        SendFailure(aResponse, 401, "A valid \"Authorization: Bearer <token>\" header is required");
        return httplib::Server::HandlerResponse::Handled;
      }
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });

  // Statuses that no route set (no such path, body too large): a JSON error document too.
  httplib::Server::HandlerWithResponse errorHandler = [](const httplib::Request&,
                                                         httplib::Response& aResponse) {
    if (!aResponse.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
    Send(aResponse, ErrorAnswer(aResponse.status, StatusText(aResponse.status)));
    return httplib::Server::HandlerResponse::Handled;
  };
  server.set_error_handler(errorHandler);

  server.Get("/", [](const httplib::Request&, httplib::Response& aResponse) {
    aResponse.set_content(TillPage(), "text/html; charset=utf-8");
  });
  server.Get("/v1/openapi.json", Guarded([](const httplib::Request&) {
               return Answer{200, OpenApiDocument()};
             }));
  server.Get("/v1/tills", Guarded([this](const httplib::Request&) {
               Json tills = Json::array();
               for (std::unique_ptr<TillService>& till : fTills) tills.push_back(till->State());
               return Answer{200, tills.dump()};
             }));
  const std::string till = "/v1/tills/([^/]+)";
  server.Get(till + "/status", Guarded([this](const httplib::Request& aRequest) {
               return FindTill(aRequest.matches[1]).Status();
             }));
  server.Get(till + "/xreport", Guarded([this](const httplib::Request& aRequest) {
               return FindTill(aRequest.matches[1]).XReport();
             }));
  server.Post(till + "/zreport", Guarded([this](const httplib::Request& aRequest) {
                TillService& target = FindTill(aRequest.matches[1]);
                return target.ZReport(aRequest.body, IdempotencyKey(aRequest));
              }));
  server.Post(till + "/receipts", Guarded([this](const httplib::Request& aRequest) {
                TillService& target = FindTill(aRequest.matches[1]);
                std::string key = IdempotencyKey(aRequest);
                std::string receipt = IsXmlBody(aRequest) ? ReceiptXmlFromXml(aRequest.body)
                                                          : ReceiptXmlFromJson(aRequest.body);
                return target.Receipt(receipt, key);
              }));
  server.Get(till + "/journal", Guarded([this](const httplib::Request& aRequest) {
               TillService& target = FindTill(aRequest.matches[1]);
               return target.Journal(aRequest.get_param_value("date"));
             }));
  server.Get(
      till + "/journal/([^/]+)/([^/]+)", Guarded([this](const httplib::Request& aRequest) {
        return FindTill(aRequest.matches[1]).JournalFile(aRequest.matches[2], aRequest.matches[3]);
      }));
  server.Get(till + "/verify", Guarded([this](const httplib::Request& aRequest) {
               return FindTill(aRequest.matches[1]).Verify();
             }));
}

}  // namespace qv::host
