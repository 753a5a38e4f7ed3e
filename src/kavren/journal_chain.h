// The hash chain of a Z period: the till's proof that its journal was not changed after it
// was written.
//
// Every journal file, error record and Z-report copy of a till, once written, gets one line
// in the chain file of its Z period, "Journal\<ZZZZ>.fpch" in the till's folder (ZZZZ: the
// last four digits of the Z number, zero-padded). A line is
//
//   <path> SP <file hash> SP <chain value> CR LF
//
// where <path> is the file's path relative to the till's folder with "\" delimiters (for
// example "Processed\20260109\0001-0000042.fprd"), <file hash> the SHA-256 of the file's
// bytes and <chain value> the SHA-256 of the 64 bytes made of the previous line's chain
// value followed by this file's hash; the first line of a chain starts from 32 zero bytes.
// Both are 64 lower-case hexadecimal digits. The path is everything before the last two
// fields, so it may hold blanks. Editing a journal file breaks its hash, removing one leaves
// a line without a file, copying one in leaves a file without a line, and editing, removing
// or inserting a line breaks every chain value after it.
//
// Threading: the caller holds the counters lock while it appends, so the lines of all
// processes of a till follow one another; reading helpers are stateless.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace qv::kavren {

// One line of a chain file, without its line end.
struct tJournalChainLine {
  std::string path;        // relative to the till's folder
  std::string fileHash;    // 64 lower-case hexadecimal digits
  std::string chainValue;  // 64 lower-case hexadecimal digits
};

// The chain value before the first line of every chain: 32 zero bytes.
inline constexpr std::string_view kInitialChainValue =
    "0000000000000000000000000000000000000000000000000000000000000000";

// "<ZZZZ>.fpch" for a Z number (its last four digits).
std::string JournalChainFileName(int32_t aZReportNumber);
// The SHA-256 of aContent in the chain's text form.
std::string JournalFileHash(std::string_view aContent);
// The chain value after a file whose hash is aFileHash; both arguments are 64 hexadecimal
// digits (throws qv::Error for anything else).
std::string NextChainValue(std::string_view aPreviousChainValue, std::string_view aFileHash);
// The line's text with its CR LF.
std::string FormatJournalChainLine(const tJournalChainLine& aLine);
// Reads one line (with or without its CR LF or LF); false when it is not of the form above.
bool ParseJournalChainLine(std::string_view aText, tJournalChainLine& aLine);

class kJournalChain {
 public:
  // aTillFolder: the till's folder ("C:\QV_FPR_DB\T1"); the chains lie in its subfolder
  // "Journal". Appends are written and flushed through aFileSystem, which outlives the chain.
  explicit kJournalChain(std::string aTillFolder,
                         platform::FileSystem& aFileSystem = platform::RealFileSystem());

  // Adds the line of aFile (a full path inside the till's folder) whose bytes are aContent
  // to the chain of Z period aZReportNumber, and flushes the chain file to disk before
  // returning. The caller holds the counters lock. A file that is already the chain's last
  // line with the same content is not added again (a step repeated after a crash). A last
  // line that a crash left incomplete is cut first: it never became part of the chain.
  //
  // Returns true when the line continues a whole chain. A last line that is not a chain line
  // (edited, or damaged on disk) is left for the auditor to see and the new line starts
  // from the initial value, so that the till goes on keeping its journal: false then, for
  // the caller to log. Throws qv::Error when aFile lies outside the till's folder or the
  // chain file cannot be read or written.
  bool Append(int32_t aZReportNumber, const std::string& aFile, std::string_view aContent);
  // As Append, with the content read from aFile.
  bool AppendFile(int32_t aZReportNumber, const std::string& aFile);

  // Whether the chain of Z period aZReportNumber has a line for aFile with the hash of
  // aContent, anywhere in it. Reads the whole chain: for the settlement of a receipt whose
  // process died between its journal file and its chain line, not for every receipt. Throws
  // qv::Error when aFile lies outside the till's folder or the chain cannot be read.
  bool Holds(int32_t aZReportNumber, const std::string& aFile, std::string_view aContent) const;

  // The full path of the chain file of a Z period.
  std::string ChainFilePath(int32_t aZReportNumber) const;

 private:
  enum class tLastLine { kNone, kFound, kDamaged, kDamagedUnended };
  std::string RelativePath(const std::string& aFile) const;
  // The last complete line of the chain file into aLine, cutting an incomplete one;
  // kDamagedUnended for an unended piece longer than any chain line, which stays.
  tLastLine LastLine(const std::string& aChainFile, tJournalChainLine& aLine) const;

  std::string fTillFolder;
  std::string fJournalFolder;
  platform::FileSystem& fFileSystem;
};

}  // namespace qv::kavren
