#include "serve/till_service.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iostream>
#include <sstream>
#include <vector>

#include <pugixml.hpp>

#include "base/date_time.h"
#include "base/utils.h"
#include "base/xml_utils.h"
#include "commands.h"
#include "platform/code_page.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace qv::host {

namespace fs = std::filesystem;

namespace {

bool StartsWith(std::string_view aText, std::string_view aPrefix) {
  return aText.substr(0, aPrefix.size()) == aPrefix;
}
bool EndsWith(std::string_view aText, std::string_view aSuffix) {
  return aText.size() >= aSuffix.size() && aText.substr(aText.size() - aSuffix.size()) == aSuffix;
}

std::string Escaped(const std::string& aText) {
  std::string text;
  for (char c : aText) {
    if (c == '&')
      text += "&amp;";
    else if (c == '<')
      text += "&lt;";
    else if (c == '>')
      text += "&gt;";
    else
      text += c;
  }
  return text;
}

std::string DayName(double aDay) { return base::FormatDateTime("yyyymmdd", aDay); }
std::string TodayName() { return DayName(base::NowDateTime()); }

std::string Digits(int aValue, int aWidth) {
  return base::FixedWidthNumber(aValue, aWidth, 0, false, "");
}

// A file of the till as text: the library writes its journal in the ANSI code page.
bool ReadFileText(const std::string& aPath, std::string& aText) {
  std::string bytes;
  if (!platform::FileExists(aPath) || !platform::ReadWholeFile(aPath, bytes).IsOk()) return false;
  aText = platform::CodePageToUtf8(bytes, 0);
  return true;
}

// The documents the library answers with, as JSON: element names in lower camel case,
// counts as numbers, Booleans as true and false, everything else (amounts included) as the
// exact text.
Json ResultFields(const std::string& aXml) {
  pugi::xml_document document;
  base::ParseXml(document, aXml);
  Json fields = Json::object();
  for (pugi::xml_node child : document.document_element().children()) {
    if (child.type() != pugi::node_element) continue;
    std::string name = child.name();
    std::string value = child.text().get();
    std::string key = name;
    key[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(key[0])));
    if (value == "True" || value == "False") {
      fields[key] = value == "True";
    } else if (EndsWith(name, "Number") && !value.empty() &&
               value.find_first_not_of("-0123456789") == std::string::npos) {
      fields[key] = std::stoll(value);
    } else {
      fields[key] = value;
    }
  }
  return fields;
}

