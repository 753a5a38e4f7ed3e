// File descriptors for the POSIX file functions: an owning handle, complete writes and
// uniquely named new files. Private to the platform layer.
#pragma once

#include <string>
#include <string_view>

namespace qv::platform {

// Owns one descriptor and closes it on destruction.
class FileHandle {
 public:
  FileHandle() = default;
  explicit FileHandle(int aDescriptor) : fDescriptor(aDescriptor) {}
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  int Get() const { return fDescriptor; }
  bool IsOpen() const { return fDescriptor >= 0; }
  // Closes; false (errno set) when the system reports a failure, which for a file just
  // written may be a lost write.
  bool Close();

 private:
  int fDescriptor = -1;
};

// Writes all of aData; false with errno set on failure.
bool WriteAll(int aDescriptor, std::string_view aData);
// Creates a new file aFolder + aPrefix + unique part + aSuffix (O_EXCL, mode 0666 less the
// umask) and opens it for writing; -1 with errno set when none could be created.
int CreateUniqueFile(const std::string& aFolder, std::string_view aPrefix, std::string_view aSuffix,
                     std::string& aPath);
// The folder part of a native path with its trailing "/", or "./" for a bare name.
std::string FolderOfNativePath(const std::string& aPath);
// Flushes a folder's entries to disk: a new or renamed file's name is durable only once its
// folder is. Best effort: some file systems refuse fsync on a folder.
void SyncFolder(const std::string& aFolder);

}  // namespace qv::platform
