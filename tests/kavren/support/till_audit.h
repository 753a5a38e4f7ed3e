// An audit of a till's folder as the tests see it: the counters against the journal of the
// open day, every receipt number a journal file or an error record, nothing left in the
// queue and no temporary files of interrupted writes.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "base/currency.h"
#include "kavren/support/processor_session.h"

namespace qv::testing {

// One journal file or error record of the open day.
struct tAccountedReceipt {
  std::string file;  // path below the till's folder
  std::string type;  // "Sale", "Refund", ...
  base::Currency amount;
  bool failed = false;           // an error record
  std::string step;              // of an error record
  std::string countedInZReport;  // of an error record, when its day was closed meanwhile
};

struct tTillAudit {
  int32_t currentReceiptNo = 0;
  int32_t currentZReportNo = 0;
  base::Currency dailySales;    // of the counters
  base::Currency journalSales;  // the sum of the sales of the open day's journal files
  std::map<int32_t, std::vector<tAccountedReceipt>> numbers;  // receipt number -> its files
  std::vector<std::string> queueRecords;
  std::vector<std::string> temporaryFiles;  // debris of interrupted atomic replaces
  // Every rule the till breaks, one line each; empty when the folder is consistent.
  std::vector<std::string> faults;

  int Journaled() const;
  int Failed(const std::string& aStep = "") const;
};

// Audits the till of aSession: the open day's Z number from the counters, the journal and
// error records of every day folder.
tTillAudit AuditTill(const tProcessorSession& aSession);

// Runs the auditor's tool (qvfp verify) on the till of aSession: its exit status (0 when the
// records are consistent), its findings appended to aFindings.
int VerifyTill(const tProcessorSession& aSession, std::string& aFindings);

// The faults of an audit as one text, for a test's message.
std::string FaultText(const tTillAudit& aAudit);

}  // namespace qv::testing
