// The OPOS channel driving the stand-in Fiscal Printer control (OposFiscalPrinter.so, built
// beside this program): every call line in the device log, what the control received (its
// calls record), results and extended results with their names, claims and time-outs, and a
// control that is missing or fails.
#include "channels/io_handler_opos.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/date_time.h"
#include "framework/device_handler.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "support/channel_test_support.h"
#include "support/file_status_assertions.h"

namespace qv::channels {
namespace {

using base::Currency;
using framework::kConnection;
using framework::kDeviceHandler;
using framework::kIOHandler;
using test_support::ErrorOf;
using test_support::kBannerLine;
using test_support::kStartLine;
using test_support::kStopLine;
using Lines = std::vector<std::string>;

Currency Amount(double aValue) { return Currency::FromDouble(aValue); }

class OposChannelTest : public test_support::ChannelLogTest {
 protected:
  void SetUp() override {
    ChannelLogTest::SetUp();
    platform::SetEnvironmentVariable("QVFP_DRIVE_C", fDrive.Path());
    // Printers live as long as the control library: each test has its own device.
    fDeviceName =
        std::string("FP_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fConnection.SetConnectionType(framework::qvConnectionType::OPOS);
    fConnection.SetDeviceName(fDeviceName);
  }
  void TearDown() override {
    platform::SetEnvironmentVariable("QVFP_DRIVE_C", std::nullopt);
    ChannelLogTest::TearDown();
  }

  std::unique_ptr<kIOHandler_OPOS> NewChannel(const std::string& aFileName = "DEV_A1") {
    return std::make_unique<kIOHandler_OPOS>(&fConnection, fFolder.Path(), aFileName);
  }
  std::unique_ptr<kIOHandler_OPOS> ConnectedChannel() {
    auto channel = NewChannel();
    EXPECT_TRUE(channel->Connect());
    return channel;
  }
  void Control(const std::string& aText) {
    std::string error;
    platform::ForceDirectories("C:\\OposFiscalPrinter").ThrowIfFailed();
    ASSERT_TRUE(StatusOk(platform::WriteWholeFile("C:\\OposFiscalPrinter\\control.txt", aText)));
  }
  // What the control received, without the device name.
  Lines Calls() const {
    Lines calls;
    const std::string prefix = "[" + fDeviceName + "] ";
    for (const std::string& line : test_support::FileLines("C:\\OposFiscalPrinter\\calls.txt")) {
      calls.push_back(line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : "?" + line);
    }
    return calls;
  }
  // The log lines written between Connect and Disconnect.
  Lines Session(const std::string& aFileName = "DEV_A1") const {
    const Lines all = Messages(aFileName);
    auto begin = std::find(all.begin(), all.end(), "[Connect]->DeviceEnabled:=true");
    auto end = std::find(all.begin(), all.end(), "[Disconnect]->DeviceEnabled:=false");
    if (begin == all.end() || end < begin) return {"<no session>"};
    return Lines(begin + 1, end);
  }
  // The calls between the device's enabling and its disabling.
  Lines SessionCalls() const {
    const Lines all = Calls();
    auto begin = std::find(all.begin(), all.end(), "DeviceEnabled=True = 0");
    auto end = std::find(all.begin(), all.end(), "DeviceEnabled=False = 0");
    if (begin == all.end() || end < begin) return {"<no session>"};
    return Lines(begin + 1, end);
  }

  test_support::ScratchFolder fDrive;
  std::string fDeviceName;
  kConnection fConnection;
};

// ----- connecting ----------------------------------------------------------------------------

TEST_F(OposChannelTest, FactoryBuildsTheOposChannelForTheDeviceName) {
  kDeviceHandler device;
  device.Deserialize(
      "<ReceiptPrinterManager><Driver>FP</Driver><LogId>A1</LogId><Connection><Type>opos</Type>"
      "<ConnectTimeout>250</ConnectTimeout><DeviceName>FiscalPrinter1</DeviceName></Connection>"
      "</ReceiptPrinterManager>");
  std::unique_ptr<kIOHandler> channel = device.CreateIOHandler(fFolder.Path());
  auto* opos = dynamic_cast<kIOHandler_OPOS*>(channel.get());
  ASSERT_NE(opos, nullptr);
  EXPECT_EQ(opos->ClassName(), "kIOHandler_OPOS");
  EXPECT_EQ(opos->DeviceName(), "FiscalPrinter1");
  EXPECT_EQ(opos->ConnectTimeout(), 250);
  EXPECT_FALSE(opos->Connected());
}

TEST_F(OposChannelTest, ConnectOpensClaimsAndEnablesAndDestructionUndoesIt) {
  fConnection.SetReadTimeOut(300);
  auto channel = NewChannel();
  channel->SetVersion("FP driver 1.0");
  EXPECT_TRUE(channel->Connect());
  EXPECT_TRUE(channel->Connected());
  EXPECT_FALSE(channel->ErrorFound());
  channel.reset();
  EXPECT_EQ(Messages(),
            (Lines{kStartLine, kBannerLine, "kIOHandler_OPOS", "FP driver 1.0",
                   "ConnectTimeout=1000", "ReadTimeout=300", "DeviceName=" + fDeviceName,
                   "[Connect]->Open(" + fDeviceName + ")", "[Connect]->ClaimDevice(1000)",
                   "[Connect]->DeviceEnabled:=true", "[Disconnect]->DeviceEnabled:=false",
                   "[Disconnect]->ReleaseDevice", "[Disconnect]->Close", kStopLine}));
  EXPECT_EQ(Calls(), (Lines{"Open('" + fDeviceName + "') = 0", "ClaimDevice(1000) = 0",
                            "DeviceEnabled=True = 0", "DeviceEnabled=False = 0",
                            "ReleaseDevice = 0", "Close = 0"}));
}

TEST_F(OposChannelTest, DisconnectClosesAndAChannelNotConnectedIsNotDisconnectedAgain) {
  auto channel = ConnectedChannel();
  EXPECT_TRUE(channel->Disconnect());
  EXPECT_FALSE(channel->Connected());
  channel.reset();
  const Lines messages = Messages();
  EXPECT_EQ(std::count(messages.begin(), messages.end(), "[Disconnect]->Close"), 1);
  EXPECT_EQ(Calls().back(), "Close = 0");
}

TEST_F(OposChannelTest, ConnectOnAConnectedChannelDisconnectsFirst) {
  auto channel = ConnectedChannel();
  EXPECT_TRUE(channel->Connect());
  channel.reset();
  const Lines messages = Messages();
  const auto second = std::find(messages.begin() + 9, messages.end(), kBannerLine);
  ASSERT_NE(second, messages.end());
  EXPECT_EQ(Lines(second + 6, second + 10),
            (Lines{"[Disconnect]->DeviceEnabled:=false", "[Disconnect]->ReleaseDevice",
                   "[Disconnect]->Close", "[Connect]->Open(" + fDeviceName + ")"}));
  const Lines calls = Calls();
  ASSERT_EQ(calls.size(), 12u);
  EXPECT_EQ(Lines(calls.begin() + 5, calls.begin() + 7),
            (Lines{"Close = 0", "Open('" + fDeviceName + "') = 0"}));
}

TEST_F(OposChannelTest, RefusedClaimFailsConnectButLeavesTheChannelConnected) {
  Control("ClaimDevice.result=102\nClaimDevice.error=Claimed by the back office\n");
  auto channel = NewChannel();
  EXPECT_FALSE(channel->Connect());
  EXPECT_TRUE(channel->Connected());
  EXPECT_TRUE(channel->ErrorFound());
  EXPECT_EQ(channel->ErrorCode(), 102);
  EXPECT_EQ(channel->ErrorMessage(), "[102] OPOS_E_CLAIMED - Claimed by the back office");
  channel.reset();
  const Lines messages = Messages();
  const auto claim = std::find(messages.begin(), messages.end(), "[Connect]->ClaimDevice(1000)");
  ASSERT_NE(claim, messages.end());
  EXPECT_EQ(Lines(claim, claim + 3),
            (Lines{"[Connect]->ClaimDevice(1000)",
                   "ERROR - [102] OPOS_E_CLAIMED - Claimed by the back office",
                   "[Disconnect]->DeviceEnabled:=false"}));
}

TEST_F(OposChannelTest, ClaimWaitsForTheConnectTimeoutThenTimesOut) {
  auto holder = NewChannel("HOLDER");
  ASSERT_TRUE(holder->Connect());
  fConnection.SetConnectTimeOut(200);
  auto waiting = NewChannel();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(waiting->Connect());
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(200));
  EXPECT_LT(waited, std::chrono::seconds(10));
  EXPECT_EQ(waiting->ErrorCode(), 112);
  EXPECT_EQ(waiting->ErrorMessage(),
            "[112] OPOS_E_TIMEOUT - Device claimed by another control; waited 200 ms");
  waiting.reset();
  const Lines messages = Messages();
  EXPECT_NE(std::find(messages.begin(), messages.end(), "[Connect]->ClaimDevice(200)"),
            messages.end());
}

TEST_F(OposChannelTest, ClaimSucceedsWhenTheHolderReleasesWithinTheTimeout) {
  auto holder = NewChannel("HOLDER");
  ASSERT_TRUE(holder->Connect());
  fConnection.SetConnectTimeOut(20000);
  auto waiting = NewChannel();
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    holder->Disconnect();
  });
  const bool connected = waiting->Connect();
  releaser.join();
  EXPECT_TRUE(connected);
  EXPECT_FALSE(waiting->ErrorFound());
  EXPECT_TRUE(waiting->BeginFiscalReceipt());
}

