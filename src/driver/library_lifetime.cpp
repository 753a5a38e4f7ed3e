#include "driver/library_lifetime.h"

#include <memory>
#include <string>

#include "base/application.h"
#include "channels/built_in_channels.h"
#include "driver/processor_registry.h"
#include "framework/log_writer.h"

namespace qv::driver {

namespace {

std::unique_ptr<base::LogSink> CreateApplicationLog(const std::string& aFileName,
                                                    const std::string& aDirectory) {
  return std::make_unique<framework::tQV_LogWriter>(aFileName, aDirectory,
                                                    /*aMaxMessageLength=*/0, /*aDaily=*/false);
}

}  // namespace

void LoadLibraryState(tRegisterProcessors aRegisterProcessors) noexcept {
  try {
    base::CreateApplication(&CreateApplicationLog);
  } catch (...) {
    // The exports still answer; the version texts are empty.
  }
  try {
    channels::RegisterBuiltInChannels();
  } catch (...) {
    // A device whose channel class is missing fails to open with its own message.
  }
  try {
    CreateProcessorTables();
    if (aRegisterProcessors != nullptr) aRegisterProcessors();
  } catch (...) {
    // Without tables every call fails with its own message instead of the host crashing.
  }
}

void UnloadLibraryState() noexcept {
  try {
    FreeProcessorTables();
  } catch (...) {
  }
  base::DestroyApplication();
}

}  // namespace qv::driver
