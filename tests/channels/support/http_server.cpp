#include "channels/support/http_server.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <stdexcept>

#include "platform/file_system.h"
#include "support/file_status_assertions.h"

namespace qv::test_support {

namespace {

constexpr int kReadTimeoutMs = 5000;
const char* const kRealm = "till";
const char* const kNonce = "5d41402abc4b2a76b9719d911017c592";

std::string Lower(std::string aText) {
  for (char& c : aText) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return aText;
}

std::string Trim(const std::string& aText) {
  const auto first = aText.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return aText.substr(first, aText.find_last_not_of(" \t") - first + 1);
}

std::string Md5Hex(const std::string& aText) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(aText.data(), aText.size(), digest, &length, EVP_md5(), nullptr);
  static const char* const kDigits = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kDigits[digest[i] >> 4];
    hex += kDigits[digest[i] & 15];
  }
  return hex;
}

std::string Base64(const std::string& aText) {
  std::string encoded(4 * ((aText.size() + 2) / 3) + 1, '\0');
  const int length =
      EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()),
                      reinterpret_cast<const unsigned char*>(aText.data()), aText.size());
  encoded.resize(length);
  return encoded;
}

// The name="value" and name=value pairs of a digest Authorization header.
std::map<std::string, std::string> DigestFields(const std::string& aHeader) {
  std::map<std::string, std::string> fields;
  std::size_t position = aHeader.find(' ');
  while (position != std::string::npos && position < aHeader.size()) {
    const std::size_t equals = aHeader.find('=', position);
    if (equals == std::string::npos) break;
    const std::string name = Trim(aHeader.substr(position, equals - position));
    std::string value;
    std::size_t next;
    if (equals + 1 < aHeader.size() && aHeader[equals + 1] == '"') {
      const std::size_t close = aHeader.find('"', equals + 2);
      value = aHeader.substr(equals + 2, close - equals - 2);
      next = aHeader.find(',', close);
    } else {
      next = aHeader.find(',', equals);
      value = Trim(aHeader.substr(equals + 1, next - equals - 1));
    }
    fields[Lower(name)] = value;
    position = next == std::string::npos ? next : next + 1;
  }
  return fields;
}

// One accepted connection as the handler sees it: plain bytes, or bytes through TLS.
class Connection {
 public:
  virtual ~Connection() = default;
  // What arrives next; the empty text once the peer closed or went silent.
  virtual std::string Read() = 0;
  virtual void Write(const std::string& aBytes) = 0;
};

class PlainConnection : public Connection {
 public:
  explicit PlainConnection(platform::TcpStream& aStream) : fStream(aStream) {}
  std::string Read() override { return fStream.ReadSome(kReadTimeoutMs); }
  void Write(const std::string& aBytes) override { fStream.Write(aBytes); }

 private:
  platform::TcpStream& fStream;
};

// TLS over the platform stream through memory buffers, so that every wait keeps the
// stream's time-outs.
class TlsConnection : public Connection {
 public:
  TlsConnection(platform::TcpStream& aStream, SSL_CTX* aContext)
      : fStream(aStream), fSsl(SSL_new(aContext)) {
    fIn = BIO_new(BIO_s_mem());
    fOut = BIO_new(BIO_s_mem());
    SSL_set_bio(fSsl, fIn, fOut);
    SSL_set_accept_state(fSsl);
  }
  ~TlsConnection() override {
    SSL_shutdown(fSsl);
    try {
      Flush();
    } catch (...) {
    }
    SSL_free(fSsl);
  }

  // Whether the handshake came through.
  bool Handshake() {
    for (;;) {
      const int result = SSL_do_handshake(fSsl);
      Flush();
      if (result == 1) return true;
      if (SSL_get_error(fSsl, result) != SSL_ERROR_WANT_READ || !Feed()) return false;
    }
  }
  std::string Read() override {
    char buffer[4096];
    for (;;) {
      const int count = SSL_read(fSsl, buffer, sizeof buffer);
      if (count > 0) return std::string(buffer, count);
      Flush();
      if (SSL_get_error(fSsl, count) != SSL_ERROR_WANT_READ || !Feed()) return std::string();
    }
  }
  void Write(const std::string& aBytes) override {
    if (!aBytes.empty()) SSL_write(fSsl, aBytes.data(), static_cast<int>(aBytes.size()));
    Flush();
  }

