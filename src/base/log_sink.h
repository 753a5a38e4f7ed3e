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
};

}  // namespace qv::base
