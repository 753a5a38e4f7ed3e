#include "framework/io_handler.h"
#include "framework/support/no_transport_channel.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/utils.h"
#include "channels/io_handler_tcp.h"
#include "framework/channel_registry.h"
#include "framework/device_handler.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/regional_settings.h"
#include "support/scratch_folder.h"

namespace qv::framework {
namespace {

using test_support::FileLines;
using test_support::ScratchFolder;

const std::string kStamp = "2023-08-09 09:39:19:042 - ";
const std::string kStart = "*************************** START ***************************";
const std::string kStop = "*************************** STOP ****************************";

std::string ErrorOf(const std::function<void()>& aAction) {
  try {
    aAction();
  } catch (const Error& error) {
    return error.what();
  }
  return "<no error>";
}

// The smallest channel: the base's logging and error state, no transport.
class kIOHandler_Test : public testing::kIOHandler_NoTransport {
 public:
  using kIOHandler_NoTransport::kIOHandler_NoTransport;
  bool Connected() override { return false; }
  std::string ClassName() const override { return "kIOHandler_Test"; }
};

class ChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::LocalTime time;
    time.year = 2023, time.month = 8, time.day = 9;
    time.hour = 9, time.minute = 39, time.second = 19, time.millisecond = 42;
    platform::OverrideClock([time] { return time; });
  }
  void TearDown() override { platform::OverrideClock({}); }

  std::unique_ptr<kIOHandler_Test> NewChannel(const kConnection* aConnection = nullptr) {
    return std::make_unique<kIOHandler_Test>(aConnection, fFolder.Path(), "DEV_A1");
  }
  std::string LogFile() const { return fFolder / "DEV_A1_20230809.log"; }
  // The log's messages without their time stamps (an error keeps its " ERROR - " mark).
  std::vector<std::string> Messages() const {
    std::vector<std::string> messages;
    for (const std::string& line : FileLines(LogFile())) {
      messages.push_back(line.rfind(kStamp, 0) == 0 ? line.substr(kStamp.size()) : "?" + line);
    }
    return messages;
  }

  ScratchFolder fFolder;
};

// ----- the device log

TEST_F(ChannelTest, LogIsFramedByStartAndStopLines) {
  auto channel = NewChannel();
  EXPECT_EQ(channel->GetLogFileName(), LogFile());
  channel->Debug(let_info, "OPEN:BEGIN");
  channel.reset();
  EXPECT_EQ(Messages(), (std::vector<std::string>{kStart, "OPEN:BEGIN", kStop}));
  EXPECT_EQ(kStart.size(), 27u + 7u + 27u);
  EXPECT_EQ(kStop.size(), 27u + 6u + 28u);
}

// A processor lives for days: its channel's lines go to the file of the day they are
// written on, and every day's file starts with the START line.
TEST_F(ChannelTest, LogPastMidnightStartsTheNewDaysFileWithTheStartLine) {
  auto channel = NewChannel();
  channel->Debug(let_info, "OPEN:BEGIN");
  platform::LocalTime nextDay;
  nextDay.year = 2023, nextDay.month = 8, nextDay.day = 10;
  nextDay.hour = 0, nextDay.minute = 0, nextDay.second = 2, nextDay.millisecond = 5;
  platform::OverrideClock([nextDay] { return nextDay; });
  channel->WriteLog(let_info, "PROCESSRECEIPT", "BEGIN");
  EXPECT_EQ(channel->GetLogFileName(), fFolder / "DEV_A1_20230810.log");
  channel.reset();
  EXPECT_EQ(Messages(), (std::vector<std::string>{kStart, "OPEN:BEGIN"}));
  const std::string stamp = "2023-08-10 00:00:02:005 - ";
  EXPECT_EQ(
      FileLines(fFolder / "DEV_A1_20230810.log"),
      (std::vector<std::string>{stamp + kStart, stamp + "PROCESSRECEIPT:BEGIN", stamp + kStop}));
}

