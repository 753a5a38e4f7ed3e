// A fresh folder under the temporary folder for one test, removed with its content at the
// end, and small helpers to read the log files written into it.
#pragma once

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/process.h"
#include "support/file_status_assertions.h"

namespace qv::test_support {

class ScratchFolder {
 public:
  ScratchFolder() {
    static std::atomic<int> counter{0};
    fPath = platform::TemporaryFolder() + "qv_scratch_" + std::to_string(platform::ProcessId()) +
            "_" + std::to_string(counter++);
    std::filesystem::remove_all(fPath);
    platform::ForceDirectories(fPath).ThrowIfFailed();
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(fPath, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The folder, without a trailing delimiter.
  const std::string& Path() const { return fPath; }
  // The folder joined with aName by a "\", the way the log writer joins them.
  std::string operator/(const std::string& aName) const { return fPath + "\\" + aName; }

 private:
  std::string fPath;
};

// The whole content of a file, or "<missing>" when it cannot be read.
inline std::string FileContent(const std::string& aPath) {
  std::string content;
  return platform::ReadWholeFile(aPath, content).IsOk() ? content : "<missing>";
}

// The lines of a file split at CR LF (the last, empty piece after the final CR LF dropped).
inline std::vector<std::string> FileLines(const std::string& aPath) {
  const std::string content = FileContent(aPath);
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = content.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(content.substr(start, end - start));
  }
  if (start < content.size()) lines.push_back(content.substr(start));
  return lines;
}

}  // namespace qv::test_support
