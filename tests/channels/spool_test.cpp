// The spooler channel: raw receipt jobs and bitmap pages through a real print spooler. The
// spooler is a private cupsd (tests/channels/cups/start-cupsd.sh) whose raw queues send
// every job to a printer port that the test listens on, so the tests see the very bytes and
// pages a printer would get. Where cupsd cannot be started (not root, CUPS not installed)
// those tests are skipped with the reason; the placement rule and the failure paths without
// a spooler always run.
#include "channels/io_handler_spool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "framework/device_handler.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "support/channel_test_support.h"
#include "support/spool_test_support.h"

namespace qv::channels {
namespace {

using framework::kConnection;
using framework::kDeviceHandler;
using framework::kIOHandler;
using platform::Bitmap;
using platform::PrinterPage;
using test_support::ErrorOf;
using test_support::InkBox;
using test_support::kStartLine;
using test_support::kStopLine;
using test_support::PrinterPort;
using test_support::RasterPage;

constexpr int kJobArrivalMs = 20000;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kRed = 0xFF0000;

PrinterPage Page(int32_t aWidth, int32_t aHeight, int32_t aDpi, int32_t aOffsetX = 0,
                 int32_t aOffsetY = 0) {
  PrinterPage page;
  page.width = aWidth, page.height = aHeight;
  page.dpiX = page.dpiY = aDpi;
  page.offsetX = aOffsetX, page.offsetY = aOffsetY;
  return page;
}

// ---- the placement rule ----

TEST(SpoolPlacement, BitmapMadeFor300DpiIsDrawnUnscaledAndCentredOnA300DpiPage) {
  const tSpoolPlacement placed = PlaceBitmapOnPage(Page(2400, 3300, 300), 600, 200);
  EXPECT_FALSE(placed.stretched);
  EXPECT_EQ(placed.scale, 1.0);
  EXPECT_EQ(placed.width, 600);
  EXPECT_EQ(placed.height, 200);
  EXPECT_EQ(placed.x, 900);
  EXPECT_EQ(placed.y, 1550);
}

TEST(SpoolPlacement, On150DpiA600PixelBitmapIsStretchedTo300AndCentred) {
  const tSpoolPlacement placed = PlaceBitmapOnPage(Page(1200, 1650, 150), 600, 300);
  EXPECT_TRUE(placed.stretched);
  EXPECT_EQ(placed.scale, 0.5);
  EXPECT_EQ(placed.width, 300);
  EXPECT_EQ(placed.height, 150);
  EXPECT_EQ(placed.x, 450);
  EXPECT_EQ(placed.y, 750);
}

TEST(SpoolPlacement, On600DpiTheBitmapDoublesItsSize) {
  const tSpoolPlacement placed = PlaceBitmapOnPage(Page(4800, 6600, 600), 500, 100);
  EXPECT_EQ(placed.width, 1000);
  EXPECT_EQ(placed.height, 200);
  EXPECT_EQ(placed.x, 1900);
  EXPECT_EQ(placed.y, 3200);
}

TEST(SpoolPlacement, BitmapWiderThanThePageShrinksToThePageWidthKeepingItsProportions) {
  // 576 dots a line, as a receipt printer's page: a 1000 x 400 logo becomes 576 x 230.
  const tSpoolPlacement placed = PlaceBitmapOnPage(Page(576, 3000, 300), 1000, 400);
  EXPECT_TRUE(placed.stretched);
  EXPECT_DOUBLE_EQ(placed.scale, 0.576);
  EXPECT_EQ(placed.width, 576);
  EXPECT_EQ(placed.height, 230);
  EXPECT_EQ(placed.x, 0);
  EXPECT_EQ(placed.y, 1385);
}

TEST(SpoolPlacement, BitmapTallerThanThePageShrinksToThePageHeight) {
  const tSpoolPlacement placed = PlaceBitmapOnPage(Page(2000, 1000, 300), 400, 4000);
  EXPECT_EQ(placed.scale, 0.25);
  EXPECT_EQ(placed.width, 100);
  EXPECT_EQ(placed.height, 1000);
  EXPECT_EQ(placed.x, 950);
  EXPECT_EQ(placed.y, 0);
}

TEST(SpoolPlacement, HalvesAreTruncatedAndThePhysicalOffsetsAdded) {
  const tSpoolPlacement placed = PlaceBitmapOnPage(Page(1001, 2001, 300, 25, 40), 100, 100);
  EXPECT_EQ(placed.x, 450 + 25);
  EXPECT_EQ(placed.y, 950 + 40);
  // A scaled size keeps only the integer part: 333 x 0.5 = 166.5 gives 166.
  const tSpoolPlacement scaled = PlaceBitmapOnPage(Page(1000, 1000, 150), 333, 333);
  EXPECT_EQ(scaled.width, 166);
  EXPECT_EQ(scaled.x, 417);
}

TEST(SpoolPlacement, ScaleThatComesBackToOneDrawsUnscaled) {
  // 600 dpi doubles the bitmap, the page width halves it again: exactly 1, so unscaled.
  const tSpoolPlacement placed = PlaceBitmapOnPage(Page(500, 5000, 600), 500, 100);
  EXPECT_EQ(placed.scale, 1.0);
  EXPECT_FALSE(placed.stretched);
  EXPECT_EQ(placed.width, 500);
}

// ---- the channel without a spooler ----

class SpoolChannelTest : public test_support::ChannelLogTest {
 protected:
  void SetUp() override {
    ChannelLogTest::SetUp();
    fSavedServer = platform::GetEnvironmentVariable("CUPS_SERVER");
  }
  void TearDown() override {
    platform::SetEnvironmentVariable("CUPS_SERVER", fSavedServer);
    ChannelLogTest::TearDown();
  }
  std::unique_ptr<kIOHandler_Spool> NewChannel(const std::string& aPrinter) {
    fConnection.SetPrinterName(aPrinter);
    return std::make_unique<kIOHandler_Spool>(&fConnection, fFolder.Path(), "DEV_A1");
  }
  // Points the spooler client at a server socket that nobody listens on.
  void WithoutSpooler() {
    platform::SetEnvironmentVariable("CUPS_SERVER", fFolder.Path() + "/no-spooler.sock");
  }

