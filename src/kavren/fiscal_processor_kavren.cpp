// Construction, OPEN with the start-up checks of the signing component, status and the
// device operations that this processor has no device for.
#include "kavren/fiscal_processor_kavren.h"

#include "base/application.h"
#include "base/utils.h"
#include "framework/io_handler.h"
#include "framework/request_context.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace qv::kavren {

using base::let_error;
using base::let_info;

kFiscalProcessor_KAVREN::kFiscalProcessor_KAVREN(kFiscalProcessorHandler& aHandler,
                                                 platform::FileSystem& aFileSystem)
    : kFiscalProcessor(aHandler),
      fFileSystem(aFileSystem),
      fBox(std::make_unique<kBox>()),
      fProcessorPort(aHandler.GetParameter("ProcessorPort")),
      fFPCounters(std::make_unique<kFiscalProcessorCounters>(aFileSystem)),
      fLedger(std::make_unique<kReceiptLedger>(
          *fFPCounters,
          [this](bool aError, const std::string& aTag, const std::string& aText) {
            if (aError) {
              LogError(aTag, aText);
            } else {
              LogInfo(aTag, aText);
            }
          },
          aFileSystem)) {}

kFiscalProcessor_KAVREN::~kFiscalProcessor_KAVREN() = default;

void kFiscalProcessor_KAVREN::LogInfo(const std::string& aTag, const std::string& aText) {
  IOHandler().WriteLog(let_info, aTag, aText);
}

void kFiscalProcessor_KAVREN::LogError(const std::string& aTag, const std::string& aText) {
  IOHandler().WriteLog(let_error, aTag, aText);
}

void kFiscalProcessor_KAVREN::Suspend() noexcept {
  fBox.reset();
  kFiscalProcessor::Suspend();
}

void kFiscalProcessor_KAVREN::Resume() {
  kFiscalProcessor::Resume();
  if (!fBox) fBox = std::make_unique<kBox>();
}

bool kFiscalProcessor_KAVREN::Open(kFiscalProcessorHandler& aHandler) {
  kFiscalProcessor::Open(aHandler);
  LogInfo("OPEN", "BEGIN");
  fFPCounters->Init(fCountersActualFileName, aHandler.TillSerial());
  fJournalChain = std::make_unique<kJournalChain>(framework::TillRootFolder(aHandler.TillSerial()),
                                                  fFileSystem);
  fLedger->SetFolders(fDirQueue, fDirErrors, fDirProcessed);
  // Every journal file and error record of a receipt joins the chain of its Z period.
  fLedger->SetWritten([this](int32_t aZReportNumber, const std::string& aFile,
                             const std::string& aContent, bool aFound) {
    // A dead process may have died right after the file, before its chain line.
    if (aFound && fJournalChain->Holds(aZReportNumber, aFile, aContent)) return;
    ChainJournalFile(aZReportNumber, aFile, aContent);
  });
  RemoveReplaceDebris();
  try {
    fLedger->SettleAbandonedIfAny();
  } catch (const std::exception& e) {
    // A busy counters lock must not keep the till from opening: the next receipt or report
    // settles under the lock it takes anyway.
    LogError("SettleQueue", e.what());
  }
  Init();
  LogInfo("OPEN", "END");
  return true;
}

void kFiscalProcessor_KAVREN::RemoveReplaceDebris() {
  const std::size_t delimiter = fCountersActualFileName.find_last_of("\\/");
  const std::string tillFolder = fCountersActualFileName.substr(0, delimiter);
  std::vector<std::string> folders{tillFolder, fDirQueue, fDirJournal};
  for (const std::string* root : {&fDirProcessed, &fDirErrors}) {
    folders.push_back(*root);
    for (const platform::SubFolder& day : platform::ListSubFolders(*root)) {
      folders.push_back(framework::JoinPath(*root, day.name));
    }
  }
  for (const std::string& folder : folders) {
    if (int removed = platform::RemoveInterruptedReplaceFiles(folder)) {
      LogInfo("OPEN", "Removed " + std::to_string(removed) +
                          " temporary file(s) of interrupted writes in \"" + folder + "\"");
    }
  }
}

bool kFiscalProcessor_KAVREN::Init() {
  kBox::tInstallation installation = fBox->Installation();
  LogInfo("DLLPath", installation.libraryPath);
  LogInfo("BoxFiles", installation.boxFiles);

  // The box folder is the first ";" field of the box files, up to its first "$".
  std::string firstField = base::TextField(installation.boxFiles, 1, ';', false);
  size_t dollar = firstField.find('$');
  fBoxDirName = dollar == std::string::npos ? std::string() : firstField.substr(0, dollar);
  LogInfo("BoxDirName", fBoxDirName);

  kBox::tAnswer version = fBox->GetVersionInfo(fProcessorPort);
  LogInfo("GetVersionInfo.Result", "[" + std::to_string(version.status) + "] \r\n" + version.text);
  if (version.status != 0) {
    throw Error("Error in GetVersionInfo. Status [" + std::to_string(version.status) +
                "] Try restarting the device");
  }

  // The system check is informative: neither its status nor its failure stops the till.
  try {
    kBox::tAnswer check = fBox->CheckBoxSystem(fProcessorPort);
    LogInfo("CheckBoxSystem.Result", "[" + std::to_string(check.status) + "] " + check.text);
  } catch (const std::exception& e) {
    LogError("Init Exception on CheckBoxSystem", e.what());
  }
  return true;
}

