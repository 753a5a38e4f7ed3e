#include "framework/public_operations.h"
#include "framework/support/no_transport_channel.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/utils.h"
#include "documents/other_documents.h"
#include "framework/io_handler.h"
#include "framework/request_context.h"
#include "framework/support/scratch_folder.h"
#include "platform/environment.h"
#include "platform/error.h"

namespace qv::framework {
namespace {

using test_support::FileLines;
using test_support::ScratchFolder;

const std::string kBannerDashes(60, '-');

// A log channel in a folder of the test that stands in for a device connection: it counts
// its disconnections and can show everything logged so far.
class kIOHandler_RECORDING : public testing::kIOHandler_NoTransport {
 public:
  explicit kIOHandler_RECORDING(const std::string& aDirectory)
      : kIOHandler_NoTransport(nullptr, aDirectory, "PUBOPS") {}
  bool Connected() override { return fConnected; }
  std::string ClassName() const override { return "kIOHandler_RECORDING"; }
  bool Disconnect() override {
    ++fDisconnects;
    fConnected = false;
    return true;
  }

  // The messages logged so far (time stamps and type removed, "ERROR - " kept).
  std::vector<std::string> Messages() {
    Logger()->DrainAndStop();  // later lines are appended at once
    std::vector<std::string> messages;
    const std::string stampedPrefix = "yyyy-mm-dd hh:mm:ss:zzz - ";
    for (const std::string& line : FileLines(GetLogFileName())) {
      messages.push_back(line.substr(stampedPrefix.size()));
    }
    return messages;
  }

  bool fConnected = true;
  int fDisconnects = 0;
};

// A processor whose device operations record their calls and arguments, give back what the
// test put into its "device", and set the channel's error state when told to.
class kFiscalProcessor_RECORDING : public kFiscalProcessor {
 public:
  kFiscalProcessor_RECORDING(kFiscalProcessorHandler& aHandler, const std::string& aLogFolder)
      : kFiscalProcessor(aHandler) {
    fIOHandler = std::make_unique<kIOHandler_RECORDING>(aLogFolder);
  }

  bool Init() override { return true; }
  bool ProcessReceipt(kFiscalProcessorHandler&) override { return true; }
  bool ProcessZReport(kFiscalProcessorHandler&) override { return true; }
  bool ProcessXReport(kFiscalProcessorHandler&) override { return true; }
  bool ProcessGetStatus(kFiscalProcessorHandler&) override { return true; }

  kIOHandler_RECORDING& Channel() { return static_cast<kIOHandler_RECORDING&>(*fIOHandler); }

  // The device's answers.
  std::string fFailIn;  // the operation that sets the error state
  bool fReturns = true;
  bool fIsConnected = true;
  bool fConnectSucceeds = true;
  base::DateTime fDeviceClock = 45147.5;  // 2023-08-09 12:00
  int32_t fDeviceFilesCount = 0;
  qvLotteryReceiptStatus fDeviceLottery;
  std::vector<std::string> fCalls;

