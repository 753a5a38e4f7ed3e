// The library channel: a device maker's library loaded for the channel's life, the addresses
// of its procedures, the messages for a library or procedure that is not there, and the log
// lines around loading and unloading.
#include "channels/io_handler_dll.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/device_handler.h"
#include "platform/file_system.h"
#include "support/channel_test_support.h"
#include "support/file_status_assertions.h"

namespace qv::channels {
namespace {

using framework::kConnection;
using framework::kDeviceHandler;
using framework::kIOHandler;
using test_support::ErrorOf;
using test_support::kBannerLine;
using test_support::kStartLine;
using test_support::kStopLine;

using DeviceFunction = int32_t (*)();

const std::string kDeviceLibrary = "ChannelTestDevice.dll";
const std::string kLoading = "kIOHandler_Dll.Create:Loading DLL ";
const std::string kLoaded = "kIOHandler_Dll.Create:DLL Loaded successfully";
const std::string kUnloading = "kIOHandler_Dll.Destroy:Unloading DLL";
const std::string kUnloaded = "kIOHandler_Dll.Destroy:DLL Unloaded Successfully";

class DllChannelTest : public test_support::ChannelLogTest {
 protected:
  std::unique_ptr<kIOHandler_Dll> NewChannel(const std::string& aLibrary = kDeviceLibrary) {
    fConnection.SetLibraryName(aLibrary);
    return std::make_unique<kIOHandler_Dll>(&fConnection, fFolder.Path(), "DEV_A1");
  }
  static int32_t Call(const kIOHandler_Dll& aChannel, const std::string& aName) {
    return reinterpret_cast<DeviceFunction>(aChannel.GetAddress(aName))();
  }

  kConnection fConnection;
};

TEST_F(DllChannelTest, LoadsTheLibraryForItsLifeAndLogsLoadingAndUnloading) {
  auto channel = NewChannel();
  EXPECT_EQ(Call(*channel, "DeviceAnswer"), 42);
  EXPECT_TRUE(channel->Connected());
  channel.reset();
  EXPECT_EQ(Messages(), (std::vector<std::string>{kStartLine, kLoading + kDeviceLibrary, kLoaded,
                                                  kUnloading, kUnloaded, kStopLine}));
}

TEST_F(DllChannelTest, DestroyingTheChannelUnloadsTheLibrary) {
  // The library's counter lives as long as the library stays loaded: a second channel
  // after the first one is gone starts from a freshly loaded library.
  auto first = NewChannel();
  EXPECT_EQ(Call(*first, "DeviceCallCount"), 1);
  EXPECT_EQ(Call(*first, "DeviceCallCount"), 2);
  first.reset();
  auto second = NewChannel();
  EXPECT_EQ(Call(*second, "DeviceCallCount"), 1);
}

TEST_F(DllChannelTest, MissingLibraryFailsConstructionAndTheLogStillEnds) {
  const std::string message = ErrorOf([&] { NewChannel("NoSuchDevice.dll"); });
  EXPECT_EQ(message,
            "Unable to Load Library NoSuchDevice.dll. NoSuchDevice.so: cannot open shared object "
            "file: No such file or directory [2]");
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{kStartLine, kLoading + "NoSuchDevice.dll", kStopLine}));
}

TEST_F(DllChannelTest, FileThatIsNoLibraryFailsWithTheLoadersReason) {
  const std::string path = fFolder.Path() + "/NotALibrary.so";
  ASSERT_TRUE(StatusOk(platform::WriteWholeFile(path, std::string(4096, 'R'))));
  const std::string message = ErrorOf([&] { NewChannel(path); });
  EXPECT_EQ(message.rfind("Unable to Load Library " + path + ". ", 0), 0u) << message;
  EXPECT_NE(message.find("invalid ELF header"), std::string::npos) << message;
  EXPECT_EQ(message.back(), ']') << message;
}

TEST_F(DllChannelTest, EmptyLibraryNameLoadsNothing) {
  const std::string message = ErrorOf([&] { NewChannel(""); });
  EXPECT_EQ(message.rfind("Unable to Load Library . ", 0), 0u) << message;
  EXPECT_EQ(message.substr(message.size() - 4), " [2]") << message;
}

