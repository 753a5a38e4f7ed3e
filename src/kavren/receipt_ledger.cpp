// Queue records, error records and the settlement of receipts whose process died.
#include "kavren/receipt_ledger.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <vector>

#include <pugixml.hpp>

#include "base/utils.h"
#include "base/xml_utils.h"
#include "documents/receipt.h"
#include "framework/fiscal_processor.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace qv::kavren {

namespace {

using base::Currency;

constexpr const char* kQueueExtension = ".fprq";
constexpr const char* kJournalExtension = ".fprd";
constexpr const char* kErrorExtension = ".fpre";
// "-2" ... before a name is given up as a fault of the folder.
constexpr int kMaxNameSuffix = 9999;
constexpr const char* kInterruptedMessage =
    "The receipt was interrupted before its journal file was written";

std::string Digits(int32_t aValue, int aWidth) {
  return base::FixedWidthNumber(aValue, aWidth, 0, false, "");
}

// "<ZZZZ>-<NNNNNNN>" of a Z number and a receipt (or counter) number.
std::string NumberedName(int32_t aZReportNumber, int32_t aNumber) {
  return Digits(aZReportNumber, 4) + "-" + Digits(aNumber, 7);
}

std::string DayStamp(base::DateTime aDateTime) {
  return base::FormatDateTime("yyyymmdd", aDateTime);
}

// "yyyymmdd" of a date-time text "yyyy-mm-ddThh:nn:ss".
std::string DayStampOf(const std::string& aDateTimeText) {
  if (aDateTimeText.size() < 10) return {};
  return aDateTimeText.substr(0, 4) + aDateTimeText.substr(5, 2) + aDateTimeText.substr(8, 2);
}

bool EndsWith(const std::string& aText, const std::string& aEnd) {
  return aText.size() >= aEnd.size() &&
         aText.compare(aText.size() - aEnd.size(), aEnd.size(), aEnd) == 0;
}

bool IsDayStamp(const std::string& aName) {
  return aName.size() == 8 &&
         std::all_of(aName.begin(), aName.end(), [](char c) { return std::isdigit(c) != 0; });
}

// aBase + aExtension, then aBase + "-2" + aExtension and so on.
std::string SuffixedName(const std::string& aBase, int aIndex, const char* aExtension) {
  return aIndex <= 1 ? aBase + aExtension : aBase + "-" + std::to_string(aIndex) + aExtension;
}

void AddText(pugi::xml_node aParent, const char* aName, const std::string& aText) {
  base::tQV_XMLUtils::AddNode(aParent, aName, aText);
}

std::string RenderDocument(const pugi::xml_document& aDocument) {
  std::ostringstream out;
  aDocument.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
  return out.str();
}

pugi::xml_node NewDocument(pugi::xml_document& aDocument, const char* aRoot) {
  pugi::xml_node declaration = aDocument.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  declaration.append_attribute("encoding") = "UTF-8";
  return aDocument.append_child(aRoot);
}

// The children that a queue record and an error record share, in their order.
void AddReceiptFacts(pugi::xml_node aRoot, const tQueuedReceipt& aReceipt) {
  AddText(aRoot, "Number", std::to_string(aReceipt.receiptNumber));
  AddText(aRoot, "ZReportNumber", std::to_string(aReceipt.zReportNumber));
  AddText(aRoot, "DateTime", aReceipt.dateTime);
  AddText(aRoot, "Type", documents::krptUtil::EncodeReceiptType(aReceipt.receiptType));
  AddText(aRoot, "Amount", base::CurrencyToXmlText(aReceipt.amount));
}

// The queue record: root QueuedReceipt. Once the receipt is being recorded as failed it also
// carries the failure and, when the counters are to change, the grand total before.
std::string QueueRecordText(const tQueuedReceipt& aReceipt, const tReceiptFailure* aFailure,
                            const std::optional<Currency>& aTotalBefore) {
  pugi::xml_document document;
  pugi::xml_node root = NewDocument(document, "QueuedReceipt");
  AddText(root, "CounterNumber", std::to_string(aReceipt.counterNumber));
  AddReceiptFacts(root, aReceipt);
  if (aFailure != nullptr) {
    AddText(root, "Step", aFailure->step);
    AddText(root, "Message", aFailure->message);
    if (!aFailure->signature.empty()) AddText(root, "Signature", aFailure->signature);
    if (aTotalBefore) AddText(root, "TotalBefore", base::CurrencyToXmlText(*aTotalBefore));
  }
  AddText(root, "Request", aReceipt.request);
  return RenderDocument(document);
}

std::string ErrorRecordText(const tQueuedReceipt& aReceipt, const tReceiptFailure& aFailure,
                            std::optional<int32_t> aCountedInZReport) {
  pugi::xml_document document;
  pugi::xml_node root = NewDocument(document, "FailedReceipt");
  AddReceiptFacts(root, aReceipt);
  AddText(root, "Step", aFailure.step);
  AddText(root, "Message", aFailure.message);
  if (!aFailure.signature.empty()) AddText(root, "Signature", aFailure.signature);
  AddText(root, "Request", aReceipt.request);
  if (aCountedInZReport) AddText(root, "CountedInZReport", std::to_string(*aCountedInZReport));
  return RenderDocument(document);
}

std::string ChildText(const pugi::xml_node& aParent, const char* aName) {
  return base::ElementText(base::FindChild(aParent, aName));
}

// Whether aReceiptElement (a journal's Receipt or an error record's root) is aReceipt's.
bool DescribesReceipt(const pugi::xml_node& aElement, const tQueuedReceipt& aReceipt) {
  return ChildText(aElement, "Number") == std::to_string(aReceipt.receiptNumber) &&
         ChildText(aElement, "ZReportNumber") == std::to_string(aReceipt.zReportNumber) &&
         ChildText(aElement, "DateTime") == aReceipt.dateTime;
}

// The element of a journal file or error record that names its receipt, or an empty node.
pugi::xml_node ReceiptElementOf(const pugi::xml_document& aDocument) {
  const pugi::xml_node root = aDocument.document_element();
  if (base::NameIs(root.name(), "FailedReceipt")) return root;
  return documents::FindReceiptElement(aDocument);
}

bool FileDescribesReceipt(const std::string& aPath, const tQueuedReceipt& aReceipt) {
  std::string content;
  // A file that cannot be read, like one that cannot be parsed, is not taken for the receipt.
  if (!platform::ReadWholeFile(aPath, content).IsOk()) return false;
  pugi::xml_document document;
  try {
    base::ParseXml(document, content);
  } catch (const Error&) {
    return false;
  }
  return DescribesReceipt(ReceiptElementOf(document), aReceipt);
}

// The file of aReceipt among "<day>\<ZZZZ>-<NNNNNNN>[-k]<extension>" in the day folders of
// aRoot from the receipt's day on.
std::optional<std::string> FindReceiptFile(const std::string& aRoot, const tQueuedReceipt& aReceipt,
                                           const char* aExtension) {
  const std::string firstDay = DayStampOf(aReceipt.dateTime);
  const std::string base = NumberedName(aReceipt.zReportNumber, aReceipt.receiptNumber);
  std::vector<std::string> days;
  for (const platform::SubFolder& folder : platform::ListSubFolders(aRoot)) {
    if (IsDayStamp(folder.name) && folder.name >= firstDay) days.push_back(folder.name);
  }
  std::sort(days.begin(), days.end());
  for (const std::string& day : days) {
    const std::string folder = framework::JoinPath(aRoot, day);
    for (int index = 1; index <= kMaxNameSuffix; ++index) {
      const std::string path = framework::JoinPath(folder, SuffixedName(base, index, aExtension));
      if (!platform::FileExists(path)) break;
      if (FileDescribesReceipt(path, aReceipt)) return path;
    }
  }
  return std::nullopt;
}

// Writes aText under the first free name of aBase in aFolder through aFileSystem; the path
// written.
std::string CreateUnderFreeName(const std::string& aFolder, const std::string& aBase,
                                const char* aExtension, const std::string& aText,
                                platform::FileSystem& aFileSystem) {
  // A folder that cannot be made fails the first creation below with the system's text.
  platform::ForceDirectories(aFolder).IgnoreFailure();
  for (int index = 1; index <= kMaxNameSuffix; ++index) {
    const std::string path = framework::JoinPath(aFolder, SuffixedName(aBase, index, aExtension));
    if (platform::FileExists(path)) continue;
    bool created = false;
    platform::CreateFileAtomically(path, aText, created, aFileSystem).ThrowIfFailed();
    if (created) return path;
  }
  throw Error("Cannot write file \"" +
              framework::JoinPath(aFolder, SuffixedName(aBase, 1, aExtension)) +
              "\". Every name of the receipt is taken");
}

// Removes a settled queue record; one that stays is left for a later settlement (the
// failure's text goes to the log), never reported as removed.
void RemoveSettledRecord(const std::string& aPath) { platform::DeleteFile(aPath).ThrowIfFailed(); }

int32_t IntegerOr(const std::string& aText, int32_t aDefault) {
  int32_t value = 0;
  return base::TryStrToInt(aText, value) ? value : aDefault;
}

}  // namespace