TEST_F(OposChannelTest, MissingControlLibraryFailsEveryCallWithAClearMessage) {
  auto channel = std::make_unique<kIOHandler_OPOS>(&fConnection, fFolder.Path(), "DEV_A1",
                                                   "OposFiscalPrinterMissing.dll");
  const std::string message =
      "Class not registered, ClassID: {CCB90072-B81E-11D2-AB74-0040054C3719} (";
  EXPECT_FALSE(channel->Connect());
  EXPECT_FALSE(channel->Connected());
  const std::string fiscal = ErrorOf([&] { channel->BeginFiscalReceipt(); });
  EXPECT_EQ(fiscal.rfind(message, 0), 0u) << fiscal;
  EXPECT_NE(fiscal.find("OposFiscalPrinterMissing.so"), std::string::npos) << fiscal;
  bool cover = false;
  EXPECT_EQ(ErrorOf([&] { channel->GetCoverOpen(cover); }), fiscal);
  EXPECT_FALSE(channel->Disconnect());
  channel.reset();
  const Lines messages = Messages();
  ASSERT_EQ(messages.size(), 14u);
  EXPECT_EQ(messages[7], "[Connect]->Open(" + fDeviceName + ")");
  EXPECT_EQ(messages[8], "ERROR - [Connect]:" + fiscal);
  EXPECT_EQ(messages[9], "[BeginFiscalReceipt]->BeginFiscalReceipt(true)");
  EXPECT_EQ(messages[10], "[GetCoverOpen]->CoverOpen(aResult)");
  EXPECT_EQ(messages[11], "[Disconnect]->DeviceEnabled:=false");
  EXPECT_EQ(messages[12], "ERROR - [Disconnect]:" + fiscal);
}

