// kFiscalProcessor_KAVREN: the signing processor of a till, registered under the driver name
// "QVFP_CYKAVREN_10".
//
// It has no device of its own. For each receipt it advances the till's counters
// (kFiscalProcessorCounters), numbers and dates the receipt, has its text laid out by the
// receipt-printer driver "QVRP_GENERIC_10" and signed by the signing component (kBox),
// appends the signature under "LEGAL RECEIPT" and keeps the receipt as a journal file. A
// receipt that fails after its number was taken is taken back out of the totals and kept as
// an error record; receipts of processes that died are settled (kReceiptLedger). The
// Z-report closes the day in the counters and in the signing component; the X-report shows
// the open day. Table, drawer and journal operations succeed without doing anything.
//
// Constructed by the first OPEN of a till and kept until the library is unloaded. One host
// call at a time; the counters store excludes other processes through its lock file.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "framework/fiscal_processor.h"
#include "kavren/algo_dll.h"
#include "kavren/counters_store.h"
#include "kavren/journal_chain.h"
#include "kavren/receipt_ledger.h"
#include "platform/file_system.h"

namespace pugi {
class xml_node;
}

namespace qv::kavren {

using framework::kFiscalProcessorHandler;

// The outcome of laying out a receipt through the receipt-printer driver.
struct tReceiptText {
  int32_t resultCode = 0;  // 0 = success
  std::string errorText;
  std::string text;
};

class kFiscalProcessor_KAVREN : public framework::kFiscalProcessor {
 public:
  static constexpr const char* kDriverName = "QVFP_CYKAVREN_10";
  static constexpr const char* kPrinterDriverLibrary = "QVRP_GENERIC_10.dll";

  // Builds the processor base (log channel), creates the signing component's Box object and
  // an empty counters store, and keeps the request parameter "ProcessorPort". Fails with the
  // system's text followed by ", ClassID: {27C3D64C-4341-11D7-AAF9-00D0592E132D}" when the
  // Box cannot be created. The till's durable records (counters, lock files, queue records,
  // journal and error files, the journal chain) go through aFileSystem, which outlives the
  // processor.
  explicit kFiscalProcessor_KAVREN(kFiscalProcessorHandler& aHandler,
                                   platform::FileSystem& aFileSystem = platform::RealFileSystem());
  ~kFiscalProcessor_KAVREN() override;

  // Also gives back the signing component's Box object, created anew by Resume (which then
  // fails as the construction does when it cannot be created).
  void Suspend() noexcept override;
  void Resume() override;

  bool Init() override;
  bool Open(kFiscalProcessorHandler& aHandler) override;
  bool ProcessReceipt(kFiscalProcessorHandler& aHandler) override;
  bool ProcessZReport(kFiscalProcessorHandler& aHandler) override;
  bool ProcessXReport(kFiscalProcessorHandler& aHandler) override;
  bool ProcessGetStatus(kFiscalProcessorHandler& aHandler) override;

  // Lays out aReceipt (a Receipt element) through the receipt-printer driver, which is
  // loaded for this call only. Failures become a result code and an error text, except a
  // driver without PRINTFR, which raises "Unable to Find Method PRINTFR. Error: ...".
  tReceiptText BuildReceiptText(const pugi::xml_node& aReceipt);

  const std::string& BoxDirName() const { return fBoxDirName; }
  const std::string& SerialNumber() const { return fSerialNumber; }
  const std::string& ProcessorPort() const { return fProcessorPort; }
  kFiscalProcessorCounters& FPCounters() { return *fFPCounters; }