 private:
  void Flush() {
    char buffer[4096];
    int count;
    while ((count = BIO_read(fOut, buffer, sizeof buffer)) > 0) {
      fStream.Write(std::string_view(buffer, count));
    }
  }
  bool Feed() {
    const std::string bytes = fStream.ReadSome(kReadTimeoutMs);
    if (bytes.empty()) return false;
    BIO_write(fIn, bytes.data(), static_cast<int>(bytes.size()));
    return true;
  }

  platform::TcpStream& fStream;
  SSL* fSsl;
  BIO* fIn;
  BIO* fOut;
};

// Reads one request; false when the client sent none.
bool ReadRequest(Connection& aConnection, HttpRequest& aRequest) {
  std::string data;
  std::size_t headEnd;
  while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
    const std::string more = aConnection.Read();
    if (more.empty()) return false;
    data += more;
  }
  std::size_t lineStart = 0;
  bool first = true;
  while (lineStart < headEnd) {
    std::size_t lineEnd = data.find("\r\n", lineStart);
    const std::string line = data.substr(lineStart, lineEnd - lineStart);
    lineStart = lineEnd + 2;
    if (first) {
      const std::size_t space = line.find(' ');
      aRequest.method = line.substr(0, space);
      aRequest.target = line.substr(space + 1, line.find(' ', space + 1) - space - 1);
      first = false;
      continue;
    }
    const std::size_t colon = line.find(':');
    aRequest.headers.emplace_back(line.substr(0, colon), Trim(line.substr(colon + 1)));
  }
  const std::string lengthText = aRequest.Header("Content-Length");
  const std::size_t length = lengthText == "<none>" ? 0 : std::stoul(lengthText);
  aRequest.body = data.substr(headEnd + 4);
  while (aRequest.body.size() < length) {
    const std::string more = aConnection.Read();
    if (more.empty()) return false;
    aRequest.body += more;
  }
  return true;
}

std::string ReplyText(const HttpReply& aReply) {
  std::string text = "HTTP/1.1 " + std::to_string(aReply.status) + " " + aReply.reason + "\r\n";
  const std::size_t announced = aReply.breakOff ? aReply.body.size() + 100 : aReply.body.size();
  text += "Content-Length: " + std::to_string(announced) + "\r\n";
  text += "Connection: close\r\n";
  for (const auto& [name, value] : aReply.headers) text += name + ": " + value + "\r\n";
  return text + "\r\n" + aReply.body;
}

}  // namespace

std::string HttpRequest::Header(const std::string& aName) const {
  for (const auto& [name, value] : headers) {
    if (Lower(name) == Lower(aName)) return value;
  }
  return "<none>";
}

int HttpRequest::HeaderCount(const std::string& aName) const {
  return static_cast<int>(std::count_if(headers.begin(), headers.end(), [&](const auto& header) {
    return Lower(header.first) == Lower(aName);
  }));
}

// ----- TlsIdentity