TEST_F(OposChannelTest, ControlFailureDuringConnectIsLoggedAndLeavesTheChannelUnconnected) {
  Control("Open.hresult=0x80004005\nOpen.error=Service object crashed\n");
  auto channel = NewChannel();
  EXPECT_FALSE(channel->Connect());
  EXPECT_FALSE(channel->Connected());
  channel.reset();
  const Lines messages = Messages();
  EXPECT_EQ(Lines(messages.end() - 3, messages.end()),
            (Lines{"[Connect]->Open(" + fDeviceName + ")",
                   "ERROR - [Connect]:Service object crashed", kStopLine}));
}

TEST_F(OposChannelTest, ReleaseRefusedSkipsCloseAndStillCountsAsDisconnected) {
  auto channel = ConnectedChannel();
  Control("ReleaseDevice.result=111\nReleaseDevice.error=Printer busy printing\n");
  EXPECT_FALSE(channel->Disconnect());
  EXPECT_FALSE(channel->Connected());
  EXPECT_EQ(channel->ErrorMessage(), "[111] OPOS_E_FAILURE - Printer busy printing");
  channel.reset();
  const Lines messages = Messages();
  EXPECT_EQ(Lines(messages.end() - 3, messages.end()),
            (Lines{"[Disconnect]->ReleaseDevice",
                   "ERROR - [111] OPOS_E_FAILURE - Printer busy printing", kStopLine}));
}

// ----- fiscal operations ---------------------------------------------------------------------

TEST_F(OposChannelTest, SaleReceiptLogsEveryCallAndHandsTheControlItsArguments) {
  auto channel = ConnectedChannel();
  EXPECT_TRUE(channel->BeginFiscalReceipt());
  EXPECT_TRUE(channel->PrintRecItem("4711", "Milk", Amount(2.5), "kg", 1, Amount(1.2), Amount(3)));
  EXPECT_TRUE(channel->PrintRecItemAdjustment(1, "Promo", Amount(0.5), 1));
  EXPECT_TRUE(channel->PrintRecSubtotal(Amount(2.5)));
  EXPECT_TRUE(channel->PrintRecSubtotalAdjustment(2, "Service", Amount(0.25)));
  EXPECT_TRUE(channel->PrintRecTaxid("CY10000000X"));
  EXPECT_TRUE(channel->PrintRecTotal(Amount(2.75), Amount(2), "Card"));
  EXPECT_TRUE(channel->PrintRecTotal(Amount(2.75), Amount(5), "Cash"));
  EXPECT_TRUE(channel->PrintRecMessage("It's done"));
  EXPECT_TRUE(channel->EndFiscalReceipt());
  EXPECT_FALSE(channel->ErrorFound());
  std::string number;
  EXPECT_TRUE(channel->GetData(FPTR_GD_RECEIPT_NUMBER, 0, number));
  EXPECT_EQ(number, "1");
  std::string daily;
  EXPECT_TRUE(channel->GetData(FPTR_GD_DAILY_TOTAL, 7, daily));
  EXPECT_EQ(daily, "27500");
  channel.reset();
  EXPECT_EQ(Session(),
            (Lines{"[BeginFiscalReceipt]->BeginFiscalReceipt(true)",
                   "[PrintRecItem]->PrintRecItem('Milk',3,2,1,1.2,'kg')",
                   "[PrintRecItemAdjustment]->PrintRecItemAdjustment(1,'Promo',0.5,1)",
                   "[PrintRecSubtotal]->PrintRecSubTotal(2.5)",
                   "[PrintRecSubtotalAdjustment]->PrintRecSubtotalAdjustment(2,'Service',0.25)",
                   "[PrintRecTaxid]->PrintRecTaxid('CY10000000X')",
                   "[PrintRecTotal]->PrintRecTotal(2.75,2,'Card')",
                   "[PrintRecTotal]->PrintRecTotal(2.75,5,'Cash')",
                   "[PrintRecMessage]->PrintRecMessage('It''s done')",
                   "[EndFiscalReceipt]->EndFiscalReceipt(false)", "[GetData]->GetData(3,0,aOutput)",
                   "[GetData]->aOutput=1", "[GetData]->GetData(2,7,aOutput)",
                   "[GetData]->aOutput=27500"}));
  EXPECT_EQ(SessionCalls(),
            (Lines{"BeginFiscalReceipt(True) = 0", "PrintRecItem('Milk',3,2500,1,1.2,'kg') = 0",
                   "PrintRecItemAdjustment(1,'Promo',0.5,1) = 0", "PrintRecSubtotal(2.5) = 0",
                   "PrintRecSubtotalAdjustment(2,'Service',0.25) = 0",
                   "PrintRecTaxID('CY10000000X') = 0", "PrintRecTotal(2.75,2,'Card') = 0",
                   "PrintRecTotal(2.75,5,'Cash') = 0", "PrintRecMessage('It's done') = 0",
                   "EndFiscalReceipt(False) = 0", "GetData(3,0) = 0", "GetData(2,7) = 0"}));
}

