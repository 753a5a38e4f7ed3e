#include "kavren/support/till_audit.h"

#include <algorithm>
#include <filesystem>

#include <pugixml.hpp>

#include "base/utils.h"
#include "kavren/support/child_process.h"

namespace qv::testing {

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> FilesBelow(const fs::path& aFolder) {
  std::vector<fs::path> files;
  std::error_code ignored;
  if (!fs::is_directory(aFolder, ignored)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(aFolder, ignored)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool EndsWith(const std::string& aText, const std::string& aEnd) {
  return aText.size() >= aEnd.size() &&
         aText.compare(aText.size() - aEnd.size(), aEnd.size(), aEnd) == 0;
}

// The temporary name of an atomic replace: "." name "." six letters or digits ".tmp".
bool IsReplaceDebris(const std::string& aName) {
  if (aName.size() < 13 || aName[0] != '.' || !EndsWith(aName, ".tmp")) return false;
  return aName[aName.size() - 11] == '.';
}

std::string Text(const pugi::xml_node& aParent, const char* aName) {
  return aParent.child(aName).text().get();
}

base::Currency AmountOf(const std::string& aText) {
  base::Currency amount;
  base::TryStrToCurrency(aText, amount);
  return amount < base::Currency() ? -amount : amount;
}

}  // namespace

int tTillAudit::Journaled() const {
  int count = 0;
  for (const auto& [number, files] : numbers) {
    for (const tAccountedReceipt& file : files) count += file.failed ? 0 : 1;
  }
  return count;
}

int tTillAudit::Failed(const std::string& aStep) const {
  int count = 0;
  for (const auto& [number, files] : numbers) {
    for (const tAccountedReceipt& file : files) {
      count += file.failed && (aStep.empty() || file.step == aStep) ? 1 : 0;
    }
  }
  return count;
}

tTillAudit AuditTill(const tProcessorSession& aSession) {
  tTillAudit audit;
  const fs::path till = aSession.TillFolder();
  std::map<std::string, std::string> counters = aSession.Counters();
  base::TryStrToInt(counters["CurrentReceiptNo"], audit.currentReceiptNo);
  base::TryStrToInt(counters["CurrentZReportNo"], audit.currentZReportNo);
  base::TryStrToCurrency(counters["DailySales"], audit.dailySales);
  const std::string zPrefix = base::FixedWidthNumber(audit.currentZReportNo, 4, 0, false, "") + "-";

  for (const fs::path& file : FilesBelow(till)) {
    const std::string name = file.filename().string();
    const std::string relative = fs::relative(file, till).string();
    if (IsReplaceDebris(name)) {
      audit.temporaryFiles.push_back(relative);
      continue;
    }
    if (EndsWith(name, ".fprq")) {
      audit.queueRecords.push_back(relative);
      continue;
    }
    const bool journal = EndsWith(name, ".fprd") && !EndsWith(name, "-9999.fprd");
    const bool failed = EndsWith(name, ".fpre");
    if ((!journal && !failed) || name.rfind(zPrefix, 0) != 0) continue;
    pugi::xml_document document;
    if (!document.load_file(file.c_str())) {
      audit.faults.push_back(relative + ": not a whole XML document");
      continue;
    }
    pugi::xml_node element =
        failed ? document.child("FailedReceipt") : document.document_element().child("Receipt");
    tAccountedReceipt accounted;
    accounted.file = relative;
    accounted.failed = failed;
    accounted.type = Text(element, "Type");
    accounted.amount = AmountOf(Text(element, failed ? "Amount" : "TotalAmount"));
    accounted.step = failed ? Text(element, "Step") : "";
    accounted.countedInZReport = failed ? Text(element, "CountedInZReport") : "";
    int32_t number = 0;
    if (!base::TryStrToInt(Text(element, "Number"), number)) {
      audit.faults.push_back(relative + ": no receipt number");
      continue;
    }
    if (!failed && accounted.type == "Sale") audit.journalSales += accounted.amount;
    audit.numbers[number].push_back(accounted);
  }

  if (audit.dailySales != audit.journalSales) {
    audit.faults.push_back("daily sales " + base::CurrencyToXmlText(audit.dailySales) +
                           " but the journal's sales are " +
                           base::CurrencyToXmlText(audit.journalSales));
  }
  for (int32_t number = 1; number <= audit.currentReceiptNo; ++number) {
    auto found = audit.numbers.find(number);
    const std::size_t count = found == audit.numbers.end() ? 0 : found->second.size();
    if (count != 1) {
      audit.faults.push_back("receipt " + std::to_string(number) + " is accounted for " +
                             std::to_string(count) + " times");
    }
  }
  for (const auto& [number, files] : audit.numbers) {
    if (number > audit.currentReceiptNo) {
      audit.faults.push_back("receipt " + std::to_string(number) + " beyond the counters");
    }
  }
  for (const std::string& record : audit.queueRecords) {
    audit.faults.push_back("queue record left: " + record);
  }
  for (const std::string& debris : audit.temporaryFiles) {
    audit.faults.push_back("temporary file left: " + debris);
  }
  return audit;
}

int VerifyTill(const tProcessorSession& aSession, std::string& aFindings) {
  aSession.PrepareEnvironment();
  ChildProcess verify(BuildBinFolder() + "/qvfp",
                      {"verify", "--data", aSession.DriveC(), "--till", aSession.Till()},
                      aSession.WorkFolder());
  std::string line;
  while (verify.ReadLine(line)) aFindings += line + "\n";
  return verify.Wait();
}

std::string FaultText(const tTillAudit& aAudit) {
  std::string text;
  for (const std::string& fault : aAudit.faults) text += fault + "\n";
  return text;
}

}  // namespace qv::testing
