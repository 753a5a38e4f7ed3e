// The serial channel against a pseudo-terminal that plays the device: the bytes that reach
// the device, the reads with their terminators and time-outs, the device log of each
// transfer, and the messages of ports that are missing, busy or badly configured.
#include "channels/io_handler_serial.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "framework/device_handler.h"
#include "platform/environment.h"
#include "platform/serial_port.h"
#include "support/channel_test_support.h"
#include "support/pseudo_terminal.h"

namespace qv::channels {
namespace {

using framework::kConnection;
using framework::kDeviceHandler;
using framework::kIOHandler;
using framework::qvConnectionType;
using framework::qvParity;
using test_support::ErrorOf;
using test_support::kBannerLine;
using test_support::kStartLine;
using test_support::kStopLine;
using Clock = std::chrono::steady_clock;

constexpr uint8_t kETX = 3;
const std::string kETXText(1, '\x03');

// The device's side of a conversation, run in its own thread and joined by its owner.
class DeviceScript {
 public:
  explicit DeviceScript(std::function<void()> aScript) : fThread(std::move(aScript)) {}
  ~DeviceScript() { fThread.join(); }

 private:
  std::thread fThread;
};

int64_t MillisecondsSince(Clock::time_point aStart) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - aStart).count();
}

class SerialChannelTest : public test_support::ChannelLogTest {
 protected:
  static constexpr int kPort = 7;

  void SetUp() override {
    ChannelLogTest::SetUp();
    platform::SetEnvironmentVariable("QVFP_COM7", fDevice.SlavePath());
    fConnection.SetConnectionType(qvConnectionType::Serial);
    fConnection.SetSerialPort("COM7");
    fConnection.SetSpeed(9600);
    fConnection.SetDataBits(8);
    fConnection.SetParity(qvParity::None);
    fConnection.SetStopBits(1);
    fConnection.SetReadTimeOut(200);
  }
  void TearDown() override {
    platform::SetEnvironmentVariable("QVFP_COM7", std::nullopt);
    ChannelLogTest::TearDown();
  }

  std::unique_ptr<kIOHandler_Serial> NewChannel(const std::string& aFileName = "DEV_A1") {
    return std::make_unique<kIOHandler_Serial>(&fConnection, fFolder.Path(), aFileName);
  }
  std::unique_ptr<kIOHandler_Serial> ConnectedChannel() {
    auto channel = NewChannel();
    EXPECT_TRUE(channel->Connect());
    return channel;
  }
  // The messages after the connect banner and the port settings, without the STOP line.
  std::vector<std::string> TransferMessages() const {
    std::vector<std::string> messages = Messages();
    const auto settings = std::find(messages.begin(), messages.end(), "StopBits=1");
    if (settings == messages.end() || messages.back() != kStopLine) return {"<no banner>"};
    return std::vector<std::string>(settings + 1, messages.end() - 1);
  }

  qv::testing::PseudoTerminal fDevice;
  kConnection fConnection;
};

// ----- configuration taken at construction

TEST_F(SerialChannelTest, PortNumberIsTheDigitsAfterCom) {
  for (const auto& [name, number] : std::vector<std::pair<std::string, uint32_t>>{
           {"COM1", 1}, {"COM12", 12}, {"COM1234", 123}}) {
    fConnection.SetSerialPort(name);
    EXPECT_EQ(NewChannel()->ComPort().ComNumber(), number) << name;
  }
}

TEST_F(SerialChannelTest, PortNameWithoutNumberFailsAtConstruction) {
  fConnection.SetSerialPort("COM");
  EXPECT_EQ(ErrorOf([&] { NewChannel(); }), "'' is not a valid integer value");
  fConnection.SetSerialPort("COMx1");
  EXPECT_EQ(ErrorOf([&] { NewChannel(); }), "'x1' is not a valid integer value");
}