 protected:
  bool Connect() override;
  bool GetStatus(bool& aDayOpened, base::DateTime& aDateTime, bool& aTrainingMode,
                 std::string& aFirmwareVersion, std::string& aSerialNumber,
                 std::string& aFiscalMode) override;
  bool GetDateTime(base::DateTime& aDateTime) override;
  bool SetDateTime(base::DateTime aDateTime) override;
  bool SetTrainingMode() override;
  bool GetVatTable() override;
  bool SetVatTable(documents::kVatTable& aVatTable) override;
  bool GetDeptTable() override;
  bool SetEATable(documents::kEconomicActivityTable& aEATable) override;
  bool GetEATable() override;
  bool SetDeptTable(documents::kDeptTable& aDeptTable) override;
  bool OpenDrawer(int32_t aDrawerNumber) override;
  bool EJReportZReports(documents::qvEJReportDestination aDestination, base::DateTime aStartDate,
                        base::DateTime aEndDate, framework::_int_EJREPORT_result& aResult) override;
  bool EJReportFiscalReceipts(documents::qvEJReportDestination aDestination,
                              base::DateTime aStartDate, base::DateTime aEndDate,
                              int32_t aStartNumber, int32_t aEndNumber,
                              framework::_int_EJREPORT_result& aResult) override;
  bool EJReportNonFiscalReceipts(documents::qvEJReportDestination aDestination,
                                 base::DateTime aStartDate, base::DateTime aEndDate,
                                 int32_t aStartNumber, int32_t aEndNumber,
                                 framework::_int_EJREPORT_result& aResult) override;
  bool EJReportCreditNotes(documents::qvEJReportDestination aDestination, base::DateTime aStartDate,
                           base::DateTime aEndDate, int32_t aStartNumber, int32_t aEndNumber,
                           framework::_int_EJREPORT_result& aResult) override;
  bool EJReportInvoices(documents::qvEJReportDestination aDestination, base::DateTime aStartDate,
                        base::DateTime aEndDate, int32_t aStartNumber, int32_t aEndNumber,
                        framework::_int_EJREPORT_result& aResult) override;
  bool GetEJFiles(documents::qvEJFilesRequestType aRequestType, base::DateTime aStartDate,
                  base::DateTime aEndDate, const std::string& aOutputDir,
                  int32_t& aFilesCount) override;
  bool IsConnected() override;
  bool IsDayOpened() override;
  bool GetLotteryReceiptStatus(documents::kReceiptReference& aReference) override;
  bool ReservedCheck() override;

 private:
  // The journal reports of this processor have nothing to print.
  bool EJReport(documents::qvEJReportType aReportType);
  void LogInfo(const std::string& aTag, const std::string& aText);
  void LogError(const std::string& aTag, const std::string& aText);
  // The Z-report's work under the counters lock, which is released before it returns: the
  // figures and text, the counters copies, the day closed in the counters and in the
  // signing device. True when the device closed it too.
  bool CloseDay(kFiscalProcessorHandler& aHandler);
  // Copies the store's figures into Counters, dated today at midnight.
  void FillCounters();
  // Copies the counters file to counters.previous.fprc and into today's journal folder as
  // "<ZZZZ>-9999.fprd"; fails when a copy cannot be made.
  void KeepCountersCopies();
  // Name of the most recently created subfolder of the box folder (the signing device's
  // serial number); empty when there is none or the folder is missing.
  bool FindBoxSerialNumber();
  std::string ReportZNumber() const;
  // Records a journal file, error record or Z-report copy (aFile, whose bytes are aContent)
  // in the chain of Z period aZReportNumber; the caller holds the counters lock. A damaged
  // chain is logged as an error and the file recorded all the same. Throws as
  // kJournalChain::Append.
  void ChainJournalFile(int32_t aZReportNumber, const std::string& aFile,
                        std::string_view aContent);
  // Removes the temporary files of interrupted atomic replaces from the till's folders.
  void RemoveReplaceDebris();

  platform::FileSystem& fFileSystem;
  std::unique_ptr<kBox> fBox;
  std::string fProcessorPort;
  std::string fBoxDirName;
  std::unique_ptr<kFiscalProcessorCounters> fFPCounters;
  // The hash chains of the till's journal; made by Open.
  std::unique_ptr<kJournalChain> fJournalChain;
  std::unique_ptr<kReceiptLedger> fLedger;
};

}  // namespace qv::kavren