 protected:
  bool Connect() override {
    Record("Connect");
    if (fConnectSucceeds) fIsConnected = true;
    return fConnectSucceeds && fReturns;
  }
  bool GetStatus(bool&, base::DateTime&, bool&, std::string&, std::string&, std::string&) override {
    return Record("GetStatus");
  }
  bool GetDateTime(base::DateTime& aDateTime) override {
    aDateTime = fDeviceClock;
    return Record("GetDateTime");
  }
  bool SetDateTime(base::DateTime aDateTime) override {
    fDeviceClock = aDateTime;
    return Record("SetDateTime " + base::DateTimeToXmlText(false, aDateTime));
  }
  bool SetTrainingMode() override { return Record("SetTrainingMode"); }
  bool GetVatTable() override {
    AddVat(1, "A", "Standard", 190000);
    AddVat(2, "B", "Reduced", 55000);
    return Record("GetVatTable");
  }
  bool SetVatTable(documents::kVatTable& aVatTable) override {
    std::string codes;
    for (const documents::kVat& vat : aVatTable) codes += " " + vat.Code();
    return Record("SetVatTable" + codes);
  }
  bool GetDeptTable() override {
    AddDept(1, "D1", "Bread", "A", documents::st_Product, "E1");
    AddDept(2, "D2", "Repairs", "B", documents::st_Service, "E2");
    AddDept(3, "D3", "Stamps", "C", documents::st_Product, "");
    AddDept(4, "D4", "Lottery", "A", documents::st_Service, "E9");  // activity unknown
    return Record("GetDeptTable");
  }
  bool SetEATable(documents::kEconomicActivityTable& aEATable) override {
    std::string codes;
    for (const documents::kEconomicActivity& activity : aEATable) codes += " " + activity.Code();
    return Record("SetEATable" + codes);
  }
  bool GetEATable() override {
    AddActivity(1, "E1", "Bakery", false);
    AddActivity(2, "E2", "Services", true);
    return Record("GetEATable");
  }
  bool SetDeptTable(documents::kDeptTable& aDeptTable) override {
    std::string codes;
    for (const documents::kDepartment& department : aDeptTable) codes += " " + department.Code();
    return Record("SetDeptTable" + codes);
  }
  bool OpenDrawer(int32_t aDrawerNumber) override {
    return Record("OpenDrawer " + std::to_string(aDrawerNumber));
  }
  bool EJReportZReports(documents::qvEJReportDestination aDestination, base::DateTime aStartDate,
                        base::DateTime aEndDate, _int_EJREPORT_result& aResult) override {
    return Report("EJReportZReports", aDestination, aStartDate, aEndDate, "", aResult);
  }
  bool EJReportFiscalReceipts(documents::qvEJReportDestination aDestination,
                              base::DateTime aStartDate, base::DateTime aEndDate,
                              int32_t aStartNumber, int32_t aEndNumber,
                              _int_EJREPORT_result& aResult) override {
    return Report("EJReportFiscalReceipts", aDestination, aStartDate, aEndDate,
                  Numbers(aStartNumber, aEndNumber), aResult);
  }
  bool EJReportNonFiscalReceipts(documents::qvEJReportDestination aDestination,
                                 base::DateTime aStartDate, base::DateTime aEndDate,
                                 int32_t aStartNumber, int32_t aEndNumber,
                                 _int_EJREPORT_result& aResult) override {
    return Report("EJReportNonFiscalReceipts", aDestination, aStartDate, aEndDate,
                  Numbers(aStartNumber, aEndNumber), aResult);
  }
  bool EJReportCreditNotes(documents::qvEJReportDestination aDestination, base::DateTime aStartDate,
                           base::DateTime aEndDate, int32_t aStartNumber, int32_t aEndNumber,
                           _int_EJREPORT_result& aResult) override {
    return Report("EJReportCreditNotes", aDestination, aStartDate, aEndDate,
                  Numbers(aStartNumber, aEndNumber), aResult);
  }
  bool EJReportInvoices(documents::qvEJReportDestination aDestination, base::DateTime aStartDate,
                        base::DateTime aEndDate, int32_t aStartNumber, int32_t aEndNumber,
                        _int_EJREPORT_result& aResult) override {
    return Report("EJReportInvoices", aDestination, aStartDate, aEndDate,
                  Numbers(aStartNumber, aEndNumber), aResult);
  }
  bool GetEJFiles(documents::qvEJFilesRequestType aRequestType, base::DateTime aStartDate,
                  base::DateTime aEndDate, const std::string& aOutputDir,
                  int32_t& aFilesCount) override {
    aFilesCount = fDeviceFilesCount;
    return Record("GetEJFiles " + std::to_string(aRequestType) + " " +
                  base::DateTimeToXmlText(false, aStartDate) + " " +
                  base::DateTimeToXmlText(false, aEndDate) + " " + aOutputDir);
  }
  bool IsConnected() override {
    fCalls.push_back("IsConnected");
    return fIsConnected;
  }
  bool IsDayOpened() override { return Record("IsDayOpened"); }
  bool GetLotteryReceiptStatus(documents::kReceiptReference& aReference) override {
    fLotteryReceiptStatus = fDeviceLottery;
    return Record("GetLotteryReceiptStatus " + aReference.ReceiptNumber());
  }
  bool ReservedCheck() override { return Record("ReservedCheck"); }