TEST_F(SerialChannelTest, OnlyOneAndTwoStopBitsAreTaken) {
  fConnection.SetStopBits(0);
  EXPECT_EQ(ErrorOf([&] { NewChannel(); }), "Stop Bits 0 invalid");
  fConnection.SetStopBits(3);
  EXPECT_EQ(ErrorOf([&] { NewChannel(); }), "Stop Bits 3 invalid");
  fConnection.SetStopBits(2);
  EXPECT_EQ(NewChannel()->ComPort().StopBits(), sbTwo);
}

TEST_F(SerialChannelTest, UnknownParityFailsAtConstruction) {
  fConnection.SetParity(static_cast<qvParity>(5));
  EXPECT_EQ(ErrorOf([&] { NewChannel(); }), "Parity invalid");
}

TEST_F(SerialChannelTest, LineSettingsAreTakenAsTheyAreAndNothingIsOpened) {
  fConnection.SetSpeed(19200);
  fConnection.SetDataBits(7);
  fConnection.SetParity(qvParity::Odd);
  auto channel = NewChannel();
  EXPECT_EQ(channel->ComPort().BaudRate(), 19200u);
  EXPECT_EQ(channel->ComPort().DataBits(), 7);
  EXPECT_EQ(channel->ComPort().Parity(), ptOdd);
  EXPECT_EQ(channel->ComPort().StopBits(), sbOne);
  EXPECT_FALSE(channel->Connected());
  EXPECT_EQ(channel->ReadTimeout(), 200);
}

// ----- connecting

TEST_F(SerialChannelTest, ConnectLogsBannerAndSettingsAndSetsTheLine) {
  fConnection.SetSpeed(19200);
  fConnection.SetDataBits(7);
  fConnection.SetParity(qvParity::Even);
  fConnection.SetStopBits(2);
  auto channel = NewChannel();
  EXPECT_TRUE(channel->Connect());
  EXPECT_TRUE(channel->Connected());
  // A pseudo-terminal keeps the speed and the stop bits; it always carries 8 data bits
  // without parity, so those two show in the log only.
  const qv::testing::PseudoTerminalLine line = fDevice.Line();
  EXPECT_EQ(line.baudRate, 19200u);
  EXPECT_EQ(line.stopBits, 2);
  channel.reset();
  EXPECT_EQ(Messages(), (std::vector<std::string>{
                            kStartLine, kBannerLine, "kIOHandler_Serial", "", "ConnectTimeout=1000",
                            "ReadTimeout=200", "Serial Driver Version: 1.0", "SerialPort=COM7",
                            "Speed=19200", "Parity=even", "DataBits=7", "StopBits=2", kStopLine}));
}

TEST_F(SerialChannelTest, ConnectWithOddParityAndOneStopBit) {
  fConnection.SetParity(qvParity::Odd);
  auto channel = ConnectedChannel();
  EXPECT_EQ(fDevice.Line().stopBits, 1);
  EXPECT_EQ(fDevice.Line().baudRate, 9600u);
  channel.reset();
  const std::vector<std::string> messages = Messages();
  EXPECT_NE(std::find(messages.begin(), messages.end(), "Parity=odd"), messages.end());
  EXPECT_NE(std::find(messages.begin(), messages.end(), "StopBits=1"), messages.end());
}

TEST_F(SerialChannelTest, MissingDeviceIsNoValidComPort) {
  platform::SetEnvironmentVariable("QVFP_COM7", fFolder.Path() + "/no-such-tty");
  auto channel = NewChannel();
  EXPECT_EQ(ErrorOf([&] { channel->Connect(); }), "COM7 is not a valid COM port.");
  EXPECT_FALSE(channel->Connected());
  channel.reset();
  EXPECT_EQ(Messages()[7], "SerialPort=COM7");
}

TEST_F(SerialChannelTest, PortWithoutMappingIsTheSystemSerialDevice) {
  if (std::filesystem::exists("/dev/ttyS199")) GTEST_SKIP() << "/dev/ttyS199 exists here";
  fConnection.SetSerialPort("COM200");
  EXPECT_EQ(ErrorOf([&] { NewChannel()->Connect(); }), "COM200 is not a valid COM port.");
}

