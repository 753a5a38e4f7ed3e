// The hash chain of a Z period's journal files.
#include "kavren/journal_chain.h"

#include "base/utils.h"
#include "framework/fiscal_processor.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/sha256.h"

namespace qv::kavren {

namespace {

constexpr std::size_t kHashDigits = 64;
// Enough for the last line of any chain whose paths are shorter than about 3,900 characters.
constexpr std::size_t kTailBytes = 4096;

bool IsHashText(std::string_view aText) {
  if (aText.size() != kHashDigits) return false;
  for (char c : aText) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

int HexDigitValue(char aDigit) { return aDigit <= '9' ? aDigit - '0' : aDigit - 'a' + 10; }

void AppendBytesOfHash(std::string& aBytes, std::string_view aHash) {
  for (std::size_t at = 0; at < aHash.size(); at += 2) {
    aBytes += static_cast<char>(HexDigitValue(aHash[at]) * 16 + HexDigitValue(aHash[at + 1]));
  }
}

std::string_view WithoutLineEnd(std::string_view aText) {
  if (!aText.empty() && aText.back() == '\n') aText.remove_suffix(1);
  if (!aText.empty() && aText.back() == '\r') aText.remove_suffix(1);
  return aText;
}

}  // namespace

std::string JournalChainFileName(int32_t aZReportNumber) {
  return base::FixedWidthNumber(aZReportNumber, 4, 0, false, "") + ".fpch";
}

std::string JournalFileHash(std::string_view aContent) {
  return platform::Sha256Hex(platform::Sha256(aContent));
}

std::string NextChainValue(std::string_view aPreviousChainValue, std::string_view aFileHash) {
  if (!IsHashText(aPreviousChainValue) || !IsHashText(aFileHash)) {
    throw Error("A journal chain value needs two SHA-256 values of 64 hexadecimal digits");
  }
  std::string bytes;
  bytes.reserve(kHashDigits);
  AppendBytesOfHash(bytes, aPreviousChainValue);
  AppendBytesOfHash(bytes, aFileHash);
  return JournalFileHash(bytes);
}

std::string FormatJournalChainLine(const tJournalChainLine& aLine) {
  return aLine.path + " " + aLine.fileHash + " " + aLine.chainValue + "\r\n";
}

bool ParseJournalChainLine(std::string_view aText, tJournalChainLine& aLine) {
  const std::string_view text = WithoutLineEnd(aText);
  constexpr std::size_t kFieldsLength = 2 * kHashDigits + 2;  // two hashes and their blanks
  if (text.size() < kFieldsLength + 1) return false;
  const std::string_view fields = text.substr(text.size() - kFieldsLength);
  const std::string_view fileHash = fields.substr(1, kHashDigits);
  const std::string_view chainValue = fields.substr(kHashDigits + 2);
  if (fields[0] != ' ' || fields[kHashDigits + 1] != ' ' || !IsHashText(fileHash) ||
      !IsHashText(chainValue)) {
    return false;
  }
  aLine.path = std::string(text.substr(0, text.size() - kFieldsLength));
  aLine.fileHash = std::string(fileHash);
  aLine.chainValue = std::string(chainValue);
  return true;
}

kJournalChain::kJournalChain(std::string aTillFolder, platform::FileSystem& aFileSystem)
    : fTillFolder(std::move(aTillFolder)),
      fJournalFolder(framework::JoinPath(fTillFolder, "Journal")),
      fFileSystem(aFileSystem) {}

std::string kJournalChain::ChainFilePath(int32_t aZReportNumber) const {
  return framework::JoinPath(fJournalFolder, JournalChainFileName(aZReportNumber));
}

std::string kJournalChain::RelativePath(const std::string& aFile) const {
  // With its delimiter: "C:\QV_FPR_DB\T1\".
  const std::string prefix = framework::JoinPath(fTillFolder, "");
  if (aFile.size() <= prefix.size() || aFile.compare(0, prefix.size(), prefix) != 0) {
    throw Error("The file \"" + aFile + "\" is not in the till's folder \"" + fTillFolder + "\"");
  }
  std::string relative = aFile.substr(prefix.size());
  for (char& c : relative) {
    if (c == '/') c = '\\';
  }
  return relative;
}

kJournalChain::tLastLine kJournalChain::LastLine(const std::string& aChainFile,
                                                 tJournalChainLine& aLine) const {
  std::string tail;
  int64_t size = 0;
  platform::ReadFileTail(aChainFile, kTailBytes, tail, size).ThrowIfFailed();
  const int64_t tailStart = size - static_cast<int64_t>(tail.size());
  if (!tail.empty() && tail.back() != '\n') {
    const std::size_t lastEnd = tail.rfind('\n');
    // Longer than any line the chain writes: not an interrupted append, left as it is.
    if (lastEnd == std::string::npos && tailStart > 0) return tLastLine::kDamagedUnended;
    // An append that a crash interrupted: the line never reached the chain.
    const std::size_t keep = lastEnd == std::string::npos ? 0 : lastEnd + 1;
    platform::TruncateFile(aChainFile, tailStart + static_cast<int64_t>(keep)).ThrowIfFailed();
    tail.resize(keep);
  }
  if (tail.empty()) return tLastLine::kNone;
  const std::string_view text = WithoutLineEnd(tail);
  const std::size_t previousEnd = text.rfind('\n');
  if (previousEnd == std::string_view::npos && tailStart > 0) return tLastLine::kDamaged;
  const std::string_view line =
      previousEnd == std::string_view::npos ? text : text.substr(previousEnd + 1);
  return ParseJournalChainLine(line, aLine) ? tLastLine::kFound : tLastLine::kDamaged;
}

bool kJournalChain::Append(int32_t aZReportNumber, const std::string& aFile,
                           std::string_view aContent) {
  tJournalChainLine line;
  line.path = RelativePath(aFile);
  line.fileHash = JournalFileHash(aContent);
  const std::string chainFile = ChainFilePath(aZReportNumber);
  std::string previous(kInitialChainValue);
  std::string text;
  bool whole = true;
  tJournalChainLine last;
  switch (platform::FileExists(chainFile) ? LastLine(chainFile, last) : tLastLine::kNone) {
    case tLastLine::kNone:
      break;
    case tLastLine::kFound:
      if (last.path == line.path && last.fileHash == line.fileHash) return true;
      previous = last.chainValue;
      break;
    case tLastLine::kDamagedUnended:
      text = "\r\n";  // the new line starts a line of its own
      whole = false;
      break;
    case tLastLine::kDamaged:
      whole = false;
      break;
  }
  line.chainValue = NextChainValue(previous, line.fileHash);
  text += FormatJournalChainLine(line);
  // A folder that cannot be made fails the append with the system's text.
  platform::ForceDirectories(fJournalFolder).IgnoreFailure();
  platform::AppendToFileDurably(chainFile, text, fFileSystem).ThrowIfFailed();
  return whole;
}

bool kJournalChain::Holds(int32_t aZReportNumber, const std::string& aFile,
                          std::string_view aContent) const {
  const std::string path = RelativePath(aFile);
  const std::string chainFile = ChainFilePath(aZReportNumber);
  if (!platform::FileExists(chainFile)) return false;
  std::string text;
  platform::ReadWholeFile(chainFile, text).ThrowIfFailed();
  const std::string fileHash = JournalFileHash(aContent);
  tJournalChainLine line;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (ParseJournalChainLine(std::string_view(text).substr(start, end - start), line) &&
        line.path == path && line.fileHash == fileHash) {
      return true;
    }
    start = end + 1;
  }
  return false;
}

bool kJournalChain::AppendFile(int32_t aZReportNumber, const std::string& aFile) {
  std::string content;
  platform::ReadWholeFile(aFile, content).ThrowIfFailed();
  return Append(aZReportNumber, aFile, content);
}

}  // namespace qv::kavren
