// The findings of qvfp verify as lines and as JSON.
#include "verify_report.h"

#include <cstdio>

namespace qv::host {

void tVerifyReport::Problem(const std::string& aPeriod, const std::string& aCheck,
                            const std::string& aFile, const std::string& aMessage) {
  fFindings.push_back({true, aPeriod, aCheck, aFile, aMessage});
}

void tVerifyReport::Note(const std::string& aPeriod, const std::string& aCheck,
                         const std::string& aFile, const std::string& aMessage) {
  fFindings.push_back({false, aPeriod, aCheck, aFile, aMessage});
}

bool tVerifyReport::Consistent() const {
  for (const tVerifyFinding& finding : fFindings) {
    if (finding.problem) return false;
  }
  return true;
}

void tVerifyReport::WriteText(std::ostream& aOut, const std::string& aTill) const {
  for (const tVerifyPeriod& period : fPeriods) {
    aOut << "PERIOD [Z " << period.period << "] " << (period.open ? "open day" : "closed")
         << ": receipts " << period.first << " to " << period.last << ", " << period.journalFiles
         << " journal files, " << period.errorRecords << " error records, " << period.chainLines
         << " chain lines";
    for (const auto& [name, figures] : period.totals) aOut << ", " << name << " " << figures;
    aOut << "\n";
  }
  int problems = 0;
  for (const tVerifyFinding& finding : fFindings) {
    if (finding.problem) ++problems;
    aOut << (finding.problem ? "PROBLEM" : "NOTE") << " ";
    if (!finding.period.empty()) aOut << "[Z " << finding.period << "] ";
    aOut << finding.check << ": ";
    if (!finding.file.empty()) aOut << finding.file << ": ";
    aOut << finding.message << "\n";
  }
  if (problems == 0) {
    aOut << "OK: the records of till " << aTill << " are consistent\n";
  } else {
    aOut << "FAILED: " << problems << (problems == 1 ? " problem" : " problems")
         << " in the records of till " << aTill << "\n";
  }
}

void tVerifyReport::WriteJson(std::ostream& aOut, const std::string& aTill,
                              const std::string& aFolder) const {
  aOut << "{\n  \"till\": " << JsonString(aTill) << ",\n  \"folder\": " << JsonString(aFolder)
       << ",\n  \"consistent\": " << (Consistent() ? "true" : "false") << ",\n  \"periods\": [";
  for (std::size_t i = 0; i < fPeriods.size(); ++i) {
    const tVerifyPeriod& period = fPeriods[i];
    aOut << (i == 0 ? "\n" : ",\n") << "    {\"period\": " << JsonString(period.period)
         << ", \"open\": " << (period.open ? "true" : "false") << ", \"first\": " << period.first
         << ", \"last\": " << period.last << ", \"journalFiles\": " << period.journalFiles
         << ", \"errorRecords\": " << period.errorRecords
         << ", \"chainLines\": " << period.chainLines << ", \"totals\": {";
    for (std::size_t t = 0; t < period.totals.size(); ++t) {
      aOut << (t == 0 ? "" : ", ") << JsonString(period.totals[t].first) << ": "
           << JsonString(period.totals[t].second);
    }
    aOut << "}}";
  }
  aOut << (fPeriods.empty() ? "],\n" : "\n  ],\n") << "  \"findings\": [";
  for (std::size_t i = 0; i < fFindings.size(); ++i) {
    const tVerifyFinding& finding = fFindings[i];
    aOut << (i == 0 ? "\n" : ",\n")
         << "    {\"severity\": " << JsonString(finding.problem ? "problem" : "note")
         << ", \"period\": " << JsonString(finding.period)
         << ", \"check\": " << JsonString(finding.check)
         << ", \"file\": " << JsonString(finding.file)
         << ", \"message\": " << JsonString(finding.message) << "}";
  }
  aOut << (fFindings.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

std::string JsonString(const std::string& aText) {
  std::string text = "\"";
  for (unsigned char c : aText) {
    switch (c) {
      case '"':
        text += "\\\"";
        break;
      case '\\':
        text += "\\\\";
        break;
      case '\n':
        text += "\\n";
        break;
      case '\r':
        text += "\\r";
        break;
      case '\t':
        text += "\\t";
        break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          text += escaped;
        } else {
          text += static_cast<char>(c);  // UTF-8 passes as it stands
        }
    }
  }
  return text + "\"";
}

}  // namespace qv::host
