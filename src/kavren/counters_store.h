// The persistent figures of one till: the number of the last receipt of the open fiscal day,
// the number of the open day (the next Z-report), the daily totals since the last Z-report,
// the grand totals since the counters file was created and the training-mode flag.
//
// They live in the till's counters file ("counters.actual.fprc", root element FPRCounters,
// sixteen child elements). The file is the authority: every change re-reads it and writes it
// back at once, replacing it atomically (a temporary file in the same folder renamed over the
// old one), so a crash never leaves a half-written file and several store objects, in one
// process or in several, can share one file. Update and the Z-report (Lock, Refresh, Z,
// Unlock) exclude each other between processes and between store objects through the lock
// file "QVFP_CYKAVREN.Lock" in the working directory and the file of the same name in the
// till's folder (beside the counters file), so that hosts of one till started in different
// working directories exclude each other too.
//
// Threading: one call at a time per object; the store has no in-process locking of its own.
#pragma once

#include <cstdint>
#include <string>

#include "base/currency.h"
#include "base/date_time.h"
#include "documents/codes.h"
#include "framework/day_figures.h"
#include "platform/file_system.h"
#include "platform/lock_file.h"

namespace qv::kavren {

class kFiscalProcessorCounters {
 public:
  // The lock file, in the host's working directory and in the till's folder.
  static constexpr const char* kLockFileName = "QVFP_CYKAVREN.Lock";

  // The counters file and the lock files are written, flushed, renamed and locked through
  // aFileSystem (the operating system's by default), which outlives the store.
  explicit kFiscalProcessorCounters(platform::FileSystem& aFileSystem = platform::RealFileSystem())
      : fFileSystem(aFileSystem), fLockStream(aFileSystem), fTillLockStream(aFileSystem) {}
  ~kFiscalProcessorCounters() = default;  // an outstanding lock is released
  kFiscalProcessorCounters(const kFiscalProcessorCounters&) = delete;
  kFiscalProcessorCounters& operator=(const kFiscalProcessorCounters&) = delete;

  // Binds the store to aFileName (a system path such as "C:\QV_FPR_DB\T1\counters.actual.fprc")
  // and the till serial. An existing file is read (Refresh); otherwise a new file is written
  // with receipt number 0, Z number 1, zero amounts and CreatedAt = LastUpdatedAt = now.
  // Throws qv::Error when the file cannot be read, parsed or written.
  void Init(const std::string& aFileName, const std::string& aTillSerial);

  // Takes the lock file of the working directory, then the one of the till's folder (unless
  // both name one file; none in the till's folder before Init), each waited for up to about
  // 3 seconds and taken within milliseconds of its release by another holder. Returns True; when a
  // file cannot be created (another holder) throws qv::Error "Cannot create file \"<full path>\".
  // <OS text>" naming that file, holding neither. Calls nest: only the outermost Lock takes the
  // files and the matching Unlock releases them.
  bool Lock();
  // Releases the lock (the files stay on disk); True, also when it was not held. Never throws.
  bool Unlock();

  // Counts one receipt under the lock: re-reads the file, advances CurrentReceiptNo by one
  // (for every type), adds aAmount with its sign to the daily and grand totals of the type
  // (sales, refunds, voids; invoice types and other values add nothing), recomputes the two
  // totals and saves. Returns True.
  //
  // On return CurrentReceiptNo() and CurrentZReportNo() are the numbers this receipt was
  // given under the lock: read them right after Update (before any Refresh) to number the
  // receipt, so that two processes never hand out the same number.
  //
  // On failure (lock, read, parse, overflow, write) throws qv::Error; the lock is released,
  // the file keeps its old content and the figures in memory are those read before the change.
  bool Update(documents::qvReceiptType aReceiptType, base::Currency aAmount);

  // Counts one receipt as Update does, on the figures in memory: the caller holds the lock
  // and has just refreshed (so that it could note the number first). Saves; on failure throws
  // qv::Error with the file and the figures in memory unchanged.
  bool Count(documents::qvReceiptType aReceiptType, base::Currency aAmount);

  // Takes aAmount back out of the daily and grand totals that a receipt of aReceiptType was
  // added to (a receipt that failed after it was counted); CurrentReceiptNo stays, so the
  // number stays used. The caller holds the lock. Re-reads, changes and saves in one atomic
  // replace; on failure throws qv::Error with the file and the figures in memory unchanged.
  bool TakeBack(documents::qvReceiptType aReceiptType, base::Currency aAmount);

  // Whether a receipt of aReceiptType adds its amount to the totals (sales, refunds, voids).
  static bool CountsAmount(documents::qvReceiptType aReceiptType) {
    return framework::qvDayFigures::CountsAmount(aReceiptType);
  }
  // The grand total that a receipt of aReceiptType adds to; 0 for types that add nothing.
  base::Currency GrandTotalOf(documents::qvReceiptType aReceiptType) const {
    return fContent.figures.GrandTotalOf(aReceiptType);
  }

