#include "channels/io_handler_tcp.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "channels/support/channel_log.h"
#include "channels/support/tcp_peer.h"
#include "framework/device_handler.h"
#include "platform/clock.h"
#include "platform/error.h"

namespace qv::channels {
namespace {

using framework::kConnection;
using framework::kDeviceHandler;
using framework::qvConnectionType;
using platform::TcpStream;
using test_support::ClosedPort;
using test_support::kStartLine;
using test_support::kStopLine;
using test_support::TcpPeer;
using Lines = std::vector<std::string>;

// The five lines of the connect banner, Host= and Port=.
constexpr std::size_t kBannerLines = 7;

std::string TimedOutText(uint16_t aPort) {
  return "Read from 127.0.0.1:" + std::to_string(aPort) + ": Connection timed out";
}

class TcpChannelTest : public test_support::ChannelLogTest {
 protected:
  std::unique_ptr<kIOHandler_TCP> NewChannel(uint16_t aPort, int32_t aReadTimeout = 1000,
                                             const std::string& aHost = "127.0.0.1") {
    kConnection connection;
    connection.SetConnectionType(qvConnectionType::TCP);
    connection.SetAddress(aHost);
    connection.SetPort(aPort);
    connection.SetConnectTimeOut(2000);
    connection.SetReadTimeOut(aReadTimeout);
    return std::make_unique<kIOHandler_TCP>(&connection, LogFolder(), LogName());
  }
  // A channel connected to aPeer.
  std::unique_ptr<kIOHandler_TCP> Connected(TcpPeer& aPeer, int32_t aReadTimeout = 1000) {
    auto channel = NewChannel(aPeer.Port(), aReadTimeout);
    EXPECT_TRUE(channel->Connect());
    return channel;
  }
  // The log lines after the connect banner, once the channel is gone.
  Lines TransfersOf(std::unique_ptr<kIOHandler_TCP>& aChannel) {
    aChannel.reset();
    return Transfers(kBannerLines);
  }
};

// A peer that sends aBytes and then stays connected and silent until the test ends.
TcpPeer::Script SendsAndStays(const std::string& aBytes) {
  return [aBytes](TcpPeer& aPeer, TcpStream& aConnection) {
    aConnection.Write(aBytes);
    aPeer.WaitFor("stop");
  };
}

// A peer that takes aCount bytes (or what comes before the channel closes) and then says
// "received".
TcpPeer::Script Receives(std::size_t aCount) {
  return [aCount](TcpPeer& aPeer, TcpStream& aConnection) {
    aPeer.Receive(aConnection, aCount);
    aPeer.Signal("received");
  };
}

// ----- construction and connecting

TEST_F(TcpChannelTest, ConstructionOpensNothingAndKeepsTheClientSettings) {
  auto channel = NewChannel(5001, 5000, "localhost");
  EXPECT_EQ(channel->TCPClient().Host(), "localhost");
  EXPECT_EQ(channel->TCPClient().Port(), 5001);
  EXPECT_EQ(channel->TCPClient().ConnectTimeout(), 2000);
  EXPECT_FALSE(channel->Connected());
  EXPECT_FALSE(channel->InputBufferContainsData());
  channel.reset();
  EXPECT_EQ(Messages(), (Lines{kStartLine, kStopLine}));
}

TEST_F(TcpChannelTest, ChannelWithoutConnectionHasAnEmptyClient) {
  kIOHandler_TCP channel(nullptr, "", "");
  EXPECT_EQ(channel.TCPClient().Host(), "");
  EXPECT_EQ(channel.TCPClient().Port(), 0);
  EXPECT_FALSE(channel.Connected());
  EXPECT_EQ(channel.GetLogFileName(), "");
}

TEST_F(TcpChannelTest, ConnectLogsTheBannerAndOpensTheConnection) {
  TcpPeer peer([](TcpPeer& aPeer, TcpStream&) {
    aPeer.Signal("accepted");
    aPeer.WaitFor("stop");
  });
  auto channel = NewChannel(peer.Port(), 750);
  channel->SetVersion("TCP channel 1.0");
  EXPECT_TRUE(channel->Connect());
  EXPECT_TRUE(channel->Connected());
  EXPECT_TRUE(peer.WaitFor("accepted"));
  // Connecting again while connected keeps the connection.
  EXPECT_TRUE(channel->Connect());
  channel.reset();
  const Lines banner{std::string(61, '*'),
                     "kIOHandler_TCP",
                     "TCP channel 1.0",
                     "ConnectTimeout=2000",
                     "ReadTimeout=750",
                     "Host=127.0.0.1",
                     "Port=" + std::to_string(peer.Port())};
  Lines expected{kStartLine};
  expected.insert(expected.end(), banner.begin(), banner.end());
  expected.insert(expected.end(), banner.begin(), banner.end());
  expected.push_back(kStopLine);
  EXPECT_EQ(Messages(), expected);
}

TEST_F(TcpChannelTest, HostNameLocalhostIsResolved) {
  TcpPeer peer(SendsAndStays("HI"));
  auto channel = NewChannel(peer.Port(), 1000, "localhost");
  ASSERT_TRUE(channel->Connect());
  EXPECT_EQ(channel->ReadChars(2), "HI");
}

TEST_F(TcpChannelTest, ConnectToAClosedPortLogsTheErrorAndGivesFalse) {
  const uint16_t port = ClosedPort();
  auto channel = NewChannel(port);
  EXPECT_FALSE(channel->Connect());
  EXPECT_FALSE(channel->Connected());
  EXPECT_EQ(TransfersOf(channel), (Lines{"ERROR - Connect Error:Cannot connect to 127.0.0.1:" +
                                         std::to_string(port) + ": Connection refused"}));
}

TEST_F(TcpChannelTest, ConnectToAServerThatNeverAcceptsEndsAtTheConnectTimeout) {
  // A listener whose waiting room is full drops further connection attempts unanswered.
  platform::TcpListener listener(/*aBacklog=*/0);
  std::vector<std::unique_ptr<platform::TcpClient>> fillers;
  for (int i = 0; i < 4; ++i) {
    fillers.push_back(std::make_unique<platform::TcpClient>("127.0.0.1", listener.Port(), 300));
    try {
      fillers.back()->Connect();
    } catch (const Error&) {
      break;  // the room is full
    }
  }
  kConnection connection;
  connection.SetAddress("127.0.0.1");
  connection.SetPort(listener.Port());
  connection.SetConnectTimeOut(300);
  kIOHandler_TCP channel(&connection, LogFolder(), LogName());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(channel.Connect());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_FALSE(channel.Connected());
}

TEST_F(TcpChannelTest, DisconnectClosesAndConnectOpensAgain) {
  int connection = 0;  // used by the peer's thread only
  TcpPeer peer(
      [&connection](TcpPeer& aPeer, TcpStream& aConnection) {
        aPeer.Receive(aConnection, 1000);  // until the channel closes
        if (aConnection.PeerClosed()) aPeer.Signal("closed " + std::to_string(++connection));
      },
      /*aConnections=*/2);
  auto channel = NewChannel(peer.Port());
  ASSERT_TRUE(channel->Connect());
  channel->Write("A");
  EXPECT_TRUE(channel->Disconnect());
  EXPECT_FALSE(channel->Connected());
  EXPECT_TRUE(peer.WaitFor("closed 1"));
  EXPECT_TRUE(channel->Disconnect());
  ASSERT_TRUE(channel->Connect());
  channel->Write("B");
  channel.reset();  // destruction closes the second connection
  EXPECT_TRUE(peer.WaitFor("closed 2"));
  EXPECT_EQ(peer.Received(), "AB");
}

// ----- writing

TEST_F(TcpChannelTest, WriteSendsEightBitTextWithoutCodePage) {
  TcpPeer peer(Receives(5));
  auto channel = Connected(peer);
  EXPECT_TRUE(
      channel->Write("\xC3\xA9\xE2\x82\xAC"
                     "A\r\xC3\xBF"));  // "é€A\rÿ"
  channel.reset();
  EXPECT_TRUE(peer.WaitFor("received"));
  EXPECT_EQ(peer.Received(), "\xE9?A\r\xFF");
  EXPECT_EQ(Transfers(kBannerLines), (Lines{"Write:\xC3\xA9\xE2\x82\xAC"
                                            "A\r\xC3\xBF"}));
}

TEST_F(TcpChannelTest, WriteUsesTheCodePageWhenOneIsSet) {
  TcpPeer peer(Receives(3));
  auto channel = Connected(peer);
  channel->SetCodePage(1253);
  EXPECT_TRUE(channel->Write("\xCE\x91\xCE\xB2!"));  // "Αβ!" in Greek
  channel.reset();
  EXPECT_TRUE(peer.WaitFor("received"));
  EXPECT_EQ(peer.Received(), "\xC1\xE2!");
}

TEST_F(TcpChannelTest, WriteBytesSendsEveryByteAndLogsThemAsAscii) {
  TcpPeer peer(Receives(4));
  auto channel = Connected(peer);
  channel->SetHexLog(true);
  EXPECT_TRUE(
      channel->WriteBytes(std::string("\x1B"
                                      "A\xE9"
                                      "B",
                                      4)));
  channel.reset();
  EXPECT_TRUE(peer.WaitFor("received"));
  EXPECT_EQ(peer.Received(), std::string("\x1B"
                                         "A\xE9"
                                         "B",
                                         4));
  EXPECT_EQ(Transfers(kBannerLines), (Lines{"Write:\x1B"
                                            "A?B [1b 41 3f 42]"}));
}

TEST_F(TcpChannelTest, WriteWithoutConnectionFails) {
  auto channel = NewChannel(5001);
  try {
    channel->Write("X");
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), "127.0.0.1:5001: Transport endpoint is not connected");
  }
}