// ---- Reading queue records ----------------------------------------------------------------

// A queue record that no living process holds, held now by the settling process.
struct kReceiptLedger::tAbandoned {
  explicit tAbandoned(platform::FileSystem& aFileSystem) : hold(aFileSystem) {}
  std::string path;
  std::string name;
  platform::LockFile hold;
  bool readable = false;
  tQueuedReceipt receipt;
  std::optional<tReceiptFailure> failure;  // the record was being recorded as failed
  std::optional<Currency> totalBefore;
};

namespace {

bool ReadQueueRecord(const std::string& aContent, tQueuedReceipt& aReceipt,
                     std::optional<tReceiptFailure>& aFailure,
                     std::optional<Currency>& aTotalBefore) {
  pugi::xml_document document;
  try {
    base::ParseXml(document, aContent);
  } catch (const Error&) {
    return false;
  }
  const pugi::xml_node root = document.document_element();
  if (!base::NameIs(root.name(), "QueuedReceipt")) return false;
  try {
    aReceipt.counterNumber = base::StrToInt(ChildText(root, "CounterNumber"));
    aReceipt.receiptNumber = base::StrToInt(ChildText(root, "Number"));
    aReceipt.zReportNumber = base::StrToInt(ChildText(root, "ZReportNumber"));
    aReceipt.dateTime = ChildText(root, "DateTime");
    base::XmlTextToDateTime(aReceipt.dateTime);  // a well-formed date-time, or the record is not
    aReceipt.receiptType = documents::krptUtil::DecodeReceiptType(ChildText(root, "Type"));
    aReceipt.amount = base::StrToCurrency(ChildText(root, "Amount"));
    aReceipt.request = ChildText(root, "Request");
    if (base::FindChild(root, "Step")) {
      aFailure = tReceiptFailure{ChildText(root, "Step"), ChildText(root, "Message"),
                                 ChildText(root, "Signature")};
      if (base::FindChild(root, "TotalBefore")) {
        aTotalBefore = base::StrToCurrency(ChildText(root, "TotalBefore"));
      }
    }
  } catch (const Error&) {
    return false;
  }
  return true;
}

}  // namespace

