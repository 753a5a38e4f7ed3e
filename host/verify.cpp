// qvfp verify: the auditor's check of a till's folder. It reads the counters, the journal
// (receipts and Z-report copies), the error records, the queue and the hash chains, and
// reports for the open day and for every closed Z period whether each number is accounted
// for once, whether the totals agree, whether the chains are whole and, with the stand-in
// signing device, whether each signature is the device's. It only reads: a copy of the
// folder taken elsewhere is checked the same way.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "base/currency.h"
#include "base/utils.h"
#include "base/xml_utils.h"
#include "commands.h"
#include "documents/codes.h"
#include "documents/receipt.h"
#include "kavren/counters_store.h"
#include "kavren/journal_chain.h"
#include "platform/code_page.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/signature_check.h"
#include "verify_report.h"
#include "verify_signature.h"

namespace qv::host {

namespace {

namespace fs = std::filesystem;
using base::Currency;
using documents::qvReceiptType;

// What a period's receipts add to the day by type, as the counters count them.
struct tTotals {
  Currency sales, refunds, voids;

  void Add(qvReceiptType aType, Currency aAmount) {
    if (aAmount < Currency()) aAmount = -aAmount;
    if (aType == documents::rt_Sale) sales += aAmount;
    if (aType == documents::rt_Refund) refunds += aAmount;
    if (aType == documents::rt_Void) voids += aAmount;
  }
};

// A receipt's journal file or the error record of a receipt that failed after taking its
// number: either accounts for one number.
struct tNumberedFile {
  std::string relative;  // "Processed\20260109\0001-0000002.fprd"
  std::string native;
  std::string period;  // the four digits of the name
  int32_t number = 0;
  bool errorRecord = false;
  bool wellFormed = false;  // journal files: a document with a Receipt
  bool amountKnown = false;
  qvReceiptType type = documents::rt_Sale;
  Currency amount;
  int32_t countedInZReport = 0;  // error records only
  std::string text;              // the document as UTF-8, for the signature check
};

struct tZCopy {
  std::string relative;
  int32_t receiptNo = 0;
  tTotals totals;
};

struct tCounters {
  int32_t receiptNo = 0;
  int32_t zReportNo = 0;
  tTotals totals;
};

std::string PeriodKey(int32_t aZReportNumber) {
  return base::FixedWidthNumber(aZReportNumber, 4, 0, false, "");
}

std::string Decimal(Currency aValue) { return base::CurrencyToXmlText(aValue); }

std::string ReadBytes(const std::string& aNative) {
  std::string content;
  platform::ReadWholeFile(aNative, content).ThrowIfFailed();
  return content;
}

std::vector<fs::path> Sorted(const fs::path& aFolder, bool aFolders) {
  std::vector<fs::path> entries;
  std::error_code failed;
  if (!fs::is_directory(aFolder, failed)) return entries;
  for (const fs::directory_entry& entry : fs::directory_iterator(aFolder, failed)) {
    if (aFolders ? entry.is_directory() : !entry.is_directory()) entries.push_back(entry.path());
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

// Reads the counters file format (the counters file and the Z-report copies) without ever
// writing it.
std::optional<tCounters> ReadCountersFile(const std::string& aNative, std::string& aError) {
  kavren::kFiscalProcessorCounters store;
  store.SetFileName(aNative);
  try {
    if (!platform::FileExists(aNative)) throw Error("the file is missing");
    store.Refresh();
  } catch (const std::exception& e) {
    aError = e.what();
    return std::nullopt;
  }
  tCounters counters;
  counters.receiptNo = store.CurrentReceiptNo();
  counters.zReportNo = store.CurrentZReportNo();
  counters.totals.sales = store.DailySales();
  counters.totals.refunds = store.DailyRefunds();
  counters.totals.voids = store.DailyVoids();
  return counters;
}

class tTillAudit {
 public:
  tTillAudit(const fs::path& aTillFolder, const fs::path& aBoxFolder, tVerifyReport& aReport)
      : fTill(aTillFolder), fBox(aBoxFolder), fReport(aReport) {}

  void Run() {
    ReadCounters();
    ReadJournal();
    ReadErrorRecords();
    ReadQueue();
    CheckChains();
    CheckUnchainedFiles();
    CheckPeriods();
    CheckSignatures();
  }

 private:
  std::string Native(const std::string& aRelative) const {
    std::string path = aRelative;
    std::replace(path.begin(), path.end(), '\\', '/');
    return (fTill / path).string();
  }

  void ReadCounters() {
    std::string error;
    fCounters = ReadCountersFile(Native("counters.actual.fprc"), error);
    if (!fCounters) {
      fReport.Problem("", "counters", "counters.actual.fprc", "cannot be read: " + error);
    }
  }

  void ReadJournal() {
    static const std::regex receiptName(R"((\d{4})-(\d{7})(-\d+)?\.fprd)");
    static const std::regex zCopyName(R"((\d{4})-9999\.fprd)");
    for (const fs::path& day : Sorted(fTill / "Processed", /*aFolders=*/true)) {
      for (const fs::path& file : Sorted(day, /*aFolders=*/false)) {
        const std::string name = file.filename().string();
        const std::string relative = "Processed\\" + day.filename().string() + "\\" + name;
        std::smatch parts;
        fOnDisk.insert(relative);
        if (std::regex_match(name, parts, zCopyName)) {
          ReadZCopy(relative, parts[1]);
        } else if (std::regex_match(name, parts, receiptName)) {
          ReadReceiptFile(relative, parts[1], std::stoi(parts[2]));
        } else {
          fReport.Problem("", "journal", relative, "is not a journal file of this till");
        }
      }
    }
  }

  void ReadZCopy(const std::string& aRelative, const std::string& aPeriod) {
    std::string error;
    std::optional<tCounters> figures = ReadCountersFile(Native(aRelative), error);
    if (!figures) {
      fReport.Problem(aPeriod, "journal", aRelative, "Z-report copy cannot be read: " + error);
      return;
    }
    if (PeriodKey(figures->zReportNo) != aPeriod) {
      fReport.Problem(aPeriod, "journal", aRelative,
                      "Z-report copy holds Z-report " + std::to_string(figures->zReportNo));
    }
    if (fZCopies.count(aPeriod) != 0) {
      fReport.Problem(aPeriod, "journal", aRelative,
                      "second Z-report copy of the period, beside " + fZCopies[aPeriod].relative);
      return;
    }
    fZCopies[aPeriod] = tZCopy{aRelative, figures->receiptNo, figures->totals};
  }

  void ReadReceiptFile(const std::string& aRelative, const std::string& aPeriod, int32_t aNumber) {
    tNumberedFile file;
    file.relative = aRelative;
    file.native = Native(aRelative);
    file.period = aPeriod;
    file.number = aNumber;
    pugi::xml_document document;
    try {
      file.text = platform::CodePageToUtf8(ReadBytes(file.native), 0);
      base::ParseXml(document, file.text);
    } catch (const std::exception& e) {
      fReport.Problem(aPeriod, "journal", aRelative,
                      std::string("is not well-formed: ") + e.what());
      fFiles.push_back(file);
      return;
    }
    pugi::xml_node receipt = document.document_element().child("Receipt");
    if (!receipt) {
      fReport.Problem(aPeriod, "journal", aRelative, "holds no Receipt");
    } else {
      file.wellFormed = true;
      CheckReceiptHeading(receipt, file);
      CheckTrailer(receipt, file);
      try {
        documents::kReceipt model;
        model.Deserialize(document);
        file.type = model.ReceiptType();
        file.amount = model.TotalAmount();
        file.amountKnown = true;
      } catch (const std::exception& e) {
        fReport.Problem(aPeriod, "journal", aRelative,
                        std::string("receipt unreadable: ") + e.what());
      }
    }
    fFiles.push_back(file);
  }

  void CheckReceiptHeading(const pugi::xml_node& aReceipt, const tNumberedFile& aFile) {
    int32_t number = 0, zReport = 0;
    if (!base::TryStrToInt(base::ElementText(aReceipt.child("Number")), number) ||
        number != aFile.number) {
      fReport.Problem(aFile.period, "journal", aFile.relative,
                      "its Number \"" + base::ElementText(aReceipt.child("Number")) +
                          "\" is not the number of its name");
    }
    if (!base::TryStrToInt(base::ElementText(aReceipt.child("ZReportNumber")), zReport) ||
        PeriodKey(zReport) != aFile.period) {
      fReport.Problem(aFile.period, "journal", aFile.relative,
                      "its ZReportNumber \"" + base::ElementText(aReceipt.child("ZReportNumber")) +
                          "\" is not the Z-report of its name");
    }
  }

  // Every receipt ends with the four trailer lines of its signature: an empty line,
  // "LEGAL RECEIPT" and the signature's two halves.
  void CheckTrailer(const pugi::xml_node& aReceipt, const tNumberedFile& aFile) {
    std::vector<std::string> values;
    for (pugi::xml_node text : aReceipt.child("TrailerMessages").children("Text")) {
      values.push_back(base::ElementText(text.child("Value")));
    }
    const std::size_t count = values.size();
    if (count < 4 || !values[count - 4].empty() || values[count - 3] != "LEGAL RECEIPT" ||
        values[count - 1].empty()) {
      fReport.Problem(aFile.period, "journal", aFile.relative,
                      "does not end with the four trailer lines of its signature");
    }
  }

  void ReadErrorRecords() {
    static const std::regex recordName(R"((\d{4})-(\d{7})(-\d+)?\.fpre)");
    for (const fs::path& day : Sorted(fTill / "Errors", /*aFolders=*/true)) {
      for (const fs::path& path : Sorted(day, /*aFolders=*/false)) {
        const std::string name = path.filename().string();
        const std::string relative = "Errors\\" + day.filename().string() + "\\" + name;
        fOnDisk.insert(relative);
        std::smatch parts;
        if (!std::regex_match(name, parts, recordName)) {
          fReport.Problem("", "errors", relative, "is not an error record of this till");
          continue;
        }
        ReadErrorRecord(relative, parts[1], std::stoi(parts[2]));
      }
    }
  }

  void ReadErrorRecord(const std::string& aRelative, const std::string& aPeriod, int32_t aNumber) {
    tNumberedFile record;
    record.relative = aRelative;
    record.native = Native(aRelative);
    record.period = aPeriod;
    record.number = aNumber;
    record.errorRecord = true;
    pugi::xml_document document;
    try {
      base::ParseXml(document, ReadBytes(record.native));
      pugi::xml_node root = document.document_element();
      if (std::string(root.name()) != "FailedReceipt") throw Error("its root is not FailedReceipt");
      record.type = documents::krptUtil::DecodeReceiptType(base::ElementText(root.child("Type")));
      record.amount = base::StrToCurrency(base::ElementText(root.child("Amount")));
      record.amountKnown = true;
      const std::string counted = base::ElementText(root.child("CountedInZReport"));
      if (!counted.empty() && !base::TryStrToInt(counted, record.countedInZReport)) {
        throw Error("its CountedInZReport is not a number");
      }
      const std::string step = base::ElementText(root.child("Step"));
      if (step != "ReceiptText" && step != "Signing" && step != "Journal" &&
          step != "Interrupted") {
        throw Error("its Step \"" + step + "\" is not a step of a receipt");
      }
      int32_t number = 0;
      if (!base::TryStrToInt(base::ElementText(root.child("Number")), number) ||
          number != aNumber) {
        throw Error("its Number is not the number of its name");
      }
      fReport.Note(aPeriod, "errors", aRelative,
                   "receipt " + std::to_string(aNumber) + " failed at " + step + ": " +
                       base::ElementText(root.child("Message")));
      if (record.countedInZReport != 0) {
        fReport.Note(PeriodKey(record.countedInZReport), "errors", aRelative,
                     "its amount " + Decimal(record.amount) + " stayed counted in Z-report " +
                         std::to_string(record.countedInZReport) + ", which was closed meanwhile");
      }
    } catch (const std::exception& e) {
      fReport.Problem(aPeriod, "errors", aRelative, std::string("unreadable: ") + e.what());
    }
    fFiles.push_back(record);
  }

  void ReadQueue() {
    for (const fs::path& path : Sorted(fTill / "Queue", /*aFolders=*/false)) {
      const std::string name = path.filename().string();
      const std::string period = name.size() > 4 && name[4] == '-' ? name.substr(0, 4) : "";
      fReport.Problem(period, "queue", "Queue\\" + name,
                      "unsettled: a receipt in flight that is neither journaled nor recorded as "
                      "failed (the next OPEN or receipt of the till settles it)");
    }
  }

  void CheckChains() {
    static const std::regex chainName(R"((\d{4})\.fpch)");
    for (const fs::path& path : Sorted(fTill / "Journal", /*aFolders=*/false)) {
      const std::string name = path.filename().string();
      const std::string relative = "Journal\\" + name;
      std::smatch parts;
      if (!std::regex_match(name, parts, chainName)) {
        fReport.Problem("", "chain", relative, "is not a chain file of this till");
        continue;
      }
      CheckChain(relative, parts[1]);
    }
  }

  void CheckChain(const std::string& aRelative, const std::string& aPeriod) {
    std::string text;
    try {
      text = ReadBytes(Native(aRelative));
    } catch (const std::exception& e) {
      fReport.Problem(aPeriod, "chain", aRelative, e.what());
      return;
    }
    std::string previous(kavren::kInitialChainValue);
    int lineNumber = 0;
    for (std::size_t start = 0; start < text.size();) {
      const std::size_t end = text.find('\n', start);
      const std::string lineText = text.substr(start, end == std::string::npos ? end : end - start);
      start = end == std::string::npos ? text.size() : end + 1;
      const std::string where = aRelative + " line " + std::to_string(++lineNumber);
      kavren::tJournalChainLine line;
      if (end == std::string::npos || !kavren::ParseJournalChainLine(lineText, line)) {
        fReport.Problem(aPeriod, "chain", where, "is not a whole chain line");
        continue;
      }
      ++fChainLines[aPeriod];
      if (kavren::NextChainValue(previous, line.fileHash) != line.chainValue) {
        fReport.Problem(aPeriod, "chain", line.path,
                        "the chain is broken at " + where +
                            ": its chain value does not follow from the line before");
      }
      previous = line.chainValue;
      CheckChainedFile(line, aPeriod, where);
    }
  }

  void CheckChainedFile(const kavren::tJournalChainLine& aLine, const std::string& aPeriod,
                        const std::string& aWhere) {
    fChained.insert(aLine.path);
    const std::string name = aLine.path.substr(aLine.path.find_last_of('\\') + 1);
    if (name.compare(0, 4, aPeriod) != 0) {
      fReport.Problem(aPeriod, "chain", aLine.path, "belongs to another period than " + aWhere);
    }
    std::string content;
    if (!platform::ReadWholeFile(Native(aLine.path), content).IsOk()) {
      fReport.Problem(aPeriod, "chain", aLine.path,
                      "is recorded in " + aWhere + " but missing (removed afterwards)");
    } else if (kavren::JournalFileHash(content) != aLine.fileHash) {
      fReport.Problem(aPeriod, "chain", aLine.path,
                      "was changed after it was written: its SHA-256 is not the one of " + aWhere);
    }
  }

  void CheckUnchainedFiles() {
    for (const std::string& relative : fOnDisk) {
      if (fChained.count(relative) != 0) continue;
      const std::string name = relative.substr(relative.find_last_of('\\') + 1);
      fReport.Problem(name.substr(0, 4), "chain", relative,
                      "is not recorded in the chain of its period (added afterwards)");
    }
  }

  void CheckPeriods() {
    std::set<std::string> periods;
    const std::string openPeriod = fCounters ? PeriodKey(fCounters->zReportNo) : "";
    if (fCounters) periods.insert(openPeriod);
    for (const auto& [period, copy] : fZCopies) periods.insert(period);
    for (const tNumberedFile& file : fFiles) periods.insert(file.period);
    for (const auto& [period, lines] : fChainLines) periods.insert(period);
    for (const std::string& period : periods) CheckPeriod(period, period == openPeriod);
  }

  void CheckPeriod(const std::string& aPeriod, bool aOpen) {
    tVerifyPeriod summary;
    summary.period = aPeriod;
    summary.open = aOpen;
    const auto copy = fZCopies.find(aPeriod);
    std::optional<tTotals> expected;
    std::string source;
    if (copy != fZCopies.end()) {
      if (aOpen) {
        fReport.Problem(aPeriod, "counters", copy->second.relative,
                        "the open day already has a Z-report copy");
      }
      summary.open = false;
      summary.last = copy->second.receiptNo;
      expected = copy->second.totals;
      source = "the Z-report copy holds";
    } else if (aOpen) {
      summary.last = fCounters->receiptNo;
      expected = fCounters->totals;
      source = "the counters hold";
    } else {
      fReport.Problem(aPeriod, "journal", "",
                      "the period is not the open day and has no Z-report copy (removed?)");
    }
    summary.first = summary.last > 0 ? 1 : 0;
    summary.chainLines = fChainLines[aPeriod];
    CheckNumbers(aPeriod, summary);
    if (expected) CheckTotals(aPeriod, *expected, source, summary);
    fReport.AddPeriod(summary);
  }

  void CheckNumbers(const std::string& aPeriod, tVerifyPeriod& aSummary) {
    std::map<int32_t, std::vector<const tNumberedFile*>> byNumber;
    for (const tNumberedFile& file : fFiles) {
      if (file.period != aPeriod) continue;
      byNumber[file.number].push_back(&file);
      ++(file.errorRecord ? aSummary.errorRecords : aSummary.journalFiles);
    }
    // A host-numbered receipt takes a number of the counters but keeps its own: the numbers
    // left without a file are theirs, as many as there are receipts beyond one per number.
    int extra = 0;
    for (const auto& [number, files] : byNumber) {
      const bool inRange = number >= 1 && number <= aSummary.last;
      if (files.size() > 1) {
        // "0001-0000002.fprd" before "0001-0000002-2.fprd".
        std::vector<const tNumberedFile*> sorted = files;
        std::sort(sorted.begin(), sorted.end(), [](const auto* aLeft, const auto* aRight) {
          return std::pair(aLeft->relative.size(), aLeft->relative) <
                 std::pair(aRight->relative.size(), aRight->relative);
        });
        std::string names;
        for (const tNumberedFile* file : sorted) {
          names += (names.empty() ? "" : ", ") + file->relative;
        }
        fReport.Problem(aPeriod, "numbers", "",
                        "duplicate number " + std::to_string(number) + ": " + names);
      }
      extra += static_cast<int>(files.size()) - (inRange ? 1 : 0);
      if (!inRange) {
        for (const tNumberedFile* file : files) {
          fReport.Note(aPeriod, "numbers", file->relative,
                       "host-numbered receipt " + std::to_string(number) + ", beyond the " +
                           std::to_string(aSummary.last) + " numbers of the counters");
        }
      }
    }
    std::vector<int32_t> missing;
    for (int32_t number = 1; number <= aSummary.last; ++number) {
      if (byNumber.count(number) == 0) missing.push_back(number);
    }
    if (missing.empty()) return;
    std::string list;
    for (int32_t number : missing) list += (list.empty() ? "" : ", ") + std::to_string(number);
    if (static_cast<int>(missing.size()) > extra) {
      fReport.Problem(aPeriod, "numbers", "",
                      "gap: no journal file and no error record for number" +
                          std::string(missing.size() > 1 ? "s " : " ") + list +
                          (extra > 0 ? " (host-numbered receipts stand for at most " +
                                           std::to_string(extra) + " of them)"
                                     : ""));
    } else {
      fReport.Note(aPeriod, "numbers", "",
                   "number" + std::string(missing.size() > 1 ? "s " : " ") + list +
                       " went to host-numbered receipts");
    }
  }

  void CheckTotals(const std::string& aPeriod, const tTotals& aExpected, const std::string& aSource,
                   tVerifyPeriod& aSummary) {
    tTotals journal;
    for (const tNumberedFile& file : fFiles) {
      if (!file.amountKnown) continue;
      const bool counted = file.errorRecord ? PeriodKey(file.countedInZReport) == aPeriod &&
                                                  file.countedInZReport != 0
                                            : file.period == aPeriod;
      if (counted) journal.Add(file.type, file.amount);
    }
    const std::pair<const char*, std::pair<Currency, Currency>> figures[] = {
        {"sales", {aExpected.sales, journal.sales}},
        {"refunds", {aExpected.refunds, journal.refunds}},
        {"voids", {aExpected.voids, journal.voids}}};
    for (const auto& [name, values] : figures) {
      aSummary.totals.emplace_back(
          name, Decimal(values.first) + " (journal " + Decimal(values.second) + ")");
      if (values.first != values.second) {
        fReport.Problem(aPeriod, "totals", "",
                        std::string(name) + ": " + aSource + " " + Decimal(values.first) +
                            ", the journal sums to " + Decimal(values.second));
      }
    }
  }

  void CheckSignatures();

  fs::path fTill;
  fs::path fBox;
  tVerifyReport& fReport;
  std::optional<tCounters> fCounters;
  std::map<std::string, tZCopy> fZCopies;
  std::vector<tNumberedFile> fFiles;
  std::set<std::string> fOnDisk;
  std::set<std::string> fChained;
  std::map<std::string, int> fChainLines;
};

void tTillAudit::CheckSignatures() {
  if (!platform::CanCheckEd25519Signatures()) {
    fReport.Note("", "signature", "", "signatures cannot be checked on this system");
    return;
  }
  std::set<std::string> cannot;
  int checked = 0;
  for (const tNumberedFile& file : fFiles) {
    if (file.errorRecord || !file.wellFormed) continue;
    const tSignatureCheck check = CheckReceiptSignature(file.text, fBox);
    if (check.outcome == tSignatureCheck::kCannot) {
      cannot.insert(check.reason);
      continue;
    }
    ++checked;
    if (check.outcome == tSignatureCheck::kInvalid) {
      fReport.Problem(file.period, "signature", file.relative,
                      "the signature \"" + check.signatureId +
                          "\" is not the signing device's signature of this receipt");
    }
  }
  for (const std::string& reason : cannot) fReport.Note("", "signature", "", reason);
  if (checked > 0) {
    fReport.Note("", "signature", "",
                 std::to_string(checked) + " signatures checked against the device's key");
  }
}

}  // namespace

bool VerifyTill(const VerifyOptions& aOptions, std::ostream& aOut) {
  const fs::path data = fs::absolute(aOptions.dataFolder);
  const fs::path till = data / "QV_FPR_DB" / aOptions.till;
  tVerifyReport report;
  std::error_code failed;
  if (!fs::is_directory(till, failed)) {
    report.Problem("", "till", "", "no folder for till " + aOptions.till + " in " + data.string());
  } else {
    tTillAudit(till, data / "AlgoBox", report).Run();
  }
  if (aOptions.json) {
    report.WriteJson(aOut, aOptions.till, till.string());
  } else {
    report.WriteText(aOut, aOptions.till);
  }
  return report.Consistent();
}

int RunVerify(const VerifyOptions& aOptions) { return VerifyTill(aOptions, std::cout) ? 0 : 1; }

}  // namespace qv::host
