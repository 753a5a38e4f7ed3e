// The "context: OS text" form of the system's failure messages, the same on every system.
#include "platform/system_error.h"

namespace qv::platform {

std::string SystemErrorMessage(std::string_view aContext, int aCode) {
  if (aContext.empty()) return SystemErrorText(aCode);
  std::string message(aContext);
  message += ": ";
  message += SystemErrorText(aCode);
  return message;
}

}  // namespace qv::platform