// ---- The ledger ---------------------------------------------------------------------------

kReceiptLedger::kReceiptLedger(kFiscalProcessorCounters& aCounters, tLog aLog,
                               platform::FileSystem& aFileSystem)
    : fCounters(aCounters), fLog(std::move(aLog)), fFileSystem(aFileSystem) {}

void kReceiptLedger::SetFolders(const std::string& aQueue, const std::string& aErrors,
                                const std::string& aProcessed) {
  fDirQueue = aQueue;
  fDirErrors = aErrors;
  fDirProcessed = aProcessed;
}

std::string kReceiptLedger::QueueFileName(const tQueuedReceipt& aReceipt) const {
  return framework::JoinPath(
      fDirQueue, NumberedName(aReceipt.zReportNumber, aReceipt.counterNumber) + kQueueExtension);
}

std::unique_ptr<tHeldReceipt> kReceiptLedger::Count(tQueuedReceipt aReceipt) {
  tCountersLock lock(fCounters);
  SettleAbandoned();
  fCounters.Refresh();
  aReceipt.counterNumber = fCounters.Figures().NextReceiptNo();
  aReceipt.zReportNumber = fCounters.CurrentZReportNo();
  if (aReceipt.receiptNumber <= 0) aReceipt.receiptNumber = aReceipt.counterNumber;
  const std::string queueFile = QueueFileName(aReceipt);
  auto held = std::make_unique<tHeldReceipt>(aReceipt, queueFile, fFileSystem);
  const std::string record = QueueRecordText(aReceipt, nullptr, std::nullopt);
  platform::FileStatus created = held->Hold().TryCreateHeld(queueFile, record);
  // A queue folder removed while the till runs is made again.
  if (!created.IsOk() && !platform::DirectoryExists(fDirQueue) &&
      platform::ForceDirectories(fDirQueue).IsOk()) {
    created = held->Hold().TryCreateHeld(queueFile, record);
  }
  if (!created.IsOk()) {
    // A record created but not written is settled as never counted.
    throw Error("Cannot write file \"" + queueFile + "\". " + created.Message());
  }
  try {
    fCounters.Count(aReceipt.receiptType, aReceipt.amount);
  } catch (...) {
    held->Hold().Release();
    // A record left behind is settled as never counted.
    platform::DeleteFile(queueFile).IgnoreFailure();
    throw;
  }
  return held;
}

