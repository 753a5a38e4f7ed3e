// The COM channel: a device that another component drives. It counts as connected, logs its
// banner and moves no data.
#include "channels/io_handler_com.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/device_handler.h"
#include "support/channel_test_support.h"

namespace qv::channels {
namespace {

using framework::kConnection;
using framework::kDeviceHandler;
using framework::kIOHandler;
using test_support::ErrorOf;
using test_support::kBannerLine;
using test_support::kStartLine;
using test_support::kStopLine;

class ComChannelTest : public test_support::ChannelLogTest {
 protected:
  std::unique_ptr<kIOHandler_Com> NewChannel() {
    return std::make_unique<kIOHandler_Com>(&fConnection, fFolder.Path(), "DEV_A1");
  }

  kConnection fConnection;
};

TEST_F(ComChannelTest, ConnectedFromTheStartAndConnectLogsTheBanner) {
  fConnection.SetReadTimeOut(250);
  auto channel = NewChannel();
  EXPECT_TRUE(channel->Connected());
  channel->SetVersion("QVRP 1.0");
  EXPECT_TRUE(channel->Connect());
  EXPECT_TRUE(channel->Disconnect());
  EXPECT_TRUE(channel->Connected());
  channel.reset();
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{kStartLine, kBannerLine, "kIOHandler_Com", "QVRP 1.0",
                                      "ConnectTimeout=1000", "ReadTimeout=250", kStopLine}));
}

TEST_F(ComChannelTest, TransfersMoveNothingAndLogNothing) {
  auto channel = NewChannel();
  channel->SetHexLog(true);
  EXPECT_FALSE(channel->Write("PRINT"));
  EXPECT_EQ(channel->ReadUpTo({3}), "");
  EXPECT_EQ(channel->ReadChars(4), "");
  channel->ClearBuffers();
  channel->SetParameter("Header", "x");
  EXPECT_EQ(channel->DecodeError(2), "");
  channel.reset();
  EXPECT_EQ(Messages(), (std::vector<std::string>{kStartLine, kStopLine}));
}

TEST_F(ComChannelTest, ReadAllAndInputQueryAreUnsupported) {
  auto channel = NewChannel();
  EXPECT_EQ(ErrorOf([&] { channel->ReadAll(); }), "ReadAll Unsupported");
  EXPECT_EQ(ErrorOf([&] { channel->InputBufferContainsData(); }),
            "InputBufferContainsData Unsupported");
}

TEST_F(ComChannelTest, WithoutFolderOrNameNothingIsLogged) {
  kIOHandler_Com channel(&fConnection, "", "DEV_A1");
  EXPECT_EQ(channel.GetLogFileName(), "");
  EXPECT_TRUE(channel.Connect());
  EXPECT_EQ(ErrorOf([&] { channel.ReadAll(); }), "ReadAll Unsupported");
}

TEST_F(ComChannelTest, FactoryBuildsItForTheReceiptPrinterDevice) {
  kDeviceHandler device;
  device.Deserialize(
      "<ReceiptPrinterManager><Type>FISCALPRINTER</Type><Driver>QVRP_GENERIC_10</Driver>"
      "<Method>OPEN</Method><LogId>T1</LogId><Connection><Type>COM</Type>"
      "<SerialPort>COM</SerialPort><StopBits>9</StopBits></Connection>"
      "<Parameters><Protocol>TEXT</Protocol><HexLog>TRUE</HexLog></Parameters>"
      "</ReceiptPrinterManager>");
  std::unique_ptr<kIOHandler> channel = device.CreateIOHandler(fFolder.Path());
  // The serial settings of the document are not read for a COM device, so they cannot fail.
  ASSERT_NE(dynamic_cast<kIOHandler_Com*>(channel.get()), nullptr);
  EXPECT_TRUE(channel->HexLog());
  EXPECT_TRUE(channel->Connected());
  EXPECT_EQ(channel->GetLogFileName(), LogFile("QVRP_GENERIC_10_T1"));
  channel.reset();
  EXPECT_EQ(Messages("QVRP_GENERIC_10_T1"), (std::vector<std::string>{kStartLine, kStopLine}));
}

}  // namespace
}  // namespace qv::channels
