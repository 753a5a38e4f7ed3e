// The commands of the qvfp host program. Each returns the process exit status.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "requests.h"

namespace qv::host {

struct DemoOptions {
  std::string library;
  std::string dataFolder = "qvfp-data";
  TillOptions till;
  int receipts = 4;
  bool showXml = false;
};
int RunDemo(const DemoOptions& aOptions);

// One export with one request file; prints return code, output and error text. aHandle, when
// given (0 included), replaces the request's Handle.
int RunCall(const std::string& aLibrary, const std::string& aExport, const std::string& aFile,
            std::optional<int> aHandle);

// A script of calls in one process: one "EXPORT request-file" per line; "#" starts a comment.
// A request sent after a successful OPEN gets that handle unless the line ends with
// "--keep-handle". Every line is checked and every file read before the first call, so a
// wrong line never leaves a day half processed.
int RunScript(const std::string& aLibrary, const std::string& aScript);

struct JournalOptions {
  std::string dataFolder = "qvfp-data";
  std::string till = "T1";
  std::string day;  // yyyymmdd; empty: every day
};
int RunJournal(const JournalOptions& aOptions);

// qvfp verify: audits the folder of aOptions.till under aOptions.dataFolder (the folder that
// drive C maps to: it holds QV_FPR_DB and, with the stand-in signing device, AlgoBox) and
// prints one finding per line, or one JSON document. Reads only. Returns 0 when the records
// are consistent, 1 otherwise.
struct VerifyOptions {
  std::string dataFolder = "qvfp-data";
  std::string till = "T1";
  bool json = false;
};
int RunVerify(const VerifyOptions& aOptions);
// The same audit written to aOut; true when the records are consistent.
bool VerifyTill(const VerifyOptions& aOptions, std::ostream& aOut);

struct ServeOptions {
  std::string library;
  std::string listen = "127.0.0.1:8787";
  std::vector<std::string> tills;  // SERIAL=PROCESSORPORT
  std::string tokenFile;
  std::vector<std::string> allowedOrigins;
  std::string tlsCertificate, tlsKey;
  int retrySeconds = 10;      // between attempts to open a till that did not open
  int keyRetentionDays = 30;  // idempotency keys are forgotten after this
  int threads = 24;           // HTTP connections served at once
};
// Serves the tills over HTTP until SIGINT or SIGTERM (Ctrl-C on Windows).
int RunServe(const ServeOptions& aOptions);

// Maps drive C to aDataFolder unless the user mapped it already; gives the folder used.
std::string MapDriveC(const std::string& aDataFolder);
// Reads a whole text file; throws qv::Error("Cannot read <file>: <reason>").
std::string ReadTextFile(const std::string& aPath);

}  // namespace qv::host