  // Closes the fiscal day; the caller holds the lock. Re-reads the file, advances
  // CurrentZReportNo, sets CurrentReceiptNo and the five daily amounts to 0 and saves. Grand
  // totals, CreatedAt and TrainingMode are kept. Returns True; on failure throws qv::Error
  // with the file and the figures in memory unchanged.
  bool Z();

  // Re-reads the file into memory (without the lock). A missing file changes nothing. Reads
  // UTF-8, UTF-16 or UTF-32 with or without a byte-order mark and 8-bit files in the code page
  // their declaration names; elements are found by name in any order, missing ones give 0, the
  // zero date-time or False. The stored TillSerial is not read back. Throws qv::Error with the
  // parser's message for a file that is not XML and with the accessor's message ("Error in
  // processing node %s as integer.\r\n" ...) for a value that does not convert; the figures in
  // memory are then unchanged.
  void Refresh();

  // Writes the figures to the file (without the lock), LastUpdatedAt being the current time,
  // replacing the file atomically. Throws qv::Error "Cannot write file ..." on failure, the
  // old file being left intact.
  void Save();

  const std::string& FileName() const { return fFileName; }
  const std::string& TillSerial() const { return fTillSerial; }
  base::DateTime CreatedAt() const { return fContent.createdAt; }
  base::DateTime LastUpdatedAt() const { return fContent.lastUpdatedAt; }
  bool TrainingMode() const { return fContent.trainingMode; }
  // The figures of the day as last read, counted or saved.
  const framework::qvDayFigures& Figures() const { return fContent.figures; }
  // Single figures of Figures(), for the callers that need just one.
  int32_t CurrentReceiptNo() const { return fContent.figures.CurrentReceiptNo; }
  int32_t CurrentZReportNo() const { return fContent.figures.CurrentReportNo; }
  base::Currency DailyTotal() const { return fContent.figures.DailyTotal; }
  base::Currency DailySales() const { return fContent.figures.DailySales; }
  base::Currency DailyRefunds() const { return fContent.figures.DailyRefunds; }
  base::Currency DailyVoids() const { return fContent.figures.DailyVoids; }
  base::Currency DailyDiscounts() const { return fContent.figures.DailyDiscounts; }
  base::Currency GrandTotalTotal() const { return fContent.figures.GrandTotalTotal; }
  base::Currency GrandTotalSales() const { return fContent.figures.GrandTotalSales; }
  base::Currency GrandTotalRefunds() const { return fContent.figures.GrandTotalRefunds; }
  base::Currency GrandTotalVoids() const { return fContent.figures.GrandTotalVoids; }
  base::Currency GrandTotalDiscounts() const { return fContent.figures.GrandTotalDiscounts; }

  // The setters change memory only; Save writes what they set.
  void SetFileName(const std::string& aValue) { fFileName = aValue; }
  void SetTillSerial(const std::string& aValue) { fTillSerial = aValue; }
  void SetCreatedAt(base::DateTime aValue) { fContent.createdAt = aValue; }
  void SetLastUpdatedAt(base::DateTime aValue) { fContent.lastUpdatedAt = aValue; }
  void SetTrainingMode(bool aValue) { fContent.trainingMode = aValue; }
  void SetFigures(const framework::qvDayFigures& aValue) { fContent.figures = aValue; }

  // True while this object holds the lock file.
  bool IsLocked() const { return fLockStream.IsHeld(); }

 private:
  // What the counters file holds besides the till serial: a read fills it whole and a change
  // that cannot be saved puts it back whole.
  struct tFileContent {
    base::DateTime createdAt = 0;
    base::DateTime lastUpdatedAt = 0;
    framework::qvDayFigures figures;
    bool trainingMode = false;
  };
  // Runs aChange on the figures and saves; puts the content back when either fails.
  template <typename Change>
  void ChangeAndSave(Change aChange);
  void SaveAt(base::DateTime aSavedAt);
  std::string RenderFile(base::DateTime aSavedAt) const;
  static std::string LockFilePath();
  std::string TillLockFilePath() const;

  std::string fFileName;
  std::string fTillSerial;
  tFileContent fContent;
  platform::FileSystem& fFileSystem;
  platform::LockFile fLockStream;      // the working directory's lock file
  platform::LockFile fTillLockStream;  // the till folder's lock file
  int fLockDepth = 0;
};

// Holds the counters lock for its lifetime: taken on construction (throws as Lock does),
// released on every way out.
class tCountersLock {
 public:
  explicit tCountersLock(kFiscalProcessorCounters& aCounters) : fCounters(aCounters) {
    fCounters.Lock();
  }
  ~tCountersLock() { fCounters.Unlock(); }
  tCountersLock(const tCountersLock&) = delete;
  tCountersLock& operator=(const tCountersLock&) = delete;

 private:
  kFiscalProcessorCounters& fCounters;
};

}  // namespace qv::kavren
