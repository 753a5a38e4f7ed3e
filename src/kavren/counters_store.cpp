#include "kavren/counters_store.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <sstream>
#include <string_view>

#include <pugixml.hpp>

#include "base/utils.h"
#include "base/xml_utils.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/unicode.h"

namespace qv::kavren {

namespace {

using base::Currency;
using base::DateTime;
using base::tQV_XMLUtils;

// How long a lock file held by another process is waited for: the 7 attempts 500 ms apart of
// earlier versions, which hosts know as "about 3 seconds".
constexpr int kLockWaitMilliseconds = 3000;

// ---- Reading the file's bytes as UTF-8 text ----------------------------------------------

bool StartsWith(std::string_view aText, std::string_view aPrefix) {
  return aText.substr(0, aPrefix.size()) == aPrefix;
}

uint32_t ByteAt(std::string_view aBytes, size_t aIndex) {
  return static_cast<unsigned char>(aBytes[aIndex]);
}

std::string Utf16BytesToUtf8(std::string_view aBytes, bool aBigEndian) {
  std::u16string units;
  units.reserve(aBytes.size() / 2);
  for (size_t i = 0; i + 1 < aBytes.size(); i += 2) {
    uint32_t first = ByteAt(aBytes, i), second = ByteAt(aBytes, i + 1);
    units += static_cast<char16_t>(aBigEndian ? (first << 8 | second) : (second << 8 | first));
  }
  return platform::Utf16ToUtf8(units);
}

std::string Utf32BytesToUtf8(std::string_view aBytes, bool aBigEndian) {
  std::string out;
  for (size_t i = 0; i + 3 < aBytes.size(); i += 4) {
    uint32_t value = 0;
    for (size_t k = 0; k < 4; ++k) {
      value |= ByteAt(aBytes, i + k) << (aBigEndian ? 8 * (3 - k) : 8 * k);
    }
    platform::AppendUtf8(out, value);
  }
  return out;
}

std::string Latin1ToUtf8(std::string_view aBytes) {
  std::string out;
  for (char c : aBytes) platform::AppendUtf8(out, static_cast<unsigned char>(c));
  return out;
}

// The value of encoding="..." in a leading XML declaration, in lower case; empty when none.
std::string DeclaredEncoding(std::string_view aText) {
  size_t start = aText.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos || aText.substr(start, 5) != "<?xml") return {};
  size_t end = aText.find("?>", start);
  std::string declaration = base::LowerCase(aText.substr(start, end - start));
  size_t key = declaration.find("encoding");
  if (key == std::string::npos) return {};
  size_t open = declaration.find_first_of("\"'", key);
  if (open == std::string::npos) return {};
  size_t close = declaration.find(declaration[open], open + 1);
  if (close == std::string::npos) return {};
  return declaration.substr(open + 1, close - open - 1);
}

// The code page of an 8-bit encoding name ("windows-1253", "cp1252", "iso-8859-7"), or 0.
int CodePageOfEncoding(const std::string& aEncoding) {
  auto numberAfter = [&](std::string_view aPrefix) -> int {
    if (!StartsWith(aEncoding, aPrefix)) return 0;
    std::string digits = aEncoding.substr(aPrefix.size());
    if (digits.empty() || digits.size() > 5) return 0;
    for (char c : digits) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return 0;
    }
    return std::stoi(digits);
  };
  if (int page = numberAfter("windows-")) return page;
  if (int page = numberAfter("cp")) return page;
  if (int part = numberAfter("iso-8859-")) return 28590 + part;
  return 0;
}

std::string EightBitToUtf8(std::string_view aBytes) {
  std::string encoding = DeclaredEncoding(aBytes);
  if (encoding == "iso-8859-1" || encoding == "latin1" || encoding == "iso_8859-1") {
    return Latin1ToUtf8(aBytes);
  }
  if (int codePage = CodePageOfEncoding(encoding)) {
    try {
      return platform::CodePageToUtf8(aBytes, codePage);
    } catch (const Error&) {
      // An encoding this machine cannot convert: only the till serial may hold characters
      // outside ASCII, and it is not read back, so the bytes are read as they stand.
    }
  }
  return std::string(aBytes);
}

// The text of a counters file as UTF-8, whatever byte-order mark or encoding it was saved
// with, without its XML declaration (whose encoding no longer applies).
std::string CountersFileText(std::string_view aBytes) {
  std::string text;
  if (StartsWith(aBytes, "\xEF\xBB\xBF")) {
    text = aBytes.substr(3);
  } else if (StartsWith(aBytes, std::string_view("\xFF\xFE\0\0", 4))) {
    text = Utf32BytesToUtf8(aBytes.substr(4), /*aBigEndian=*/false);
  } else if (StartsWith(aBytes, std::string_view("\0\0\xFE\xFF", 4))) {
    text = Utf32BytesToUtf8(aBytes.substr(4), /*aBigEndian=*/true);
  } else if (StartsWith(aBytes, "\xFF\xFE")) {
    text = Utf16BytesToUtf8(aBytes.substr(2), /*aBigEndian=*/false);
  } else if (StartsWith(aBytes, "\xFE\xFF")) {
    text = Utf16BytesToUtf8(aBytes.substr(2), /*aBigEndian=*/true);
  } else if (aBytes.size() >= 2 && aBytes[0] == '<' && aBytes[1] == '\0') {
    text = Utf16BytesToUtf8(aBytes, /*aBigEndian=*/false);
  } else if (aBytes.size() >= 2 && aBytes[0] == '\0' && aBytes[1] == '<') {
    text = Utf16BytesToUtf8(aBytes, /*aBigEndian=*/true);
  } else {
    text = EightBitToUtf8(aBytes);
  }
  size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string::npos) return {};
  if (text.compare(start, 5, "<?xml") == 0) {
    size_t end = text.find("?>", start);
    if (end != std::string::npos) return text.substr(end + 2);
  }
  return text.substr(start);
}

