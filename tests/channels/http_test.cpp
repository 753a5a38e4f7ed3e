#include "channels/io_handler_http.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "channels/support/channel_log.h"
#include "channels/support/http_server.h"
#include "channels/support/tcp_peer.h"
#include "framework/device_handler.h"
#include "platform/error.h"
#include "platform/http_client.h"

namespace qv::channels {
namespace {

using framework::at_Basic;
using framework::at_Bearer;
using framework::at_Digest;
using framework::at_None;
using framework::kConnection;
using framework::kDeviceHandler;
using framework::qvConnectionType;
using framework::qvHTTPAuthType;
using test_support::ClosedPort;
using test_support::HasBasicCredentials;
using test_support::HasDigestCredentials;
using test_support::HttpReply;
using test_support::HttpRequest;
using test_support::HttpServer;
using test_support::kStartLine;
using test_support::kStopLine;
using test_support::TlsIdentity;
using Lines = std::vector<std::string>;

const std::string kReceipt = "<Receipt><Number>17</Number></Receipt>";

HttpReply Answer(int aStatus, const std::string& aReason, const std::string& aBody = "") {
  HttpReply reply;
  reply.status = aStatus;
  reply.reason = aReason;
  reply.body = aBody;
  return reply;
}

// A service that accepts everything and answers with a short acknowledgement.
HttpReply Acknowledge(const HttpRequest& aRequest) {
  return Answer(200, "OK", "<Ack>" + std::to_string(aRequest.body.size()) + "</Ack>");
}

class HttpChannelTest : public test_support::ChannelLogTest {
 protected:
  std::unique_ptr<kIOHandler_HTTP> NewChannel(const std::string& aUrl,
                                              qvHTTPAuthType aAuthType = at_None,
                                              const std::string& aUser = "",
                                              const std::string& aPassword = "",
                                              int32_t aReadTimeout = 5000) {
    kConnection connection;
    connection.SetConnectionType(qvConnectionType::HTTP);
    connection.SetURL(aUrl);
    connection.SetAuthType(aAuthType);
    connection.SetUser(aUser);
    connection.SetPassword(aPassword);
    connection.SetConnectTimeOut(2000);
    connection.SetReadTimeOut(aReadTimeout);
    return std::make_unique<kIOHandler_HTTP>(&connection, LogFolder(), LogName());
  }
  // The log lines between START and STOP, once the channel is gone.
  Lines TransfersOf(std::unique_ptr<kIOHandler_HTTP>& aChannel) {
    aChannel.reset();
    return Transfers();
  }
};

// ----- construction and connecting

TEST_F(HttpChannelTest, UrlComesFromTheConnectionOrFromAddressAndPort) {
  kConnection connection;
  connection.SetAddress("localhost");
  connection.SetPort(8080);
  EXPECT_EQ(kIOHandler_HTTP(&connection, "", "").URL(), "localhost:8080");
  connection.SetPort(0);
  EXPECT_EQ(kIOHandler_HTTP(&connection, "", "").URL(), "localhost");
  connection.SetURL("https://fiscal.example/receipts");
  EXPECT_EQ(kIOHandler_HTTP(&connection, "", "").URL(), "https://fiscal.example/receipts");
  EXPECT_EQ(kIOHandler_HTTP(nullptr, "", "").URL(), "");
}

TEST_F(HttpChannelTest, ConstructionCopiesCredentialsAndTimeouts) {
  auto channel = NewChannel("http://127.0.0.1:1/x", at_Digest, "till", "secret", 700);
  EXPECT_EQ(channel->AuthType(), at_Digest);
  EXPECT_EQ(channel->User(), "till");
  EXPECT_EQ(channel->Password(), "secret");
  EXPECT_EQ(channel->HttpClient().ConnectTimeout(), 2000);
  EXPECT_EQ(channel->HttpClient().ReadTimeout(), 700);
  EXPECT_EQ(channel->ContentType(), "");
  EXPECT_EQ(channel->ResponseCode(), 0);
  EXPECT_FALSE(channel->Connected());
  EXPECT_EQ(TransfersOf(channel), Lines{});
}

TEST_F(HttpChannelTest, ConnectLogsTheBannerAndTheUrlAndOpensNothing) {
  auto channel = NewChannel("http://127.0.0.1:1/receipts");
  channel->SetConnectTimeout(1500);
  EXPECT_TRUE(channel->Connect());
  EXPECT_EQ(channel->HttpClient().ConnectTimeout(), 1500);
  EXPECT_FALSE(channel->Connected());
  EXPECT_TRUE(channel->Disconnect());
  EXPECT_EQ(TransfersOf(channel),
            (Lines{std::string(61, '*'), "kIOHandler_HTTP", "", "ConnectTimeout=1500",
                   "ReadTimeout=5000", "URL=http://127.0.0.1:1/receipts"}));
}

// ----- posting

TEST_F(HttpChannelTest, SuccessfulPostKeepsTheAnswerAndLogsIt) {
  HttpServer server(Acknowledge);
  auto channel = NewChannel(server.Url());
  channel->SetContentType("text/xml; charset=utf-8");
  EXPECT_TRUE(channel->Write(kReceipt));
  EXPECT_EQ(channel->ResponseCode(), 200);
  EXPECT_EQ(channel->Response(), "<Ack>38</Ack>");
  EXPECT_FALSE(channel->ErrorFound());
  const std::vector<HttpRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].target, "/receipts");
  EXPECT_EQ(requests[0].body, kReceipt);
  EXPECT_EQ(requests[0].Header("Content-Type"), "text/xml; charset=utf-8");
  EXPECT_EQ(requests[0].Header("Authorization"), "<none>");
  EXPECT_EQ(TransfersOf(channel),
            (Lines{"Write [38]:" + kReceipt, "Read:ResponseCode:200\r\n<Ack>38</Ack>"}));
}