std::vector<fs::path> FilesIn(const std::string& aFolder, std::string_view aExtension) {
  std::vector<fs::path> files;
  std::error_code error;
  for (const fs::directory_entry& entry :
       fs::directory_iterator(platform::NativePath(aFolder), error)) {
    if (entry.is_regular_file() && entry.path().extension() == aExtension)
      files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool IsTemporaryJournalName(const std::string& aName) {
  // The library writes a journal file as ".<name>.<unique>.tmp" and renames it when done.
  return !aName.empty() && aName.front() == '.' && aName.find(".fprd.") != std::string::npos &&
         EndsWith(aName, ".tmp");
}

struct FoundDocument {
  std::string text;
  std::string file;       // relative to the till's folder, "/" between the parts
  bool complete = false;  // false: the text names the key but is cut short
};

// The first file of aFolders (relative to the till's folder) whose name ends with aEnding
// and whose document carries a RequestId element with aKey.
std::optional<FoundDocument> DocumentWithRequestId(
    const std::string& aTillFolder, const std::vector<std::string>& aFolders,
    const std::function<bool(const std::string&)>& aName, const std::string& aKey) {
  const std::string marker = "<RequestId>" + Escaped(aKey) + "</RequestId>";
  for (const std::string& folder : aFolders) {
    std::error_code error;
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry :
         fs::directory_iterator(platform::NativePath(aTillFolder + folder), error)) {
      if (entry.is_regular_file() && aName(entry.path().filename().string())) {
        files.push_back(entry.path());
      }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      FoundDocument found;
      if (!ReadFileText(file.string(), found.text) ||
          found.text.find(marker) == std::string::npos) {
        continue;
      }
      std::string relative = folder;
      std::replace(relative.begin(), relative.end(), '\\', '/');
      found.file = relative + "/" + file.filename().string();
      pugi::xml_document document;
      if (!document.load_string(found.text.c_str())) return found;
      found.complete = document.find_node([&aKey](pugi::xml_node aNode) {
        return std::string_view(aNode.name()) == "RequestId" && aKey == aNode.text().get();
      });
      if (found.complete) return found;
    }
  }
  return std::nullopt;
}

struct FailedAttempt {
  std::string step;  // where the receipt failed: "ReceiptText", "Signing", "Journal", ...
  std::string message;

  // The steps up to signing fail before the device signed ("Signing" keeps the device's
  // refusal as its Signature); an interrupted receipt whose journal file was never begun
  // counts as unsigned. Every later step failed after the device signed.
  bool Signed() const {
    return step != "ReceiptText" && step != "Signing" && step != "Interrupted";
  }
};

// The first error record (".fpre", the root FailedReceipt) of aFolders whose request carries a
// RequestId element with aKey. The record keeps the request as the text of its Request
// element, so that request is read as a document of its own.
std::optional<FailedAttempt> ErrorRecordWithRequestId(const std::string& aTillFolder,
                                                      const std::vector<std::string>& aFolders,
                                                      const std::string& aKey) {
  for (const std::string& folder : aFolders) {
    std::error_code error;
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry :
         fs::directory_iterator(platform::NativePath(aTillFolder + folder), error)) {
      if (entry.is_regular_file() && EndsWith(entry.path().filename().string(), ".fpre")) {
        files.push_back(entry.path());
      }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      std::string text;
      pugi::xml_document record;
      if (!ReadFileText(file.string(), text) || !record.load_string(text.c_str())) continue;
      pugi::xml_node root = record.document_element();
      pugi::xml_document request;
      if (!request.load_string(root.child("Request").text().get())) continue;
      const bool carriesKey = request.find_node([&aKey](pugi::xml_node aNode) {
        return std::string_view(aNode.name()) == "RequestId" && aKey == aNode.text().get();
      });
      if (carriesKey) {
        return FailedAttempt{root.child("Step").text().get(), root.child("Message").text().get()};
      }
    }
  }
  return std::nullopt;
}

// The two trailer lines after "LEGAL RECEIPT": the signature.
Json SignatureLines(const pugi::xml_node& aReceipt) {
  std::vector<std::string> values;
  for (pugi::xml_node text : aReceipt.child("TrailerMessages").children("Text")) {
    values.push_back(text.child("Value").text().get());
  }
  Json lines = Json::array();
  for (size_t i = 0; i + 2 < values.size(); ++i) {
    if (values[i] == "LEGAL RECEIPT") {
      lines = Json::array({values[i + 1], values[i + 2]});
    }
  }
  return lines;
}

bool IsDayName(const std::string& aDay) {
  return aDay.size() == 8 && aDay.find_first_not_of("0123456789") == std::string::npos;
}

// ZZZZ-NNNNNNN.fprd: the journal's own names, so that no request reaches another file.
bool IsJournalFileName(const std::string& aFile) {
  if (aFile.size() != 17 || aFile[4] != '-' || !EndsWith(aFile, ".fprd")) return false;
  std::string digits = aFile.substr(0, 4) + aFile.substr(5, 7);
  return digits.find_first_not_of("0123456789") == std::string::npos;
}

Json JournalEntry(const fs::path& aFile) {
  Json entry = Json::object();
  entry["file"] = aFile.filename().string();
  std::string text;
  pugi::xml_document document;
  if (!ReadFileText(aFile.string(), text) || !document.load_string(text.c_str())) {
    entry["type"] = "Unreadable";
    return entry;
  }
  pugi::xml_node root = document.document_element();
  pugi::xml_node receipt = root.child("Receipt");
  auto integer = [](const char* aText) -> Json {
    int32_t value = 0;
    return base::TryStrToInt(aText, value) ? Json(value) : Json(nullptr);
  };
  if (receipt) {
    entry["number"] = integer(receipt.child("Number").text().get());
    entry["zReportNumber"] = integer(receipt.child("ZReportNumber").text().get());
    entry["type"] = receipt.child("Type").text().get();
    entry["totalAmount"] = receipt.child("TotalAmount").text().get();
    entry["dateTime"] = receipt.child("DateTime").text().get();
  } else {
    entry["number"] = nullptr;
    entry["zReportNumber"] = integer(root.child("CurrentZReportNo").text().get());
    entry["type"] = "ZReport";
    entry["totalAmount"] = root.child("DailyTotal").text().get();
    entry["dateTime"] = "";
  }
  return entry;
}

}  // namespace

