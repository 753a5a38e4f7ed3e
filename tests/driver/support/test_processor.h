// A small processor class for the driver's tests, registered as "QVFP_TEST_10".
//
// It does what the request's parameters tell it, so that each test can steer one path of
// the wrappers:
//   TestFail = "construct" (constructor raises "Test processor cannot be built"),
//              "open" (Open raises "Test open failed" after the base Open),
//              "false" (the operation returns False without a message),
//              "message" (False with the channel's error "Test device refused"),
//              "raise" (raises "Test operation failed"), "badalloc" (std::bad_alloc),
//              "runtime" (std::runtime_error "Runtime failure"), "int" (throws an int).
// A Z- or X-report gives fixed figures (see kTestCounters); the status gives DayOpened
// True, 2023-08-09T09:39:19, TrainingMode False, "1.06", the till serial and "MF"; a receipt
// gives the request text with "<Updated/>" appended as its output; the status serial is
// "TILL-" + the handle.
#pragma once

#include <string>

#include "framework/fiscal_processor.h"

namespace qv::driver::testing {

inline constexpr const char* kTestDriverName = "QVFP_TEST_10";

class kFiscalProcessor_TEST : public framework::kFiscalProcessor {
 public:
  explicit kFiscalProcessor_TEST(framework::kFiscalProcessorHandler& aHandler);

  bool Init() override { return true; }
  bool Open(framework::kFiscalProcessorHandler& aHandler) override;
  bool ProcessReceipt(framework::kFiscalProcessorHandler& aHandler) override;
  bool ProcessZReport(framework::kFiscalProcessorHandler& aHandler) override;
  bool ProcessXReport(framework::kFiscalProcessorHandler& aHandler) override;
  bool ProcessGetStatus(framework::kFiscalProcessorHandler& aHandler) override;

  int OpenCount() const { return fOpenCount; }

 protected:
  bool Connect() override { return true; }
  bool GetStatus(bool& aDayOpened, base::DateTime& aDateTime, bool& aTrainingMode,
                 std::string& aFirmwareVersion, std::string& aSerialNumber,
                 std::string& aFiscalMode) override;
  bool GetDateTime(base::DateTime& aDateTime) override;
  bool SetDateTime(base::DateTime) override { return true; }
  bool SetTrainingMode() override { return true; }
  bool GetVatTable() override { return true; }
  bool SetVatTable(documents::kVatTable&) override { return true; }
  bool GetDeptTable() override { return true; }
  bool SetEATable(documents::kEconomicActivityTable&) override { return true; }
  bool GetEATable() override { return true; }
  bool SetDeptTable(documents::kDeptTable&) override { return true; }
  bool OpenDrawer(int32_t) override { return true; }
  bool EJReportZReports(documents::qvEJReportDestination, base::DateTime, base::DateTime,
                        framework::_int_EJREPORT_result&) override {
    return true;
  }
  bool EJReportFiscalReceipts(documents::qvEJReportDestination, base::DateTime, base::DateTime,
                              int32_t, int32_t, framework::_int_EJREPORT_result&) override {
    return true;
  }
  bool EJReportNonFiscalReceipts(documents::qvEJReportDestination, base::DateTime, base::DateTime,
                                 int32_t, int32_t, framework::_int_EJREPORT_result&) override {
    return true;
  }
  bool EJReportCreditNotes(documents::qvEJReportDestination, base::DateTime, base::DateTime,
                           int32_t, int32_t, framework::_int_EJREPORT_result&) override {
    return true;
  }
  bool EJReportInvoices(documents::qvEJReportDestination, base::DateTime, base::DateTime, int32_t,
                        int32_t, framework::_int_EJREPORT_result&) override {
    return true;
  }
  bool GetEJFiles(documents::qvEJFilesRequestType, base::DateTime, base::DateTime,
                  const std::string&, int32_t& aFilesCount) override {
    aFilesCount = 0;
    return false;
  }
  bool IsConnected() override { return true; }
  bool IsDayOpened() override { return true; }
  bool GetLotteryReceiptStatus(documents::kReceiptReference&) override { return false; }
  bool ReservedCheck() override { return true; }

 private:
  // Applies the request's TestFail switch; returns False for the False paths.
  bool Steer(framework::kFiscalProcessorHandler& aHandler);
  bool Report(framework::kFiscalProcessorHandler& aHandler);

  int fOpenCount = 0;
};

// The figures every test report gives.
framework::qvFiscalCounters TestCounters();

// Registers kFiscalProcessor_TEST under kTestDriverName.
void RegisterTestProcessor();

}  // namespace qv::driver::testing
