// A failed call of the service as its client sees it: an HTTP status and a message.
#pragma once

#include <string>

#include "platform/error.h"

namespace qv::host {

class HttpFailure : public Error {
 public:
  HttpFailure(int aStatus, const std::string& aMessage) : Error(aMessage), fStatus(aStatus) {}
  int Status() const { return fStatus; }

 private:
  int fStatus;
};

}  // namespace qv::host