Answer ErrorAnswer(int aStatus, const std::string& aMessage) {
  Json body = {{"error", {{"status", aStatus}, {"message", aMessage}}}};
  return Answer{aStatus, body.dump(-1, ' ', false, Json::error_handler_t::replace)};
}

int StatusOfLibraryFailure(const std::string& aMessage) {
  if (aMessage == "Receipt node not found" || EndsWith(aMessage, " is invalid") ||
      StartsWith(aMessage, "Error in processing node") || StartsWith(aMessage, "Unable to find ")) {
    return 422;
  }
  if (aMessage.find("QVFP_CYKAVREN.Lock") != std::string::npos) return 423;
  if (StartsWith(aMessage, "Error when signing the receipt") ||
      aMessage.find("ClassID: {27C3D64C-4341-11D7-AAF9-00D0592E132D}") != std::string::npos) {
    return 503;
  }
  return 500;
}

TillService::TillService(SharedLibrary& aLibrary, TillOptions aTill, int aKeyRetentionDays)
    : fLibrary(aLibrary), fTill(std::move(aTill)), fKeyRetentionDays(aKeyRetentionDays) {}

std::string TillService::TillPath(const std::string& aRelative) const {
  return "C:\\QV_FPR_DB\\" + fTill.till + "\\" + aRelative;
}

bool TillService::EnsureOpen() {
  std::lock_guard<std::mutex> calls(fCallMutex);
  if (IsOpen()) return true;
  std::string message;
  int32_t handle = 0;
  try {
    if (!fServiceLock.IsHeld()) {
      // A folder that cannot be made fails the lock below with the system's text.
      platform::ForceDirectories(TillPath("Service")).IgnoreFailure();
      const platform::FileStatus held =
          fServiceLock.TryAcquire(TillPath("Service\\qvfp-serve.lock"));
      if (!held.IsOk()) {
        throw Error("Till " + fTill.till + " is served by another qvfp serve (" + held.Message() +
                    ")");
      }
    }
    if (!fKeys) {
      fKeys =
          std::make_unique<RequestKeys>(TillPath("Service\\RequestKeys.log"), fKeyRetentionDays);
    }
    CallResult opened = fLibrary.Call("OPEN", BuildRequest("OPEN", 0, fTill));
    if (opened.code == 0) {
      handle = opened.handle;
    } else {
      message = opened.error.empty() ? "OPEN failed without a message" : opened.error;
    }
  } catch (const std::exception& e) {
    message = e.what();
  }
  std::lock_guard<std::mutex> state(fStateMutex);
  fOpen = handle > 0;
  fHandle = handle;
  fMessage = message;
  return fOpen;
}

bool TillService::IsOpen() const {
  std::lock_guard<std::mutex> state(fStateMutex);
  return fOpen;
}

Json TillService::State() const {
  std::lock_guard<std::mutex> state(fStateMutex);
  return Json{{"till", fTill.till}, {"open", fOpen}, {"message", fOpen ? "" : fMessage}};
}

int32_t TillService::RequireOpen() {
  std::lock_guard<std::mutex> state(fStateMutex);
  if (!fOpen) throw HttpFailure(503, "Till " + fTill.till + " is not open: " + fMessage);
  return fHandle;
}

CallResult TillService::CallLibrary(const std::string& aExport, const std::string& aBody) {
  return fLibrary.Call(aExport, BuildRequest(aExport, RequireOpen(), fTill, aBody));
}

Answer TillService::Status() {
  std::lock_guard<std::mutex> calls(fCallMutex);
  CallResult result = CallLibrary("PROCESSGETSTATUS", "");
  if (result.code != 0) return ErrorAnswer(StatusOfLibraryFailure(result.error), result.error);
  return Answer{200, ResultFields(result.output).dump()};
}