TEST_F(OposChannelTest, VoidRefundAndNotPaidLinesCarryTheirOwnArguments) {
  auto channel = ConnectedChannel();
  EXPECT_TRUE(channel->BeginFiscalReceipt());
  EXPECT_TRUE(channel->PrintRecItem("", "Bread", Amount(1.5), "pc", 2, Amount(2), Amount(3)));
  EXPECT_TRUE(channel->PrintRecItem("", "Jam", Amount(1), "pc", 2, Amount(4), Amount(4)));
  EXPECT_TRUE(channel->PrintRecItemVoid("", "Jam", Amount(1), "pc", 2, Amount(4), Amount(4)));
  EXPECT_TRUE(channel->PrintRecRefund("", "Bottle", Amount(1), "pc", 3, Amount(0.5), Amount(0.5)));
  EXPECT_TRUE(channel->PrintRecTotal(Amount(2.5), Amount(2), "Cash"));
  EXPECT_TRUE(channel->PrintRecNotPaid(Amount(0.5), "On account"));
  EXPECT_TRUE(channel->EndFiscalReceipt());
  channel.reset();
  EXPECT_EQ(Session(), (Lines{"[BeginFiscalReceipt]->BeginFiscalReceipt(true)",
                              "[PrintRecItem]->PrintRecItem('Bread',3,1,2,2,'pc')",
                              "[PrintRecItem]->PrintRecItem('Jam',4,1,2,4,'pc')",
                              "[PrintRecItemVoid]->PrintRecItemVoid('Jam',4,2,4,'pc')",
                              "[PrintRecRefund]->PrintRecRefund('Bottle',0.5,3)",
                              "[PrintRecTotal]->PrintRecTotal(2.5,2,'Cash')",
                              "[PrintRecNotPaid]->PrintRecNotPaid('On account',0.5)",
                              "[EndFiscalReceipt]->EndFiscalReceipt(false)"}));
  const Lines calls = SessionCalls();
  ASSERT_EQ(calls.size(), 8u);
  EXPECT_EQ(calls[1], "PrintRecItem('Bread',3,1500,2,2,'pc') = 0");
  EXPECT_EQ(calls[3], "PrintRecItemVoid('Jam',4,1000,2,4,'pc') = 0");
  EXPECT_EQ(calls[4], "PrintRecRefund('Bottle',0.5,3) = 0");
  EXPECT_EQ(calls[6], "PrintRecNotPaid('On account',0.5) = 0");
}

TEST_F(OposChannelTest, QuantityBeyondTheControlsRangeFailsAfterItsCallLine) {
  auto channel = ConnectedChannel();
  EXPECT_EQ(ErrorOf([&] {
              channel->PrintRecItem("", "Sand", Amount(3000000), "kg", 1, Amount(1), Amount(1));
            }),
            "Quantity 3000000 is out of range");
  channel.reset();
  EXPECT_EQ(Session(), (Lines{"[PrintRecItem]->PrintRecItem('Sand',1,3000000,1,1,'kg')"}));
  EXPECT_EQ(SessionCalls(), Lines{});
}

