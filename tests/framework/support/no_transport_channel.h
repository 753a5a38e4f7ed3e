// A channel for tests of the channel base and of processors: the base's logging and error
// state, and no transport (nothing is sent, nothing arrives).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/io_handler.h"

namespace qv::framework::testing {

class kIOHandler_NoTransport : public kIOHandler {
 public:
  using kIOHandler::kIOHandler;
  bool Disconnect() override { return true; }
  void ClearBuffers() override {}
  bool Write(const std::string&) override { return false; }
  std::string ReadUpTo(const std::vector<uint8_t>&) override { return {}; }
  std::string ReadChars(int32_t) override { return {}; }
  std::string ReadAll() override { return {}; }
  std::string DecodeError(int32_t) override { return {}; }
  bool InputBufferContainsData() override { return false; }
  void SetParameter(const std::string&, const std::string&) override {}
};

}  // namespace qv::framework::testing
