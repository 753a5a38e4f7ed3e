// The idempotency keys of one till, kept on disk so that they outlive the service: a key is
// recorded (and on the disk) before the library is called with its request, then either
// bound to the answer of the attempt that signed, or freed when the attempt signed nothing.
//
// The file is an append-only log of JSON lines ("pending", "answered", "freed"); the last
// line of each key wins. A line cut short by a killed process is ignored: it can only be
// the last one, written before its library call started. The file is rewritten compactly
// when it is opened, without the freed keys and the keys older than the retention.
//
// Threading: one object per till, used under the till's call lock.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/append_log.h"

namespace qv::host {

struct KeyRecord {
  enum class State { kPending, kAnswered };
  State state = State::kPending;
  std::string operation;  // "receipt" or "zreport"
  std::string request;    // the request as the key was first sent (canonical form)
  int day = 0;            // the day it was first sent (days since 1899-12-30)
  std::string detail;     // pending: what resolves it later (see TillService)
  int status = 0;         // answered: the HTTP status
  std::string answer;     // answered: the JSON text of the answer
};

class RequestKeys {
 public:
  // Reads aFile (a system path; its folder is created), drops what is older than
  // aRetentionDays and rewrites it. Throws qv::Error when the file cannot be read or written.
  RequestKeys(const std::string& aFile, int aRetentionDays);

  const KeyRecord* Find(const std::string& aKey) const;
  // On the disk when it returns; throws qv::Error otherwise (the call must then not be made).
  void RecordPending(const std::string& aKey, const std::string& aOperation,
                     const std::string& aRequest, const std::string& aDetail);
  void RecordAnswer(const std::string& aKey, int aStatus, const std::string& aAnswer);
  void Free(const std::string& aKey);
  size_t Count() const { return fKeys.size(); }

 private:
  void Apply(const std::string& aLine);
  void Append(const std::string& aLine, bool aDurable);

  std::string fFile;
  std::map<std::string, KeyRecord> fKeys;
  platform::AppendLog fLog;
};

// Today as days since 1899-12-30 (the local date).
int Today();

}  // namespace qv::host