 private:
  // Notes the call; the operation named in fFailIn sets the channel's error state.
  bool Record(const std::string& aCall) {
    fCalls.push_back(aCall);
    const std::string name = aCall.substr(0, aCall.find(' '));
    if (name == fFailIn) IOHandler().SetCustomError(7, "Device refused " + name);
    return fReturns;
  }
  static std::string Numbers(int32_t aStart, int32_t aEnd) {
    return " " + std::to_string(aStart) + "-" + std::to_string(aEnd);
  }
  bool Report(const std::string& aName, documents::qvEJReportDestination aDestination,
              base::DateTime aStartDate, base::DateTime aEndDate, const std::string& aNumbers,
              _int_EJREPORT_result& aResult) {
    aResult.Text = aName + " text";
    return Record(aName + " " + std::to_string(aDestination) + " " +
                  base::DateTimeToXmlText(false, aStartDate) + " " +
                  base::DateTimeToXmlText(false, aEndDate) + aNumbers);
  }
  void AddVat(int32_t aIndex, const char* aCode, const char* aDescription, int64_t aRate) {
    auto vat = std::make_unique<documents::kVat>();
    vat->SetIndex(aIndex);
    vat->SetCode(aCode);
    vat->SetDescription(aDescription);
    vat->SetRate(base::Currency::FromRaw(aRate));
    fVatTable->Add(std::move(vat));
  }
  void AddDept(int32_t aIndex, const char* aCode, const char* aDescription, const char* aVatCode,
               documents::qvDepartmentSalesType aSalesType, const char* aEACode) {
    auto department = std::make_unique<documents::kDepartment>();
    department->SetIndex(aIndex);
    department->SetCode(aCode);
    department->SetDescription(aDescription);
    department->SetVATCode(aVatCode);
    department->SetSalesType(aSalesType);
    department->SetEACode(aEACode);
    fDeptTable->Add(std::move(department));
  }
  void AddActivity(int32_t aIndex, const char* aCode, const char* aDescription,
                   bool aVentilazione) {
    auto activity = std::make_unique<documents::kEconomicActivity>();
    activity->SetIndex(aIndex);
    activity->SetCode(aCode);
    activity->SetDescription(aDescription);
    activity->SetVentilazione(aVentilazione);
    fEATable->Add(std::move(activity));
  }
};

std::string Request(const std::string& aParameters, const std::string& aDocuments = "") {
  return "<Request><Driver/><LogId>PUB</LogId><Parameters><Processor>QVFP_PUBOPS_10</Processor>" +
         aParameters + "</Parameters>" + aDocuments + "</Request>";
}

std::string ErrorOf(const std::function<void()>& aAction) {
  try {
    aAction();
  } catch (const Error& error) {
    return error.what();
  }
  return "<no error>";
}

// Drive C is a scratch folder; the processor logs into another one.
class PublicOperationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fPreviousDriveC = platform::GetEnvironmentVariable("QVFP_DRIVE_C");
    platform::SetEnvironmentVariable("QVFP_DRIVE_C", fDriveC.Path());
    fHandler.Deserialize(Request(""), {});
    fProcessor = std::make_unique<kFiscalProcessor_RECORDING>(fHandler, fLogs.Path());
  }
  void TearDown() override {
    fProcessor.reset();
    platform::SetEnvironmentVariable("QVFP_DRIVE_C", fPreviousDriveC);
  }

  // A request context for the next operation.
  kFiscalProcessorHandler& With(const std::string& aParameters, const std::string& aDocuments = "",
                                qvReceiptHandlerDocumentTypes aTypes = {}) {
    fRequest = std::make_unique<kFiscalProcessorHandler>();
    fRequest->Deserialize(Request(aParameters, aDocuments), aTypes);
    return *fRequest;
  }
  kFiscalProcessor_RECORDING& Processor() { return *fProcessor; }
  std::vector<std::string>& Calls() { return fProcessor->fCalls; }
  std::vector<std::string> Messages() { return fProcessor->Channel().Messages(); }
  std::string LogFileName() { return fProcessor->IOHandler().GetLogFileName(); }

  ScratchFolder fDriveC;
  ScratchFolder fLogs;
  std::optional<std::string> fPreviousDriveC;
  kFiscalProcessorHandler fHandler;
  std::unique_ptr<kFiscalProcessorHandler> fRequest;
  std::unique_ptr<kFiscalProcessor_RECORDING> fProcessor;
};

// ----- the common frame