TEST_F(SerialChannelTest, PortHeldByAnotherChannelCannotBeOpened) {
  auto first = ConnectedChannel();
  auto second = NewChannel("DEV_A2");
  EXPECT_EQ(ErrorOf([&] { second->Connect(); }), "Cannot open COM7 (error #16).");
  EXPECT_FALSE(second->Connected());
  EXPECT_TRUE(first->Disconnect());
  EXPECT_TRUE(second->Connect());
  // Destroying a connected channel releases the port as well.
  second.reset();
  EXPECT_TRUE(NewChannel("DEV_A3")->Connect());
}

TEST_F(SerialChannelTest, RefusedLineSettingsLeaveThePortClosedAndFree) {
  fConnection.SetSpeed(0);
  auto refused = NewChannel();
  EXPECT_EQ(ErrorOf([&] { refused->Connect(); }), "SetCommState failed!");
  EXPECT_FALSE(refused->Connected());
  EXPECT_EQ(ErrorOf([&] { refused->Write("x"); }), "Cannot write because COM port is not open.");
  fConnection.SetSpeed(9600);
  EXPECT_TRUE(NewChannel("DEV_A2")->Connect());
}

TEST_F(SerialChannelTest, DeviceThatIsNoTerminalRefusesItsSettings) {
  const std::string file = fFolder.Path() + "/plain-file";
  std::FILE* handle = std::fopen(file.c_str(), "w");
  ASSERT_NE(handle, nullptr);
  std::fclose(handle);
  platform::SetEnvironmentVariable("QVFP_COM7", file);
  auto channel = NewChannel();
  EXPECT_EQ(ErrorOf([&] { channel->Connect(); }), "GetCommState failed!");
  EXPECT_FALSE(channel->Connected());
}

TEST_F(SerialChannelTest, DisconnectClosesThePort) {
  auto channel = ConnectedChannel();
  EXPECT_TRUE(channel->Disconnect());
  EXPECT_FALSE(channel->Connected());
  EXPECT_TRUE(channel->Disconnect());
  EXPECT_EQ(ErrorOf([&] { channel->Write("x"); }), "Cannot write because COM port is not open.");
  EXPECT_EQ(ErrorOf([&] { channel->ReadChars(1); }), "Cannot read because COM port is not open.");
  EXPECT_EQ(ErrorOf([&] { channel->ReadUpTo({kETX}); }),
            "Cannot read because COM port is not open.");
  EXPECT_TRUE(channel->Connect());
}

// ----- writing

TEST_F(SerialChannelTest, WriteSendsTheBytesAndLogsThem) {
  auto channel = ConnectedChannel();
  const std::string message =
      std::string("\x02") + "PRINT 12,50\r" + std::string(1, '\0') + kETXText;
  EXPECT_TRUE(channel->Write(message));
  EXPECT_EQ(fDevice.Receive(message.size(), 1000), message);
  channel->SetHexLog(true);
  EXPECT_TRUE(channel->Write("AB"));
  EXPECT_EQ(fDevice.Receive(2, 1000), "AB");
  EXPECT_EQ(fDevice.Receive(1, 50), "");  // nothing more, no echo or line ends added
  channel.reset();
  EXPECT_EQ(TransferMessages(), (std::vector<std::string>{"Write:" + message, "Write:AB [41 42]"}));
}

TEST_F(SerialChannelTest, WriteOfALongTextWaitsForTheDevice) {
  auto channel = ConnectedChannel();
  std::string message;
  for (int i = 0; message.size() < 50000; ++i) message += "line " + std::to_string(i) + "\r\n";
  std::string received;
  {
    DeviceScript device([&] { received = fDevice.Receive(message.size(), 10000); });
    EXPECT_TRUE(channel->Write(message));
  }
  EXPECT_EQ(received.size(), message.size());
  EXPECT_TRUE(received == message);
}

