// The one error class of the library. Every failure is raised as a qv::Error carrying the
// message text that the caller sees; only the export wrappers catch everything and turn it
// into a return code and an error text.
#pragma once

#include <stdexcept>
#include <string>

namespace qv {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& aMessage) : std::runtime_error(aMessage) {}
};

}  // namespace qv