TEST_F(ChannelTest, ChannelWithoutFolderOrNameLogsNothing) {
  for (const auto& [folder, name] :
       std::vector<std::pair<std::string, std::string>>{{"", "DEV_A1"}, {fFolder.Path(), ""}}) {
    auto channel = std::make_unique<kIOHandler_Test>(nullptr, folder, name);
    channel->Debug(let_info, "silent");
    channel->WriteLog(let_error, "Write", "silent");
    channel->SetTemporaryReadTimeout(10);
    EXPECT_EQ(channel->GetLogFileName(), "");
    EXPECT_EQ(channel->ReadTimeout(), 10);
  }
  EXPECT_EQ(test_support::FileContent(LogFile()), "<missing>");
}

TEST_F(ChannelTest, DebugKeepsTheMessageAndWriteLogJoinsTitleAndMessage) {
  auto channel = NewChannel();
  channel->Debug(let_error, "plain text");
  channel->WriteLog(let_info, "OPEN", "BEGIN");
  channel->WriteLog(let_error, "Read Timeout", "ABC");
  channel.reset();
  EXPECT_EQ(Messages(), (std::vector<std::string>{kStart, "ERROR - plain text", "OPEN:BEGIN",
                                                  "ERROR - Read Timeout:ABC", kStop}));
}

TEST_F(ChannelTest, HexLogAddsTheHexadecimalForm) {
  auto channel = NewChannel();
  channel->SetHexLog(true);
  channel->WriteLog(let_info, "Write", "AB");
  channel->WriteLog(let_info, "Write", "");
  channel->WriteLog(let_info, "Read", "\r\xE2\x82\xAC");
  channel->Debug(let_info, "AB");  // Debug never adds it
  channel.reset();
  EXPECT_EQ(Messages(), (std::vector<std::string>{kStart, "Write:AB [41 42]", "Write: []",
                                                  "Read:\r\xE2\x82\xAC [0d 20ac]", "AB", kStop}));
}

TEST_F(ChannelTest, ConnectBannerNamesTheClassVersionAndTimeOuts) {
  kConnection connection;
  connection.SetConnectTimeOut(3000);
  connection.SetReadTimeOut(5000);
  auto channel = NewChannel(&connection);
  channel->SetVersion("Version 1.06 - 09/08/2023");
  EXPECT_TRUE(channel->Connect());
  channel.reset();
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{kStart, std::string(61, '*'), "kIOHandler_Test",
                                      "Version 1.06 - 09/08/2023", "ConnectTimeout=3000",
                                      "ReadTimeout=5000", kStop}));
}

// ----- time-outs and error state

TEST_F(ChannelTest, TimeOutsComeFromTheConnection) {
  kConnection connection;
  connection.SetConnectTimeOut(3000);
  connection.SetReadTimeOut(5000);
  auto withConnection = NewChannel(&connection);
  EXPECT_EQ(withConnection->ConnectTimeout(), 3000);
  EXPECT_EQ(withConnection->ReadTimeout(), 5000);
  auto without = std::make_unique<kIOHandler_Test>(nullptr, "", "");
  EXPECT_EQ(without->ConnectTimeout(), 0);
  EXPECT_EQ(without->ReadTimeout(), 0);
}

TEST_F(ChannelTest, TemporaryReadTimeoutIsLoggedKeptAndRestored) {
  kConnection connection;  // read time-out 1000
  auto channel = NewChannel(&connection);
  channel->SetTemporaryReadTimeout(250);
  EXPECT_EQ(channel->ReadTimeout(), 250);
  channel->SetTemporaryReadTimeout(0);  // logged, changes nothing
  EXPECT_EQ(channel->ReadTimeout(), 250);
  channel->ResetTemporaryReadTimeout();
  EXPECT_EQ(channel->ReadTimeout(), 1000);
  channel->ResetTemporaryReadTimeout();  // the kept value is not cleared
  EXPECT_EQ(channel->ReadTimeout(), 1000);
  channel.reset();
  EXPECT_EQ(Messages(), (std::vector<std::string>{kStart, "Set Read Timeout to 250ms from 1000 ms",
                                                  "Set Read Timeout to 0ms from 250 ms",
                                                  "Reset Timeout to 1000 ms",
                                                  "Reset Timeout to 1000 ms", kStop}));
}