  kConnection fConnection;
  std::optional<std::string> fSavedServer;
};

TEST_F(SpoolChannelTest, StartsInNormalModeAndMovesNoData) {
  auto channel = NewChannel("Receipt");
  EXPECT_EQ(channel->OutputType(), qvSpoolOutputType::Normal);
  EXPECT_EQ(channel->Bitmap(), nullptr);
  EXPECT_TRUE(channel->Connected());
  EXPECT_TRUE(channel->Connect());
  EXPECT_TRUE(channel->Disconnect());
  EXPECT_EQ(channel->ReadUpTo({10}), "");
  EXPECT_EQ(channel->ReadChars(3), "");
  EXPECT_EQ(channel->DecodeError(5), "");
  EXPECT_EQ(ErrorOf([&] { channel->ReadAll(); }), "ReadAll Unsupported");
  EXPECT_EQ(ErrorOf([&] { channel->InputBufferContainsData(); }),
            "InputBufferContainsData Unsupported");
  channel->ClearBuffers();
  channel->SetParameter("Copies", "2");
  channel.reset();
  const std::vector<std::string> messages = Messages();
  ASSERT_EQ(messages.size(), 7u);
  EXPECT_EQ(messages[0], kStartLine);
  EXPECT_EQ(messages[2], "kIOHandler_Spool");
  EXPECT_EQ(messages[6], kStopLine);
}

TEST_F(SpoolChannelTest, FactoryBuildsTheChannelForTheSpoolConnectionType) {
  WithoutSpooler();
  kDeviceHandler device;
  device.Deserialize(
      "<ReceiptPrinterManager><Driver>DEV</Driver><LogId>A1</LogId>"
      "<Connection><Type>SPOOL</Type><PrinterName>Kitchen</PrinterName>"
      "<LibraryName>ignored.dll</LibraryName></Connection></ReceiptPrinterManager>");
  std::unique_ptr<kIOHandler> channel = device.CreateIOHandler(fFolder.Path());
  auto* spool = dynamic_cast<kIOHandler_Spool*>(channel.get());
  ASSERT_NE(spool, nullptr);
  EXPECT_EQ(spool->ClassName(), "kIOHandler_Spool");
  // The printer name came from the connection: the failure names it.
  Bitmap logo(10, 10);
  spool->SetBitmap(&logo);
  EXPECT_EQ(ErrorOf([&] { spool->Write(""); }),
            "kIOHandler_Spool.WriteNormal: Printer Kitchen not found");
}

TEST_F(SpoolChannelTest, RawWriteWithoutSpoolerIsFalseWithTheReasonAndDoesNotHang) {
  WithoutSpooler();
  auto channel = NewChannel("Receipt");
  channel->SetOutputType(qvSpoolOutputType::Raw);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(channel->Write("Receipt 1\r\n"));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  // The reason is the spooler client's ("Host is down", "No such file or directory").
  const std::string expected =
      "Unable to connect to the print server " + fFolder.Path() + "/no-spooler.sock: ";
  EXPECT_EQ(channel->ErrorMessage().rfind(expected, 0), 0u) << channel->ErrorMessage();
  EXPECT_GT(channel->ErrorMessage().size(), expected.size());
  EXPECT_FALSE(channel->ErrorFound());
  EXPECT_EQ(channel->ErrorCode(), 0);
  EXPECT_FALSE(channel->WriteBytes("\x1b@"));
}

TEST_F(SpoolChannelTest, NormalWriteWithoutSpoolerFindsNoPrinter) {
  WithoutSpooler();
  auto channel = NewChannel("Receipt");
  Bitmap logo(8, 8);
  channel->SetBitmap(&logo);
  EXPECT_EQ(ErrorOf([&] { channel->Write("ignored"); }),
            "kIOHandler_Spool.WriteNormal: Printer Receipt not found");
}

TEST_F(SpoolChannelTest, UnknownCodePagePrintsNothingAndSaysWhy) {
  WithoutSpooler();
  auto channel = NewChannel("Receipt");
  channel->SetOutputType(qvSpoolOutputType::Raw);
  channel->SetCodePage(99999);
  EXPECT_FALSE(channel->Write("Total 5.00"));
  EXPECT_EQ(channel->ErrorMessage(), "Code page 99999 is not supported");
  EXPECT_FALSE(channel->ErrorFound());
}

// ---- the channel on a private spooler ----

// The private cupsd of this test program with two raw queues: "Receipt" (no resolution of
// its own) and "Page150" (150 dpi), each sending its jobs to a printer port of the test.
class PrivateSpooler {
 public:
  PrivateSpooler() {
    const std::string folder = fFolder.Path() + "/cups";
    const std::string script = std::string(QV_SOURCE_DIR) + "/tests/channels/cups/start-cupsd.sh";
    const std::string command =
        "bash '" + script + "' '" + folder +
        "' 'Receipt=socket://127.0.0.1:" + std::to_string(fReceiptPort.Port()) +
        "' 'Page150=socket://127.0.0.1:" + std::to_string(fPagePort.Port()) + "@150' >'" +
        fFolder.Path() + "/start.out' 2>'" + fFolder.Path() + "/start.err'; echo $? >'" +
        fFolder.Path() + "/start.rc'";
    const int ignored = std::system(command.c_str());
    (void)ignored;
    const std::string rc = test_support::FileContent(fFolder.Path() + "/start.rc");
    const std::string reason = test_support::FileContent(fFolder.Path() + "/start.err");
    if (rc == "0\n") {
      fSocket = folder + "/cups.sock";
    } else if (rc == "77\n") {
      fSkipReason = "no private print spooler here: " + reason;
    } else {
      fFailure = "the private print spooler did not start (" + rc + "): " + reason;
    }
  }
  ~PrivateSpooler() {
    const std::string command = "bash '" + std::string(QV_SOURCE_DIR) +
                                "/tests/channels/cups/stop-cupsd.sh' '" + fFolder.Path() +
                                "/cups' >/dev/null 2>&1";
    const int ignored = std::system(command.c_str());
    (void)ignored;
  }