TEST_F(HttpChannelTest, BodyIsUtf8AndItsSizeIsCountedInBytes) {
  HttpServer server(Acknowledge);
  auto channel = NewChannel(server.Url());
  const std::string message = "Total \xE2\x82\xAC 5";  // "Total € 5"
  EXPECT_TRUE(channel->Write(message));
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].body, message);
  // Without a content type the request carries none.
  EXPECT_EQ(server.Requests()[0].Header("Content-Type"), "<none>");
  EXPECT_EQ(TransfersOf(channel).at(0), "Write [11]:" + message);
}

TEST_F(HttpChannelTest, HostAndPortWithoutSchemeArePostedOverHttp) {
  HttpServer server(Acknowledge);
  kConnection connection;
  connection.SetAddress("127.0.0.1");
  connection.SetPort(server.Port());
  kIOHandler_HTTP channel(&connection, "", "");
  EXPECT_TRUE(channel.Write("x"));
  EXPECT_EQ(channel.Response(), "<Ack>1</Ack>");
}

TEST_F(HttpChannelTest, ErrorStatusRecordsTheStatusTextAndKeepsTheLastAnswer) {
  int calls = 0;  // server thread only
  HttpServer server([&calls](const HttpRequest&) {
    return ++calls == 1 ? Answer(200, "OK", "first") : Answer(404, "Not Found", "no such till");
  });
  auto channel = NewChannel(server.Url());
  EXPECT_TRUE(channel->Write("A"));
  EXPECT_FALSE(channel->Write("B"));
  EXPECT_EQ(channel->ResponseCode(), 404);
  EXPECT_EQ(channel->Response(), "first");
  EXPECT_TRUE(channel->ErrorFound());
  EXPECT_EQ(channel->ErrorCode(), 404);
  EXPECT_EQ(channel->ErrorMessage(), "HTTP/1.1 404 Not Found Not Found");
  EXPECT_EQ(TransfersOf(channel),
            (Lines{"Write [1]:A", "Read:ResponseCode:200\r\nfirst", "Write [1]:B",
                   "ERROR - Post Error:HTTP/1.1 404 Not Found", "ERROR - Post Error:404 Not Found",
                   "Read:ResponseCode:404\r\nfirst"}));
}

TEST_F(HttpChannelTest, ServerErrorsAndUnknownStatuses) {
  std::atomic<int> status = 0;  // set by the test between posts, read by the server thread
  HttpServer server([&status](const HttpRequest&) {
    return status == 503 ? Answer(503, "Service Unavailable") : Answer(299, "Odd But Fine", "ok");
  });
  auto channel = NewChannel(server.Url());
  status = 503;
  EXPECT_FALSE(channel->Write("x"));
  EXPECT_EQ(channel->ErrorMessage(), "HTTP/1.1 503 Service Unavailable Service Unavailable");
  status = 299;
  EXPECT_TRUE(channel->Write("x"));
  EXPECT_EQ(channel->ResponseCode(), 299);
  EXPECT_EQ(channel->Response(), "ok");
  // A later success leaves the recorded error until the caller resets it.
  EXPECT_TRUE(channel->ErrorFound());
  channel->ResetCustomError();
  EXPECT_FALSE(channel->ErrorFound());
}

