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
// Every function that can fail returns a FileStatus (platform/file_status.h): success, or
// the system's text "context: OS text"; results come through reference arguments, which keep
// their value on failure unless noted. None of them throws.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/file_status.h"

namespace qv::platform {

// ---- The file system that durable file work goes through -----------------------------------
//
// The atomic replace, the durable append and the lock file take their primitive steps
// (write, flush, rename, lock) through a FileSystem object that their user is given, as a
// database is given its environment. RealFileSystem() makes the system calls; a test hands
// the counters store, the journal chain or the processor one that refuses a chosen call, to
// prove what a failed write, flush, rename or lock leaves behind. Each step returns 0 or the
// system's error code (errno on Linux, GetLastError on Windows).
//
// Threading: the real one may be used from any thread at once; a replacement must be too.
using NativeFile = intptr_t;  // an open file: the descriptor on Linux, the HANDLE on Windows

enum class FileOperation { Write, Flush, Rename, Lock };

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Writes all of aData to aFile at its position.
  virtual int Write(NativeFile aFile, std::string_view aData) = 0;
  // Flushes aFile's data to the disk.
  virtual int Flush(NativeFile aFile) = 0;
  // Renames the native path aFrom to aTo, replacing aTo; with aKeepExisting only where no
  // file aTo exists (the system's "file exists" code otherwise).
  virtual int Rename(const std::string& aFrom, const std::string& aTo, bool aKeepExisting) = 0;
  // Takes the exclusive hold of aFile without waiting; another holder's code when it has it.
  // On Windows the file was opened unshared, which is the hold: nothing is left to take.
  virtual int Lock(NativeFile aFile) = 0;

  // The code that a refused aOperation reports: an input/output error for a write, a flush
  // or a rename, "held by another" for a lock.
  static int RefusalCode(FileOperation aOperation);
};

// The operating system's files; lives as long as the program.
FileSystem& RealFileSystem();

// ---- Files and folders ------------------------------------------------------------------------

// The native path for a system path (drive mapping and delimiters as above).
std::string NativePath(std::string_view aPath);
bool IsPathDelimiter(char aChar);
bool IsAbsolutePath(std::string_view aPath);  // "X:\...", "\\server\..." or "/..."

bool FileExists(std::string_view aPath);       // a regular file
bool DirectoryExists(std::string_view aPath);  // a folder
// Creates aPath and every missing parent; succeeds when the folder exists afterwards, else
// "Cannot create the folder \"<path>\": <OS text>".
FileStatus ForceDirectories(std::string_view aPath);
// Copies aSource to aTarget; fails when aTarget exists. No half copy stays behind.
FileStatus CopyFileNoOverwrite(std::string_view aSource, std::string_view aTarget);
// Copies aSource over aTarget, replacing it atomically (as ReplaceFileAtomically, through
// the same steps of aFileSystem).
FileStatus CopyFileReplace(std::string_view aSource, std::string_view aTarget,
                           FileSystem& aFileSystem = RealFileSystem());
// Moves or renames a file or folder; fails when aTarget exists (never replaced) or the move
// fails ("Cannot move \"<source>\" to \"<target>\": <OS text>"). A file moves between file
// systems by copy and delete.
FileStatus MoveFile(std::string_view aSource, std::string_view aTarget);
// Removes a file; "Cannot delete \"<path>\": <OS text>" when it cannot (a missing file too).
FileStatus DeleteFile(std::string_view aPath);
// Opens aPath for appending (creating it), writes aData, flushes and closes. Like a file
// opened with shared access on Windows, it fails while another holder keeps the file
// exclusively (a LockFile on it, see LockFile::TryAcquireWithoutTruncating).
FileStatus AppendToFile(std::string_view aPath, std::string_view aData);
// Appends aData to aPath (creating it) and makes it durable before returning: the data is
// flushed to disk and, for a file that this call created, the folder too. The write and the
// flush go through aFileSystem. When any step fails, part of aData may have reached the file.
FileStatus AppendToFileDurably(std::string_view aPath, std::string_view aData,
                               FileSystem& aFileSystem = RealFileSystem());
// Reads at most the last aMaxBytes of aPath into aTail and its size into aFileSize.
FileStatus ReadFileTail(std::string_view aPath, std::size_t aMaxBytes, std::string& aTail,
                        int64_t& aFileSize);
// Cuts aPath to its first aSize bytes and flushes it to disk.
FileStatus TruncateFile(std::string_view aPath, int64_t aSize);
// Reads a whole file into aContent.
FileStatus ReadWholeFile(std::string_view aPath, std::string& aContent);
// Creates or truncates aPath and writes aData (not atomic: a crash may leave a part).
FileStatus WriteWholeFile(std::string_view aPath, std::string_view aData);
// Replaces aPath with aData atomically: a temporary file in the same folder is written,
// flushed to disk and renamed over aPath (then the folder is synced), each step through
// aFileSystem. On any failure the temporary file is removed, aPath keeps its old content and
// the status says "Cannot write file \"<path>\". <OS text>".
FileStatus ReplaceFileAtomically(std::string_view aPath, std::string_view aData,
                                 FileSystem& aFileSystem = RealFileSystem());
// Creates aPath with aData as ReplaceFileAtomically does, except that an existing aPath is
// never replaced: then aCreated is false and nothing changed (a success). aCreated is true
// when the file was written; any other failure is "Cannot write file \"<path>\". <OS text>".
FileStatus CreateFileAtomically(std::string_view aPath, std::string_view aData, bool& aCreated,
                                FileSystem& aFileSystem = RealFileSystem());
// Removes from aFolder the temporary files that interrupted atomic replaces
// (ReplaceFileAtomically, CopyFileReplace, CreateFileAtomically) left behind: only names of
// the replace's own pattern, and never the file of a replace still at work. Returns how many
// were removed.
int RemoveInterruptedReplaceFiles(std::string_view aFolder);
// The size of aPath in bytes into aSize; "Cannot read the size of \"<path>\": <OS text>" when
// the file's attributes cannot be read.
FileStatus FileSize(std::string_view aPath, int64_t& aSize);
// Creates a new empty file with a unique name that starts with aPrefix ("tmp") in the
// user's temporary folder (TMPDIR, else /tmp) and sets aPath to it; "Cannot create a
// temporary file in \"<folder>\": <OS text>" when none can be created.
FileStatus CreateTemporaryFile(std::string_view aPrefix, std::string& aPath);
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

}  // namespace qv::platform