// ----- ReadUpTo

TEST_F(TcpChannelTest, ReadUpToStopsAtAnyTerminatorAndKeepsTheRest) {
  TcpPeer peer(SendsAndStays("OK\nREST"));
  auto channel = Connected(peer);
  EXPECT_EQ(channel->ReadUpTo({'#', '\n'}), "OK\n");
  EXPECT_EQ(channel->ReadUpTo({'T'}), "REST");
  EXPECT_EQ(TransfersOf(channel),
            (Lines{"Waiting for:#,\n", "Read:OK\n", "Waiting for:T", "Read:REST"}));
}

TEST_F(TcpChannelTest, ReadUpToWithHexLogShowsTheTerminatorsAndTheAnswerInHex) {
  TcpPeer peer(SendsAndStays("\xE9OK\x03"));
  auto channel = Connected(peer);
  channel->SetHexLog(true);
  EXPECT_EQ(channel->ReadUpTo({3, 0xE9 + 1}), "\xC3\xA9OK\x03");
  EXPECT_EQ(TransfersOf(channel),
            (Lines{"Waiting for:\x03,\xC3\xAA [03,ea]", "Read:\xC3\xA9OK\x03 [e9 4f 4b 03]"}));
}

TEST_F(TcpChannelTest, ReadUpToFromASilentPeerLogsTheClientsTimeoutAndGivesNothing) {
  TcpPeer peer(SendsAndStays(""));
  auto channel = Connected(peer, /*aReadTimeout=*/300);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(channel->ReadUpTo({'\n'}), "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(TransfersOf(channel), (Lines{"Waiting for:\n", "ERROR - ReadUpTo Unexpected error:" +
                                                               TimedOutText(peer.Port())}));
}