Answer TillService::XReport() {
  std::lock_guard<std::mutex> calls(fCallMutex);
  CallResult result = CallLibrary("PROCESSXREPORT", "");
  if (result.code != 0) return ErrorAnswer(StatusOfLibraryFailure(result.error), result.error);
  return Answer{200, ResultFields(result.output).dump()};
}

// ---- Keys -------------------------------------------------------------------------------

std::optional<Answer> TillService::KnownAnswer(const std::string& aKey,
                                               const std::string& aOperation,
                                               const std::string& aRequest) {
  const KeyRecord* record = fKeys->Find(aKey);
  if (record == nullptr) return std::nullopt;
  if (record->operation != aOperation || record->request != aRequest) {
    throw HttpFailure(409, "The Idempotency-Key " + aKey + " was used with another request");
  }
  std::optional<Answer> answer;
  if (record->state == KeyRecord::State::kAnswered) {
    answer = Answer{record->status, record->answer};
  } else {
    // The attempt of this key was interrupted: the till's records tell what it did.
    answer = aOperation == "receipt" ? ResolveInterruptedReceipt(aKey, *record)
                                     : ResolveInterruptedZReport(*record);
    if (answer) {
      fKeys->RecordAnswer(aKey, answer->status, answer->body);
    } else {
      fKeys->Free(aKey);
    }
  }
  if (answer) answer->replayed = true;
  return answer;
}

std::optional<Answer> TillService::ResolveInterruptedReceipt(const std::string& aKey,
                                                             const KeyRecord& aRecord) {
  std::vector<std::string> journal, errors;
  for (int day = aRecord.day; day <= std::max(aRecord.day + 1, Today()); ++day) {
    journal.push_back("Processed\\" + DayName(day));
    errors.push_back("Errors\\" + DayName(day));
  }
  const std::string tillFolder = TillPath("");
  auto journalName = [](const std::string& aName) {
    return EndsWith(aName, ".fprd") && aName.front() != '.';
  };
  if (std::optional<FoundDocument> found =
          DocumentWithRequestId(tillFolder, journal, journalName, aKey)) {
    if (found->complete) return ReceiptAnswer(found->text);
  }
  // Journal files are written only after the receipt was signed: a journal file that the
  // interrupted call did not get to rename into place still holds a signed receipt, and
  // one it did not finish writing means that one was signed.
  if (std::optional<FoundDocument> found =
          DocumentWithRequestId(tillFolder, journal, IsTemporaryJournalName, aKey)) {
    if (found->complete) return ReceiptAnswer(found->text, found->file);
    return ErrorAnswer(500,
                       "The receipt was signed, but the call was interrupted while its "
                       "journal file was written: " +
                           found->file);
  }
  // An error record whose receipt was signed binds the key to that failure; one that was
  // not signed (the device refused, the call was interrupted before signing) leaves the key
  // free.
  if (std::optional<FailedAttempt> failed = ErrorRecordWithRequestId(tillFolder, errors, aKey)) {
    if (failed->Signed()) return ErrorAnswer(500, failed->message);
  }
  return std::nullopt;
}

int TillService::CurrentZReportNumber() const {
  std::string text;
  pugi::xml_document document;
  if (!ReadFileText(TillPath("counters.actual.fprc"), text) ||
      !document.load_string(text.c_str())) {
    return 0;
  }
  int32_t number = 0;
  base::TryStrToInt(document.document_element().child("CurrentZReportNo").text().get(), number);
  return number;
}