TEST_F(DllChannelTest, ProcedureTheLibraryDoesNotExportFails) {
  auto channel = NewChannel();
  EXPECT_EQ(ErrorOf([&] { channel->GetAddress("DeviceReset"); }),
            "Unable to get address for procedure DeviceReset");
  EXPECT_EQ(ErrorOf([&] { channel->GetAddress(""); }), "Unable to get address for procedure ");
  // The library stays usable after a failed lookup.
  EXPECT_EQ(Call(*channel, "DeviceAnswer"), 42);
}

TEST_F(DllChannelTest, MovesNoDataAndRejectsWhatItCannotDo) {
  auto channel = NewChannel();
  channel->SetHexLog(true);
  EXPECT_TRUE(channel->Write("PRINT"));
  EXPECT_TRUE(channel->Write(""));
  EXPECT_EQ(channel->ReadUpTo({3}), "");
  EXPECT_EQ(channel->ReadChars(4), "");
  EXPECT_EQ(channel->DecodeError(5), "");
  EXPECT_EQ(ErrorOf([&] { channel->ReadAll(); }), "ReadAll Unsupported");
  EXPECT_EQ(ErrorOf([&] { channel->InputBufferContainsData(); }),
            "InputBufferContainsData Unsupported");
  channel->ClearBuffers();
  channel->SetParameter("Port", "1");
  EXPECT_TRUE(channel->Disconnect());
  EXPECT_TRUE(channel->Connected());
  channel.reset();
  // Only the unloading lines come after HexLog was switched on, and nothing else was logged.
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{
                kStartLine, kLoading + kDeviceLibrary, kLoaded,
                kUnloading + " [55 6e 6c 6f 61 64 69 6e 67 20 44 4c 4c]",
                kUnloaded + " [44 4c 4c 20 55 6e 6c 6f 61 64 65 64 20 53 75 63 63 65 73 "
                            "73 66 75 6c 6c 79]",
                kStopLine}));
}

TEST_F(DllChannelTest, ConnectWritesTheBanner) {
  fConnection.SetConnectTimeOut(700);
  auto channel = NewChannel();
  channel->SetVersion("Device 2.1");
  EXPECT_TRUE(channel->Connect());
  channel.reset();
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{kStartLine, kLoading + kDeviceLibrary, kLoaded, kBannerLine,
                                      "kIOHandler_Dll", "Device 2.1", "ConnectTimeout=700",
                                      "ReadTimeout=1000", kUnloading, kUnloaded, kStopLine}));
}

TEST_F(DllChannelTest, FactoryBuildsTheChannelForTheDllConnectionType) {
  kDeviceHandler device;
  device.Deserialize(
      "<ReceiptPrinterManager><Driver>DEV</Driver><LogId>A1</LogId>"
      "<Connection><Type>Dll</Type><LibraryName>" +
      kDeviceLibrary +
      "</LibraryName><PrinterName>ignored</PrinterName></Connection>"
      "<Parameters><HexLog>true</HexLog></Parameters></ReceiptPrinterManager>");
  std::unique_ptr<kIOHandler> channel = device.CreateIOHandler(fFolder.Path());
  auto* dll = dynamic_cast<kIOHandler_Dll*>(channel.get());
  ASSERT_NE(dll, nullptr);
  EXPECT_EQ(dll->LibraryName(), kDeviceLibrary);
  EXPECT_TRUE(dll->HexLog());
  EXPECT_EQ(Call(*dll, "DeviceAnswer"), 42);
}

TEST_F(DllChannelTest, FactoryPassesTheLoadFailureOn) {
  kDeviceHandler device;
  device.SetDriver("DEV");
  device.SetLogId("A1");
  device.Connection().SetConnectionType(framework::qvConnectionType::DLL);
  device.Connection().SetLibraryName("Absent.dll");
  EXPECT_EQ(ErrorOf([&] { device.CreateIOHandler(fFolder.Path()); }),
            "Unable to Load Library Absent.dll. Absent.so: cannot open shared object file: No "
            "such file or directory [2]");
  EXPECT_EQ(Messages(), (std::vector<std::string>{kStartLine, kLoading + "Absent.dll", kStopLine}));
}

TEST_F(DllChannelTest, ChannelWithoutLogStillLoads) {
  fConnection.SetLibraryName(kDeviceLibrary);
  kIOHandler_Dll channel(&fConnection, "", "");
  EXPECT_EQ(Call(channel, "DeviceAnswer"), 42);
  EXPECT_EQ(channel.GetLogFileName(), "");
}

}  // namespace
}  // namespace qv::channels
