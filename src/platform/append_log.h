// A file that grows by whole records: each Append is one write at the end of the file, and
// can be made to reach the disk before it returns. A process killed between two appends
// leaves every earlier record complete.
//
// Threading: one object per file, one call at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv::platform {

class AppendLog {
 public:
  AppendLog() = default;
  ~AppendLog();
  AppendLog(const AppendLog&) = delete;
  AppendLog& operator=(const AppendLog&) = delete;

  // Opens aPath (a system path) for appending, creating it when missing. False with the
  // system's text in aError when it cannot be opened.
  bool Open(const std::string& aPath, std::string& aError);
  // Writes aRecord at the end of the file; with aDurable the data is on the disk when it
  // returns. Throws qv::Error("Cannot write <path>: <OS text>") on failure.
  void Append(std::string_view aRecord, bool aDurable);
  void Close();
  bool IsOpen() const;

 private:
  std::string fPath;
  intptr_t fHandle = -1;  // the descriptor on Linux, the HANDLE on Windows
};

}  // namespace qv::platform