std::optional<Answer> TillService::ResolveInterruptedZReport(const KeyRecord& aRecord) {
  int closing = 0;
  base::TryStrToInt(aRecord.detail, closing);
  if (closing <= 0 || CurrentZReportNumber() <= closing) return std::nullopt;
  // The day was closed: its figures are in the Z-report's journal copy of the counters.
  Json figures = {{"reportNumber", closing}};
  for (int day = aRecord.day; day <= std::max(aRecord.day + 1, Today()); ++day) {
    std::string text;
    pugi::xml_document document;
    if (!ReadFileText(
            TillPath("Processed\\" + DayName(day) + "\\" + Digits(closing, 4) + "-9999.fprd"),
            text) ||
        !document.load_string(text.c_str())) {
      continue;
    }
    pugi::xml_node root = document.document_element();
    const std::pair<const char*, const char*> amounts[] = {
        {"grandTotalAmount", "GrandTotalTotal"},
        {"grandTotalRefundsAmount", "GrandTotalRefunds"},
        {"grandTotalVoidsAmount", "GrandTotalVoids"},
        {"dayTotalAmount", "DailyTotal"},
        {"dayDiscountsAmount", "DailyDiscounts"},
        {"dayRefundsAmount", "DailyRefunds"},
        {"dayVoidsAmount", "DailyVoids"}};
    for (const auto& [key, element] : amounts) figures[key] = root.child(element).text().get();
    figures["dayReceiptsNumber"] = root.child("CurrentReceiptNo").text().as_int();
    break;
  }
  figures["text"] = "";
  return Answer{200, figures.dump()};
}

// The answer is the client's whatever happens to the keys file now: should this write fail,
// the key stays pending on the disk and is resolved from the till's records next time.
void TillService::SettleKey(const std::string& aKey, const Answer& aAnswer, bool aBound) {
  try {
    if (aBound) {
      fKeys->RecordAnswer(aKey, aAnswer.status, aAnswer.body);
    } else {
      fKeys->Free(aKey);
    }
  } catch (const std::exception& e) {
    std::cerr << "qvfp serve: till " << fTill.till << ", key " << aKey << ": " << e.what()
              << std::endl;
  }
}

// ---- Receipts ---------------------------------------------------------------------------

Answer TillService::ReceiptAnswer(const std::string& aRequestXml, const std::string& aFile) {
  pugi::xml_document document;
  base::ParseXml(document, aRequestXml);
  pugi::xml_node receipt = document.document_element().child("Receipt");
  int32_t number = 0, zReport = 0;
  base::TryStrToInt(receipt.child("Number").text().get(), number);
  base::TryStrToInt(receipt.child("ZReportNumber").text().get(), zReport);
  const std::string name = Digits(zReport, 4) + "-" + Digits(number, 7) + ".fprd";
  // The journal folder is named after the day the receipt was written, which is today or,
  // just after midnight, the day of its DateTime.
  std::string day = TodayName();
  base::DateTime dateTime = 0;
  if (!platform::FileExists(TillPath("Processed\\" + day + "\\" + name))) {
    try {
      dateTime = base::XmlTextToDateTime(receipt.child("DateTime").text().get());
      day = DayName(dateTime);
    } catch (const Error&) {
    }
  }
  Json body = {{"number", number},
               {"zReportNumber", zReport},
               {"dateTime", receipt.child("DateTime").text().get()},
               {"journalFile", aFile.empty() ? "Processed/" + day + "/" + name : aFile},
               {"signature", SignatureLines(receipt)},
               {"receipt", ElementToJson(receipt)}};
  return Answer{201, body.dump(-1, ' ', false, Json::error_handler_t::replace)};
}

Answer TillService::Receipt(const std::string& aReceiptXml, const std::string& aKey) {
  std::lock_guard<std::mutex> calls(fCallMutex);
  RequireOpen();
  if (!aKey.empty()) {
    if (std::optional<Answer> known = KnownAnswer(aKey, "receipt", aReceiptXml)) return *known;
    fKeys->RecordPending(aKey, "receipt", aReceiptXml, "");
  }
  Answer answer = ProcessReceipt(aReceiptXml, aKey);
  if (!aKey.empty()) {
    // A failure after signing binds the key as a success does.
    SettleKey(aKey, answer,
              answer.status == 201 || ResolveInterruptedReceipt(aKey, *fKeys->Find(aKey)));
  }
  return answer;
}

Answer TillService::ProcessReceipt(const std::string& aReceiptXml, const std::string& aKey) {
  std::string body;
  if (!aKey.empty()) body = "  <RequestId>" + Escaped(aKey) + "</RequestId>\n";
  body += "  " + aReceiptXml + "\n";
  CallResult result = CallLibrary("PROCESSRECEIPT", body);
  if (result.code != 0) {
    if (result.error.empty()) {
      return ErrorAnswer(500,
                         "The receipt was not signed: the receipt-printer driver gave no "
                         "receipt text (see the till's log)");
    }
    return ErrorAnswer(StatusOfLibraryFailure(result.error), result.error);
  }
  return ReceiptAnswer(result.output);
}