TEST_F(HttpChannelTest, UnreachableServerGivesCodeMinusOneAndUnknown) {
  const uint16_t port = ClosedPort();
  auto channel = NewChannel("http://127.0.0.1:" + std::to_string(port) + "/receipts");
  EXPECT_FALSE(channel->Write("x"));
  EXPECT_EQ(channel->ResponseCode(), -1);
  EXPECT_TRUE(channel->ErrorFound());
  EXPECT_EQ(channel->ErrorCode(), -1);
  const std::string message = channel->ErrorMessage();
  EXPECT_NE(message.find("Connection refused"), std::string::npos) << message;
  EXPECT_TRUE(message.ends_with(" Unknown")) << message;
  const std::string clientMessage = message.substr(0, message.size() - 8);
  EXPECT_EQ(TransfersOf(channel),
            (Lines{"Write [1]:x", "ERROR - Post Error:" + clientMessage,
                   "ERROR - Post Error:-1 Unknown", "Read:ResponseCode:-1\r\n"}));
}

TEST_F(HttpChannelTest, ServerThatNeverAnswersEndsAtTheReadTimeout) {
  platform::TcpListener silent;  // takes the connection and never answers
  auto channel = NewChannel("http://127.0.0.1:" + std::to_string(silent.Port()) + "/receipts",
                            at_None, "", "", /*aReadTimeout=*/400);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(channel->Write("x"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(channel->ResponseCode(), -1);
  EXPECT_EQ(channel->ErrorMessage(), "Read timed out after 400 ms Unknown");
}

TEST_F(HttpChannelTest, AnswerThatBreaksOffAfterASuccessStatusGivesCode999) {
  HttpServer server([](const HttpRequest&) {
    HttpReply reply = Answer(200, "OK", "<Ack");
    reply.breakOff = true;
    return reply;
  });
  auto channel = NewChannel(server.Url());
  EXPECT_FALSE(channel->Write("x"));
  EXPECT_EQ(channel->ResponseCode(), 999);
  EXPECT_EQ(channel->ErrorCode(), 999);
  EXPECT_EQ(channel->Response(), "");
  const std::string message = channel->ErrorMessage();
  EXPECT_FALSE(message.empty());
  EXPECT_EQ(TransfersOf(channel),
            (Lines{"Write [1]:x", "ERROR - Post Error:" + message, "Read:ResponseCode:999\r\n"}));
}

// ----- authentication and headers

HttpReply RequireBasic(const HttpRequest& aRequest) {
  if (HasBasicCredentials(aRequest, "till", "s3cret")) return Answer(200, "OK", "welcome");
  HttpReply reply = Answer(401, "Unauthorized");
  reply.headers.emplace_back("WWW-Authenticate", "Basic realm=\"till\"");
  return reply;
}

HttpReply RequireDigest(const HttpRequest& aRequest) {
  if (HasDigestCredentials(aRequest, "till", "s3cret")) return Answer(200, "OK", "welcome");
  HttpReply reply = Answer(401, "Unauthorized");
  reply.headers.emplace_back("WWW-Authenticate", test_support::DigestChallenge());
  return reply;
}

TEST_F(HttpChannelTest, BasicAuthenticationGoesWithTheFirstRequest) {
  HttpServer server(RequireBasic);
  auto channel = NewChannel(server.Url(), at_Basic, "till", "s3cret");
  EXPECT_TRUE(channel->Write("x"));
  EXPECT_EQ(channel->Response(), "welcome");
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(HttpChannelTest, BasicAuthenticationWithAWrongPasswordIsUnauthorized) {
  HttpServer server(RequireBasic);
  auto channel = NewChannel(server.Url(), at_Basic, "till", "wrong");
  EXPECT_FALSE(channel->Write("x"));
  EXPECT_EQ(channel->ResponseCode(), 401);
  EXPECT_EQ(channel->ErrorMessage(), "HTTP/1.1 401 Unauthorized Unauthorized");
}

TEST_F(HttpChannelTest, WithoutAuthenticationNoCredentialsAreSent) {
  HttpServer server(RequireBasic);
  auto channel = NewChannel(server.Url(), at_None, "till", "s3cret");
  EXPECT_FALSE(channel->Write("x"));
  EXPECT_EQ(channel->ResponseCode(), 401);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].Header("Authorization"), "<none>");
}

TEST_F(HttpChannelTest, DigestAuthenticationAnswersTheChallenge) {
  HttpServer server(RequireDigest);
  auto channel = NewChannel(server.Url(), at_Digest, "till", "s3cret");
  EXPECT_TRUE(channel->Write(kReceipt));
  EXPECT_EQ(channel->Response(), "welcome");
  const std::vector<HttpRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].Header("Authorization"), "<none>");
  EXPECT_TRUE(requests[1].Header("Authorization").starts_with("Digest "));
  EXPECT_EQ(requests[1].body, kReceipt);
}

