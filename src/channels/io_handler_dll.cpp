#include "channels/io_handler_dll.h"

#include <cerrno>

#include "framework/device_handler.h"
#include "platform/error.h"
#include "platform/system_error.h"

namespace qv::channels {

namespace {

const char* const kCreateTitle = "kIOHandler_Dll.Create";
const char* const kDestroyTitle = "kIOHandler_Dll.Destroy";
// The code the loader reports when it names no reason: the file is not there.
constexpr int kFileNotFound = 2;

}  // namespace

kIOHandler_Dll::kIOHandler_Dll(const framework::kConnection* aConnection,
                               const std::string& aDirectory, const std::string& aFileName)
    : kIOHandler(aConnection, aDirectory, aFileName),
      fLibraryName(aConnection != nullptr ? aConnection->LibraryName() : std::string()) {
  WriteLog(framework::let_info, kCreateTitle, "Loading DLL " + fLibraryName);
  std::string loadError;
  // The loader leaves the reason's code behind only when it has one; an old code from an
  // earlier call must not be mistaken for it.
  errno = 0;
  // An empty name would give the host program itself, which is no device library.
  const bool loaded = !fLibraryName.empty() && fLibraryHandle.Load(fLibraryName, loadError);
  if (!loaded) {
    int code = fLibraryName.empty() ? 0 : platform::LastSystemError();
    if (code == 0) code = kFileNotFound;
    if (loadError.empty()) loadError = platform::SystemErrorText(code);
    throw Error("Unable to Load Library " + fLibraryName + ". " + loadError + " [" +
                std::to_string(code) + "]");
  }
  WriteLog(framework::let_info, kCreateTitle, "DLL Loaded successfully");
}

kIOHandler_Dll::~kIOHandler_Dll() {
  if (!fLibraryHandle.IsLoaded()) return;
  try {
    WriteLog(framework::let_info, kDestroyTitle, "Unloading DLL");
    fLibraryHandle.Unload();
    WriteLog(framework::let_info, kDestroyTitle, "DLL Unloaded Successfully");
  } catch (...) {
    // A log that can no longer be written does not keep the library loaded.
    fLibraryHandle.Unload();
  }
}

bool kIOHandler_Dll::Connected() { return true; }

bool kIOHandler_Dll::Connect() {
  kIOHandler::Connect();
  return true;
}

void* kIOHandler_Dll::GetAddress(const std::string& aProcName) const {
  void* address = fLibraryHandle.Symbol(aProcName.c_str());
  if (address == nullptr) throw Error("Unable to get address for procedure " + aProcName);
  return address;
}

bool kIOHandler_Dll::Disconnect() { return true; }

void kIOHandler_Dll::ClearBuffers() {}

bool kIOHandler_Dll::Write(const std::string& aMessage) { return true; }

std::string kIOHandler_Dll::ReadUpTo(const std::vector<uint8_t>& aChars) { return {}; }

std::string kIOHandler_Dll::ReadChars(int32_t aCharsNum) { return {}; }

std::string kIOHandler_Dll::ReadAll() { throw Error("ReadAll Unsupported"); }

std::string kIOHandler_Dll::DecodeError(int32_t aErrorCode) { return {}; }

bool kIOHandler_Dll::InputBufferContainsData() {
  throw Error("InputBufferContainsData Unsupported");
}

void kIOHandler_Dll::SetParameter(const std::string& aName, const std::string& aValue) {}

}  // namespace qv::channels