// Values written by hand or by other tools may carry blanks or line breaks around them.
void TrimChildTexts(pugi::xml_node aRoot) {
  for (pugi::xml_node child : aRoot.children()) {
    // Only a plain text is trimmed: the parser keeps it in the element itself.
    if (child.type() != pugi::node_element || child.first_child()) continue;
    const std::string_view value = child.value();
    const size_t first = value.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
      base::SetElementText(child, {});
      continue;
    }
    const size_t last = value.find_last_not_of(" \t\r\n");
    if (first != 0 || last + 1 != value.size()) {
      base::SetElementText(child, std::string(value.substr(first, last - first + 1)));
    }
  }
}

// ---- The elements of the file ----------------------------------------------------------

// Calls aVisit(name, value) for each element of the counters file after TillSerial, in the
// order they are written: the one list that reading and writing the file both go by.
template <typename TContent, typename TVisit>
void ForEachElement(TContent& aContent, TVisit aVisit) {
  auto& figures = aContent.figures;
  aVisit("CreatedAt", aContent.createdAt);
  aVisit("LastUpdatedAt", aContent.lastUpdatedAt);
  aVisit("CurrentReceiptNo", figures.CurrentReceiptNo);
  aVisit("CurrentZReportNo", figures.CurrentReportNo);
  aVisit("DailyTotal", figures.DailyTotal);
  aVisit("DailySales", figures.DailySales);
  aVisit("DailyRefunds", figures.DailyRefunds);
  aVisit("DailyVoids", figures.DailyVoids);
  aVisit("DailyDiscounts", figures.DailyDiscounts);
  aVisit("GrandTotalTotal", figures.GrandTotalTotal);
  aVisit("GrandTotalSales", figures.GrandTotalSales);
  aVisit("GrandTotalRefunds", figures.GrandTotalRefunds);
  aVisit("GrandTotalVoids", figures.GrandTotalVoids);
  aVisit("GrandTotalDiscounts", figures.GrandTotalDiscounts);
  aVisit("TrainingMode", aContent.trainingMode);
}

// Reading an element: a missing one gives 0, the zero date-time or False; a value that does
// not convert throws with the accessor's message.
void ReadElement(pugi::xml_node aRoot, const char* aName, DateTime& aValue) {
  aValue = tQV_XMLUtils::GetNodeValueAsDateTime(aRoot, aName);
}
void ReadElement(pugi::xml_node aRoot, const char* aName, int32_t& aValue) {
  aValue = tQV_XMLUtils::GetNodeValueAsInteger(aRoot, aName);
}
void ReadElement(pugi::xml_node aRoot, const char* aName, Currency& aValue) {
  aValue = tQV_XMLUtils::GetNodeValueAsCurrency(aRoot, aName);
}
void ReadElement(pugi::xml_node aRoot, const char* aName, bool& aValue) {
  aValue = tQV_XMLUtils::GetNodeValueAsBoolean(aRoot, aName, /*aDefaultValue=*/false);
}

// The file keeps whole seconds and amounts without trailing zeros.
std::string ElementText(DateTime aValue) {
  return base::DateTimeToXmlText(/*aWithMilliseconds=*/false, aValue);
}
std::string ElementText(int32_t aValue) { return std::to_string(aValue); }
std::string ElementText(Currency aValue) { return base::CurrencyToXmlText(aValue); }
std::string ElementText(bool aValue) { return base::BooleanToXmlText(aValue); }

// ---- Paths and times ---------------------------------------------------------------------

std::string JoinPath(const std::string& aFolder, const char* aName) {
  if (aFolder.empty()) return aName;
  char last = aFolder.back();
  if (platform::IsPathDelimiter(last)) return aFolder + aName;
  char delimiter = aFolder.find('\\') != std::string::npos ? '\\' : '/';
  return aFolder + delimiter + aName;
}

// The file keeps whole seconds; a new store holds in memory what it wrote.
DateTime WholeSecondsNow() {
  base::DateTimeParts parts = base::DecodeDateTime(base::NowDateTime());
  parts.millisecond = 0;
  return base::EncodeDateTime(parts);
}

}  // namespace

// ---- Init, Refresh, Save -----------------------------------------------------------------