TlsIdentity::TlsIdentity(const std::string& aCertificateFile) : fCertificateFile(aCertificateFile) {
  EVP_PKEY* key = EVP_EC_gen("P-256");
  X509* certificate = X509_new();
  X509_set_version(certificate, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
  X509_gmtime_adj(X509_getm_notBefore(certificate), -3600);
  X509_gmtime_adj(X509_getm_notAfter(certificate), 86400);
  X509_set_pubkey(certificate, key);
  X509_NAME* name = X509_get_subject_name(certificate);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
  X509_set_issuer_name(certificate, name);
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
  for (const auto& [nid, value] : std::vector<std::pair<int, const char*>>{
           {NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1"},
           {NID_basic_constraints, "critical,CA:TRUE"}}) {
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
  }
  X509_sign(certificate, key, EVP_sha256());

  BIO* pem = BIO_new(BIO_s_mem());
  PEM_write_bio_X509(pem, certificate);
  char* data = nullptr;
  const long size = BIO_get_mem_data(pem, &data);
  std::string error;
  const bool written =
      Ok(platform::WriteWholeFile(fCertificateFile, std::string(data, size)), error);
  BIO_free(pem);

  fContext = SSL_CTX_new(TLS_server_method());
  SSL_CTX_use_certificate(fContext, certificate);
  SSL_CTX_use_PrivateKey(fContext, key);
  X509_free(certificate);
  EVP_PKEY_free(key);
  if (!written) throw std::runtime_error("cannot write the certificate: " + error);
}

TlsIdentity::~TlsIdentity() { SSL_CTX_free(fContext); }

// ----- HttpServer

HttpServer::HttpServer(Handler aHandler, const TlsIdentity* aTls)
    : fHandler(std::move(aHandler)), fTls(aTls), fThread([this] { Run(); }) {}

HttpServer::~HttpServer() {
  {
    std::lock_guard<std::mutex> lock(fMutex);
    fStopping = true;
  }
  fThread.join();
}

std::string HttpServer::Url(const std::string& aPath) const {
  return std::string(fTls ? "https" : "http") + "://127.0.0.1:" + std::to_string(Port()) + aPath;
}

std::vector<HttpRequest> HttpServer::Requests() {
  std::lock_guard<std::mutex> lock(fMutex);
  return fRequests;
}

void HttpServer::Run() {
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(fMutex);
      if (fStopping) return;
    }
    std::unique_ptr<platform::TcpStream> stream = fListener.Accept(50);
    if (!stream) continue;
    try {
      Serve(*stream);
    } catch (const std::exception&) {
      // The client left in the middle; the test sees it from the client's side.
    }
  }
}

void HttpServer::Serve(platform::TcpStream& aStream) {
  std::unique_ptr<Connection> connection;
  if (fTls != nullptr) {
    auto tls = std::make_unique<TlsConnection>(aStream, fTls->Context());
    if (!tls->Handshake()) return;
    connection = std::move(tls);
  } else {
    connection = std::make_unique<PlainConnection>(aStream);
  }
  HttpRequest request;
  if (!ReadRequest(*connection, request)) return;
  {
    std::lock_guard<std::mutex> lock(fMutex);
    fRequests.push_back(request);
  }
  connection->Write(ReplyText(fHandler(request)));
}

// ----- authentication

bool HasBasicCredentials(const HttpRequest& aRequest, const std::string& aUser,
                         const std::string& aPassword) {
  return aRequest.Header("Authorization") == "Basic " + Base64(aUser + ":" + aPassword);
}

bool HasDigestCredentials(const HttpRequest& aRequest, const std::string& aUser,
                          const std::string& aPassword) {
  const std::string header = aRequest.Header("Authorization");
  if (header.rfind("Digest ", 0) != 0) return false;
  std::map<std::string, std::string> fields = DigestFields(header);
  if (fields["username"] != aUser || fields["realm"] != kRealm || fields["nonce"] != kNonce ||
      fields["qop"] != "auth" || fields["uri"] != aRequest.target) {
    return false;
  }
  const std::string ha1 = Md5Hex(aUser + ":" + kRealm + ":" + aPassword);
  const std::string ha2 = Md5Hex(aRequest.method + ":" + fields["uri"]);
  const std::string expected = Md5Hex(ha1 + ":" + kNonce + ":" + fields["nc"] + ":" +
                                      fields["cnonce"] + ":" + fields["qop"] + ":" + ha2);
  return fields["response"] == expected;
}

std::string DigestChallenge() {
  return std::string("Digest realm=\"") + kRealm + "\", qop=\"auth\", nonce=\"" + kNonce +
         "\", algorithm=MD5";
}

}  // namespace qv::test_support