std::string kReceiptLedger::Journal(tHeldReceipt& aHeld, const std::string& aDayFolder,
                                    const std::string& aText) {
  const tQueuedReceipt& receipt = aHeld.Receipt();
  const std::string base = NumberedName(receipt.zReportNumber, receipt.receiptNumber);
  const std::string path =
      CreateUnderFreeName(aDayFolder, base, kJournalExtension, aText, fFileSystem);
  const std::string plain = framework::JoinPath(aDayFolder, base + kJournalExtension);
  if (path != plain) {
    fLog(true, "Journal",
         "File \"" + plain + "\" already exists: the receipt is kept as \"" + path + "\"");
  }
  const bool noted = NoteWritten(receipt.zReportNumber, path, aText, /*aTakeLock=*/true);
  // A holder that lets go before removing works on every system (Windows refuses to remove
  // a file open without sharing); whoever settles the record meanwhile finds the journal.
  aHeld.Hold().Release();
  // Left to the settlement, which finds the journal file and notes it again.
  if (noted) platform::DeleteFile(aHeld.QueueFile()).IgnoreFailure();
  return path;
}

void kReceiptLedger::Failed(tHeldReceipt& aHeld, const tReceiptFailure& aFailure) {
  try {
    tCountersLock lock(fCounters);
    aHeld.Hold().Release();
    fCounters.Refresh();
    Record(aHeld.QueueFile(), aHeld.Receipt(), aFailure);
  } catch (const std::exception& e) {
    fLog(true, "FailedReceipt",
         "Receipt " + std::to_string(aHeld.Receipt().receiptNumber) +
             " is left to be settled later: " + e.what());
  }
  aHeld.Hold().Release();
}

bool kReceiptLedger::Reached(const tQueuedReceipt& aReceipt) const {
  if (aReceipt.zReportNumber != fCounters.CurrentZReportNo()) {
    // A day is closed under the counters lock, after the records of dead processes were
    // settled: every record left of an earlier day had been counted.
    return aReceipt.zReportNumber < fCounters.CurrentZReportNo();
  }
  return fCounters.CurrentReceiptNo() >= aReceipt.counterNumber;
}

