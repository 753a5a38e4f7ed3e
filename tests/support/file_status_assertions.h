// GoogleTest's view of a file function's outcome, so that a failed step shows the system's
// text: ASSERT_TRUE(StatusOk(platform::WriteWholeFile(path, "x"))); and the outcome with its
// message kept for the checks that follow: EXPECT_FALSE(Ok(MoveFile(a, b), error)).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_status.h"
#include "platform/file_system.h"

namespace qv::testing {

inline ::testing::AssertionResult StatusOk(const platform::FileStatus& aStatus) {
  if (aStatus.IsOk()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << aStatus.Message();
}

// True when aStatus is a success; false otherwise, with its message in aMessage.
inline bool Ok(const platform::FileStatus& aStatus, std::string& aMessage) {
  if (!aStatus.IsOk()) aMessage = aStatus.Message();
  return aStatus.IsOk();
}

// The size of aPath in bytes, or -1 when it cannot be read (no such file).
inline int64_t FileSizeOf(std::string_view aPath) {
  int64_t size = 0;
  return platform::FileSize(aPath, size).IsOk() ? size : -1;
}

// A new empty file in the user's temporary folder; throws qv::Error when none can be made.
inline std::string NewTemporaryFile(std::string_view aPrefix) {
  std::string path;
  platform::CreateTemporaryFile(aPrefix, path).ThrowIfFailed();
  return path;
}

// Whether platform::CreateFileAtomically wrote aPath (false: it existed); throws qv::Error
// with the function's message when it failed.
inline bool CreatedAtomically(std::string_view aPath, std::string_view aData,
                              platform::FileSystem& aFileSystem = platform::RealFileSystem()) {
  bool created = false;
  platform::CreateFileAtomically(aPath, aData, created, aFileSystem).ThrowIfFailed();
  return created;
}

}  // namespace qv::testing

using qv::testing::CreatedAtomically;
using qv::testing::FileSizeOf;
using qv::testing::NewTemporaryFile;
using qv::testing::Ok;
using qv::testing::StatusOk;