TEST_F(PublicOperationsTest, EveryOperationWritesItsBannerAndReportsTheLogFile) {
  const std::string drawer = "<Drawer><Number>2</Number></Drawer>";
  _int_OPENDR_result opened;
  Processor().Pub_OpenDrawer(With("", drawer, {dt_Drawer}), opened);
  _int_SETVATTABLE_result vat;
  Processor().Pub_SetVatTable(With(""), vat);
  _int_CLOSE_result closed;
  Processor().Pub_Close(With(""), closed);
  _int_GETEJFILES_result files;
  Processor().Pub_GetEJFiles(With(""), files);
  _int_GETLOTTERYRCPTSTATUS_result lottery;
  Processor().Pub_GetLotteryReceiptStatus(With(""), lottery);

  ASSERT_FALSE(LogFileName().empty());
  for (const std::string* logFile : {&opened.LogFileName, &vat.LogFileName, &closed.LogFileName,
                                     &files.LogFileName, &lottery.LogFileName}) {
    EXPECT_EQ(*logFile, LogFileName());
  }
  const std::vector<std::string> messages = Messages();
  const std::vector<std::string> expected = {
      kBannerDashes + " OpenDrawer", kBannerDashes + " SetVATTable", kBannerDashes + " Close",
      kBannerDashes + " GetEJFiles", kBannerDashes + " GetLotteryRcptStatus"};
  ASSERT_GE(messages.size(), expected.size() + 1);
  // After the channel's START line.
  EXPECT_EQ(std::vector<std::string>(messages.end() - 5, messages.end()), expected);
  EXPECT_FALSE(opened.Error);
  EXPECT_EQ(Calls().front(), "OpenDrawer 2");
}

TEST_F(PublicOperationsTest, ChannelErrorStateBecomesErrorAndErrorText) {
  Processor().fFailIn = "OpenDrawer";
  _int_OPENDR_result result;
  result.ErrorText = "stale";
  Processor().Pub_OpenDrawer(With("", "<Drawer><Number>1</Number></Drawer>", {dt_Drawer}), result);
  EXPECT_TRUE(result.Error);
  EXPECT_EQ(result.ErrorText, "Device refused OpenDrawer");
  EXPECT_EQ(result.LogFileName, LogFileName());
}

TEST_F(PublicOperationsTest, SuccessClearsAnEarlierErrorTextOfTheRecord) {
  _int_SETVATTABLE_result result;
  result.Error = true;
  result.ErrorText = "from an earlier call";
  Processor().Pub_SetVatTable(With(""), result);
  EXPECT_FALSE(result.Error);
  EXPECT_EQ(result.ErrorText, "");
}

TEST_F(PublicOperationsTest, FalseWithoutErrorStateIsNoError) {
  // The Boolean results are not looked at: only the channel's error state counts.
  Processor().fReturns = false;
  _int_SETDEPTTABLE_result result;
  Processor().Pub_SetDeptTable(With(""), result);
  EXPECT_FALSE(result.Error);
  EXPECT_EQ(result.ErrorText, "");
}

TEST_F(PublicOperationsTest, RaisedFailureLeavesErrorTrue) {
  _int_SETDATETIME_result result;
  EXPECT_EQ(
      ErrorOf([&] { Processor().Pub_SetDateTime(With("<DateTime>soon</DateTime>"), result); }),
      "DateTime Format invalid: [soon]");
  EXPECT_TRUE(result.Error);
  EXPECT_EQ(result.LogFileName, LogFileName());
  EXPECT_EQ(Messages().back(), kBannerDashes + " SetDateTime");
}

// ----- date and time

TEST_F(PublicOperationsTest, SetDateTimeSetsTheClockAndReturnsTheDevicesTime) {
  _int_SETDATETIME_result result;
  Processor().Pub_SetDateTime(With("<datetime>2024-02-29T23:59:58</datetime>"), result);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"SetDateTime 2024-02-29T23:59:58", "GetDateTime"}));
  EXPECT_EQ(base::DateTimeToXmlText(false, result.DateTime), "2024-02-29T23:59:58");
  EXPECT_FALSE(result.Error);
}

TEST_F(PublicOperationsTest, SetDateTimeWithoutOrWithBadParameterFails) {
  _int_SETDATETIME_result result;
  EXPECT_EQ(ErrorOf([&] { Processor().Pub_SetDateTime(With(""), result); }),
            "DateTime Format invalid: []");
  EXPECT_EQ(ErrorOf([&] {
              Processor().Pub_SetDateTime(With("<DateTime>2023-13-01T00:00:00</DateTime>"), result);
            }),
            "DateTime Format invalid: [2023-13-01T00:00:00]");
  EXPECT_EQ(ErrorOf([&] {
              Processor().Pub_SetDateTime(With("<DateTime>09.08.2023 10:00</DateTime>"), result);
            }),
            "DateTime Format invalid: [09.08.2023 10:00]");
  EXPECT_TRUE(Calls().empty());
}