TEST_F(OposChannelTest, NonFiscalTrainingAndReports) {
  auto channel = ConnectedChannel();
  EXPECT_TRUE(channel->BeginNonFiscal());
  EXPECT_TRUE(channel->PrintNormal("Opening float: 100"));
  EXPECT_TRUE(channel->EndNonFiscal());
  EXPECT_TRUE(channel->BeginTraining());
  bool training = false;
  EXPECT_TRUE(channel->GetTrainingModeActive(training));
  EXPECT_TRUE(training);
  EXPECT_TRUE(channel->EndTraining());
  EXPECT_TRUE(channel->BeginFiscalReceipt());
  EXPECT_TRUE(channel->ResetPrinter());
  bool dayOpened = false;
  EXPECT_TRUE(channel->GetDayOpened(dayOpened));
  EXPECT_TRUE(dayOpened);
  EXPECT_TRUE(channel->PrintXReport());
  EXPECT_TRUE(channel->PrintZReport());
  EXPECT_TRUE(channel->GetDayOpened(dayOpened));
  EXPECT_FALSE(dayOpened);
  std::string zNumber;
  EXPECT_TRUE(channel->GetData(FPTR_GD_Z_REPORT, 0, zNumber));
  EXPECT_EQ(zNumber, "1");
  channel.reset();
  const Lines session = Session();
  EXPECT_EQ(Lines(session.begin(), session.begin() + 15),
            (Lines{"[BeginNonFiscal]->BeginNonFiscal",
                   "[PrintNormal]->PrintNormal(2,'Opening float: 100')",
                   "[EndNonFiscal]->EndNonFiscal", "[BeginTraining]->BeginTraining",
                   "[GetTrainingModeActive]->TrainingModeActive(aResult)",
                   "[GetTrainingModeActive]->aResult=True", "[EndTraining]->EndTraining",
                   "[BeginFiscalReceipt]->BeginFiscalReceipt(true)", "[ResetPrinter]->ResetPrinter",
                   "[GetDayOpened]->DayOpened(aResult)", "[GetDayOpened]->aResult=True",
                   "[PrintXReport]->PrintXReport", "[PrintZReport]->PrintZReport",
                   "[GetDayOpened]->DayOpened(aResult)", "[GetDayOpened]->aResult=False"}));
  EXPECT_EQ(SessionCalls()[1], "PrintNormal(2,'Opening float: 100') = 0");
}

// ----- result codes ----------------------------------------------------------------------------

TEST_F(OposChannelTest, ExtendedCodeOfThePrinterNamesBothCodes) {
  auto channel = ConnectedChannel();
  Control("cover=open\n");
  EXPECT_FALSE(channel->BeginFiscalReceipt());
  EXPECT_TRUE(channel->ErrorFound());
  EXPECT_EQ(channel->ErrorCode(), 114);
  EXPECT_EQ(channel->ErrorMessage(),
            "[114] OPOS_E_EXTENDED [201] OPOS_EFPTR_COVER_OPEN - Cover open");
  Control("paper=empty\n");
  EXPECT_FALSE(channel->BeginFiscalReceipt());
  EXPECT_EQ(channel->ErrorMessage(),
            "[114] OPOS_E_EXTENDED [203] OPOS_EFPTR_REC_EMPTY - Receipt paper empty");
  Control("");
  EXPECT_TRUE(channel->BeginFiscalReceipt());
  EXPECT_FALSE(channel->ErrorFound());
  EXPECT_EQ(channel->ErrorCode(), 0);
  EXPECT_EQ(channel->ErrorMessage(), "");
  EXPECT_FALSE(channel->PrintRecItem("", "Milk", Amount(1), "l", 0, Amount(1), Amount(1)));
  EXPECT_EQ(channel->ErrorMessage(),
            "[114] OPOS_E_EXTENDED [217] OPOS_EFPTR_BAD_VAT - VAT code 0 is not set");
  EXPECT_FALSE(channel->EndFiscalReceipt());
  EXPECT_EQ(channel->ErrorMessage(),
            "[114] OPOS_E_EXTENDED [207] OPOS_EFPTR_WRONG_STATE - "
            "Printer state is 2, the operation needs 4");
  channel.reset();
  const Lines session = Session();
  EXPECT_EQ(Lines(session.begin(), session.begin() + 2),
            (Lines{"[BeginFiscalReceipt]->BeginFiscalReceipt(true)",
                   "ERROR - [114] OPOS_E_EXTENDED [201] OPOS_EFPTR_COVER_OPEN - Cover open"}));
}

TEST_F(OposChannelTest, UnnamedCodesReadUnknown) {
  auto channel = ConnectedChannel();
  Control(
      "PrintXReport.result=114\nPrintXReport.extended=299\nPrintXReport.error=Odd\n"
      "PrintZReport.result=120\nPrintZReport.error=Odder\n");
  EXPECT_FALSE(channel->PrintXReport());
  EXPECT_EQ(channel->ErrorMessage(), "[114] OPOS_E_EXTENDED [299] UNKNOWN - Odd");
  EXPECT_FALSE(channel->PrintZReport());
  EXPECT_EQ(channel->ErrorCode(), 120);
  EXPECT_EQ(channel->ErrorMessage(), "[120] UNKNOWN - Odder");
}

