// The kind of a log entry and the interface of anything that takes log lines. The log
// writer of the framework implements it; the application object (which lives below the
// framework) holds its application log through it.
#pragma once

#include <string>

namespace qv::base {

enum tQV_MessageType { let_info = 0, let_error = 1 };

class LogSink {
 public:
  virtual ~LogSink() = default;
  // Queues one entry; never waits for the disk.
  virtual void Write(tQV_MessageType aEntryType, const std::string& aMessage) = 0;

  // Where the entries go and moving them elsewhere, for a sink that writes a file (the
  // application log). A file log writer forwards these to its Directory, FileName,
  // SetDirectory and SetFileName. A sink without a file keeps the defaults: empty texts,
  // and moves change nothing.
  virtual std::string LogDirectory() const { return {}; }
  virtual std::string LogFileName() const { return {}; }
  // The folder becomes aDirectory (created when missing); the file keeps its name.
  virtual void MoveToDirectory(const std::string& aDirectory) {}
  // The file becomes the file-name part of aFileName in the current folder.
  virtual void RenameFile(const std::string& aFileName) {}
};

}  // namespace qv::base
