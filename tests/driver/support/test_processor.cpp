#include "driver/support/test_processor.h"

#include <new>
#include <stdexcept>
#include <string>

#include "base/date_time.h"
#include "driver/processor_registry.h"
#include "framework/io_handler.h"
#include "framework/request_context.h"
#include "platform/error.h"

namespace qv::driver::testing {

using base::Currency;
using framework::kFiscalProcessorHandler;

namespace {

std::string FailSwitch(const kFiscalProcessorHandler& aHandler) {
  return aHandler.GetParameter("TestFail");
}

base::DateTime TestDateTime() { return base::EncodeDateTime({2023, 8, 9, 9, 39, 19, 0}); }

}  // namespace

framework::qvFiscalCounters TestCounters() {
  framework::qvDayFigures figures;
  figures.CurrentReceiptNo = 17;
  figures.CurrentReportNo = 4;
  figures.DailyTotal = Currency::FromRaw(123456);           // 12.3456
  figures.DailySales = Currency::FromRaw(990000);           // not written
  figures.DailyRefunds = Currency::FromRaw(-70000);         // -7
  figures.DailyVoids = Currency::FromRaw(0);                // 0
  figures.DailyDiscounts = Currency::FromRaw(5000);         // 0.5
  figures.GrandTotalTotal = Currency::FromRaw(12345000);    // 1234.5
  figures.GrandTotalSales = Currency::FromRaw(880000);      // not written
  figures.GrandTotalRefunds = Currency::FromRaw(-100);      // -0.01
  figures.GrandTotalVoids = Currency::FromRaw(30000);       // 3
  figures.GrandTotalDiscounts = Currency::FromRaw(770000);  // not written
  return {.Figures = figures, .ReportDateTime = TestDateTime(), .Text = "Z line 1\nZ line 2"};
}

kFiscalProcessor_TEST::kFiscalProcessor_TEST(kFiscalProcessorHandler& aHandler)
    : kFiscalProcessor(aHandler) {
  if (FailSwitch(aHandler) == "construct") throw Error("Test processor cannot be built");
}

bool kFiscalProcessor_TEST::Steer(kFiscalProcessorHandler& aHandler) {
  const std::string fail = FailSwitch(aHandler);
  if (fail == "false") return false;
  if (fail == "message") {
    IOHandler().SetCustomError(7, "Test device refused");
    return false;
  }
  if (fail == "raise") throw Error("Test operation failed");
  if (fail == "badalloc") throw std::bad_alloc();
  if (fail == "runtime") throw std::runtime_error("Runtime failure");
  if (fail == "int") throw 42;
  return true;
}

bool kFiscalProcessor_TEST::Open(kFiscalProcessorHandler& aHandler) {
  ++fOpenCount;
  kFiscalProcessor::Open(aHandler);
  if (FailSwitch(aHandler) == "open") throw Error("Test open failed");
  return Steer(aHandler);
}

bool kFiscalProcessor_TEST::ProcessReceipt(kFiscalProcessorHandler& aHandler) {
  if (!Steer(aHandler)) return false;
  fXmlOutput = aHandler.XmlString() + "<Updated/>";
  return true;
}

bool kFiscalProcessor_TEST::Report(kFiscalProcessorHandler& aHandler) {
  if (!Steer(aHandler)) return false;
  fCounters = TestCounters();
  return true;
}

bool kFiscalProcessor_TEST::ProcessZReport(kFiscalProcessorHandler& aHandler) {
  return Report(aHandler);
}

bool kFiscalProcessor_TEST::ProcessXReport(kFiscalProcessorHandler& aHandler) {
  return Report(aHandler);
}

bool kFiscalProcessor_TEST::ProcessGetStatus(kFiscalProcessorHandler& aHandler) {
  if (!Steer(aHandler)) return false;
  return GetStatus(fStatus.DayOpened, fStatus.DateTime, fStatus.TrainingMode,
                   fStatus.FirmwareVersion, fStatus.SerialNumber, fStatus.FiscalMode);
}

bool kFiscalProcessor_TEST::GetStatus(bool& aDayOpened, base::DateTime& aDateTime,
                                      bool& aTrainingMode, std::string& aFirmwareVersion,
                                      std::string& aSerialNumber, std::string& aFiscalMode) {
  aDayOpened = true;
  aDateTime = TestDateTime();
  aTrainingMode = false;
  aFirmwareVersion = "1.06";
  aSerialNumber = "TILL-" + std::to_string(Handle());
  aFiscalMode = "MF";
  return true;
}

bool kFiscalProcessor_TEST::GetDateTime(base::DateTime& aDateTime) {
  aDateTime = TestDateTime();
  return true;
}

void RegisterTestProcessor() {
  RegisterProcessorClass(kTestDriverName, framework::ProcessorClassOf<kFiscalProcessor_TEST>());
}

}  // namespace qv::driver::testing