TEST_F(OposChannelTest, ExtendedCodeIsReadOnlyWithTheExtendedResult) {
  auto channel = ConnectedChannel();
  // The control reports an extended code with a plain failure; the text leaves it out.
  Control("PrintXReport.result=111\nPrintXReport.extended=203\nPrintXReport.error=Jam\n");
  EXPECT_FALSE(channel->PrintXReport());
  EXPECT_EQ(channel->ErrorMessage(), "[111] OPOS_E_FAILURE - Jam");
}

TEST_F(OposChannelTest, EveryResultAndExtendedCodeHasItsName) {
  const Lines results{"OPOS_E_CLOSED",   "OPOS_E_CLAIMED",  "OPOS_E_NOTCLAIMED", "OPOS_E_NOSERVICE",
                      "OPOS_E_DISABLED", "OPOS_E_ILLEGAL",  "OPOS_E_NOHARDWARE", "OPOS_E_OFFLINE",
                      "OPOS_E_NOEXIST",  "OPOS_E_EXISTS",   "OPOS_E_FAILURE",    "OPOS_E_TIMEOUT",
                      "OPOS_E_BUSY",     "OPOS_E_EXTENDED", "OPOS_E_DEPRECATED"};
  for (int i = 0; i < static_cast<int>(results.size()); ++i) {
    EXPECT_EQ(kIOHandler_OPOS::ResultCodeName(101 + i), " " + results[i]);
  }
  const Lines extended{"COVER_OPEN",
                       "JRN_EMPTY",
                       "REC_EMPTY",
                       "SLP_EMPTY",
                       "SLP_FORM",
                       "MISSING_DEVICES",
                       "WRONG_STATE",
                       "TECHNICAL_ASSISTANCE",
                       "CLOCK_ERROR",
                       "FISCAL_MEMORY_FULL",
                       "FISCAL_MEMORY_DISCONNECTED",
                       "FISCAL_TOTALS_ERROR",
                       "BAD_ITEM_QUANTITY",
                       "BAD_ITEM_AMOUNT",
                       "BAD_ITEM_DESCRIPTION",
                       "RECEIPT_TOTAL_OVERFLOW",
                       "BAD_VAT",
                       "BAD_PRICE",
                       "BAD_DATE",
                       "NEGATIVE_TOTAL",
                       "WORD_NOT_ALLOWED",
                       "BAD_LENGTH",
                       "MISSING_SET_CURRENCY",
                       "DAY_END_REQUIRED"};
  for (int i = 0; i < static_cast<int>(extended.size()); ++i) {
    EXPECT_EQ(kIOHandler_OPOS::ExtendedCodeName(201 + i), " OPOS_EFPTR_" + extended[i]);
  }
  for (int code : {0, 1, 100, 116, 200, 225, -114}) {
    EXPECT_EQ(kIOHandler_OPOS::ResultCodeName(code), " UNKNOWN") << code;
    EXPECT_EQ(kIOHandler_OPOS::ExtendedCodeName(code), " UNKNOWN") << code;
  }
}

TEST_F(OposChannelTest, ControlThatIsNotOpenedAnswersClosed) {
  auto channel = NewChannel();
  EXPECT_FALSE(channel->BeginFiscalReceipt());
  EXPECT_EQ(channel->ErrorMessage(), "[101] OPOS_E_CLOSED - Control not opened");
  fConnection.SetDeviceName("");
  auto unnamed = NewChannel("UNNAMED");
  EXPECT_FALSE(unnamed->Connect());
  EXPECT_EQ(unnamed->ErrorMessage(), "[109] OPOS_E_NOEXIST - No device name given");
}

TEST_F(OposChannelTest, FailedCallOfTheControlRaisesAfterItsCallLine) {
  auto channel = ConnectedChannel();
  Control(
      "PrintRecMessage.hresult=0x80004005\nPrintRecMessage.error=Service object crashed\n"
      "PrintRecTaxID.hresult=0x80004005\nPrintRecTaxID.errorinfo=0\n");
  EXPECT_EQ(ErrorOf([&] { channel->PrintRecMessage("Hello"); }), "Service object crashed");
  EXPECT_EQ(ErrorOf([&] { channel->PrintRecTaxid("X"); }), "Unspecified error");
  channel.reset();
  EXPECT_EQ(Session(), (Lines{"[PrintRecMessage]->PrintRecMessage('Hello')",
                              "[PrintRecTaxid]->PrintRecTaxid('X')"}));
}

// ----- date, data, direct I/O -------------------------------------------------------------------

