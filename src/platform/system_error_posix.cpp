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

}  // namespace qv::platform