void kReceiptLedger::Record(const std::string& aQueueFile, const tQueuedReceipt& aReceipt,
                            const tReceiptFailure& aFailure) {
  std::optional<Currency> totalBefore;
  const bool dayOpen = aReceipt.zReportNumber == fCounters.CurrentZReportNo();
  if (dayOpen && kFiscalProcessorCounters::CountsAmount(aReceipt.receiptType) &&
      aReceipt.amount != Currency()) {
    totalBefore = fCounters.GrandTotalOf(aReceipt.receiptType);
  }
  platform::ReplaceFileAtomically(aQueueFile, QueueRecordText(aReceipt, &aFailure, totalBefore),
                                  fFileSystem)
      .ThrowIfFailed();
  Complete(aQueueFile, aReceipt, aFailure, totalBefore);
}

void kReceiptLedger::Complete(const std::string& aQueueFile, const tQueuedReceipt& aReceipt,
                              const tReceiptFailure& aFailure,
                              const std::optional<Currency>& aTotalBefore) {
  fCounters.Refresh();
  const bool dayOpen = aReceipt.zReportNumber == fCounters.CurrentZReportNo();
  // The counters change only here, under the lock: when they still show the total from
  // before, the amount has not been taken back yet.
  if (dayOpen && aTotalBefore && fCounters.GrandTotalOf(aReceipt.receiptType) == *aTotalBefore) {
    fCounters.TakeBack(aReceipt.receiptType, aReceipt.amount);
  }
  std::optional<int32_t> countedIn;
  if (!dayOpen) countedIn = aReceipt.zReportNumber;
  std::optional<std::string> found = FindErrorRecord(aReceipt);
  const bool noted = found ? NoteFound(aReceipt.zReportNumber, *found)
                           : WriteErrorRecord(aReceipt, aFailure, countedIn);
  // Left to a later settlement, which finds the error record and notes it again.
  if (noted) platform::DeleteFile(aQueueFile).IgnoreFailure();
}

bool kReceiptLedger::WriteErrorRecord(const tQueuedReceipt& aReceipt,
                                      const tReceiptFailure& aFailure,
                                      std::optional<int32_t> aCountedInZReport) {
  const std::string folder = framework::JoinPath(fDirErrors, DayStamp(base::NowDateTime()));
  const std::string text = ErrorRecordText(aReceipt, aFailure, aCountedInZReport);
  const std::string path =
      CreateUnderFreeName(folder, NumberedName(aReceipt.zReportNumber, aReceipt.receiptNumber),
                          kErrorExtension, text, fFileSystem);
  fLog(true, "FailedReceipt",
       "Receipt " + std::to_string(aReceipt.receiptNumber) + " [" + aFailure.step + "] " +
           aFailure.message + ": " + path);
  return NoteWritten(aReceipt.zReportNumber, path, text, /*aTakeLock=*/false);
}

bool kReceiptLedger::NoteWritten(int32_t aZReportNumber, const std::string& aFile,
                                 const std::string& aContent, bool aTakeLock, bool aFound) {
  if (!fWritten) return true;
  // The file is written and stands for its receipt: a failure here must not undo that.
  try {
    std::optional<tCountersLock> lock;
    if (aTakeLock) lock.emplace(fCounters);
    fWritten(aZReportNumber, aFile, aContent, aFound);
    return true;
  } catch (const std::exception& e) {
    fLog(true, "FailedReceipt", "\"" + aFile + "\" written, but: " + e.what());
    return false;
  }
}

bool kReceiptLedger::NoteFound(int32_t aZReportNumber, const std::string& aFile) {
  if (!fWritten) return true;
  std::string content;
  if (const platform::FileStatus read = platform::ReadWholeFile(aFile, content); !read.IsOk()) {
    fLog(true, "SettleQueue", read.Message());
    return false;
  }
  return NoteWritten(aZReportNumber, aFile, content, /*aTakeLock=*/false, /*aFound=*/true);
}

std::optional<std::string> kReceiptLedger::FindErrorRecord(const tQueuedReceipt& aReceipt) const {
  return FindReceiptFile(fDirErrors, aReceipt, kErrorExtension);
}