TEST_F(PublicOperationsTest, DateAtOrBeforeTheZeroDayIsNotSetButTheTimeIsReturned) {
  for (const char* text : {"1899-12-30T00:00:00", "1899-12-29T12:00:00", "1850-01-01T08:00:00"}) {
    Calls().clear();
    _int_SETDATETIME_result result;
    Processor().Pub_SetDateTime(With(std::string("<DateTime>") + text + "</DateTime>"), result);
    EXPECT_EQ(Calls(), std::vector<std::string>{"GetDateTime"}) << text;
    EXPECT_EQ(base::DateTimeToXmlText(false, result.DateTime), "2023-08-09T12:00:00") << text;
  }
  Calls().clear();
  _int_SETDATETIME_result result;
  Processor().Pub_SetDateTime(With("<DateTime>1899-12-30T00:00:01</DateTime>"), result);
  EXPECT_EQ(Calls().front(), "SetDateTime 1899-12-30T00:00:01");
}

TEST_F(PublicOperationsTest, SetDateTimeReturnsTheTimeAlsoWhenTheDeviceRefused) {
  Processor().fFailIn = "SetDateTime";
  _int_SETDATETIME_result result;
  Processor().Pub_SetDateTime(With("<DateTime>2030-01-01T10:00:00</DateTime>"), result);
  EXPECT_TRUE(result.Error);
  EXPECT_EQ(result.ErrorText, "Device refused SetDateTime");
  EXPECT_EQ(Calls().back(), "GetDateTime");
  EXPECT_EQ(base::DateTimeToXmlText(false, result.DateTime), "2030-01-01T10:00:00");
}

// ----- tables

const char* const kDeptTableXml =
    "<DeptTable>"
    "<Dept><Code>D1</Code><EACode>E1</EACode><EADescription>Bakery</EADescription></Dept>"
    "<Dept><Code>D2</Code><EACode>E2</EACode></Dept>"
    "<Dept><Code>D3</Code><EACode>E1</EACode></Dept>"
    "</DeptTable>";

TEST_F(PublicOperationsTest, SetDeptTableSendsActivitiesThenDepartments) {
  _int_SETDEPTTABLE_result result;
  Processor().Pub_SetDeptTable(With("", kDeptTableXml, {dt_DeptTable}), result);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"SetEATable E1 E2", "SetDeptTable D1 D2 D3"}));
  EXPECT_FALSE(result.Error);
  EXPECT_EQ(Messages().back(), kBannerDashes + " SetDeptTable");
}

TEST_F(PublicOperationsTest, SetDeptTableStillSendsDepartmentsAfterRefusedActivities) {
  Processor().fFailIn = "SetEATable";
  _int_SETDEPTTABLE_result result;
  Processor().Pub_SetDeptTable(With("", kDeptTableXml, {dt_DeptTable}), result);
  EXPECT_EQ(Calls().size(), 2u);
  EXPECT_TRUE(result.Error);
  EXPECT_EQ(result.ErrorText, "Device refused SetEATable");
}

TEST_F(PublicOperationsTest, SetVatTableSendsTheRequestsTable) {
  _int_SETVATTABLE_result result;
  Processor().Pub_SetVatTable(
      With("",
           "<VATTable><V><Code>A</Code><Rate>19</Rate></V><V><Code>Z</Code><Rate>0</Rate></V>"
           "</VATTable>",
           {dt_VatTable}),
      result);
  EXPECT_EQ(Calls(), std::vector<std::string>{"SetVatTable A Z"});
  EXPECT_FALSE(result.Error);
}

TEST_F(PublicOperationsTest, GetVatTableGivesOneEntryPerDeviceRateInOrder) {
  _int_GETVATTABLE_result result;
  result.VATTable.push_back(_int_Vat{9, "old", "left over", base::Currency()});
  Processor().Pub_GetVatTable(With(""), result);
  ASSERT_EQ(result.VATTable.size(), 2u);
  EXPECT_EQ(result.VATTable[0].Index, 1);
  EXPECT_EQ(result.VATTable[0].Code, "A");
  EXPECT_EQ(result.VATTable[0].Description, "Standard");
  EXPECT_EQ(base::CurrencyToXmlText(result.VATTable[0].Rate), "19");
  EXPECT_EQ(result.VATTable[1].Index, 2);
  EXPECT_EQ(result.VATTable[1].Code, "B");
  EXPECT_EQ(base::CurrencyToXmlText(result.VATTable[1].Rate), "5.5");
  EXPECT_FALSE(result.Error);
  EXPECT_EQ(Messages().back(), kBannerDashes + " GetVATTable");
}

