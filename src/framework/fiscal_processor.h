// kFiscalProcessor: the abstract fiscal processor of one till, and the result records it
// fills for the export wrappers.
//
// A processor is constructed by OPEN through its registered class (kFiscalProcessorClass)
// with the request context of that call, given its handle, and lives until the library is
// unloaded (it is never destroyed while the library is loaded). It owns:
//   - its log and error channel (kIOHandler, never connected), whose log file is
//     "<host folder>\LogFiles\FiscalPrinter\<driver>_<LogId>_<yyyymmdd>.log";
//   - the device tables (VAT, departments, economic activities);
//   - its folder tree "C:\QV_FPR_DB\<till serial>\" with Queue, Errors, Processed and
//     Journal, and the names of the two counters files in its root (set by Open).
//
// A concrete processor derives from this class, overrides every pure virtual operation and
// registers a factory for its class under its driver name (see driver/processor_registry.h).
//
// Threading: one host call at a time; nothing here takes a lock. The log channel's writer has
// a thread of its own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/currency.h"
#include "base/date_time.h"
#include "documents/codes.h"
#include "framework/day_figures.h"

namespace qv::documents {
class kVatTable;
class kDeptTable;
class kEconomicActivityTable;
class kReceiptReference;
}  // namespace qv::documents

namespace qv::framework {

class kIOHandler;
class kFiscalProcessorHandler;
// Result records of the public device operations (framework/public_operations.h).
struct _int_SETDATETIME_result;
struct _int_SETDEPTTABLE_result;
struct _int_SETVATTABLE_result;
struct _int_CLOSE_result;
struct _int_OPENDR_result;
struct _int_GETVATTABLE_result;
struct _int_GETDEPTTABLE_result;
struct _int_EJREPORT_result;
struct _int_GETEJFILES_result;
struct _int_GETLOTTERYRCPTSTATUS_result;

// The last Z- or X-report: the figures of the day it shows, its date and its text; read by
// the report wrappers of the exports.
struct qvFiscalCounters {
  qvDayFigures Figures;
  base::DateTime ReportDateTime = 0;
  std::string Text;
};

// Result of the last status operation.
struct qvProcessorStatus {
  bool DayOpened = false;
  base::DateTime DateTime = 0;
  bool TrainingMode = false;
  std::string FirmwareVersion;
  std::string SerialNumber;
  std::string FiscalMode;
};

// Result of the last lottery-receipt query.
struct qvLotteryReceiptStatus {
  bool CorrectlySent = false;
  std::string StatusCode;
  std::string StatusDescription;
  std::string ReferenceId;
};

class kFiscalProcessor {
 public:
  // Creates the device tables, then the log channel that the request context's device
  // configuration builds for "<host folder>\LogFiles\FiscalPrinter" (the TCP channel, never
  // connected), and gives it GetDriverVersion as its version text. A channel that cannot be
  // created fails the construction with its message.
  explicit kFiscalProcessor(kFiscalProcessorHandler& aHandler);
  // Destroys the device tables, then the log channel (which writes its STOP line).
  virtual ~kFiscalProcessor();
  kFiscalProcessor(const kFiscalProcessor&) = delete;
  kFiscalProcessor& operator=(const kFiscalProcessor&) = delete;

  int32_t Handle() const { return fHandle; }
  void SetHandle(int32_t aHandle) { fHandle = aHandle; }
  // Whether the last Open of this processor succeeded; False from construction until then.
  bool Opened() const { return fOpened; }
  void SetOpened(bool aValue) { fOpened = aValue; }

  // A processor whose OPEN failed stays registered under its handle for the rest of the
  // process, but between calls it holds no thread and no open file: Suspend gives back its
  // log thread (a concrete processor also gives back what it holds of its devices), Resume
  // takes them again before a call uses it. Suspend never throws; Resume fails with the
  // message of what cannot be taken again.
  virtual void Suspend() noexcept;
  virtual void Resume();
  const std::string& XmlOutput() const { return fXmlOutput; }
  const qvProcessorStatus& Status() const { return fStatus; }
  kIOHandler& IOHandler() const { return *fIOHandler; }
  const qvFiscalCounters& Counters() const { return fCounters; }
  const qvLotteryReceiptStatus& LotteryReceiptStatus() const { return fLotteryReceiptStatus; }
  documents::kVatTable& VatTable() const { return *fVatTable; }
  documents::kDeptTable& DeptTable() const { return *fDeptTable; }
  documents::kEconomicActivityTable& EATable() const { return *fEATable; }