TEST_F(HttpChannelTest, DigestAuthenticationWithAWrongPasswordIsUnauthorized) {
  HttpServer server(RequireDigest);
  auto channel = NewChannel(server.Url(), at_Digest, "till", "wrong");
  EXPECT_FALSE(channel->Write("x"));
  EXPECT_EQ(channel->ErrorCode(), 401);
  EXPECT_EQ(channel->ErrorMessage(), "HTTP/1.1 401 Unauthorized Unauthorized");
}

TEST_F(HttpChannelTest, CustomHeadersAreSetOnceWithTheirLastValue) {
  HttpServer server(Acknowledge);
  auto channel = NewChannel(server.Url(), at_Bearer);
  channel->SetParameter("Authorization", "Bearer first");
  channel->SetParameter("authorization", "Bearer second");
  channel->SetParameter("X-Till", "T1\r\nX-Injected: yes");
  EXPECT_TRUE(channel->Write("x"));
  EXPECT_TRUE(channel->Write("y"));
  const std::vector<HttpRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  for (const HttpRequest& request : requests) {
    EXPECT_EQ(request.HeaderCount("Authorization"), 1);
    EXPECT_EQ(request.Header("Authorization"), "Bearer second");
    EXPECT_EQ(request.Header("X-Till"), "T1X-Injected: yes");
    EXPECT_EQ(request.Header("X-Injected"), "<none>");
  }
}

// ----- TLS

TEST_F(HttpChannelTest, HttpsWithATrustedCertificate) {
  TlsIdentity identity(LogFolder() + "/server.pem");
  HttpServer server(RequireBasic, &identity);
  auto channel = NewChannel(server.Url(), at_Basic, "till", "s3cret");
  channel->HttpClient().SetTrustedCertificates(identity.CertificateFile());
  EXPECT_TRUE(channel->Write(kReceipt));
  EXPECT_EQ(channel->ResponseCode(), 200);
  EXPECT_EQ(channel->Response(), "welcome");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].body, kReceipt);
}

TEST_F(HttpChannelTest, HttpsWithAnUntrustedCertificateSendsNothing) {
  TlsIdentity identity(LogFolder() + "/server.pem");
  HttpServer server(Acknowledge, &identity);
  auto channel = NewChannel(server.Url(), at_Basic, "till", "s3cret");
  EXPECT_FALSE(channel->Write(kReceipt));
  EXPECT_EQ(channel->ResponseCode(), -1);
  EXPECT_NE(channel->ErrorMessage().find("certificate"), std::string::npos)
      << channel->ErrorMessage();
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(HttpChannelTest, HttpsErrorStatusesAreRecordedToo) {
  TlsIdentity identity(LogFolder() + "/server.pem");
  HttpServer server(RequireDigest, &identity);
  auto channel = NewChannel(server.Url(), at_Digest, "till", "s3cret");
  channel->HttpClient().SetTrustedCertificates(identity.CertificateFile());
  EXPECT_TRUE(channel->Write("x"));
  channel->SetPassword("wrong");
  EXPECT_FALSE(channel->Write("x"));
  EXPECT_EQ(channel->ErrorMessage(), "HTTP/1.1 401 Unauthorized Unauthorized");
}

// ----- what the channel does not do

TEST_F(HttpChannelTest, ReadingIsNotPartOfTheChannel) {
  auto channel = NewChannel("http://127.0.0.1:1/");
  EXPECT_EQ(channel->ReadUpTo({'\n'}), "");
  EXPECT_EQ(channel->ReadChars(10), "");
  try {
    channel->ReadAll();
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), "ReadAll Unsupported");
  }
  try {
    channel->InputBufferContainsData();
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), "InputBufferContainsData Unsupported");
  }
}

