// The HTTP client on WinHTTP against a small server on the loopback address: the request the
// server sees (body, content type, custom headers, basic credentials), the answer's body and
// status, and the texts of a refused connection and of a read time-out.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "platform/error.h"
#include "platform/http_client.h"
#include "platform/socket.h"

namespace qv::platform {
namespace {

// Serves one request on a thread of its own with a canned answer and keeps the request.
class OneShotServer {
 public:
  explicit OneShotServer(std::string aAnswer) : fAnswer(std::move(aAnswer)) {
    fThread = std::thread([this] { Serve(); });
  }
  ~OneShotServer() { Join(); }

  std::string Url() const { return "http://127.0.0.1:" + std::to_string(fListener.Port()) + "/z"; }
  // The request as it arrived, once the answer went out.
  const std::string& Request() {
    Join();
    return fRequest;
  }

 private:
  void Join() {
    if (fThread.joinable()) fThread.join();
  }
  void Serve() {
    std::unique_ptr<TcpStream> stream = fListener.Accept(10000);
    if (!stream) return;
    // The head, then as many body bytes as it announces.
    while (fRequest.find("\r\n\r\n") == std::string::npos) {
      const std::string piece = stream->ReadSome(5000);
      if (piece.empty()) return;
      fRequest += piece;
    }
    const size_t headEnd = fRequest.find("\r\n\r\n") + 4;
    const size_t lengthAt = fRequest.find("Content-Length: ");
    const size_t length =
        lengthAt < headEnd ? std::stoul(fRequest.substr(lengthAt + 16)) : size_t{0};
    while (fRequest.size() < headEnd + length) {
      const std::string piece = stream->ReadSome(5000);
      if (piece.empty()) return;
      fRequest += piece;
    }
    if (fAnswer.empty()) {
      // No answer: the client's read time-out has to end the wait.
      stream->ReadSome(3000);
      return;
    }
    stream->Write(fAnswer);
    stream->ReadSome(200);
  }

  TcpListener fListener;
  std::string fAnswer;
  std::string fRequest;
  std::thread fThread;
};

std::string Answer(const std::string& aStatus, const std::string& aBody) {
  return "HTTP/1.1 " + aStatus + "\r\nContent-Length: " + std::to_string(aBody.size()) +
         "\r\nConnection: close\r\n\r\n" + aBody;
}

TEST(WindowsHttp, PostsBodyWithHeadersAndGivesTheAnswersBody) {
  OneShotServer server(Answer("200 OK", "<ok>signed</ok>"));
  HttpClient client;
  client.SetHeader("X-Till", "T1");
  client.SetHeader("x-till", "T2\r\nInjected: yes");
  client.SetAuthentication(HttpAuthentication::Basic, "user", "pass");
  EXPECT_EQ(client.Post(server.Url(), "<receipt nr=\"7\"/>", "application/xml"), "<ok>signed</ok>");
  EXPECT_EQ(client.ResponseCode(), 200);
  const std::string& request = server.Request();
  EXPECT_EQ(request.rfind("POST /z HTTP/1.1\r\n", 0), 0u) << request;
  EXPECT_NE(request.find("Content-Type: application/xml\r\n"), std::string::npos) << request;
  EXPECT_NE(request.find("X-Till: T2Injected: yes\r\n"), std::string::npos) << request;
  EXPECT_EQ(request.find("\r\nInjected:"), std::string::npos) << request;
  EXPECT_NE(request.find("Authorization: Basic dXNlcjpwYXNz\r\n"), std::string::npos) << request;
  EXPECT_EQ(request.substr(request.size() - 17), "<receipt nr=\"7\"/>");
}

TEST(WindowsHttp, GetAsksWithoutBodyAndGivesTheAnswersBody) {
  OneShotServer server(Answer("200 OK", "[{\"till\": \"T1\"}]"));
  HttpClient client;
  client.SetHeader("Authorization", "Bearer secret");
  EXPECT_EQ(client.Get(server.Url()), "[{\"till\": \"T1\"}]");
  EXPECT_EQ(client.ResponseCode(), 200);
  const std::string& request = server.Request();
  EXPECT_EQ(request.rfind("GET /z HTTP/1.1\r\n", 0), 0u) << request;
  EXPECT_NE(request.find("Authorization: Bearer secret\r\n"), std::string::npos) << request;
  EXPECT_EQ(request.find("Content-Type:"), std::string::npos) << request;
  EXPECT_EQ(request.substr(request.size() - 4), "\r\n\r\n") << request;
}

TEST(WindowsHttp, OtherStatusFailsWithItsStatusLine) {
  OneShotServer server(Answer("404 Not Found", "nothing here"));
  HttpClient client;
  try {
    client.Post(server.Url(), "x", "text/plain");
    FAIL() << "a 404 answer was taken";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "HTTP/1.1 404 Not Found");
  }
  EXPECT_EQ(client.ResponseCode(), 404);
}

TEST(WindowsHttp, SilentServerEndsInReadTimeOut) {
  OneShotServer server("");
  HttpClient client;
  client.SetReadTimeout(500);
  try {
    client.Post(server.Url(), "x", "text/plain");
    FAIL() << "a silent server gave an answer";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "Read timed out after 500 ms");
  }
  EXPECT_EQ(client.ResponseCode(), -1);
}

TEST(WindowsHttp, RefusedConnectionNamesHostAndPort) {
  uint16_t port = 0;
  {
    TcpListener closedAgain;
    port = closedAgain.Port();
  }
  HttpClient client;
  client.SetConnectTimeout(2000);
  try {
    client.Post("http://127.0.0.1:" + std::to_string(port) + "/", "x", "");
    FAIL() << "a closed port was reached";
  } catch (const Error& error) {
    const std::string text = error.what();
    EXPECT_EQ(text.rfind("Failed to connect to 127.0.0.1 port " + std::to_string(port), 0), 0u)
        << text;
  }
  EXPECT_EQ(client.ResponseCode(), -1);
  EXPECT_FALSE(client.Connected());
}

TEST(WindowsHttp, OnlyHttpAndHttpsAreSpoken) {
  HttpClient client;
  EXPECT_THROW(client.Post("ftp://127.0.0.1/receipts", "x", ""), Error);
}

}  // namespace
}  // namespace qv::platform
