// kIOHandler_Dll: the channel of the DLL connection type, for devices driven through a
// device library of their maker. The channel loads the library named by the connection's
// LibraryName when it is made and unloads it when it is destroyed, and hands out the
// addresses of the library's procedures; the driver that owns the channel makes the calls.
// The channel itself moves no data.
//
// Threading: one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/io_handler.h"
#include "platform/dynamic_library.h"

namespace qv::channels {

class kIOHandler_Dll : public framework::kIOHandler {
 public:
  // Base construction (time-outs, device log, START line), then loads the library by its
  // name with the system's library search, logging "kIOHandler_Dll.Create:Loading DLL
  // <name>" and "kIOHandler_Dll.Create:DLL Loaded successfully". A library that cannot be
  // loaded fails with "Unable to Load Library <name>. <system text> [<code>]"; the device log
  // then ends with its STOP line.
  kIOHandler_Dll(const framework::kConnection* aConnection, const std::string& aDirectory,
                 const std::string& aFileName);
  // Unloads the library between "kIOHandler_Dll.Destroy:Unloading DLL" and
  // "kIOHandler_Dll.Destroy:DLL Unloaded Successfully".
  ~kIOHandler_Dll() override;

  // Always true: the library is there for the channel's whole life.
  bool Connected() override;
  // The connect banner; true.
  bool Connect() override;
  std::string ClassName() const override { return "kIOHandler_Dll"; }

  // The address of the library's procedure aProcName; fails with
  // "Unable to get address for procedure <aProcName>" when the library has none.
  void* GetAddress(const std::string& aProcName) const;
  const std::string& LibraryName() const { return fLibraryName; }

  // True; nothing to close.
  bool Disconnect() override;
  void ClearBuffers() override;
  // True: the device library, not the channel, carries the data.
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

 private:
  std::string fLibraryName;
  platform::DynamicLibrary fLibraryHandle;
};

}  // namespace qv::channels