TEST_F(ChannelTest, SecondTemporaryTimeoutKeepsTheFirstTemporaryValue) {
  kConnection connection;
  auto channel = NewChannel(&connection);
  channel->ResetTemporaryReadTimeout();  // nothing kept yet: stays
  EXPECT_EQ(channel->ReadTimeout(), 1000);
  channel->SetTemporaryReadTimeout(250);
  channel->SetTemporaryReadTimeout(400);
  channel->ResetTemporaryReadTimeout();
  EXPECT_EQ(channel->ReadTimeout(), 250);
  channel.reset();
  EXPECT_EQ(Messages()[1], "Reset Timeout to 0 ms");
}

TEST_F(ChannelTest, ErrorStateIsSetAndReset) {
  auto channel = NewChannel();
  EXPECT_FALSE(channel->ErrorFound());
  channel->SetCustomError(404, "Not Found");
  EXPECT_TRUE(channel->ErrorFound());
  EXPECT_EQ(channel->ErrorCode(), 404);
  EXPECT_EQ(channel->ErrorMessage(), "Not Found");
  channel->ResetCustomError();
  EXPECT_FALSE(channel->ErrorFound());
  EXPECT_EQ(channel->ErrorCode(), 0);
  EXPECT_EQ(channel->ErrorMessage(), "");
}

// ----- text helpers

TEST(ChannelText, HexStringCountsUtf16Units) {
  EXPECT_EQ(kIOHandler::HexString(""), "");
  EXPECT_EQ(kIOHandler::HexString("A"), "41");
  EXPECT_EQ(kIOHandler::HexString("\r\n "), "0d 0a 20");
  EXPECT_EQ(kIOHandler::HexString("\xE2\x82\xAC"), "20ac");           // euro sign
  EXPECT_EQ(kIOHandler::HexString("\xCE\xA3"), "3a3");                // Greek capital sigma
  EXPECT_EQ(kIOHandler::HexString("\xF0\x9F\x98\x80"), "d83d de00");  // one emoji, two units
}

TEST(ChannelText, FormatAmountIgnoresTheLocale) {
  platform::RegionalSettings greek;
  greek.decimalSeparator = ",";
  greek.thousandSeparator = ".";
  platform::OverrideRegionalSettings(greek);
  EXPECT_EQ(kIOHandler::FormatAmount(base::Currency::FromRaw(125000)), "12.5");
  EXPECT_EQ(kIOHandler::FormatAmount(base::Currency::FromRaw(30000)), "3");
  EXPECT_EQ(kIOHandler::FormatAmount(base::Currency::FromRaw(-1250)), "-0.125");
  EXPECT_EQ(kIOHandler::FormatAmount(base::Currency::FromRaw(1)), "0.0001");
  EXPECT_EQ(kIOHandler::FormatAmount(base::Currency::FromRaw(12345678000)), "1234567.8");
  EXPECT_EQ(kIOHandler::FormatAmount(base::Currency()), "0");
  platform::OverrideRegionalSettings(std::nullopt);
}

// ----- the factory and the TCP log channel

class ChannelFactoryTest : public ChannelTest {
 protected:
  // The device of a fiscal processor: a local TCP connection that is never opened.
  void SetUp() override {
    ChannelTest::SetUp();
    fDevice.SetDriver("DEV");
    fDevice.SetLogId("A1");
    fDevice.Connection().SetConnectionType(qvConnectionType::TCP);
    fDevice.Connection().SetAddress("localhost");
    fDevice.Connection().SetPort(5001);
    fDevice.Connection().SetConnectTimeOut(3000);
    fDevice.Connection().SetReadTimeOut(5000);
  }