TEST_F(TcpChannelTest, ReadUpToFromATricklingPeerEndsAtTheReadTimeout) {
  TcpPeer peer([](TcpPeer& aPeer, TcpStream& aConnection) {
    for (int i = 0; i < 40 && !aPeer.WaitFor("stop", 50); ++i) aConnection.Write("A");
  });
  auto channel = Connected(peer, /*aReadTimeout=*/300);
  const std::string result = channel->ReadUpTo({'\n'});
  EXPECT_GE(result.size(), 2u);
  EXPECT_LT(result.size(), 40u);
  EXPECT_EQ(result, std::string(result.size(), 'A'));
  EXPECT_EQ(TransfersOf(channel), (Lines{"Waiting for:\n", "ERROR - Read Timeout:" + result}));
}

TEST_F(TcpChannelTest, ReadUpToFromAPeerThatClosesGivesWhatCame) {
  TcpPeer peer([](TcpPeer&, TcpStream& aConnection) { aConnection.Write("AB"); });
  auto channel = Connected(peer);
  EXPECT_EQ(channel->ReadUpTo({'\n'}), "AB");
  EXPECT_EQ(TransfersOf(channel),
            (Lines{"Waiting for:\n", "ERROR - ReadUpTo Unexpected error:Read from 127.0.0.1:" +
                                         std::to_string(peer.Port()) + ": Connection closed"}));
}

