// What the Windows suites share: the folder of the test program, where the built DLLs lie,
// and the signing component's COM registration, as regsvr32 leaves it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/dynamic_library.h"
#include "platform/process.h"

namespace qv::testing {

// The folder of this program with a trailing delimiter.
inline std::string ProgramFolder() {
  const std::string path = platform::ExecutablePath();
  return path.substr(0, path.find_last_of("\\/") + 1);
}

// Registers AlgoDll.dll beside this program through its DllRegisterServer.
inline void RegisterSigningComponent() {
  using tRegisterServer = long(__stdcall*)();
  platform::DynamicLibrary algo;
  std::string error;
  ASSERT_TRUE(algo.Load(ProgramFolder() + "AlgoDll.dll", error)) << error;
  auto registerServer = reinterpret_cast<tRegisterServer>(algo.Symbol("DllRegisterServer"));
  ASSERT_NE(registerServer, nullptr);
  ASSERT_EQ(registerServer(), 0L);
}

}  // namespace qv::testing
