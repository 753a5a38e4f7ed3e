#include "platform/dynamic_library.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace qv::platform {
namespace {

using AnswerFunction = int32_t (*)();

int32_t CallAnswer(const DynamicLibrary& aLibrary) {
  auto answer = reinterpret_cast<AnswerFunction>(aLibrary.Symbol("PlatformTestModuleAnswer"));
  return answer != nullptr ? answer() : -1;
}

TEST(DynamicLibrary, LoadsByWindowsNameFromTheExecutablesFolder) {
  // The test program and the module are built into the same folder, as the host and its
  // companion libraries are installed.
  DynamicLibrary library;
  std::string error;
  ASSERT_TRUE(library.Load("platform_test_module.dll", error)) << error;
  EXPECT_TRUE(library.IsLoaded());
  EXPECT_EQ(CallAnswer(library), 42);
  EXPECT_EQ(library.Symbol("PRINTFR"), nullptr);
  library.Unload();
  EXPECT_FALSE(library.IsLoaded());
  EXPECT_EQ(library.Symbol("PlatformTestModuleAnswer"), nullptr);
}

TEST(DynamicLibrary, LoadsAPathAsGiven) {
  DynamicLibrary library;
  std::string error;
  ASSERT_TRUE(library.Load(std::string(QV_BIN_DIR) + "/platform_test_module.DLL", error)) << error;
  EXPECT_EQ(CallAnswer(library), 42);
}

TEST(DynamicLibrary, FallsBackToTheLoadersSearch) {
  DynamicLibrary library;
  std::string error;
  ASSERT_TRUE(library.Load("libm.so.6", error)) << error;
  EXPECT_NE(library.Symbol("cos"), nullptr);
}

TEST(DynamicLibrary, MissingLibraryGivesTheLoadersText) {
  DynamicLibrary library;
  std::string error;
  EXPECT_FALSE(library.Load("QVRP_MISSING_10.dll", error));
  EXPECT_FALSE(library.IsLoaded());
  EXPECT_EQ(error, "QVRP_MISSING_10.so: cannot open shared object file: No such file or directory");
}

TEST(DynamicLibrary, ReloadingReplacesTheLoadedLibrary) {
  DynamicLibrary library;
  std::string error;
  ASSERT_TRUE(library.Load("libm.so.6", error));
  ASSERT_TRUE(library.Load("platform_test_module.dll", error)) << error;
  EXPECT_EQ(CallAnswer(library), 42);
}

}  // namespace
}  // namespace qv::platform