TEST_F(PublicOperationsTest, GetVatTableWithDeviceErrorLeavesTheTableEmpty) {
  Processor().fFailIn = "GetVatTable";
  _int_GETVATTABLE_result result;
  result.VATTable.push_back(_int_Vat{9, "old", "left over", base::Currency()});
  Processor().Pub_GetVatTable(With(""), result);
  EXPECT_TRUE(result.Error);
  EXPECT_EQ(result.ErrorText, "Device refused GetVatTable");
  EXPECT_TRUE(result.VATTable.empty());
}

TEST_F(PublicOperationsTest, GetDeptTableJoinsDepartmentsWithTheirActivities) {
  _int_GETDEPTTABLE_result result;
  Processor().Pub_GetDeptTable(With(""), result);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"GetDeptTable", "GetEATable"}));
  EXPECT_FALSE(result.Error);
  ASSERT_EQ(result.DeptTable.size(), 4u);

  const _int_Dept& bread = result.DeptTable[0];
  EXPECT_EQ(bread.Index, 1);
  EXPECT_EQ(bread.Code, "D1");
  EXPECT_EQ(bread.Description, "Bread");
  EXPECT_EQ(bread.VatCode, "A");
  EXPECT_EQ(bread.SalesType, "Product");
  EXPECT_EQ(bread.EACode, "E1");
  EXPECT_EQ(bread.EADescription, "Bakery");
  EXPECT_EQ(bread.EAVATMode, "0");

  const _int_Dept& repairs = result.DeptTable[1];
  EXPECT_EQ(repairs.SalesType, "Service");
  EXPECT_EQ(repairs.EACode, "E2");
  EXPECT_EQ(repairs.EADescription, "Services");
  EXPECT_EQ(repairs.EAVATMode, "1");

  // Without an activity code the three activity fields stay empty.
  const _int_Dept& stamps = result.DeptTable[2];
  EXPECT_EQ(stamps.Code, "D3");
  EXPECT_EQ(stamps.EACode, "");
  EXPECT_EQ(stamps.EADescription, "");
  EXPECT_EQ(stamps.EAVATMode, "");
}

TEST_F(PublicOperationsTest, GetDeptTableKeepsADepartmentWhoseActivityIsUnknown) {
  _int_GETDEPTTABLE_result result;
  Processor().Pub_GetDeptTable(With(""), result);
  ASSERT_EQ(result.DeptTable.size(), 4u);
  const _int_Dept& lottery = result.DeptTable[3];
  EXPECT_EQ(lottery.Code, "D4");
  EXPECT_EQ(lottery.SalesType, "Service");
  EXPECT_EQ(lottery.EACode, "E9");
  EXPECT_EQ(lottery.EADescription, "");
  EXPECT_EQ(lottery.EAVATMode, "");
  EXPECT_FALSE(result.Error);
  EXPECT_EQ(Messages().back(), "GetDeptTable:Economic activity E9 of department D4 not found");
}

TEST_F(PublicOperationsTest, GetDeptTableWithDeviceErrorLeavesTheTableEmpty) {
  for (const char* failing : {"GetDeptTable", "GetEATable"}) {
    Calls().clear();
    Processor().IOHandler().ResetCustomError();
    Processor().fFailIn = failing;
    _int_GETDEPTTABLE_result result;
    Processor().Pub_GetDeptTable(With(""), result);
    EXPECT_TRUE(result.Error) << failing;
    EXPECT_EQ(result.ErrorText, std::string("Device refused ") + failing);
    EXPECT_TRUE(result.DeptTable.empty()) << failing;
    EXPECT_EQ(Calls().size(), 2u) << failing;  // both tables are asked for
  }
}

// ----- journal

std::string EJReportXml(const std::string& aType) {
  return "<EJReport><ReportType>" + aType +
         "</ReportType><ReportDestination>Memory</ReportDestination>"
         "<StartDate>2023-08-01T00:00:00</StartDate><EndDate>2023-08-31T23:59:59</EndDate>"
         "<StartNumber>5</StartNumber><EndNumber>9</EndNumber></EJReport>";
}

TEST_F(PublicOperationsTest, EJReportRunsTheReportOfTheRequestedType) {
  struct Case {
    const char* type;
    std::string call;
  };
  const std::string period = " 1 2023-08-01T00:00:00 2023-08-31T23:59:59";
  const std::vector<Case> cases = {
      {"ZReport", "EJReportZReports" + period},
      {"FiscalReceipt", "EJReportFiscalReceipts" + period + " 5-9"},
      {"NonFiscalReceipt", "EJReportNonFiscalReceipts" + period + " 5-9"},
      {"CreditNote", "EJReportCreditNotes" + period + " 5-9"},
      {"Invoice", "EJReportInvoices" + period + " 5-9"}};
  for (const Case& test : cases) {
    Calls().clear();
    _int_EJREPORT_result result;
    Processor().Pub_EJReport(With("", EJReportXml(test.type), {dt_EJReport}), result);
    EXPECT_EQ(Calls(), std::vector<std::string>{test.call}) << test.type;
    EXPECT_EQ(result.Text, test.call.substr(0, test.call.find(' ')) + " text");
    EXPECT_FALSE(result.Error);
    EXPECT_EQ(result.LogFileName, LogFileName());
  }
  EXPECT_EQ(Messages().back(), kBannerDashes + " EJReport");
}