TEST_F(SerialChannelTest, TextIsSentInTheAnsiCodePageAndReadBackBytewise) {
  auto channel = ConnectedChannel();
  channel->Write("€");
  const std::string sent = fDevice.Receive(3, 1000);
  EXPECT_EQ(sent, "\xE2\x82\xAC");  // the machine's ANSI code page is UTF-8 here
  fDevice.Send(sent);
  // Each byte becomes the character of the same code: U+00E2 U+0082 U+00AC, not the euro.
  EXPECT_EQ(channel->ReadChars(3), "\u00e2\u0082\u00ac");
}

// ----- reading up to a terminator

TEST_F(SerialChannelTest, ReadUpToStopsAtTheTerminator) {
  auto channel = ConnectedChannel();
  fDevice.Send("ABC" + kETXText + "DEF");
  EXPECT_EQ(channel->ReadUpTo({kETX}), "ABC" + kETXText);
  EXPECT_EQ(channel->ReadUpTo({'F'}), "DEF");
  channel.reset();
  EXPECT_EQ(TransferMessages(),
            (std::vector<std::string>{"Waiting for:" + kETXText, "Read:ABC" + kETXText,
                                      "Waiting for:F", "Read:DEF"}));
}

TEST_F(SerialChannelTest, WaitingForListsTheTerminatorsAndTheirHexForms) {
  auto channel = ConnectedChannel();
  channel->SetHexLog(true);
  fDevice.Send("OK\r\n");
  EXPECT_EQ(channel->ReadUpTo({13, 10}), "OK\r");
  channel.reset();
  EXPECT_EQ(TransferMessages(),
            (std::vector<std::string>{"Waiting for:\r,\n [0d,0a]", "Read:OK\r [4f 4b 0d]"}));
}

TEST_F(SerialChannelTest, ReadUpToAnswersARequest) {
  auto channel = ConnectedChannel();
  DeviceScript device([&] {
    if (fDevice.Receive(5, 2000) == "PING" + kETXText) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      fDevice.Send("PONG" + kETXText);
    }
  });
  channel->Write("PING" + kETXText);
  EXPECT_EQ(channel->ReadUpTo({kETX}), "PONG" + kETXText);
}

TEST_F(SerialChannelTest, ReadUpToYieldsWhatCameWhenTheTimeoutPasses) {
  auto channel = ConnectedChannel();
  fDevice.Send("AB");
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(channel->ReadUpTo({kETX}), "AB");
  const int64_t elapsed = MillisecondsSince(start);
  EXPECT_GE(elapsed, 200);
  EXPECT_LT(elapsed, 200 + 1500);  // the read time-out and one port time-out, with slack
  channel.reset();
  EXPECT_EQ(TransferMessages(),
            (std::vector<std::string>{"Waiting for:" + kETXText, "ERROR - Read Timeout:AB"}));
}

TEST_F(SerialChannelTest, ReadUpToWithoutTerminatorsReadsUntilTheTimeout) {
  auto channel = ConnectedChannel();
  fDevice.Send("xyz" + kETXText);
  EXPECT_EQ(channel->ReadUpTo({}), "xyz" + kETXText);
  channel.reset();
  EXPECT_EQ(TransferMessages(),
            (std::vector<std::string>{"Waiting for:", "ERROR - Read Timeout:xyz" + kETXText}));
}

TEST_F(SerialChannelTest, BytesAboveAsciiBecomeTheCharactersOfTheirCode) {
  auto channel = ConnectedChannel();
  channel->SetHexLog(true);
  fDevice.Send("\xE2\x82\xAC\xFF");
  EXPECT_EQ(channel->ReadUpTo({0xFF}), "\u00e2\u0082\u00ac\u00ff");
  channel.reset();
  EXPECT_EQ(TransferMessages(),
            (std::vector<std::string>{"Waiting for:\u00ff [ff]",
                                      "Read:\u00e2\u0082\u00ac\u00ff [e2 82 ac ff]"}));
}