// ----- ReadChars

TEST_F(TcpChannelTest, ReadCharsReadsExactlyTheCountAsCharacters) {
  TcpPeer peer(SendsAndStays("HELLOWORLD\xE9"));
  auto channel = Connected(peer);
  EXPECT_EQ(channel->ReadChars(5), "HELLO");
  EXPECT_EQ(channel->ReadChars(6), "WORLD\xC3\xA9");
  EXPECT_EQ(channel->ReadChars(0), "");
  EXPECT_EQ(TransfersOf(channel), (Lines{"Read:HELLO", "Read:WORLD\xC3\xA9", "Read:"}));
}

TEST_F(TcpChannelTest, ReadCharsWithHexLogCarriesTheHexFormTwice) {
  TcpPeer peer(SendsAndStays("HE"));
  auto channel = Connected(peer);
  channel->SetHexLog(true);
  EXPECT_EQ(channel->ReadChars(2), "HE");
  EXPECT_EQ(TransfersOf(channel), (Lines{"Read:HE [48 45] [48 45 20 5b 34 38 20 34 35 5d]"}));
}

TEST_F(TcpChannelTest, ReadCharsThatTimesOutGivesNothingAndKeepsWhatCame) {
  TcpPeer peer([](TcpPeer& aPeer, TcpStream& aConnection) {
    aConnection.Write("AB");
    if (aPeer.WaitFor("more")) aConnection.Write("CD");
    aPeer.WaitFor("stop");
  });
  auto channel = Connected(peer, /*aReadTimeout=*/300);
  EXPECT_EQ(channel->ReadChars(4), "");
  peer.Signal("more");
  EXPECT_EQ(channel->ReadChars(4), "ABCD");
  EXPECT_EQ(
      TransfersOf(channel),
      (Lines{"ERROR - ReadChars Unexpected error:" + TimedOutText(peer.Port()), "Read:ABCD"}));
}

// ----- ReadAll

TEST_F(TcpChannelTest, ReadAllReadsUntilThePeerCloses) {
  TcpPeer peer([](TcpPeer&, TcpStream& aConnection) { aConnection.Write("ABC"); });
  auto channel = Connected(peer);
  EXPECT_EQ(channel->ReadAll(), "ABC");
  EXPECT_FALSE(channel->Connected());
  EXPECT_EQ(TransfersOf(channel), (Lines{"Read:ABC"}));
}

TEST_F(TcpChannelTest, ReadAllFromAPeerThatFallsSilentLogsTheClientsTimeout) {
  TcpPeer peer(SendsAndStays("XY"));
  auto channel = Connected(peer, /*aReadTimeout=*/300);
  EXPECT_EQ(channel->ReadAll(), "XY");
  EXPECT_TRUE(channel->Connected());
  EXPECT_EQ(TransfersOf(channel),
            (Lines{"ERROR - ReadAll Unexpected error:" + TimedOutText(peer.Port())}));
}

TEST_F(TcpChannelTest, ReadAllFromATricklingPeerEndsAtTheReadTimeout) {
  TcpPeer peer([](TcpPeer& aPeer, TcpStream& aConnection) {
    for (int i = 0; i < 40 && !aPeer.WaitFor("stop", 50); ++i) aConnection.Write("z");
  });
  auto channel = Connected(peer, /*aReadTimeout=*/300);
  const std::string result = channel->ReadAll();
  EXPECT_GE(result.size(), 2u);
  EXPECT_LT(result.size(), 40u);
  EXPECT_EQ(TransfersOf(channel), (Lines{"ERROR - Read Timeout:" + result}));
}

