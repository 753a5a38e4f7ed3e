// Files and folders.
//
// Every path argument is in the system's own form: Windows-style paths such as
// "C:\QV_FPR_DB\T1\Queue\" are mapped at this boundary. On Linux a path that begins with a
// drive letter "X:" maps to the folder named by the environment variable QVFP_DRIVE_X
// (upper-case letter; drive C defaults to "$HOME/.local/share/qvfp/C" when unset, and so
// does every other letter X to "$HOME/.local/share/qvfp/X"; "/tmp" stands for an unset HOME),
// and every "\" becomes "/". A path without a drive letter is relative to the working directory or
// already absolute. Both "\" and "/" count as path delimiters.
//
// Functions returning bool report failure by false and, where they take aError, the
// system's text ("context: OS text"). They never throw except where noted.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace qv::platform {

// The native path for a system path (drive mapping and delimiters as above).
std::string NativePath(std::string_view aPath);
bool IsPathDelimiter(char aChar);
bool IsAbsolutePath(std::string_view aPath);  // "X:\...", "\\server\..." or "/..."

bool FileExists(std::string_view aPath);       // a regular file
bool DirectoryExists(std::string_view aPath);  // a folder
// Creates aPath and every missing parent; true when the folder exists afterwards.
bool ForceDirectories(std::string_view aPath);
// Copies aSource to aTarget; fails (false) when aTarget exists.
bool CopyFileNoOverwrite(std::string_view aSource, std::string_view aTarget, std::string& aError);
// Copies aSource over aTarget, replacing it atomically (as ReplaceFileAtomically, through
// the same write / flush / rename seam).
bool CopyFileReplace(std::string_view aSource, std::string_view aTarget, std::string& aError);
// Moves or renames a file or folder; false when aTarget exists (never replaced) or the
// move fails. A file moves between file systems by copy and delete.
bool MoveFile(std::string_view aSource, std::string_view aTarget);
bool DeleteFile(std::string_view aPath);
// Opens aPath for appending (creating it), writes aData, flushes and closes. Like a file
// opened with shared access on Windows, it fails while another holder keeps the file
// exclusively (a LockFile on it, see LockFile::TryAcquireWithoutTruncating).
bool AppendToFile(std::string_view aPath, std::string_view aData, std::string& aError);
// Appends aData to aPath (creating it) and makes it durable before returning: the data is
// flushed to disk and, for a file that this call created, the folder too. The write and the
// flush pass through the failure-injection seam below. Returns false with the system's text
// in aError when any step fails; part of aData may then have reached the file.
bool AppendToFileDurably(std::string_view aPath, std::string_view aData, std::string& aError);
// Reads at most the last aMaxBytes of aPath into aTail and its size into aFileSize; false
// with the system's text in aError when it cannot be read.
bool ReadFileTail(std::string_view aPath, std::size_t aMaxBytes, std::string& aTail,
                  int64_t& aFileSize, std::string& aError);
// Cuts aPath to its first aSize bytes and flushes it to disk; false with the system's text.
bool TruncateFile(std::string_view aPath, int64_t aSize, std::string& aError);
// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(std::string_view aPath, std::string& aContent, std::string& aError);
// Creates or truncates aPath and writes aData (not atomic: a crash may leave a part).
bool WriteWholeFile(std::string_view aPath, std::string_view aData, std::string& aError);
// Replaces aPath with aData atomically: a temporary file in the same folder is written,
// flushed to disk and renamed over aPath (then the folder is synced). On any failure the
// temporary file is removed, aPath keeps its old content and qv::Error is thrown with
// "Cannot write file \"<path>\". <OS text>".
void ReplaceFileAtomically(std::string_view aPath, std::string_view aData);
// Creates aPath with aData as ReplaceFileAtomically does, except that an existing aPath is
// never replaced: returns false when aPath exists (nothing changed), true when the file was
// written; throws qv::Error "Cannot write file \"<path>\". <OS text>" on any other failure.
bool CreateFileAtomically(std::string_view aPath, std::string_view aData);
// Removes from aFolder the temporary files that interrupted atomic replaces
// (ReplaceFileAtomically, CopyFileReplace, CreateFileAtomically) left behind: only names of
// the replace's own pattern, and never the file of a replace still at work. Returns how many
// were removed.
int RemoveInterruptedReplaceFiles(std::string_view aFolder);
// Size in bytes, or -1 when the file's attributes cannot be read.
int64_t FileSize(std::string_view aPath);
// Creates a new empty file with a unique name that starts with aPrefix ("tmp") in the
// user's temporary folder (TMPDIR, else /tmp) and returns its path; throws qv::Error with
// the system's text when none can be created.
std::string CreateTemporaryFile(std::string_view aPrefix);
// The user's temporary folder, with a trailing delimiter.
std::string TemporaryFolder();

struct SubFolder {
  std::string name;     // without the parent folder
  LocalTime createdAt;  // creation time (Linux: birth time where the file system keeps it,
                        // else the last status change)
};
// The names of the regular files directly in aFolder, in no particular order; empty when
// the folder is missing or cannot be read.
std::vector<std::string> ListFileNames(std::string_view aFolder);

// The direct subfolders of aPath ("." and ".." left out), in no particular order.
std::vector<SubFolder> ListSubFolders(std::string_view aPath);

// Failure injection for durability tests. The counters store's file work (write, flush,
// rename, lock) passes through this seam: after InjectFileFault(op, n) the n-th following
// call of op fails as if the system had refused it (n = 1: the next one). n = 0 disarms.
enum class FileOperation { Write, Flush, Rename, Lock };
void InjectFileFault(FileOperation aOperation, int aNth);
// Used by the implementations: true when this call of aOperation must fail.
bool ShouldFailFileOperation(FileOperation aOperation);

}  // namespace qv::platform