TEST_F(SerialChannelTest, ReadUpToKeepsReadingWhileBytesKeepComing) {
  fConnection.SetReadTimeOut(100);
  auto channel = ConnectedChannel();
  const std::string stream(15, 'a');
  DeviceScript device([&] {
    for (char byte : stream) {
      fDevice.Send(std::string(1, byte));
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    fDevice.Send(kETXText);
  });
  // About 300 ms of bytes, three times the read time-out: the time-out counts only when a
  // byte fails to come.
  EXPECT_EQ(channel->ReadUpTo({kETX}), stream + kETXText);
}

TEST_F(SerialChannelTest, ReadUpToLogsFailedReadsOfAVanishedDevice) {
  auto channel = ConnectedChannel();
  fDevice.CloseDevice();
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(channel->ReadUpTo({kETX}), "");
  EXPECT_LT(MillisecondsSince(start), 200 + 1500);
  channel.reset();
  const std::vector<std::string> messages = TransferMessages();
  ASSERT_GE(messages.size(), 3u);
  EXPECT_EQ(messages.front(), "Waiting for:" + kETXText);
  EXPECT_EQ(messages.back(), "ERROR - Read Timeout:");
  // One failed read per port time-out, not a busy loop.
  EXPECT_LE(messages.size(), 2u + 4u);
  for (size_t i = 1; i + 1 < messages.size(); ++i) {
    EXPECT_EQ(messages[i], "ERROR - Read Error:5");
  }
}

// ----- reading a number of characters

TEST_F(SerialChannelTest, ReadCharsReadsTheCountAndLeavesTheRest) {
  auto channel = ConnectedChannel();
  fDevice.Send("abcde");
  EXPECT_EQ(channel->ReadChars(3), "abc");
  EXPECT_EQ(channel->ReadChars(2), "de");
  channel.reset();
  EXPECT_EQ(TransferMessages(), (std::vector<std::string>{"Read:abc", "Read:de"}));
}

TEST_F(SerialChannelTest, ReadCharsYieldsFewerCharactersAfterTheTimeout) {
  auto channel = ConnectedChannel();
  fDevice.Send("abc");
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(channel->ReadChars(5), "abc");
  const int64_t elapsed = MillisecondsSince(start);
  EXPECT_GE(elapsed, 200);
  EXPECT_LT(elapsed, 200 + 1500);
  channel.reset();
  EXPECT_EQ(TransferMessages(), (std::vector<std::string>{"ERROR - Read Timeout:abc"}));
}

TEST_F(SerialChannelTest, ReadCharsCountsFailedReadsAsNoByte) {
  auto channel = ConnectedChannel();
  fDevice.CloseDevice();
  EXPECT_EQ(channel->ReadChars(2), "");
  channel.reset();
  EXPECT_EQ(TransferMessages(), (std::vector<std::string>{"ERROR - Read Timeout:"}));
}

// ----- buffers and the operations a serial port does not have

TEST_F(SerialChannelTest, ClearBuffersDropsWaitingInput) {
  auto channel = ConnectedChannel();
  EXPECT_FALSE(channel->InputBufferContainsData());
  fDevice.Send("stale");
  const Clock::time_point start = Clock::now();
  while (!channel->InputBufferContainsData() && MillisecondsSince(start) < 2000) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(channel->InputBufferContainsData());
  channel->ClearBuffers();
  EXPECT_FALSE(channel->InputBufferContainsData());
  EXPECT_EQ(channel->ReadChars(1), "");
}

TEST_F(SerialChannelTest, OperationsWithoutMeaningOnASerialPort) {
  auto channel = ConnectedChannel();
  EXPECT_EQ(ErrorOf([&] { channel->ReadAll(); }), "ReadAll Unsupported");
  EXPECT_EQ(channel->DecodeError(5), "");
  channel->SetParameter("Header", "x");
  EXPECT_TRUE(channel->Connected());
}

// ----- the channel factory

TEST_F(SerialChannelTest, FactoryBuildsTheSerialChannelFromTheDeviceXml) {
  kDeviceHandler device;
  device.Deserialize(
      "<ReceiptPrinterManager><Type>FISCALPRINTER</Type><Driver>DRV</Driver>"
      "<LogId>S1</LogId><Connection><Type>Serial</Type><ReadTimeout>150</ReadTimeout>"
      "<SerialPort>COM7</SerialPort><Speed>38400</Speed><DataBits>8</DataBits>"
      "<Parity>odd</Parity><StopBits>1</StopBits></Connection>"
      "<Parameters><HexLog>true</HexLog></Parameters></ReceiptPrinterManager>");
  std::unique_ptr<kIOHandler> channel = device.CreateIOHandler(fFolder.Path());
  auto* serial = dynamic_cast<kIOHandler_Serial*>(channel.get());
  ASSERT_NE(serial, nullptr);
  EXPECT_EQ(serial->ReadTimeout(), 150);
  EXPECT_TRUE(serial->HexLog());
  EXPECT_EQ(serial->GetLogFileName(), LogFile("DRV_S1"));
  EXPECT_TRUE(serial->Connect());
  EXPECT_EQ(fDevice.Line().baudRate, 38400u);
  EXPECT_EQ(serial->ComPort().Parity(), ptOdd);
  serial->Write("Z");
  EXPECT_EQ(fDevice.Receive(1, 1000), "Z");
  channel.reset();
  const std::vector<std::string> messages = Messages("DRV_S1");
  ASSERT_GE(messages.size(), 2u);
  EXPECT_EQ(messages[messages.size() - 2], "Write:Z [5a]");
}

// ----- the port itself

TEST(TComPort, StartsClosedWithDefaultLineSettings) {
  TComPort port(4);
  EXPECT_EQ(port.ComNumber(), 4u);
  EXPECT_EQ(port.BaudRate(), 9600u);
  EXPECT_EQ(port.DataBits(), 8);
  EXPECT_EQ(port.StopBits(), sbOne);
  EXPECT_EQ(port.Parity(), ptNone);
  EXPECT_FALSE(port.ComIsOpen());
  EXPECT_EQ(port.DriverVersion(), "1.0");
  EXPECT_EQ(TComPort(5, 115200).BaudRate(), 115200u);
}

TEST(TComPort, ClosedPortRefusesTransfersAndLines) {
  TComPort port(4);
  uint32_t errorCode = 77;
  char buffer[4];
  EXPECT_THROW(port.Read(buffer, 1, 100, errorCode), TComPortException);
  EXPECT_EQ(ErrorOf([&] { port.Read(buffer, 1, 100, errorCode); }),
            "Cannot read because COM port is not open.");
  EXPECT_EQ(errorCode, 77u);
  EXPECT_EQ(ErrorOf([&] { port.WriteText("x"); }), "Cannot write because COM port is not open.");
  EXPECT_EQ(ErrorOf([&] { port.SetRTS(true); }), "SetRTS failed because COM port not open.");
  EXPECT_EQ(ErrorOf([&] { port.SetDTR(true); }), "SetDTR failed because COM port not open.");
  EXPECT_EQ(port.GetBytesPending(), 0u);
  port.ClearBuffers();
  port.Close();
  EXPECT_FALSE(port.ComIsOpen());
}

class TComPortTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetEnvironmentVariable("QVFP_COM9", fDevice.SlavePath()); }
  void TearDown() override { platform::SetEnvironmentVariable("QVFP_COM9", std::nullopt); }

  qv::testing::PseudoTerminal fDevice;
};