// ----- ReadBytes and the input buffer

TEST_F(TcpChannelTest, ReadBytesGivesTheRawBytesAndLogsNothing) {
  TcpPeer peer(SendsAndStays(std::string("\x00\xFF\x10", 3)));
  auto channel = Connected(peer);
  EXPECT_EQ(channel->ReadBytes(3), std::string("\x00\xFF\x10", 3));
  EXPECT_EQ(channel->ReadBytes(0), "");
  EXPECT_EQ(TransfersOf(channel), Lines{});
}

TEST_F(TcpChannelTest, ReadBytesFailuresReachTheCaller) {
  TcpPeer peer([](TcpPeer&, TcpStream& aConnection) { aConnection.Write("Z"); });
  auto channel = Connected(peer, /*aReadTimeout=*/300);
  EXPECT_EQ(channel->ReadChars(1), "Z");  // sets the client's read time-out
  try {
    channel->ReadBytes(2);
    ADD_FAILURE() << "no error";
  } catch (const platform::ConnectionClosedError& error) {
    EXPECT_EQ(std::string(error.what()),
              "Read from 127.0.0.1:" + std::to_string(peer.Port()) + ": Connection closed");
  }
}

TEST_F(TcpChannelTest, ReadBytesUsesTheReadTimeoutOfTheLastRead) {
  TcpPeer peer(SendsAndStays("Z"));
  auto channel = Connected(peer, /*aReadTimeout=*/300);
  EXPECT_EQ(channel->ReadChars(1), "Z");
  try {
    channel->ReadBytes(1);
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), TimedOutText(peer.Port()));
  }
}

TEST_F(TcpChannelTest, ClearBuffersDropsWhatArrivedUnread) {
  TcpPeer peer([](TcpPeer& aPeer, TcpStream& aConnection) {
    aConnection.Write("JUNK");
    if (aPeer.WaitFor("cleared")) aConnection.Write("OK\n");
    aPeer.WaitFor("stop");
  });
  auto channel = Connected(peer);
  bool arrived = false;
  for (int i = 0; i < 200 && !arrived; ++i) {
    arrived = channel->InputBufferContainsData();
    if (!arrived) platform::SleepMilliseconds(10);
  }
  EXPECT_TRUE(arrived);
  channel->ClearBuffers();
  EXPECT_FALSE(channel->InputBufferContainsData());
  peer.Signal("cleared");
  EXPECT_EQ(channel->ReadUpTo({'\n'}), "OK\n");
}

TEST_F(TcpChannelTest, TheChannelHasNoErrorTextsAndNoSettings) {
  auto channel = NewChannel(5001);
  EXPECT_EQ(channel->DecodeError(404), "");
  channel->SetParameter("Authorization", "x");
  EXPECT_FALSE(channel->Connected());
}

// ----- the factory

TEST_F(TcpChannelTest, FactoryBuildsTheTcpChannelForTcpConnections) {
  TcpPeer peer(SendsAndStays("READY\r"));
  kDeviceHandler device;
  device.SetDriver("DEV");
  device.SetLogId("T1");
  device.Connection().SetConnectionType(qvConnectionType::TCP);
  device.Connection().SetAddress("127.0.0.1");
  device.Connection().SetPort(peer.Port());
  std::unique_ptr<framework::kIOHandler> channel = device.CreateIOHandler(LogFolder());
  auto* tcp = dynamic_cast<kIOHandler_TCP*>(channel.get());
  ASSERT_NE(tcp, nullptr);
  ASSERT_TRUE(tcp->Connect());
  EXPECT_EQ(tcp->ReadUpTo({'\r'}), "READY\r");
  channel.reset();
  EXPECT_EQ(Messages().at(kBannerLines + 2), "Read:READY\r");
}

}  // namespace
}  // namespace qv::channels
