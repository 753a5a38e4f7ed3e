// One till offered by the service: opened through the fiscal library as a host opens it,
// its calls made one at a time, its keyed requests answered exactly once.
//
// Every call of the library in the process goes through one SharedLibrary, which makes one
// call at a time: the library keeps its processors and handles in process-wide tables that
// it does not guard. A TillService additionally holds its own call lock for the whole of a
// request (key lookup, key record, library call, answer), so that two requests with the
// same key never both reach the library.
//
// Threading: every public member may be called from any thread.
#pragma once

#include <mutex>
#include <string>

#include "fiscal_library.h"
#include "platform/lock_file.h"
#include "requests.h"
#include "serve/receipt_json.h"
#include "serve/request_keys.h"

namespace qv::host {

class SharedLibrary {
 public:
  explicit SharedLibrary(const std::string& aPath) : fLibrary(aPath) {}
  CallResult Call(const std::string& aExport, const std::string& aRequest) {
    std::lock_guard<std::mutex> lock(fMutex);
    return fLibrary.Call(aExport, aRequest);
  }
  const std::string& Path() const { return fLibrary.Path(); }

 private:
  std::mutex fMutex;
  FiscalLibrary fLibrary;
};

// What the service answers: an HTTP status and a body.
struct Answer {
  int status = 200;
  std::string body;  // JSON text unless contentType says otherwise
  std::string contentType = "application/json";
  bool replayed = false;  // a keyed request answered from its first attempt
};

// The error document {"error": {"status": N, "message": "..."}}.
Answer ErrorAnswer(int aStatus, const std::string& aMessage);
// The HTTP status for a failure text of the library.
int StatusOfLibraryFailure(const std::string& aMessage);

class TillService {
 public:
  TillService(SharedLibrary& aLibrary, TillOptions aTill, int aKeyRetentionDays);

  const std::string& Name() const { return fTill.till; }
  // Opens the till when it is not open yet (reads its keys first); true when it is open.
  bool EnsureOpen();
  bool IsOpen() const;
  // {"till": "T1", "open": true, "message": ""}: the message says why it is not open.
  Json State() const;

  Answer Status();
  Answer XReport();
  // aBody: {"printText": false, "text": ""} or empty. aKey: the Idempotency-Key or empty.
  Answer ZReport(const std::string& aBody, const std::string& aKey);
  // aReceiptXml: the Receipt element (ReceiptXmlFromJson / ReceiptXmlFromXml).
  Answer Receipt(const std::string& aReceiptXml, const std::string& aKey);
  Answer Journal(const std::string& aDay);
  Answer JournalFile(const std::string& aDay, const std::string& aFile);
  // The audit of qvfp verify (its JSON document), made between two calls of this till.
  Answer Verify();

 private:
  // Throws HttpFailure 503 when the till is not open; gives the handle.
  int32_t RequireOpen();
  CallResult CallLibrary(const std::string& aExport, const std::string& aBody);
  // The answer bound to aKey when it is known, after resolving an interrupted attempt from
  // the till's records; nothing when the key is free. 409 when it was used otherwise.
  std::optional<Answer> KnownAnswer(const std::string& aKey, const std::string& aOperation,
                                    const std::string& aRequest);
  std::optional<Answer> ResolveInterruptedReceipt(const std::string& aKey,
                                                  const KeyRecord& aRecord);
  std::optional<Answer> ResolveInterruptedZReport(const KeyRecord& aRecord);
  // The answer of a signed receipt; aFile: where it is kept, when not in its journal file.
  Answer ReceiptAnswer(const std::string& aRequestXml, const std::string& aFile = "");
  // Binds aKey to aAnswer (aBound) or frees it, after its attempt.
  void SettleKey(const std::string& aKey, const Answer& aAnswer, bool aBound);
  Answer ProcessReceipt(const std::string& aReceiptXml, const std::string& aKey);
  Answer ProcessZReport(const std::string& aZReportXml, const std::string& aKey);
  // The system path of a file or folder in the till's folder ("Processed\20231209").
  std::string TillPath(const std::string& aRelative) const;
  int CurrentZReportNumber() const;

  SharedLibrary& fLibrary;
  const TillOptions fTill;
  const int fKeyRetentionDays;

  mutable std::mutex fStateMutex;  // guards the three below
  int32_t fHandle = 0;
  std::string fMessage = "not opened yet";
  bool fOpen = false;

  std::mutex fCallMutex;  // one request of this till at a time
  // Held while the till is served: a second service for the same till would answer keys
  // that this one does not know about.
  platform::LockFile fServiceLock;
  std::unique_ptr<RequestKeys> fKeys;
};

}  // namespace qv::host