void kFiscalProcessorCounters::Init(const std::string& aFileName, const std::string& aTillSerial) {
  fFileName = aFileName;
  fTillSerial = aTillSerial;
  if (platform::FileExists(fFileName)) {
    Refresh();
    return;
  }
  DateTime now = WholeSecondsNow();
  tFileContent fresh;
  fresh.createdAt = now;
  fresh.lastUpdatedAt = now;
  fresh.figures.CurrentReportNo = 1;
  fContent = fresh;
  SaveAt(now);
}

void kFiscalProcessorCounters::Refresh() {
  if (!platform::FileExists(fFileName)) return;
  std::string bytes;
  platform::ReadWholeFile(fFileName, bytes).ThrowIfFailed();

  pugi::xml_document document;
  base::ParseXml(document, CountersFileText(bytes));
  pugi::xml_node root = document.document_element();
  TrimChildTexts(root);

  tFileContent read;
  ForEachElement(read, [&](const char* aName, auto& aValue) { ReadElement(root, aName, aValue); });
  fContent = read;
}

void kFiscalProcessorCounters::Save() { SaveAt(base::NowDateTime()); }

void kFiscalProcessorCounters::SaveAt(DateTime aSavedAt) {
  platform::ReplaceFileAtomically(fFileName, RenderFile(aSavedAt), fFileSystem).ThrowIfFailed();
}

std::string kFiscalProcessorCounters::RenderFile(DateTime aSavedAt) const {
  pugi::xml_document document;
  pugi::xml_node declaration = document.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  declaration.append_attribute("encoding") = "UTF-8";
  pugi::xml_node root = document.append_child("FPRCounters");

  tFileContent saved = fContent;
  saved.lastUpdatedAt = aSavedAt;
  tQV_XMLUtils::AddNode(root, "TillSerial", fTillSerial);
  ForEachElement(saved, [&](const char* aName, const auto& aValue) {
    tQV_XMLUtils::AddNode(root, aName, ElementText(aValue));
  });

  std::ostringstream out;
  document.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
  return out.str();
}

// ---- Lock --------------------------------------------------------------------------------

std::string kFiscalProcessorCounters::LockFilePath() {
  return JoinPath(platform::WorkingDirectory(), kLockFileName);
}

std::string kFiscalProcessorCounters::TillLockFilePath() const {
  const size_t delimiter = fFileName.find_last_of("\\/");
  if (delimiter == std::string::npos) return {};
  return fFileName.substr(0, delimiter + 1) + kLockFileName;
}

namespace {

// Takes aLock on the lock file aPath, waiting while another holder keeps it; throws
// "Cannot create file ..." when the file cannot be had in time.
void AcquireLockFile(platform::LockFile& aLock, const std::string& aPath) {
  const platform::FileStatus held = aLock.TryAcquireWithin(aPath, kLockWaitMilliseconds);
  if (!held.IsOk()) throw Error("Cannot create file \"" + aPath + "\". " + held.Message());
}

}  // namespace

bool kFiscalProcessorCounters::Lock() {
  if (fLockStream.IsHeld()) {
    ++fLockDepth;
    return true;
  }
  // The working directory's lock first, as programs of the past expect; then the till's own,
  // which excludes every host of the till whatever folder it was started in. Both are always
  // taken in this order, so two holders never wait for each other crosswise.
  AcquireLockFile(fLockStream, LockFilePath());
  const std::string tillLock = TillLockFilePath();
  if (!tillLock.empty() && !fLockStream.HoldsFile(tillLock)) {
    try {
      AcquireLockFile(fTillLockStream, tillLock);
    } catch (...) {
      fLockStream.Release();
      throw;
    }
  }
  fLockDepth = 1;
  return true;
}

bool kFiscalProcessorCounters::Unlock() {
  if (fLockDepth > 1) {
    --fLockDepth;
    return true;
  }
  fLockDepth = 0;
  fTillLockStream.Release();
  fLockStream.Release();
  return true;
}

// ---- Update and Z ------------------------------------------------------------------------

template <typename Change>
void kFiscalProcessorCounters::ChangeAndSave(Change aChange) {
  const tFileContent before = fContent;
  try {
    aChange(fContent.figures);
    Save();
  } catch (...) {
    fContent = before;
    throw;
  }
}

bool kFiscalProcessorCounters::Update(documents::qvReceiptType aReceiptType, Currency aAmount) {
  tCountersLock guard(*this);
  Refresh();
  return Count(aReceiptType, aAmount);
}

bool kFiscalProcessorCounters::Count(documents::qvReceiptType aReceiptType, Currency aAmount) {
  ChangeAndSave(
      [&](framework::qvDayFigures& aFigures) { aFigures.CountReceipt(aReceiptType, aAmount); });
  return true;
}

bool kFiscalProcessorCounters::TakeBack(documents::qvReceiptType aReceiptType, Currency aAmount) {
  Refresh();
  ChangeAndSave(
      [&](framework::qvDayFigures& aFigures) { aFigures.AddToTotals(aReceiptType, -aAmount); });
  return true;
}

bool kFiscalProcessorCounters::Z() {
  Refresh();
  ChangeAndSave([](framework::qvDayFigures& aFigures) { aFigures.CloseDay(); });
  return true;
}

}  // namespace qv::kavren