  const std::string& Socket() const { return fSocket; }
  const std::string& SkipReason() const { return fSkipReason; }
  const std::string& Failure() const { return fFailure; }
  PrinterPort& ReceiptPort() { return fReceiptPort; }
  PrinterPort& PagePort() { return fPagePort; }

 private:
  test_support::ScratchFolder fFolder;
  PrinterPort fReceiptPort;
  PrinterPort fPagePort;
  std::string fSocket;
  std::string fSkipReason;
  std::string fFailure;
};

class SpoolerTest : public SpoolChannelTest {
 protected:
  static void SetUpTestSuite() { sSpooler = new PrivateSpooler(); }
  static void TearDownTestSuite() {
    delete sSpooler;
    sSpooler = nullptr;
  }
  void SetUp() override {
    SpoolChannelTest::SetUp();
    if (!sSpooler->SkipReason().empty()) GTEST_SKIP() << sSpooler->SkipReason();
    ASSERT_EQ(sSpooler->Failure(), "");
    platform::SetEnvironmentVariable("CUPS_SERVER", sSpooler->Socket());
  }

  static std::string NextJob(PrinterPort& aPort) {
    std::optional<std::string> job = aPort.NextJob(kJobArrivalMs);
    EXPECT_TRUE(job.has_value()) << "no job reached the printer";
    return job.value_or("");
  }
  // The completed job of aPrinter with the highest id, waiting a little for the spooler to
  // mark it completed after the printer took it.
  static platform::PrintJobInfo LastCompletedJob(const std::string& aPrinter) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::vector<platform::PrintJobInfo> jobs = platform::PrinterJobs(aPrinter, true);
      if (!jobs.empty() && platform::PrinterJobs(aPrinter, false).empty()) {
        return *std::max_element(jobs.begin(), jobs.end(),
                                 [](const auto& a, const auto& b) { return a.id < b.id; });
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return {};
  }
  static RasterPage PageOf(const std::string& aJob) {
    RasterPage page;
    std::string error;
    EXPECT_TRUE(test_support::ReadPwgRasterPage(aJob, page, error)) << error;
    return page;
  }

