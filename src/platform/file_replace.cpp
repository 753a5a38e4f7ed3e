// The whole-file replacement calls of both systems, on each system's ReplaceWith.
#include <atomic>
#include <cctype>
#include <random>

#include "platform/file_replace_system.h"
#include "platform/process.h"
#include "platform/system_error.h"

namespace qv::platform {

namespace file_replace_system {

std::string UniqueNamePart() {
  static std::atomic<unsigned> counter{0};
  static const unsigned seed = std::random_device{}();
  thread_local std::minstd_rand generator(seed ^ static_cast<unsigned>(ProcessId()) ^
                                          counter.fetch_add(7919));
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned value = generator() ^ (counter.fetch_add(1) * 2654435761u);
  std::string part;
  for (std::size_t i = 0; i < kUniquePartLength; ++i) {
    part += kAlphabet[value % 62];
    value = value / 62 ^ generator();
  }
  return part;
}

bool IsTemporaryName(std::string_view aName, char aLead) {
  const std::size_t tail = 1 + kUniquePartLength + kTemporarySuffix.size();
  if (aName.size() < 2 + tail || aName[0] != aLead) return false;
  if (aName.substr(aName.size() - kTemporarySuffix.size()) != kTemporarySuffix) return false;
  if (aName[aName.size() - tail] != '.') return false;
  for (std::size_t i = aName.size() - tail + 1; i < aName.size() - kTemporarySuffix.size(); ++i) {
    if (!std::isalnum(static_cast<unsigned char>(aName[i]))) return false;
  }
  return true;
}

}  // namespace file_replace_system

namespace {

using file_replace_system::ReplaceWith;

// The failure of a replace or a creation, in the words the till's log has always shown.
FileStatus CannotWrite(std::string_view aPath, int aError) {
  return FileStatus::Failure("Cannot write file \"" + std::string(aPath) + "\". " +
                             SystemErrorText(aError));
}

}  // namespace

FileStatus CreateFileAtomically(std::string_view aPath, std::string_view aData, bool& aCreated,
                                FileSystem& aFileSystem) {
  const int error = ReplaceWith(NativePath(aPath), aData, aFileSystem, /*aKeepExisting=*/true);
  aCreated = error == 0;
  if (error == 0 || file_replace_system::IsFileExistsCode(error)) return FileStatus();
  return CannotWrite(aPath, error);
}

FileStatus ReplaceFileAtomically(std::string_view aPath, std::string_view aData,
                                 FileSystem& aFileSystem) {
  const int error = ReplaceWith(NativePath(aPath), aData, aFileSystem, /*aKeepExisting=*/false);
  if (error != 0) return CannotWrite(aPath, error);
  return FileStatus();
}

FileStatus CopyFileReplace(std::string_view aSource, std::string_view aTarget,
                           FileSystem& aFileSystem) {
  std::string content;
  // "Cannot open \"<source>\": <OS text>" when the source cannot be read.
  if (FileStatus read = ReadWholeFile(aSource, content); !read.IsOk()) return read;
  const std::string target = NativePath(aTarget);
  const int error = ReplaceWith(target, content, aFileSystem, /*aKeepExisting=*/false);
  if (error != 0) {
    return FileStatus::Failure(SystemErrorMessage("Cannot copy to \"" + target + "\"", error));
  }
  return FileStatus();
}

}  // namespace qv::platform