TEST(HttpStatusText, KnownCodesHaveTheirTextsAndOthersAreUnknown) {
  kIOHandler_HTTP channel(nullptr, "", "");
  EXPECT_EQ(channel.DecodeError(404), "Not Found");
  EXPECT_EQ(channel.DecodeError(305), "Use Proxy ");
  EXPECT_EQ(channel.DecodeError(100), "Continue");
  EXPECT_EQ(channel.DecodeError(101), "Switching Protocol");
  EXPECT_EQ(channel.DecodeError(226), "IM Used (HTTP Delta encoding)");
  EXPECT_EQ(channel.DecodeError(300), "Multiple Choice");
  EXPECT_EQ(channel.DecodeError(306), "unused");
  EXPECT_EQ(channel.DecodeError(418), "I'm a teapot");
  EXPECT_EQ(channel.DecodeError(422), "Unprocessable Entity (WebDAV)");
  EXPECT_EQ(channel.DecodeError(451), "Unavailable For Legal Reasons");
  EXPECT_EQ(channel.DecodeError(508), "Loop Detected (WebDAV)");
  EXPECT_EQ(channel.DecodeError(511), "Network Authentication Required");
  EXPECT_EQ(channel.DecodeError(208), "Already Reported (WebDAV)");
  for (int code : {999, -1, 0, 209, 419, 509, 600}) {
    EXPECT_EQ(channel.DecodeError(code), "Unknown") << code;
  }
}

// ----- the client's GET, as a service's state is read

TEST(HttpClientGet, AsksWithoutBodyAndGivesTheAnswerOrFailsWithTheStatusLine) {
  HttpServer server([](const HttpRequest& aRequest) {
    if (aRequest.target == "/v1/tills") return Answer(200, "OK", "[{\"till\": \"T1\"}]");
    return Answer(404, "Not Found", "{}");
  });
  platform::HttpClient client;
  client.SetHeader("Authorization", "Bearer secret");
  EXPECT_EQ(client.Get(server.Url("/v1/tills")), "[{\"till\": \"T1\"}]");
  EXPECT_EQ(client.ResponseCode(), 200);
  try {
    client.Get(server.Url("/v1/tills/T9/status"));
    FAIL() << "a 404 answer was taken";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "HTTP/1.1 404 Not Found");
  }
  EXPECT_EQ(client.ResponseCode(), 404);
  const std::vector<HttpRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].target, "/v1/tills");
  EXPECT_EQ(requests[0].body, "");
  EXPECT_EQ(requests[0].Header("Content-Type"), "<none>");
  EXPECT_EQ(requests[0].Header("Authorization"), "Bearer secret");
  EXPECT_EQ(requests[1].target, "/v1/tills/T9/status");
}

// ----- the factory

TEST_F(HttpChannelTest, FactoryBuildsTheHttpChannelForHttpConnections) {
  HttpServer server(Acknowledge);
  kDeviceHandler device;
  device.SetDriver("DEV");
  device.SetLogId("T1");
  device.SetParameter("HexLog", "true");
  device.Connection().SetConnectionType(qvConnectionType::HTTP);
  device.Connection().SetAddress("127.0.0.1");
  device.Connection().SetPort(server.Port());
  std::unique_ptr<framework::kIOHandler> channel = device.CreateIOHandler(LogFolder());
  auto* http = dynamic_cast<kIOHandler_HTTP*>(channel.get());
  ASSERT_NE(http, nullptr);
  EXPECT_EQ(http->URL(), "127.0.0.1:" + std::to_string(server.Port()));
  EXPECT_TRUE(http->Write("AB"));
  channel.reset();
  EXPECT_EQ(Messages(), (Lines{kStartLine, "Write [2]:AB [41 42]",
                               "Read:ResponseCode:200\r\n<Ack>2</Ack> [52 65 73 70 "
                               "6f 6e 73 65 43 6f 64 65 3a 32 30 30 0d 0a 3c 41 63 6b 3e 32 3c 2f "
                               "41 63 6b 3e]",
                               kStopLine}));
}

}  // namespace
}  // namespace qv::channels