  kDeviceHandler fDevice;
};

TEST_F(ChannelFactoryTest, TcpConnectionGivesAnUnconnectedTcpChannel) {
  std::unique_ptr<kIOHandler> channel = fDevice.CreateIOHandler(fFolder.Path());
  auto* tcp = dynamic_cast<channels::kIOHandler_TCP*>(channel.get());
  ASSERT_NE(tcp, nullptr);
  EXPECT_EQ(tcp->ClassName(), "kIOHandler_TCP");
  EXPECT_FALSE(tcp->Connected());
  EXPECT_EQ(tcp->ConnectTimeout(), 3000);
  EXPECT_EQ(tcp->ReadTimeout(), 5000);
  EXPECT_FALSE(tcp->HexLog());
  EXPECT_EQ(tcp->GetLogFileName(), LogFile());
  channel.reset();
  EXPECT_EQ(Messages(), (std::vector<std::string>{kStart, kStop}));
}

TEST_F(ChannelFactoryTest, HexLogParameterMustReadTrue) {
  for (const auto& [value, expected] : std::vector<std::pair<std::string, bool>>{
           {"true", true}, {"TRUE", true}, {"True", true}, {"1", false}, {"yes", false}}) {
    fDevice.SetParameter("hexlog", value);
    EXPECT_EQ(fDevice.CreateIOHandler(fFolder.Path())->HexLog(), expected) << value;
  }
  fDevice.SetParameter("HEXLOG", "");
  EXPECT_FALSE(fDevice.CreateIOHandler(fFolder.Path())->HexLog());
}

TEST_F(ChannelFactoryTest, ConnectionTypeWithoutChannelFailsBeforeAnyLog) {
  fDevice.Connection().SetConnectionType(static_cast<qvConnectionType>(42));
  EXPECT_THROW(fDevice.CreateIOHandler(fFolder.Path()), Error);
  EXPECT_EQ(test_support::FileContent(LogFile()), "<missing>");
}

TEST_F(ChannelFactoryTest, UnregisteredConnectionTypeIsNamedInTheFailure) {
  fDevice.Connection().SetConnectionType(static_cast<qvConnectionType>(42));
  EXPECT_EQ(ErrorOf([&] { fDevice.CreateIOHandler(fFolder.Path()); }),
            "Connection type 42 is not available in this build");
}

TEST_F(ChannelFactoryTest, RegisteredClassServesItsConnectionType) {
  RegisterChannelClass(qvConnectionType::TCP, ChannelClassOf<kIOHandler_Test>());
  std::unique_ptr<kIOHandler> channel = fDevice.CreateIOHandler(fFolder.Path());
  RegisterChannelClass(qvConnectionType::TCP, ChannelClassOf<channels::kIOHandler_TCP>());
  EXPECT_EQ(channel->ClassName(), "kIOHandler_Test");
  EXPECT_EQ(channel->ReadTimeout(), 5000);
  EXPECT_EQ(channel->GetLogFileName(), LogFile());
  EXPECT_EQ(fDevice.CreateIOHandler(fFolder.Path())->ClassName(), "kIOHandler_TCP");
}

TEST_F(ChannelFactoryTest, LogIdCannotLeaveTheLogFolder) {
  fDevice.SetLogId("..\\..\\x");
  std::unique_ptr<kIOHandler> channel = fDevice.CreateIOHandler(fFolder.Path());
  EXPECT_EQ(channel->GetLogFileName(), fFolder / "x_20230809.log");
  fDevice.SetLogId("a|b");
  EXPECT_EQ(ErrorOf([&] { fDevice.CreateIOHandler(fFolder.Path()); }),
            "Invalid characters in path");
}

TEST(DeviceLogFolder, LiesBesideTheHostExecutable) {
  EXPECT_EQ(DeviceLogFolder(), base::ExecutableFolder() + "LogFiles\\FiscalPrinter");
}

}  // namespace
}  // namespace qv::framework