  const std::string& DirErrors() const { return fDirErrors; }
  const std::string& DirJournal() const { return fDirJournal; }
  const std::string& DirProcessed() const { return fDirProcessed; }
  const std::string& DirQueue() const { return fDirQueue; }
  const std::string& CountersActualFileName() const { return fCountersActualFileName; }
  const std::string& CountersPreviousFileName() const { return fCountersPreviousFileName; }

  // "Version " + the library's version + " - " + its release date in the machine's short
  // date format; both parts empty while the version information is not loaded.
  static std::string GetDriverVersion();

  // Whether aFileName exists. When it does, aList is cleared and receives the lines that
  // follow the first line equal to "[aSectionName]" (letter case ignored, nothing trimmed)
  // up to the next line beginning with "[" or the end of the file.
  bool LoadIniSection(const std::string& aFileName, const std::string& aSectionName,
                      std::vector<std::string>& aList);

  // The public device operations (framework/public_operations.cpp). Each writes the banner
  // line (sixty "-", a blank and the operation's name) to the log, runs its device
  // operations with the request's documents and fills aResult: LogFileName is the log
  // channel's file; Error and ErrorText come from the channel's error state after the work
  // (the Boolean results of the device operations are not examined), and the operation's
  // own results are filled only when that state is clear. A raised failure leaves Error True.
  //
  // SetDateTime: the request parameter "DateTime" (fails with "DateTime Format invalid:
  // [<text>]" when missing or malformed) is set when it lies after 1899-12-30 00:00; the
  // device's date-time is returned in every case.
  void Pub_SetDateTime(kFiscalProcessorHandler& aHandler, _int_SETDATETIME_result& aResult);
  // Economic activities, then departments of the request's "DeptTable".
  void Pub_SetDeptTable(kFiscalProcessorHandler& aHandler, _int_SETDEPTTABLE_result& aResult);
  void Pub_SetVatTable(kFiscalProcessorHandler& aHandler, _int_SETVATTABLE_result& aResult);
  // Disconnects the log channel.
  void Pub_Close(kFiscalProcessorHandler& aHandler, _int_CLOSE_result& aResult);
  void Pub_GetVatTable(kFiscalProcessorHandler& aHandler, _int_GETVATTABLE_result& aResult);
  // The journal report of the request's "EJReport" type; the device operation fills Text.
  void Pub_EJReport(kFiscalProcessorHandler& aHandler, _int_EJREPORT_result& aResult);
  // Departments with the description and VAT mode of their economic activity; a department
  // whose activity code is not in EATable keeps EACode with empty EADescription and
  // EAVATMode (a line in the log says so).
  void Pub_GetDeptTable(kFiscalProcessorHandler& aHandler, _int_GETDEPTTABLE_result& aResult);
  void Pub_GetEJFiles(kFiscalProcessorHandler& aHandler, _int_GETEJFILES_result& aResult);
  // Connects first when the device is not connected.
  void Pub_GetLotteryReceiptStatus(kFiscalProcessorHandler& aHandler,
                                   _int_GETLOTTERYRCPTSTATUS_result& aResult);
  void Pub_OpenDrawer(kFiscalProcessorHandler& aHandler, _int_OPENDR_result& aResult);