TEST_F(TComPortTest, ReadWaitsForTheTimeoutAndThenForGapsBetweenBytes) {
  TComPort port(9);
  port.Open();
  char buffer[8] = {};
  uint32_t errorCode = 77;
  EXPECT_EQ(port.Read(buffer, 5, 150, errorCode), 0);
  fDevice.Send("hello");
  EXPECT_EQ(port.Read(buffer, 5, 150, errorCode), 5);
  EXPECT_EQ(std::string(buffer, 5), "hello");
  // Two bytes, then a pause longer than the 100 ms allowed between bytes.
  DeviceScript device([&] {
    fDevice.Send("he");
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    fDevice.Send("llo");
  });
  EXPECT_EQ(port.Read(buffer, 5, 2000, errorCode), 2);
  EXPECT_EQ(std::string(buffer, 2), "he");
  EXPECT_EQ(port.Read(buffer, 3, 2000, errorCode), 3);
  EXPECT_EQ(errorCode, 77u);  // written only for a failed read
}

TEST_F(TComPortTest, FailedReadReportsTheErrorCode) {
  TComPort port(9);
  port.Open();
  fDevice.CloseDevice();
  char buffer[1];
  uint32_t errorCode = 0;
  EXPECT_EQ(port.Read(buffer, 1, 50, errorCode), -1);
  EXPECT_EQ(errorCode, 5u);
}