TEST_F(PublicOperationsTest, EJReportRefusedByTheDeviceReportsTheError) {
  Processor().fFailIn = "EJReportInvoices";
  _int_EJREPORT_result result;
  Processor().Pub_EJReport(With("", EJReportXml("Invoice"), {dt_EJReport}), result);
  EXPECT_TRUE(result.Error);
  EXPECT_EQ(result.ErrorText, "Device refused EJReportInvoices");
}

const char* const kEJRequestXml =
    "<EJRequest><RequestType>XML</RequestType><StartDate>2023-08-01T00:00:00</StartDate>"
    "<EndDate>2023-08-02T00:00:00</EndDate><OutputDir>C:\\Export</OutputDir></EJRequest>";

TEST_F(PublicOperationsTest, GetEJFilesGivesTheDevicesCountOnSuccess) {
  Processor().fDeviceFilesCount = 12;
  _int_GETEJFILES_result result;
  Processor().Pub_GetEJFiles(With("", kEJRequestXml, {dt_EJFilesRequest}), result);
  EXPECT_EQ(Calls(), std::vector<std::string>{
                         "GetEJFiles 0 2023-08-01T00:00:00 2023-08-02T00:00:00 C:\\Export"});
  EXPECT_FALSE(result.Error);
  EXPECT_EQ(result.FilesCount, 12);
}

TEST_F(PublicOperationsTest, GetEJFilesWithDeviceErrorKeepsTheRecordsCount) {
  Processor().fDeviceFilesCount = 12;
  Processor().fFailIn = "GetEJFiles";
  _int_GETEJFILES_result result;
  result.FilesCount = -1;
  Processor().Pub_GetEJFiles(With("", kEJRequestXml, {dt_EJFilesRequest}), result);
  EXPECT_TRUE(result.Error);
  EXPECT_EQ(result.ErrorText, "Device refused GetEJFiles");
  EXPECT_EQ(result.FilesCount, -1);
}

// ----- lottery receipts

const char* const kReferenceXml =
    "<ReceiptReference><ReceiptType>Sale</ReceiptType><ReceiptNumber>0042</ReceiptNumber>"
    "</ReceiptReference>";

TEST_F(PublicOperationsTest, LotteryStatusOfAConnectedDeviceSkipsConnect) {
  Processor().fDeviceLottery = {true, "200", "Accepted", "REF-1"};
  _int_GETLOTTERYRCPTSTATUS_result result;
  Processor().Pub_GetLotteryReceiptStatus(With("", kReferenceXml, {dt_ReceiptReference}), result);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"IsConnected", "GetLotteryReceiptStatus 0042"}));
  EXPECT_FALSE(result.Error);
  EXPECT_TRUE(result.CorrectlySent);
  EXPECT_EQ(result.StatusCode, "200");
  EXPECT_EQ(result.StatusDescription, "Accepted");
  EXPECT_EQ(result.ReferenceId, "REF-1");
}

TEST_F(PublicOperationsTest, LotteryStatusConnectsADisconnectedDeviceFirst) {
  Processor().fIsConnected = false;
  _int_GETLOTTERYRCPTSTATUS_result result;
  Processor().Pub_GetLotteryReceiptStatus(With("", kReferenceXml, {dt_ReceiptReference}), result);
  EXPECT_EQ(Calls(),
            (std::vector<std::string>{"IsConnected", "Connect", "GetLotteryReceiptStatus 0042"}));
}

TEST_F(PublicOperationsTest, LotteryStatusIsNotAskedWhenConnectFails) {
  Processor().fIsConnected = false;
  Processor().fConnectSucceeds = false;
  Processor().fFailIn = "Connect";
  Processor().fDeviceLottery = {true, "200", "Accepted", "REF-1"};
  _int_GETLOTTERYRCPTSTATUS_result result;
  Processor().Pub_GetLotteryReceiptStatus(With("", kReferenceXml, {dt_ReceiptReference}), result);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"IsConnected", "Connect"}));
  EXPECT_TRUE(result.Error);
  EXPECT_EQ(result.ErrorText, "Device refused Connect");
  EXPECT_FALSE(result.CorrectlySent);
  EXPECT_EQ(result.StatusCode, "");
  EXPECT_EQ(result.ReferenceId, "");
}

