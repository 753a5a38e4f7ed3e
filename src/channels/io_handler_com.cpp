#include "channels/io_handler_com.h"

#include "platform/error.h"

namespace qv::channels {

kIOHandler_Com::kIOHandler_Com(const framework::kConnection* aConnection,
                               const std::string& aDirectory, const std::string& aFileName)
    : kIOHandler(aConnection, aDirectory, aFileName) {}

kIOHandler_Com::~kIOHandler_Com() = default;

bool kIOHandler_Com::Connected() { return true; }

bool kIOHandler_Com::Connect() {
  kIOHandler::Connect();
  return true;
}

bool kIOHandler_Com::Disconnect() { return true; }

void kIOHandler_Com::ClearBuffers() {}

bool kIOHandler_Com::Write(const std::string& aMessage) { return false; }

std::string kIOHandler_Com::ReadUpTo(const std::vector<uint8_t>& aChars) { return {}; }

std::string kIOHandler_Com::ReadChars(int32_t aCharsNum) { return {}; }

std::string kIOHandler_Com::ReadAll() { throw Error("ReadAll Unsupported"); }

std::string kIOHandler_Com::DecodeError(int32_t aErrorCode) { return {}; }

bool kIOHandler_Com::InputBufferContainsData() {
  throw Error("InputBufferContainsData Unsupported");
}

void kIOHandler_Com::SetParameter(const std::string& aName, const std::string& aValue) {}

}  // namespace qv::channels