// ---- Z-report ---------------------------------------------------------------------------

Answer TillService::ZReport(const std::string& aBody, const std::string& aKey) {
  bool printText = false;
  std::string text;
  if (!aBody.empty()) {
    Json request = Json::parse(aBody, nullptr, /*allow_exceptions=*/false);
    if (!request.is_object()) throw HttpFailure(400, "The body is not a JSON object");
    if (request.contains("printText")) {
      if (!request["printText"].is_boolean())
        throw HttpFailure(400, "printText must be true or false");
      printText = request["printText"];
    }
    if (request.contains("text")) {
      if (!request["text"].is_string()) throw HttpFailure(400, "text must be a string");
      text = request["text"];
    }
  }
  pugi::xml_document document;
  pugi::xml_node report = document.append_child("ZReport");
  report.append_child("PrintText").text().set(printText ? "True" : "False");
  report.append_child("Text").text().set(text.c_str());
  const std::string zreportXml = CompactXml(report);

  std::lock_guard<std::mutex> calls(fCallMutex);
  RequireOpen();
  if (!aKey.empty()) {
    if (std::optional<Answer> known = KnownAnswer(aKey, "zreport", zreportXml)) return *known;
    fKeys->RecordPending(aKey, "zreport", zreportXml, std::to_string(CurrentZReportNumber()));
  }
  Answer answer = ProcessZReport(zreportXml, aKey);
  if (!aKey.empty()) {
    // A day closed on the till binds the key, even when the signing device then refused.
    SettleKey(aKey, answer, answer.status == 200 || ResolveInterruptedZReport(*fKeys->Find(aKey)));
  }
  return answer;
}

Answer TillService::ProcessZReport(const std::string& aZReportXml, const std::string& aKey) {
  std::string body;
  if (!aKey.empty()) body = "  <RequestId>" + Escaped(aKey) + "</RequestId>\n";
  body += "  " + aZReportXml + "\n";
  CallResult result = CallLibrary("PROCESSZREPORT", body);
  if (result.code != 0) {
    if (result.error.empty()) {
      return ErrorAnswer(503,
                         "The day was closed on the till, but the signing device did not "
                         "close its day (see the till's log)");
    }
    return ErrorAnswer(StatusOfLibraryFailure(result.error), result.error);
  }
  return Answer{200, ResultFields(result.output).dump()};
}

// ---- Journal ----------------------------------------------------------------------------

Answer TillService::Journal(const std::string& aDay) {
  const std::string day = aDay.empty() ? TodayName() : aDay;
  if (!IsDayName(day)) throw HttpFailure(400, "date must be yyyymmdd, not \"" + aDay + "\"");
  Json entries = Json::array();
  for (const fs::path& file : FilesIn(TillPath("Processed\\" + day), ".fprd")) {
    entries.push_back(JournalEntry(file));
  }
  return Answer{200, entries.dump(-1, ' ', false, Json::error_handler_t::replace)};
}

Answer TillService::JournalFile(const std::string& aDay, const std::string& aFile) {
  if (!IsDayName(aDay) || !IsJournalFileName(aFile)) {
    throw HttpFailure(404, "No journal file " + aDay + "/" + aFile + " on till " + fTill.till);
  }
  std::string text;
  if (!ReadFileText(TillPath("Processed\\" + aDay + "\\" + aFile), text)) {
    throw HttpFailure(404, "No journal file " + aDay + "/" + aFile + " on till " + fTill.till);
  }
  Answer answer{200, text, "application/xml"};
  return answer;
}

Answer TillService::Verify() {
  std::lock_guard<std::mutex> calls(fCallMutex);
  VerifyOptions options;
  options.dataFolder = platform::NativePath("C:\\");
  options.till = fTill.till;
  options.json = true;
  std::ostringstream document;
  VerifyTill(options, document);
  return Answer{200, document.str()};
}

}  // namespace qv::host