  static PrivateSpooler* sSpooler;
};

PrivateSpooler* SpoolerTest::sSpooler = nullptr;

TEST_F(SpoolerTest, RawJobReachesThePrinterByteForByteAsZebReceipt) {
  auto channel = NewChannel("Receipt");
  channel->SetOutputType(qvSpoolOutputType::Raw);
  ASSERT_TRUE(
      channel->Write("RECEIPT 0001\r\nTOTAL 12.50\r\n\x1b"
                     "d\x03\x1dV\x01"))
      << channel->ErrorMessage();
  EXPECT_EQ(NextJob(sSpooler->ReceiptPort()),
            "RECEIPT 0001\r\nTOTAL 12.50\r\n\x1b"
            "d\x03\x1dV\x01");
  const platform::PrintJobInfo job = LastCompletedJob("Receipt");
  EXPECT_EQ(job.title, "ZEB Receipt");
  EXPECT_EQ(job.format, "application/vnd.cups-raw");
  EXPECT_EQ(channel->ErrorMessage(), "");
}

TEST_F(SpoolerTest, RawTextGoesOutInTheChannelsCodePage) {
  auto channel = NewChannel("Receipt");
  channel->SetOutputType(qvSpoolOutputType::Raw);
  channel->SetCodePage(1253);
  ASSERT_TRUE(channel->Write("Καλημέρα €")) << channel->ErrorMessage();
  EXPECT_EQ(NextJob(sSpooler->ReceiptPort()), "\xca\xe1\xeb\xe7\xec\xdd\xf1\xe1\x20\x80");
  // Code page 0 (and anything below) is the machine's ANSI code page: UTF-8 here.
  channel->SetCodePage(0);
  ASSERT_TRUE(channel->Write("Καλη €")) << channel->ErrorMessage();
  EXPECT_EQ(NextJob(sSpooler->ReceiptPort()), "Καλη €");
  channel->SetCodePage(-1);
  ASSERT_TRUE(channel->Write("é")) << channel->ErrorMessage();
  EXPECT_EQ(NextJob(sSpooler->ReceiptPort()), "é");
}

TEST_F(SpoolerTest, WriteBytesSendsEveryByteAsItIs) {
  auto channel = NewChannel("Receipt");
  std::string bytes;
  for (int value = 0; value < 256; ++value) bytes += static_cast<char>(value);
  ASSERT_TRUE(channel->WriteBytes(bytes)) << channel->ErrorMessage();
  EXPECT_EQ(NextJob(sSpooler->ReceiptPort()), bytes);
}

TEST_F(SpoolerTest, RawJobToAPrinterTheSpoolerDoesNotHaveIsFalseWithItsText) {
  auto channel = NewChannel("Kitchen");
  channel->SetOutputType(qvSpoolOutputType::Raw);
  channel->SetCustomError(7, "earlier");
  EXPECT_FALSE(channel->Write("RECEIPT"));
  EXPECT_EQ(channel->ErrorMessage(), "The printer or class does not exist.");
  // Only the message changes.
  EXPECT_TRUE(channel->ErrorFound());
  EXPECT_EQ(channel->ErrorCode(), 7);
  EXPECT_FALSE(sSpooler->ReceiptPort().AnyJobWithin(300));
}

TEST_F(SpoolerTest, NormalPageOn300DpiHasTheBitmapUnscaledInTheMiddle) {
  Bitmap logo(400, 200, kBlack);
  logo.FillRect(0, 0, 10, 10, kRed);
  auto channel = NewChannel("receipt");  // the installed printer is "Receipt"
  channel->SetBitmap(&logo);
  ASSERT_TRUE(channel->Write("not printed"));
  const RasterPage page = PageOf(NextJob(sSpooler->ReceiptPort()));
  EXPECT_EQ(page.dpiX, 300u);
  ASSERT_GT(page.width, 400u);
  ASSERT_GT(page.height, 200u);
  const uint32_t left = (page.width - 400) / 2, top = (page.height - 200) / 2;
  EXPECT_EQ(test_support::InkBoxOf(page), (InkBox{left, top, left + 400, top + 200}));
  EXPECT_EQ(page.Pixel(left, top), kRed);
  EXPECT_EQ(page.Pixel(left + 9, top + 9), kRed);
  EXPECT_EQ(page.Pixel(left + 10, top + 10), kBlack);
  EXPECT_EQ(page.Pixel(left + 399, top + 199), kBlack);
  const platform::PrintJobInfo job = LastCompletedJob("Receipt");
  EXPECT_EQ(job.title, "Orvesta Spool Output");
  EXPECT_EQ(job.format, "image/pwg-raster");
}

TEST_F(SpoolerTest, NormalPageOn150DpiHasTheBitmapAtHalfSizeInTheMiddle) {
  Bitmap logo(600, 300, kBlack);
  logo.FillRect(300, 0, 300, 300, kRed);  // right half red
  auto channel = NewChannel("PAGE150");
  channel->SetBitmap(&logo);
  ASSERT_TRUE(channel->Write(""));
  const RasterPage page = PageOf(NextJob(sSpooler->PagePort()));
  EXPECT_EQ(page.dpiX, 150u);
  const uint32_t left = (page.width - 300) / 2, top = (page.height - 150) / 2;
  EXPECT_EQ(test_support::InkBoxOf(page), (InkBox{left, top, left + 300, top + 150}));
  EXPECT_EQ(page.Pixel(left + 149, top + 75), kBlack);
  EXPECT_EQ(page.Pixel(left + 150, top + 75), kRed);
}

TEST_F(SpoolerTest, NormalWriteToAnUninstalledPrinterFailsBeforeAnyJob) {
  Bitmap logo(20, 20, kBlack);
  auto channel = NewChannel("Kitchen");
  channel->SetBitmap(&logo);
  EXPECT_EQ(ErrorOf([&] { channel->Write(""); }),
            "kIOHandler_Spool.WriteNormal: Printer Kitchen not found");
  EXPECT_FALSE(sSpooler->ReceiptPort().AnyJobWithin(300));
}

TEST_F(SpoolerTest, NormalWriteWithoutBitmapFailsAndPrintsNoBlankPage) {
  auto channel = NewChannel("Receipt");
  EXPECT_EQ(ErrorOf([&] { channel->Write(""); }),
            "kIOHandler_Spool.WriteNormal: No bitmap to print");
  EXPECT_FALSE(sSpooler->ReceiptPort().AnyJobWithin(300));
}

}  // namespace
}  // namespace qv::channels
