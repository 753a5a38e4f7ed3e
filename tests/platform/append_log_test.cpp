#include "platform/append_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/support/platform_test_support.h"

namespace qv::platform {
namespace {

using test::ScratchFolder;
using ::testing::HasSubstr;

std::string Content(const std::string& aPath) {
  std::string content, error;
  EXPECT_TRUE(ReadWholeFile(aPath, content, error)) << error;
  return content;
}

TEST(AppendLog, RecordsGoToTheEndOfTheFileAcrossReopening) {
  ScratchFolder scratch;
  const std::string path = scratch.File("keys.log");
  std::string error;
  ASSERT_TRUE(WriteWholeFile(path, "first\n", error)) << error;
  {
    AppendLog log;
    ASSERT_TRUE(log.Open(path, error)) << error;
    EXPECT_TRUE(log.IsOpen());
    log.Append("second\n", /*aDurable=*/true);
    log.Append("third\n", /*aDurable=*/false);
    EXPECT_EQ(Content(path), "first\nsecond\nthird\n") << "each record is written when it returns";
  }
  AppendLog again;
  ASSERT_TRUE(again.Open(path, error)) << error;
  again.Append("fourth\n", /*aDurable=*/true);
  again.Close();
  EXPECT_FALSE(again.IsOpen());
  EXPECT_EQ(Content(path), "first\nsecond\nthird\nfourth\n");
}

TEST(AppendLog, FileThatCannotBeOpenedOrAClosedLogIsReported) {
  ScratchFolder scratch;
  AppendLog log;
  std::string error;
  EXPECT_FALSE(log.Open(scratch.File("no-such-folder/keys.log"), error));
  EXPECT_THAT(error, HasSubstr("Cannot open"));
  EXPECT_THAT(error, HasSubstr("keys.log"));
  EXPECT_FALSE(log.IsOpen());
  try {
    log.Append("lost\n", /*aDurable=*/true);
    ADD_FAILURE() << "a record written to a log that is not open";
  } catch (const Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("the file is not open"));
  }
}

}  // namespace
}  // namespace qv::platform