TEST_F(OposChannelTest, DateGoesToThePrinterAsDayMonthYearHourMinuteAndComesBack) {
  auto channel = ConnectedChannel();
  const base::DateTime date = base::EncodeDateTime({2023, 8, 9, 14, 5, 0, 0});
  EXPECT_TRUE(channel->SetDate(date));
  base::DateTime read = 0;
  EXPECT_TRUE(channel->GetDate(read));
  EXPECT_EQ(base::FormatDateTime("yyyy-mm-dd hh:nn:ss", read), "2023-08-09 14:05:00");
  channel.reset();
  EXPECT_EQ(Session(), (Lines{"[SetDate]->SetDate('090820231405')", "[GetDate]->GetDate",
                              "[GetDate]->aDate=090820231405"}));
  EXPECT_EQ(SessionCalls(), (Lines{"SetDate('090820231405') = 0", "GetDate = 0"}));
}

TEST_F(OposChannelTest, DateCannotChangeWhileTheDayIsOpen) {
  auto channel = ConnectedChannel();
  ASSERT_TRUE(channel->BeginFiscalReceipt());
  EXPECT_FALSE(channel->SetDate(base::EncodeDateTime({2023, 8, 9, 14, 5, 0, 0})));
  EXPECT_EQ(channel->ErrorMessage(),
            "[114] OPOS_E_EXTENDED [224] OPOS_EFPTR_DAY_END_REQUIRED - "
            "Day open: print a Z-report first");
}

