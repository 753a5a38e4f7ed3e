// kIOHandler_Com: the channel of the Com connection type, for devices that another component
// drives (the receipt-printer driver's device is configured with it). It has no transport:
// it counts as connected from its construction, accepts every call and moves no data. Its
// device log holds the START and STOP lines and the connect banner.
//
// Threading: one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/io_handler.h"

namespace qv::channels {

class kIOHandler_Com : public framework::kIOHandler {
 public:
  // Base construction only (time-outs, device log, START line).
  kIOHandler_Com(const framework::kConnection* aConnection, const std::string& aDirectory,
                 const std::string& aFileName);
  ~kIOHandler_Com() override;

  // Always true.
  bool Connected() override;
  // The connect banner; true.
  bool Connect() override;
  std::string ClassName() const override { return "kIOHandler_Com"; }

  // True; nothing to close.
  bool Disconnect() override;
  void ClearBuffers() override;
  // False: nothing is sent and nothing is logged.
  bool Write(const std::string& aMessage) override;
  // The empty text.
  std::string ReadUpTo(const std::vector<uint8_t>& aChars) override;
  std::string ReadChars(int32_t aCharsNum) override;
  // Fails with "ReadAll Unsupported".
  std::string ReadAll() override;
  // The empty text.
  std::string DecodeError(int32_t aErrorCode) override;
  // Fails with "InputBufferContainsData Unsupported".
  bool InputBufferContainsData() override;
  // Ignored.
  void SetParameter(const std::string& aName, const std::string& aValue) override;
};

}  // namespace qv::channels
