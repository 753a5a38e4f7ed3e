// The findings of qvfp verify and the two forms it prints them in: one line per finding,
// or one JSON document.
//
// A finding is a problem (the till's records are not consistent: the exit status becomes 1)
// or a note (something the auditor should see that is not in itself wrong: host-numbered
// receipts, a signature check that cannot be made). One object per run; not shared between
// threads.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace qv::host {

struct tVerifyFinding {
  bool problem = true;
  std::string period;  // "0001" (the Z number's four digits), empty for the whole till
  std::string check;   // numbers, totals, chain, journal, errors, queue, signature, counters
  std::string file;    // relative to the till's folder, may be empty
  std::string message;
};

// One line of figures per Z period, for the reader's orientation.
struct tVerifyPeriod {
  std::string period;
  bool open = false;
  int first = 0;
  int last = 0;
  int journalFiles = 0;
  int errorRecords = 0;
  int chainLines = 0;
  std::vector<std::pair<std::string, std::string>> totals;  // "Sales=12.5 against 12.5"
};

class tVerifyReport {
 public:
  void Problem(const std::string& aPeriod, const std::string& aCheck, const std::string& aFile,
               const std::string& aMessage);
  void Note(const std::string& aPeriod, const std::string& aCheck, const std::string& aFile,
            const std::string& aMessage);
  void AddPeriod(tVerifyPeriod aPeriod) { fPeriods.push_back(std::move(aPeriod)); }

  bool Consistent() const;
  const std::vector<tVerifyFinding>& Findings() const { return fFindings; }

  // "PROBLEM [Z 0001] chain: Processed\...\0001-0000002.fprd: <message>", one per line,
  // then one summary line.
  void WriteText(std::ostream& aOut, const std::string& aTill) const;
  // {"till": ..., "consistent": ..., "periods": [...], "findings": [...]}.
  void WriteJson(std::ostream& aOut, const std::string& aTill, const std::string& aFolder) const;

 private:
  std::vector<tVerifyFinding> fFindings;
  std::vector<tVerifyPeriod> fPeriods;
};

// aText as a JSON string literal, quotes included.
std::string JsonString(const std::string& aText);

}  // namespace qv::host
