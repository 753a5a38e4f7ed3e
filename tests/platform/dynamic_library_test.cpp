#include "platform/dynamic_library.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <string>

#include "platform/support/platform_test_support.h"

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

// The loader keeps errno to itself: the code is the one its text names, with the system's
// text for it; a text naming no error code gives 0 and the loader's own text.
TEST(DynamicLibrary, FailedLoadKeepsTheSystemsCodeAndMessage) {
  DynamicLibrary library;
  std::string error;
  EXPECT_FALSE(library.Load("QVRP_MISSING_10.dll", error));
  EXPECT_EQ(library.LoadErrorCode(), ENOENT);
  EXPECT_EQ(library.LoadErrorMessage(), "No such file or directory");

  test::ScratchFolder scratch;
  const std::string broken = (scratch.Path() / "broken.so").string();
  {
    std::ofstream file(broken);
    file << "not a library";
  }
  EXPECT_FALSE(library.Load(broken, error));
  EXPECT_EQ(library.LoadErrorCode(), 0);
  EXPECT_EQ(library.LoadErrorMessage(), error);
  EXPECT_NE(error.find("file too short"), std::string::npos) << error;

  ASSERT_TRUE(library.Load("platform_test_module.dll", error)) << error;
  EXPECT_EQ(library.LoadErrorCode(), 0);
  EXPECT_EQ(library.LoadErrorMessage(), "");
}

TEST(DynamicLibrary, MissingSymbolGivesTheLoadersText) {
  DynamicLibrary library;
  std::string error;
  ASSERT_TRUE(library.Load("platform_test_module.dll", error)) << error;
  EXPECT_EQ(library.Symbol("PRINTFR", error), nullptr);
  EXPECT_EQ(error, std::string(QV_BIN_DIR) + "/platform_test_module.so: undefined symbol: PRINTFR");
  error.clear();
  EXPECT_NE(library.Symbol("PlatformTestModuleAnswer", error), nullptr);
  EXPECT_EQ(error, "");
  library.Unload();
  EXPECT_EQ(library.Symbol("PlatformTestModuleAnswer", error), nullptr);
  EXPECT_FALSE(error.empty());
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
