// A file that grows by whole records: each Append is one write at the end of the file, and
// can be made to reach the disk before it returns. A process killed between two appends
// leaves every earlier record complete.
//
// Threading: one object per file, one call at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_status.h"

namespace qv::platform {

class AppendLog {
 public:
  AppendLog() = default;
  ~AppendLog();
  AppendLog(const AppendLog&) = delete;
  AppendLog& operator=(const AppendLog&) = delete;

  // Opens aPath (a system path) for appending, creating it when missing; "Cannot open
  // \"<path>\": <OS text>" when it cannot be opened.
  FileStatus Open(const std::string& aPath);
  // Writes aRecord at the end of the file; with aDurable the data is on the disk when it
  // returns. "Cannot write \"<path>\": <OS text>" on failure ("...: the file is not open"
  // when it is not).
  FileStatus Append(std::string_view aRecord, bool aDurable);
  void Close();
  bool IsOpen() const;

 private:
  std::string fPath;
  intptr_t fHandle = -1;  // the descriptor on Linux, the HANDLE on Windows
};

}  // namespace qv::platform
