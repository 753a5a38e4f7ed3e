// errno codes as text, without touching the process locale.
#include "platform/system_error.h"

#include <cerrno>
#include <cstring>

namespace qv::platform {

int LastSystemError() { return errno; }

std::string SystemErrorText(int aCode) {
  char buffer[256] = {};
  // The GNU strerror_r returns either buffer or a static text; both are thread-safe.
  const char* text = strerror_r(aCode, buffer, sizeof buffer);
  if (text == nullptr || *text == '\0') return "Error " + std::to_string(aCode);
  return text;
}

std::string SystemErrorMessage(std::string_view aContext, int aCode) {
  if (aContext.empty()) return SystemErrorText(aCode);
  std::string message(aContext);
  message += ": ";
  message += SystemErrorText(aCode);
  return message;
}

}  // namespace qv::platform