std::optional<std::string> kReceiptLedger::FindJournalFile(const tQueuedReceipt& aReceipt) const {
  return FindReceiptFile(fDirProcessed, aReceipt, kJournalExtension);
}

// ---- Settlement ---------------------------------------------------------------------------

void kReceiptLedger::SettleAbandoned() {
  std::vector<std::unique_ptr<tAbandoned>> records;
  for (const std::string& name : platform::ListFileNames(fDirQueue)) {
    if (!EndsWith(name, kQueueExtension)) continue;
    auto record = std::make_unique<tAbandoned>(fFileSystem);
    record->name = name;
    record->path = framework::JoinPath(fDirQueue, name);
    std::string content;
    // Held: its receipt is still in flight in a living process.
    if (!record->hold.TryAcquireExisting(record->path).IsOk()) continue;
    record->readable =
        record->hold.ReadHeld(content).IsOk() &&
        ReadQueueRecord(content, record->receipt, record->failure, record->totalBefore);
    records.push_back(std::move(record));
  }
  if (records.empty()) return;
  // A record caught half-way through being recorded as failed comes first: its check of the
  // counters needs them as that process left them.
  std::stable_sort(records.begin(), records.end(), [](const auto& aLeft, const auto& aRight) {
    return aLeft->failure.has_value() && !aRight->failure.has_value();
  });
  fCounters.Refresh();
  for (auto& record : records) {
    try {
      Settle(*record);
    } catch (const std::exception& e) {
      fLog(true, "SettleQueue", "\"" + record->path + "\" is left for later: " + e.what());
    }
    record->hold.Release();
  }
}

void kReceiptLedger::Settle(tAbandoned& aRecord) {
  // Release before removing or replacing: Windows refuses both on a file open without sharing.
  aRecord.hold.Release();
  if (!aRecord.readable) {
    // Only a process that died while writing the record leaves it unreadable, and it died
    // before the counters were saved with the number that the name carries.
    const int32_t zReportNumber = IntegerOr(aRecord.name.substr(0, 4), -1);
    const int32_t counterNumber = IntegerOr(aRecord.name.substr(5, 7), -1);
    const bool sameDay = zReportNumber == fCounters.CurrentZReportNo() % 10000;
    if (sameDay && counterNumber % 10000000 > fCounters.CurrentReceiptNo() % 10000000) {
      RemoveSettledRecord(aRecord.path);
      fLog(false, "SettleQueue", "\"" + aRecord.path + "\": never counted, removed");
      return;
    }
    throw Error("The queue record cannot be read");
  }
  const tQueuedReceipt& receipt = aRecord.receipt;
  if (aRecord.failure) {
    Complete(aRecord.path, receipt, *aRecord.failure, aRecord.totalBefore);
    return;
  }
  if (!Reached(receipt)) {
    RemoveSettledRecord(aRecord.path);
    fLog(false, "SettleQueue", "\"" + aRecord.path + "\": never counted, removed");
    return;
  }
  if (std::optional<std::string> journal = FindJournalFile(receipt)) {
    if (!NoteFound(receipt.zReportNumber, *journal)) throw Error("The journal file is not noted");
    RemoveSettledRecord(aRecord.path);
    fLog(false, "SettleQueue", "\"" + aRecord.path + "\": journaled as \"" + *journal + "\"");
    return;
  }
  Record(aRecord.path, receipt, tReceiptFailure{"Interrupted", kInterruptedMessage, ""});
}

void kReceiptLedger::SettleAbandonedIfAny() {
  bool any = false;
  for (const std::string& name : platform::ListFileNames(fDirQueue)) {
    if (!EndsWith(name, kQueueExtension)) continue;
    platform::LockFile probe(fFileSystem);
    if (probe.TryAcquireExisting(framework::JoinPath(fDirQueue, name)).IsOk()) {
      any = true;
      break;
    }
  }
  if (!any) return;
  tCountersLock lock(fCounters);
  SettleAbandoned();
}

}  // namespace qv::kavren
