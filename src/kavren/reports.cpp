// The Z-report, which closes the fiscal day in the counters and in the signing device, and
// the X-report, which shows the open day.
#include <string>
#include <tuple>

#include "base/utils.h"
#include "documents/other_documents.h"
#include "framework/io_handler.h"
#include "framework/request_context.h"
#include "kavren/fiscal_processor_kavren.h"
#include "kavren/report_text.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace qv::kavren {

namespace {

void CopyOrFail(const std::string& aSource, const std::string& aTarget) {
  platform::CopyFileNoOverwrite(aSource, aTarget).ThrowIfFailed();
}

bool LaterThan(const platform::LocalTime& aLeft, const platform::LocalTime& aRight) {
  auto key = [](const platform::LocalTime& t) {
    return std::tuple(t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond);
  };
  return key(aLeft) > key(aRight);
}

tReportHeading Heading(const kFiscalProcessorCounters& aCounters) {
  return tReportHeading{aCounters.TillSerial(), base::NowDateTime()};
}

}  // namespace

void kFiscalProcessor_KAVREN::FillCounters() {
  fCounters.Figures = fFPCounters->Figures();
  fCounters.ReportDateTime = base::DateOf(base::NowDateTime());
}

std::string kFiscalProcessor_KAVREN::ReportZNumber() const {
  return ReportZNumberText(fCounters.Figures.CurrentReportNo);
}

// A journal copy that holds exactly the counters being closed was left by a Z-report of the
// same day that stopped (a crash, a power cut) before the day was closed: that copy is this
// Z-report's own, and refusing it would keep the till from ever closing the day.
static bool SameContent(const std::string& aFirst, const std::string& aSecond) {
  // A file that cannot be read (the copy not made yet) is not the same.
  std::string first, second;
  return platform::ReadWholeFile(aFirst, first).IsOk() &&
         platform::ReadWholeFile(aSecond, second).IsOk() && first == second;
}

void kFiscalProcessor_KAVREN::KeepCountersCopies() {
  if (!platform::FileExists(fCountersActualFileName)) return;
  if (platform::FileExists(fCountersPreviousFileName)) {
    platform::DeleteFile(fCountersPreviousFileName).ThrowIfFailed();
  }
  CopyOrFail(fCountersActualFileName, fCountersPreviousFileName);
  const std::string dayFolder =
      framework::JoinPath(fDirProcessed, base::FormatDateTime("yyyymmdd", base::NowDateTime()));
  // A folder that cannot be made fails the copy into it with the system's text.
  platform::ForceDirectories(dayFolder).IgnoreFailure();
  const std::string journalCopy = framework::JoinPath(
      dayFolder, ReportZNumberText(fFPCounters->CurrentZReportNo()) + "-9999.fprd");
  if (!SameContent(fCountersActualFileName, journalCopy)) {
    CopyOrFail(fCountersActualFileName, journalCopy);
  }
  // Also after a copy that an interrupted Z-report left: its chain line may be missing.
  std::string content;
  platform::ReadWholeFile(journalCopy, content).ThrowIfFailed();
  ChainJournalFile(fFPCounters->CurrentZReportNo(), journalCopy, content);
}

bool kFiscalProcessor_KAVREN::ProcessZReport(kFiscalProcessorHandler& aHandler) {
  LogInfo("PROCESSZREPORT", "BEGIN");
  const bool dayClosed = CloseDay(aHandler);
  LogInfo("PROCESSZREPORT", "END");
  return dayClosed;
}

bool kFiscalProcessor_KAVREN::CloseDay(kFiscalProcessorHandler& aHandler) {
  tCountersLock lock(*fFPCounters);
  // A day never closes with a receipt of a dead process that has no journal file.
  fLedger->SettleAbandoned();
  fFPCounters->Refresh();
  FillCounters();
  const documents::kZReport& request = aHandler.ZReport();
  fCounters.Text = request.PrintText() ? HostZReportText(request.Text(), ReportZNumber())
                                       : BuildZReportText(fCounters.Figures, Heading(*fFPCounters),
                                                          platform::CurrentRegionalSettings());
  KeepCountersCopies();
  fFPCounters->Z();

  kBox::tAnswer closed = fBox->MakeZReport(fProcessorPort);
  LogInfo("MakeZReport", "[" + std::to_string(closed.status) + "]\r\n" + closed.text);
  const bool dayClosed = closed.status == 0;
  if (dayClosed) {
    FindBoxSerialNumber();
    fCounters.Text += SignatureBlock(fSerialNumber, closed.text);
  } else {
    // The host must learn that the day is closed here although the device kept it open: a
    // host that simply retried would close a further, empty day.
    const std::string refusal = ZReportRefusalText(closed.status, closed.text);
    LogError("PROCESSZREPORT", refusal);
    IOHandler().SetCustomError(closed.status, refusal);
  }
  return dayClosed;
}

bool kFiscalProcessor_KAVREN::ProcessXReport(kFiscalProcessorHandler&) {
  LogInfo("PROCESSXREPORT", "BEGIN");
  try {
    fLedger->SettleAbandonedIfAny();
  } catch (const std::exception& e) {
    // The X-report changes nothing; the settlement waits for the next receipt or report.
    LogError("SettleQueue", e.what());
  }
  fFPCounters->Refresh();
  FillCounters();
  fCounters.Text = BuildXReportText(fCounters.Figures, Heading(*fFPCounters),
                                    platform::CurrentRegionalSettings());
  LogInfo("PROCESSXREPORT", "END");
  return true;
}

bool kFiscalProcessor_KAVREN::FindBoxSerialNumber() {
  fSerialNumber.clear();
  // The day is already closed on both sides when this runs: a missing box folder must not
  // fail the Z-report, or the host would repeat it.
  if (fBoxDirName.empty() || !platform::DirectoryExists(fBoxDirName)) {
    LogError("SerialNumber", "The specified path was not found: \"" + fBoxDirName + "\"");
    return false;
  }
  bool found = false;
  platform::LocalTime newest;
  for (const platform::SubFolder& folder : platform::ListSubFolders(fBoxDirName)) {
    if (!found || LaterThan(folder.createdAt, newest)) {
      fSerialNumber = folder.name;
      newest = folder.createdAt;
      found = true;
    }
  }
  LogInfo("SerialNumber", fSerialNumber);
  return !fSerialNumber.empty();
}

}  // namespace qv::kavren