// ----- the signing processor's answers, imitated: its journal-files and lottery operations
// return False without touching the error state.

TEST_F(PublicOperationsTest, SigningProcessorAnswersAreNoErrorsWithNothingFound) {
  Processor().fReturns = false;
  Processor().fDeviceFilesCount = 0;
  _int_GETEJFILES_result files;
  files.FilesCount = 5;
  Processor().Pub_GetEJFiles(With("", kEJRequestXml, {dt_EJFilesRequest}), files);
  EXPECT_FALSE(files.Error);
  EXPECT_EQ(files.ErrorText, "");
  EXPECT_EQ(files.FilesCount, 0);

  _int_GETLOTTERYRCPTSTATUS_result lottery;
  lottery.StatusCode = "stale";
  Processor().Pub_GetLotteryReceiptStatus(With("", kReferenceXml, {dt_ReceiptReference}), lottery);
  EXPECT_FALSE(lottery.Error);
  EXPECT_FALSE(lottery.CorrectlySent);
  EXPECT_EQ(lottery.StatusCode, "");
  EXPECT_EQ(lottery.ReferenceId, "");
}

TEST_F(PublicOperationsTest, SigningProcessorFalseWithAnErrorStateIsAnError) {
  Processor().fReturns = false;
  Processor().IOHandler().SetCustomError(3, "Box not answering");
  _int_GETEJFILES_result files;
  Processor().Pub_GetEJFiles(With("", kEJRequestXml, {dt_EJFilesRequest}), files);
  EXPECT_TRUE(files.Error);
  EXPECT_EQ(files.ErrorText, "Box not answering");
  EXPECT_EQ(files.FilesCount, 0);
}

// ----- drawer and channel

TEST_F(PublicOperationsTest, OpenDrawerOpensTheRequestedDrawer) {
  _int_OPENDR_result result;
  Processor().Pub_OpenDrawer(With("", "<Drawer><Number>3</Number></Drawer>", {dt_Drawer}), result);
  EXPECT_EQ(Calls(), std::vector<std::string>{"OpenDrawer 3"});
  EXPECT_FALSE(result.Error);
}

TEST_F(PublicOperationsTest, CloseDisconnectsTheLogChannel) {
  _int_CLOSE_result result;
  Processor().Pub_Close(With(""), result);
  EXPECT_EQ(Processor().Channel().fDisconnects, 1);
  EXPECT_FALSE(Processor().IOHandler().Connected());
  EXPECT_TRUE(Calls().empty());
  EXPECT_FALSE(result.Error);
  EXPECT_EQ(result.LogFileName, LogFileName());
}

TEST(PublicOperationsOnTheProcessorsOwnChannel, CloseLeavesTheUnconnectedTcpChannelClosed) {
  ScratchFolder logs;
  kFiscalProcessorHandler handler;
  handler.Deserialize(Request(""), {});
  // A processor on the channel its request gives: TCP to this machine, never connected.
  class kFiscalProcessor_TCP : public kFiscalProcessor_RECORDING {
   public:
    kFiscalProcessor_TCP(kFiscalProcessorHandler& aHandler, const std::string& aFolder)
        : kFiscalProcessor_RECORDING(aHandler, aFolder) {
      fIOHandler = aHandler.CreateIOHandler(aFolder);
    }
  };
  kFiscalProcessor_TCP processor(handler, logs.Path());
  ASSERT_EQ(processor.IOHandler().ClassName(), "kIOHandler_TCP");
  _int_CLOSE_result result;
  processor.Pub_Close(handler, result);
  EXPECT_FALSE(result.Error);
  EXPECT_FALSE(processor.IOHandler().Connected());
  EXPECT_EQ(result.LogFileName, processor.IOHandler().GetLogFileName());
  EXPECT_NE(result.LogFileName.find("QVFP_PUBOPS_10_PUB_"), std::string::npos)
      << result.LogFileName;
}

TEST(DepartmentSalesType, TextsOfTheResult) {
  EXPECT_EQ(DepartmentSalesTypeText(documents::st_Product), "Product");
  EXPECT_EQ(DepartmentSalesTypeText(documents::st_Service), "Service");
}

}  // namespace
}  // namespace qv::framework