 protected:
  // The device operations, in their fixed order. The public operations of the processor
  // call them; every concrete processor overrides all of them. True means done.
  virtual bool Connect() = 0;
  virtual bool GetStatus(bool& aDayOpened, base::DateTime& aDateTime, bool& aTrainingMode,
                         std::string& aFirmwareVersion, std::string& aSerialNumber,
                         std::string& aFiscalMode) = 0;
  virtual bool GetDateTime(base::DateTime& aDateTime) = 0;
  virtual bool SetDateTime(base::DateTime aDateTime) = 0;
  virtual bool SetTrainingMode() = 0;
  virtual bool GetVatTable() = 0;
  virtual bool SetVatTable(documents::kVatTable& aVatTable) = 0;
  virtual bool GetDeptTable() = 0;
  virtual bool SetEATable(documents::kEconomicActivityTable& aEATable) = 0;
  virtual bool GetEATable() = 0;
  virtual bool SetDeptTable(documents::kDeptTable& aDeptTable) = 0;
  virtual bool OpenDrawer(int32_t aDrawerNumber) = 0;
  virtual bool EJReportZReports(documents::qvEJReportDestination aDestination,
                                base::DateTime aStartDate, base::DateTime aEndDate,
                                _int_EJREPORT_result& aResult) = 0;
  virtual bool EJReportFiscalReceipts(documents::qvEJReportDestination aDestination,
                                      base::DateTime aStartDate, base::DateTime aEndDate,
                                      int32_t aStartNumber, int32_t aEndNumber,
                                      _int_EJREPORT_result& aResult) = 0;
  virtual bool EJReportNonFiscalReceipts(documents::qvEJReportDestination aDestination,
                                         base::DateTime aStartDate, base::DateTime aEndDate,
                                         int32_t aStartNumber, int32_t aEndNumber,
                                         _int_EJREPORT_result& aResult) = 0;
  virtual bool EJReportCreditNotes(documents::qvEJReportDestination aDestination,
                                   base::DateTime aStartDate, base::DateTime aEndDate,
                                   int32_t aStartNumber, int32_t aEndNumber,
                                   _int_EJREPORT_result& aResult) = 0;
  virtual bool EJReportInvoices(documents::qvEJReportDestination aDestination,
                                base::DateTime aStartDate, base::DateTime aEndDate,
                                int32_t aStartNumber, int32_t aEndNumber,
                                _int_EJREPORT_result& aResult) = 0;
  virtual bool GetEJFiles(documents::qvEJFilesRequestType aRequestType, base::DateTime aStartDate,
                          base::DateTime aEndDate, const std::string& aOutputDir,
                          int32_t& aFilesCount) = 0;
  virtual bool IsConnected() = 0;
  virtual bool IsDayOpened() = 0;
  virtual bool GetLotteryReceiptStatus(documents::kReceiptReference& aReference) = 0;
  virtual bool ReservedCheck() = 0;

 public:
  // The start-up checks of the concrete processor; its Open calls them.
  virtual bool Init() = 0;
  // Sets up the till's folders from the request's till serial: the root
  // "C:\QV_FPR_DB\<TillSerial>" with Queue, Errors, Processed and Journal (created with their
  // parents; a folder that cannot be created is passed over) and the names of the counters
  // files "counters.actual.fprc" and "counters.previous.fprc" in the root. Returns True. A
  // till serial holding characters that no folder name may hold, or "\", "/", ":" or "..",
  // fails with "Invalid characters in path" before anything is changed. A concrete processor
  // calls it first from its own Open.
  virtual bool Open(kFiscalProcessorHandler& aHandler);
  virtual bool ProcessReceipt(kFiscalProcessorHandler& aHandler) = 0;
  virtual bool ProcessZReport(kFiscalProcessorHandler& aHandler) = 0;
  virtual bool ProcessXReport(kFiscalProcessorHandler& aHandler) = 0;
  virtual bool ProcessGetStatus(kFiscalProcessorHandler& aHandler) = 0;

 protected:
  int32_t fHandle = 0;
  bool fOpened = false;
  std::string fXmlOutput;
  qvProcessorStatus fStatus;
  // Device tables: created before the channel, destroyed before it.
  std::unique_ptr<documents::kVatTable> fVatTable;
  std::unique_ptr<documents::kDeptTable> fDeptTable;
  std::unique_ptr<documents::kEconomicActivityTable> fEATable;
  std::unique_ptr<kIOHandler> fIOHandler;
  std::string fDirErrors;
  std::string fDirJournal;
  std::string fDirProcessed;
  std::string fDirQueue;
  std::string fCountersActualFileName;
  std::string fCountersPreviousFileName;
  std::string fSerialNumber;
  qvFiscalCounters fCounters;
  qvLotteryReceiptStatus fLotteryReceiptStatus;
  int32_t fEJFilesCount = 0;
};

// A processor class: constructs an object of a descendant of kFiscalProcessor with the
// request context of the OPEN call. The caller owns the result.
using kFiscalProcessorClass = std::unique_ptr<kFiscalProcessor> (*)(kFiscalProcessorHandler&);

// The class reference of a descendant: ProcessorClassOf<kFiscalProcessor_KAVREN>().
template <typename TProcessor>
kFiscalProcessorClass ProcessorClassOf() {
  return [](kFiscalProcessorHandler& aHandler) -> std::unique_ptr<kFiscalProcessor> {
    return std::make_unique<TProcessor>(aHandler);
  };
}

// The root folder of a till: "C:\QV_FPR_DB\" followed by the till serial. Fails with
// "Invalid characters in path" for a serial that would leave the fiscal database.
std::string TillRootFolder(const std::string& aTillSerial);
// Joins two parts of a path with one "\" unless the first already ends with a delimiter ("\"
// or "/"); fails with
// "Invalid characters in path" for a part holding a character no path may hold.
std::string JoinPath(const std::string& aFirst, const std::string& aSecond);

}  // namespace qv::framework
