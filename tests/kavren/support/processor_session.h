// Helpers of the signing processor's end-to-end tests: one till in a scratch folder of its
// own (drive C, the temporary folder, the host's working directory where the counters lock
// lies), requests for it, and runs of the built library QVFP_CYKAVREN_10 with the stand-in
// signing box and receipt printer in a fresh host process (programs/processor_host).
//
// One session per test; the environment variables it sets (QVFP_DRIVE_C, TMPDIR, and no
// leak report in ASAN_OPTIONS) reach the host processes it starts and are restored when it
// ends.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qv::testing {

inline constexpr const char* kKavrenDriver = "QVFP_CYKAVREN_10";

// What one exported call returned in the host; a null OLE string is nullopt.
struct tHostCall {
  std::string name;
  int32_t rc = 0;
  int32_t handle = 0;
  std::optional<std::string> output;
  std::optional<std::string> error;
};

// A receipt element for the requests: one product line of aAmount, paid in cash.
// aType is the receipt's type code ("Sale", "Refund", "Void"); aNumber, when given, is
// put in a Number element (the text as it stands).
std::string ReceiptXml(const std::string& aAmount = "12.50", const std::string& aType = "Sale",
                       const std::optional<std::string>& aNumber = std::nullopt);

class tProcessorSession {
 public:
  explicit tProcessorSession(std::string aTill = "T1");
  ~tProcessorSession();
  tProcessorSession(const tProcessorSession&) = delete;
  tProcessorSession& operator=(const tProcessorSession&) = delete;

  // A request for the signing processor of this till: aHandle omitted when 0; aRest after
  // Parameters (a Receipt or ZReport element); aParameters after FPTillSerial.
  std::string Request(int32_t aHandle, const std::string& aRest = "",
                      const std::string& aParameters = "") const;

  // Runs the script (calls "@EXPORT" + request) in a fresh host process whose executable
  // and companion libraries lie in aBinFolder (the build's bin folder by default).
  std::vector<tHostCall> Run(const std::string& aScript, const std::string& aBinFolder = "");
  // A script of one call.
  static std::string Call(const std::string& aExport, const std::string& aRequest);

  // Sets the environment of the host processes (drive C, temporary folder).
  void PrepareEnvironment() const;

  // Native paths.
  const std::string& Folder() const { return fFolder; }
  std::string DriveC() const { return fFolder + "/C"; }
  std::string TempFolder() const { return fFolder + "/tmp"; }
  std::string WorkFolder() const { return fFolder + "/work"; }
  std::string TillFolder() const;
  std::string CountersFile() const { return TillFolder() + "/counters.actual.fprc"; }
  std::string PreviousCountersFile() const { return TillFolder() + "/counters.previous.fprc"; }
  // The processed-journal folder of today.
  std::string TodayJournalFolder() const;
  // The names of the files in today's journal folder, sorted.
  std::vector<std::string> TodayJournalFiles() const;
  // The error-record folder of today and the names of its files, sorted.
  std::string TodayErrorFolder() const;
  std::vector<std::string> TodayErrorFiles() const;
  // The names of the files of the till's queue folder, sorted.
  std::vector<std::string> QueueFiles() const;
  // Every file of the temporary folder.
  std::vector<std::string> TempFiles() const;
  const std::string& Till() const { return fTill; }
  const std::string& LogId() const { return fLogId; }

  // The control files of the stand-ins ("C:\AlgoBox\control.txt",
  // "C:\QVRP_GENERIC_10\control.txt"); empty text removes the file.
  void SetBoxControl(const std::string& aText) const;
  void SetPrinterControl(const std::string& aText) const;
  // The device folders of the signing box (C:\AlgoBox\<serial>).
  std::string BoxFolder() const { return DriveC() + "/AlgoBox"; }

  // Writes the counters file of the till with the given figures (others 0).
  void WriteCounters(int32_t aReceiptNo, int32_t aZReportNo,
                     const std::map<std::string, std::string>& aAmounts = {}) const;
  // The elements of the counters file by name (empty when the file is missing).
  std::map<std::string, std::string> Counters() const;

  // The processor's log of today (beside the host executable of aBinFolder).
  std::string LogText(const std::string& aBinFolder = "") const;

 private:
  std::string fTill;
  std::string fFolder;
  std::string fLogId;
  std::optional<std::string> fOldDriveC;
  std::optional<std::string> fOldTemp;
  std::optional<std::string> fOldSanitizer;
};

// The build's bin folder, with no trailing "/".
std::string BuildBinFolder();
// The file's content, or empty when it cannot be read.
std::string FileText(const std::string& aPath);
// The text of the first element aName in aXml ("" when absent).
std::string XmlElement(const std::string& aXml, const std::string& aName);
// The Value texts of the Text elements under TrailerMessages of a receipt XML, in order.
std::vector<std::string> TrailerValues(const std::string& aXml);
// "yyyymmdd" of today.
std::string TodayStamp();

}  // namespace qv::testing