TEST_F(TComPortTest, LineParametersChangeOnTheOpenPort) {
  TComPort port(9, 4800, 8, sbOne, ptNone);
  port.Open();
  EXPECT_EQ(fDevice.Line().baudRate, 4800u);
  port.SetLineParameters(57600, 6, sbTwo, ptMark);
  EXPECT_EQ(fDevice.Line().baudRate, 57600u);
  EXPECT_EQ(fDevice.Line().stopBits, 2);
  EXPECT_EQ(port.DataBits(), 6);
  EXPECT_EQ(port.Parity(), ptMark);
  port.SetLineParameters(57600, 8, sbOne, ptSpace);
  EXPECT_EQ(fDevice.Line().stopBits, 1);
  EXPECT_EQ(port.Parity(), ptSpace);
  EXPECT_EQ(ErrorOf([&] { port.SetLineParameters(57600, 9, sbOne, ptNone); }),
            "SetCommState failed!");
  // A refused setting keeps the values that the port had.
  EXPECT_EQ(ErrorOf([&] { port.SetLineParameters(9600, 8, sbOneHalf, ptNone); }),
            "SetCommState failed!");
  EXPECT_EQ(port.BaudRate(), 57600u);
  EXPECT_EQ(port.Parity(), ptSpace);
  EXPECT_EQ(fDevice.Line().baudRate, 57600u);
}

TEST_F(TComPortTest, WriteTextAndReopen) {
  TComPort port(9);
  port.Open();
  EXPECT_TRUE(port.WriteText("abc"));
  EXPECT_TRUE(port.WriteText(""));
  EXPECT_EQ(fDevice.Receive(3, 1000), "abc");
  port.SetDTR(true);
  port.SetRTS(false);
  port.Close();
  EXPECT_FALSE(port.ComIsOpen());
  port.Open();
  port.Open();  // an open port is opened afresh, not refused as busy
  EXPECT_TRUE(port.ComIsOpen());
  EXPECT_TRUE(port.WriteText("d"));
  EXPECT_EQ(fDevice.Receive(1, 1000), "d");
}

TEST(SerialDevicePath, ComPortNamesMapToTheEnvironmentOrTheSystemDevices) {
  platform::SetEnvironmentVariable("QVFP_COM3", std::nullopt);
  EXPECT_EQ(platform::SerialDevicePath("\\\\.\\COM3"), "/dev/ttyS2");
  EXPECT_EQ(platform::SerialDevicePath("com3"), "/dev/ttyS2");
  EXPECT_EQ(platform::SerialDevicePath("\\\\.\\COM12"), "/dev/ttyS11");
  platform::SetEnvironmentVariable("QVFP_COM3", "/dev/ttyUSB0");
  EXPECT_EQ(platform::SerialDevicePath("\\\\.\\COM3"), "/dev/ttyUSB0");
  EXPECT_EQ(platform::SerialDevicePath("COM3"), "/dev/ttyUSB0");
  platform::SetEnvironmentVariable("QVFP_COM3", std::nullopt);
  EXPECT_EQ(platform::SerialDevicePath("\\\\.\\COM0"), "");
  EXPECT_EQ(platform::SerialDevicePath("/dev/ttyACM0"), "/dev/ttyACM0");
}

}  // namespace
}  // namespace qv::channels