bool kFiscalProcessor_KAVREN::ProcessGetStatus(kFiscalProcessorHandler& aHandler) {
  LogInfo("GETSTATUS", "BEGIN");
  framework::qvProcessorStatus status;
  bool result = GetStatus(status.DayOpened, status.DateTime, status.TrainingMode,
                          status.FirmwareVersion, status.SerialNumber, status.FiscalMode);
  fStatus = status;
  LogInfo("GETSTATUS", "END");
  return result;
}

bool kFiscalProcessor_KAVREN::GetStatus(bool& aDayOpened, base::DateTime& aDateTime,
                                        bool& aTrainingMode, std::string& aFirmwareVersion,
                                        std::string& aSerialNumber, std::string& aFiscalMode) {
  fFPCounters->Refresh();
  aDayOpened = fFPCounters->CurrentReceiptNo() != 0;
  aDateTime = base::NowDateTime();
  aFirmwareVersion = base::ApplicationVersion();
  aTrainingMode = fFPCounters->TrainingMode();
  aFiscalMode = "MF";
  aSerialNumber = fFPCounters->TillSerial();
  IOHandler().Debug(let_info, "FiscalMode=" + aFiscalMode);
  IOHandler().Debug(let_info, "TrainingMode=" + base::BooleanToXmlText(aTrainingMode));
  IOHandler().Debug(let_info, "SerialNumber=" + aSerialNumber);
  return true;
}

bool kFiscalProcessor_KAVREN::Connect() { return true; }

bool kFiscalProcessor_KAVREN::GetDateTime(base::DateTime& aDateTime) {
  aDateTime = base::NowDateTime();
  return true;
}

bool kFiscalProcessor_KAVREN::SetDateTime(base::DateTime) { return true; }

bool kFiscalProcessor_KAVREN::SetTrainingMode() {
  fFPCounters->Refresh();
  fFPCounters->SetTrainingMode(true);
  fFPCounters->Save();
  return true;
}

bool kFiscalProcessor_KAVREN::GetVatTable() { return true; }
bool kFiscalProcessor_KAVREN::SetVatTable(documents::kVatTable&) { return true; }
bool kFiscalProcessor_KAVREN::GetDeptTable() { return true; }
bool kFiscalProcessor_KAVREN::SetEATable(documents::kEconomicActivityTable&) { return true; }
bool kFiscalProcessor_KAVREN::GetEATable() { return true; }
bool kFiscalProcessor_KAVREN::SetDeptTable(documents::kDeptTable&) { return true; }
void kFiscalProcessor_KAVREN::ChainJournalFile(int32_t aZReportNumber, const std::string& aFile,
                                               std::string_view aContent) {
  if (!fJournalChain->Append(aZReportNumber, aFile, aContent)) {
    LogError("JournalChain", "The journal chain \"" + fJournalChain->ChainFilePath(aZReportNumber) +
                                 "\" was damaged: its last line is not a chain line. \"" + aFile +
                                 "\" starts the chain afresh.");
  }
}

bool kFiscalProcessor_KAVREN::OpenDrawer(int32_t) { return true; }

bool kFiscalProcessor_KAVREN::EJReport(documents::qvEJReportType) { return true; }

bool kFiscalProcessor_KAVREN::EJReportZReports(documents::qvEJReportDestination, base::DateTime,
                                               base::DateTime, framework::_int_EJREPORT_result&) {
  return EJReport(documents::ejrt_ZReport);
}

bool kFiscalProcessor_KAVREN::EJReportFiscalReceipts(documents::qvEJReportDestination,
                                                     base::DateTime, base::DateTime, int32_t,
                                                     int32_t, framework::_int_EJREPORT_result&) {
  return EJReport(documents::ejrt_FiscalReceipt);
}

bool kFiscalProcessor_KAVREN::EJReportNonFiscalReceipts(documents::qvEJReportDestination,
                                                        base::DateTime, base::DateTime, int32_t,
                                                        int32_t, framework::_int_EJREPORT_result&) {
  return EJReport(documents::ejrt_NonFiscalReceipt);
}

bool kFiscalProcessor_KAVREN::EJReportCreditNotes(documents::qvEJReportDestination, base::DateTime,
                                                  base::DateTime, int32_t, int32_t,
                                                  framework::_int_EJREPORT_result&) {
  return EJReport(documents::ejrt_CreditNote);
}

bool kFiscalProcessor_KAVREN::EJReportInvoices(documents::qvEJReportDestination, base::DateTime,
                                               base::DateTime, int32_t, int32_t,
                                               framework::_int_EJREPORT_result&) {
  return EJReport(documents::ejrt_Invoice);
}

bool kFiscalProcessor_KAVREN::GetEJFiles(documents::qvEJFilesRequestType, base::DateTime,
                                         base::DateTime, const std::string&, int32_t& aFilesCount) {
  aFilesCount = 0;
  return false;
}

bool kFiscalProcessor_KAVREN::IsConnected() { return true; }

bool kFiscalProcessor_KAVREN::IsDayOpened() {
  fFPCounters->Refresh();
  return fFPCounters->CurrentReceiptNo() != 0;
}

bool kFiscalProcessor_KAVREN::GetLotteryReceiptStatus(documents::kReceiptReference&) {
  return false;
}

bool kFiscalProcessor_KAVREN::ReservedCheck() { return true; }

}  // namespace qv::kavren
