// kReceiptLedger: every receipt number of a till accounted for, as a journal file or as an
// error record, whatever happens to the process that handles the receipt.
//
// Before the counters are saved with a receipt's number, its queue record
// "Queue\<ZZZZ>-<NNNNNNN>.fprq" (Z number, counter number) is written and held locked by the
// process that handles the receipt. It is removed when the receipt's journal file is
// written ("Processed\<yyyymmdd>\<ZZZZ>-<NNNNNNN>.fprd", never overwritten: "-2", "-3" ...
// follow an existing name) or when the receipt is recorded as failed: its amount taken back
// out of the totals and an error record "Errors\<yyyymmdd>\<ZZZZ>-<NNNNNNN>.fpre" written.
//
// A queue record that no living process holds belongs to a receipt whose process died. Under
// the counters lock such records are settled: the counters never reached the number (the
// process died before saving them): removed; the receipt's journal file exists: removed;
// otherwise the receipt is recorded as failed with the step "Interrupted".
//
// Taking an amount back is made safe against a death half-way: the queue record is first
// rewritten with the failure and the grand total before the change, so that whoever settles
// it later can tell whether the counters were already changed.
//
// Threading: one call at a time per object (the processor's); processes and processor
// objects exclude each other through the counters lock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/currency.h"
#include "documents/codes.h"
#include "kavren/counters_store.h"
#include "platform/file_system.h"
#include "platform/lock_file.h"

namespace qv::kavren {

// A receipt between its counting and its journal file, as its queue record keeps it.
struct tQueuedReceipt {
  int32_t counterNumber = 0;  // the counters' number (CurrentReceiptNo) of this receipt
  int32_t receiptNumber = 0;  // the number the receipt carries: the host's own or the counter's
  int32_t zReportNumber = 0;
  documents::qvReceiptType receiptType = documents::rt_Sale;
  base::Currency amount;  // as counted (the absolute value of the receipt's total)
  std::string dateTime;   // the receipt's DateTime, "yyyy-mm-ddThh:nn:ss"
  std::string request;    // the request as received
};

// Why a receipt failed after its number was taken.
struct tReceiptFailure {
  std::string step;       // "ReceiptText", "Signing", "Journal" or "Interrupted"
  std::string message;    // the failure's text
  std::string signature;  // the signing device's answer when it gave one
};

// The queue record of one receipt in flight, held by this process through aFileSystem.
class tHeldReceipt {
 public:
  tHeldReceipt(tQueuedReceipt aReceipt, std::string aQueueFile, platform::FileSystem& aFileSystem)
      : fReceipt(std::move(aReceipt)), fQueueFile(std::move(aQueueFile)), fHold(aFileSystem) {}
  const tQueuedReceipt& Receipt() const { return fReceipt; }
  const std::string& QueueFile() const { return fQueueFile; }
  platform::LockFile& Hold() { return fHold; }

 private:
  tQueuedReceipt fReceipt;
  std::string fQueueFile;
  platform::LockFile fHold;
};

class kReceiptLedger {
 public:
  using tLog = std::function<void(bool aError, const std::string& aTag, const std::string& aText)>;

  // aCounters is the processor's store (not owned); aLog writes to the processor's log. Queue
  // records, journal files and error records are written, flushed, renamed and held through
  // aFileSystem, which outlives the ledger.
  kReceiptLedger(kFiscalProcessorCounters& aCounters, tLog aLog,
                 platform::FileSystem& aFileSystem = platform::RealFileSystem());

  // Called under the counters lock for every journal file and error record once written
  // (aZReportNumber: the receipt's Z period), before the queue record goes; aFound when the
  // settlement of a dead process's receipt found the file already written (its process may
  // or may not have got as far as this call).
  using tWritten = std::function<void(int32_t aZReportNumber, const std::string& aFile,
                                      const std::string& aContent, bool aFound)>;
  void SetWritten(tWritten aWritten) { fWritten = std::move(aWritten); }

  // The till's folders (system paths): Queue, Errors and Processed.
  void SetFolders(const std::string& aQueue, const std::string& aErrors,
                  const std::string& aProcessed);

  // Counts aReceipt under the counters lock: settles abandoned queue records, re-reads the
  // counters, gives the receipt the next counter number and the current Z number (and the
  // counter number as its number when aReceipt.receiptNumber is not positive), writes and
  // holds its queue record, then saves the counters. Throws qv::Error (lock, counters,
  // queue record) with nothing counted and no queue record left.
  std::unique_ptr<tHeldReceipt> Count(tQueuedReceipt aReceipt);

  // Writes aText as the receipt's journal file in aDayFolder (created when missing) under
  // its first free name, logging an error entry when the plain name was taken, notes it
  // (SetWritten), then removes the queue record (kept for the settlement when the note
  // failed). Returns the journal file's path. Throws qv::Error when the file cannot
  // be written; the queue record stays held.
  std::string Journal(tHeldReceipt& aHeld, const std::string& aDayFolder, const std::string& aText);

  // Records a receipt that failed after it was counted: under the counters lock its amount is
  // taken back out (unless its day was closed meanwhile), its error record is written and
  // its queue record removed. Never throws: when this cannot be done it is logged and the
  // queue record is let go, to be settled later.
  void Failed(tHeldReceipt& aHeld, const tReceiptFailure& aFailure);

  // Settles every queue record that no living process holds; the caller holds the counters
  // lock. A record that cannot be settled now is logged and left for a later attempt.
  void SettleAbandoned();
  // Takes the counters lock and settles, but only when a queue record that no process holds
  // is there (so that a reader that does not change the counters rarely waits for the lock).
  void SettleAbandonedIfAny();

  // The journal file of aReceipt in the processed-journal folder, or nothing.
  std::optional<std::string> FindJournalFile(const tQueuedReceipt& aReceipt) const;

 private:
  struct tAbandoned;
  std::string QueueFileName(const tQueuedReceipt& aReceipt) const;
  bool Reached(const tQueuedReceipt& aReceipt) const;
  void Settle(tAbandoned& aRecord);
  // Rewrites the queue record with the failure, then completes it.
  void Record(const std::string& aQueueFile, const tQueuedReceipt& aReceipt,
              const tReceiptFailure& aFailure);
  // Takes the amount back when the counters still hold it, writes the error record unless
  // it is there, removes the queue record.
  void Complete(const std::string& aQueueFile, const tQueuedReceipt& aReceipt,
                const tReceiptFailure& aFailure, const std::optional<base::Currency>& aTotalBefore);
  // Writes the error record and notes it; false when the note failed.
  bool WriteErrorRecord(const tQueuedReceipt& aReceipt, const tReceiptFailure& aFailure,
                        std::optional<int32_t> aCountedInZReport);
  std::optional<std::string> FindErrorRecord(const tQueuedReceipt& aReceipt) const;
  // Tells fWritten (under the counters lock, taken here when aTakeLock); logs its failure
  // and returns false then.
  bool NoteWritten(int32_t aZReportNumber, const std::string& aFile, const std::string& aContent,
                   bool aTakeLock, bool aFound = false);
  // NoteWritten for a file found by the settlement, with the content it has on disk.
  bool NoteFound(int32_t aZReportNumber, const std::string& aFile);

  kFiscalProcessorCounters& fCounters;
  tLog fLog;
  platform::FileSystem& fFileSystem;
  tWritten fWritten;
  std::string fDirQueue;
  std::string fDirErrors;
  std::string fDirProcessed;
};

}  // namespace qv::kavren