TEST_F(OposChannelTest, FailedGetDateGivesTheCurrentTime) {
  auto channel = ConnectedChannel();
  Control("GetDate.result=111\nGetDate.error=Clock not readable\n");
  base::DateTime read = 0;
  EXPECT_FALSE(channel->GetDate(read));
  EXPECT_EQ(base::FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", read), "2023-08-09 09:39:19.042");
  EXPECT_EQ(channel->ErrorMessage(), "[111] OPOS_E_FAILURE - Clock not readable");
}

TEST_F(OposChannelTest, DateTextThatDoesNotDecodeFails) {
  auto channel = ConnectedChannel();
  base::DateTime read = 0;
  Control("GetDate.text=31xx20231405\n");
  EXPECT_EQ(ErrorOf([&] { channel->GetDate(read); }), "'xx' is not a valid integer value");
  Control("GetDate.text=310220231405\n");
  EXPECT_EQ(ErrorOf([&] { channel->GetDate(read); }), "Invalid date or time");
  Control("GetDate.text=0908\n");
  EXPECT_EQ(ErrorOf([&] { channel->GetDate(read); }), "'' is not a valid integer value");
}

TEST_F(OposChannelTest, FailedGetDataEmptiesTheOutput) {
  auto channel = ConnectedChannel();
  std::string output = "left over";
  EXPECT_FALSE(channel->GetData(99, 0, output));
  EXPECT_EQ(output, "");
  EXPECT_EQ(channel->ErrorMessage(), "[106] OPOS_E_ILLEGAL - Data item 99 not known");
  channel.reset();
  EXPECT_EQ(Session(), (Lines{"[GetData]->GetData(99,0,aOutput)",
                              "ERROR - [106] OPOS_E_ILLEGAL - Data item 99 not known"}));
}

TEST_F(OposChannelTest, DirectIOHandsBackWhatTheControlLeft) {
  auto channel = ConnectedChannel();
  int32_t data = 0;
  std::string text;
  EXPECT_TRUE(channel->DirectIO(1, data, text));
  EXPECT_EQ(data, 1);
  EXPECT_EQ(text, "state=1;day=0;training=0;receipt=0;z=0;total=0");
  data = 114;
  text = "203";
  EXPECT_TRUE(channel->DirectIO(2, data, text));
  EXPECT_EQ(text, "armed");
  EXPECT_FALSE(channel->BeginFiscalReceipt());
  EXPECT_EQ(channel->ErrorMessage(),
            "[114] OPOS_E_EXTENDED [203] OPOS_EFPTR_REC_EMPTY - Result forced by DirectIO");
  EXPECT_TRUE(channel->BeginFiscalReceipt());
  data = 5;
  text = "it's";
  EXPECT_FALSE(channel->DirectIO(77, data, text));
  EXPECT_EQ(data, 5);
  EXPECT_EQ(text, "it's");
  channel.reset();
  const Lines session = Session();
  EXPECT_EQ(
      Lines(session.begin(), session.begin() + 4),
      (Lines{"[DirectIO]->DirectIO(1,0,'')",
             "[DirectIO]->Output(Data:=1, Obj:='state=1;day=0;training=0;receipt=0;z=0;"
             "total=0')",
             "[DirectIO]->DirectIO(2,114,'203')", "[DirectIO]->Output(Data:=114, Obj:='armed')"}));
  EXPECT_EQ(Lines(session.end() - 3, session.end()),
            (Lines{"[DirectIO]->DirectIO(77,5,'it''s')",
                   "ERROR - [106] OPOS_E_ILLEGAL - DirectIO command 77 not known",
                   "[DirectIO]->Output(Data:=5, Obj:='it''s')"}));
}

// ----- properties --------------------------------------------------------------------------------

TEST_F(OposChannelTest, PrinterConditionsAreReadWithTheirLines) {
  auto channel = ConnectedChannel();
  ASSERT_TRUE(channel->BeginNonFiscal());
  Control("cover=open\npaper=nearend\nmemory=42\n");
  bool cover = false, empty = true, nearEnd = false;
  int32_t state = 0, memory = 0;
  EXPECT_TRUE(channel->GetCoverOpen(cover));
  EXPECT_TRUE(channel->GetRecEmpty(empty));
  EXPECT_TRUE(channel->GetRecNearEnd(nearEnd));
  EXPECT_TRUE(channel->PrinterState(state));
  EXPECT_TRUE(channel->RemainingFiscalMemory(memory));
  EXPECT_TRUE(cover);
  EXPECT_FALSE(empty);
  EXPECT_TRUE(nearEnd);
  EXPECT_EQ(state, FPTR_PS_NONFISCAL);
  EXPECT_EQ(memory, 42);
  channel.reset();
  EXPECT_EQ(Session(),
            (Lines{"[BeginNonFiscal]->BeginNonFiscal", "[GetCoverOpen]->CoverOpen(aResult)",
                   "[GetCoverOpen]->CoverOpen=True", "[GetRecEmpty]->RecEmpty(aResult)",
                   "[GetRecEmpty]->aResult=False", "[GetRecNearEmpty]->RecNearEmpty(aResult)",
                   "[GetRecNearEmpty]->aResult=True", "[PrinterState]->PrinterState(aPrinterState)",
                   "[PrinterState]->aPrinterState=9",
                   "[RemainingFiscalMemory]->RemainingFiscalMemory(aRemainingFiscalMemory)",
                   "[RemainingFiscalMemory]->aRemainingFiscalMemory=42"}));
}

TEST_F(OposChannelTest, PropertyOperationsLeaveTheErrorStateAlone) {
  auto channel = ConnectedChannel();
  EXPECT_FALSE(channel->EndNonFiscal());
  bool cover = true;
  EXPECT_TRUE(channel->GetCoverOpen(cover));
  EXPECT_FALSE(cover);
  EXPECT_TRUE(channel->ErrorFound());
  EXPECT_EQ(channel->ErrorCode(), 114);
}

TEST_F(OposChannelTest, PreLineReceiptTypeAndTrailerLinesReachTheControl) {
  auto channel = ConnectedChannel();
  EXPECT_TRUE(channel->SetPreLine("Pre 'x'"));
  EXPECT_TRUE(channel->SetFiscalReceiptType(4));
  EXPECT_TRUE(channel->SetAdditionalTrailerLine("A", false));
  EXPECT_TRUE(channel->SetAdditionalTrailerLine("A", false));
  EXPECT_TRUE(channel->SetAdditionalTrailerLine("B", true));
  channel.reset();
  EXPECT_EQ(Session(), (Lines{"[SetPreLine]->PreLine='Pre ''x'''",
                              "[SetFiscalReceiptType]->FiscalReceiptType=4",
                              "[SetAdditionalTrailerLine]->AdditionalTrailer=+'A'",
                              "[SetAdditionalTrailerLine]->AdditionalTrailer=+'A'",
                              "[SetAdditionalTrailerLine]->AdditionalTrailer='B'"}));
  EXPECT_EQ(
      SessionCalls(),
      (Lines{"PreLine='Pre 'x'' = 0", "FiscalReceiptType=4 = 0", "AdditionalTrailer='A\\r\\n' = 0",
             "AdditionalTrailer='A\\r\\nA\\r\\n' = 0", "AdditionalTrailer='B' = 0"}));
}

// ----- byte streams ------------------------------------------------------------------------------

TEST_F(OposChannelTest, ByteStreamOperationsAreNotSupported) {
  auto channel = NewChannel();
  EXPECT_EQ(ErrorOf([&] { channel->Write("x"); }), "Write Unsupported");
  EXPECT_EQ(ErrorOf([&] { channel->ReadUpTo({3}); }), "ReadUpto Unsupported");
  EXPECT_EQ(ErrorOf([&] { channel->ReadChars(2); }), "ReadChars Unsupported");
  EXPECT_EQ(ErrorOf([&] { channel->ReadAll(); }), "ReadAll Unsupported");
  EXPECT_EQ(ErrorOf([&] { channel->InputBufferContainsData(); }),
            "InputBufferContainsData Unsupported");
  channel->ClearBuffers();
  channel->SetParameter("Header", "x");
  EXPECT_EQ(channel->DecodeError(114), "");
  channel.reset();
  EXPECT_EQ(Messages(), (Lines{kStartLine, kStopLine}));
  EXPECT_FALSE(platform::FileExists("C:\\OposFiscalPrinter\\calls.txt"));
}

}  // namespace
}  // namespace qv::channels
