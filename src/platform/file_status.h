// The outcome of a file function of the platform layer: success, or a failure with its
// message ("context: OS text", for example "Cannot open \"/till/a.fprd\": No such file or
// directory"). The file functions never throw; each caller decides what a failure means: it
// raises the message (ThrowIfFailed), builds its own from it, or carries on and says why
// (IgnoreFailure). A status that nobody looks at is a compile-time warning.
//
// A plain value: copy it, keep it, pass it to any thread.
#pragma once

#include <string>
#include <utility>

#include "platform/error.h"

namespace qv::platform {

class [[nodiscard]] FileStatus {
 public:
  FileStatus() = default;  // success
  static FileStatus Failure(std::string aMessage) { return FileStatus(std::move(aMessage)); }

  bool IsOk() const { return !fFailed; }
  // The failure's message; empty on success.
  const std::string& Message() const { return fMessage; }
  // Throws qv::Error carrying Message() when the function failed; nothing on success.
  void ThrowIfFailed() const {
    if (fFailed) throw Error(fMessage);
  }
  // For a caller that carries on whatever happened (a clean-up, a best-effort step); the
  // call site says why the failure does not matter there.
  void IgnoreFailure() const {}

 private:
  explicit FileStatus(std::string aMessage) : fFailed(true), fMessage(std::move(aMessage)) {}

  bool fFailed = false;
  std::string fMessage;
};

}  // namespace qv::platform
