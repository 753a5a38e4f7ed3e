#include "platform/append_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/support/platform_test_support.h"
#include "support/file_status_assertions.h"

namespace qv::platform {
namespace {

using test::ScratchFolder;
using ::testing::HasSubstr;

std::string Content(const std::string& aPath) {
  std::string content;
  EXPECT_TRUE(StatusOk(ReadWholeFile(aPath, content)));
  return content;
}

TEST(AppendLog, RecordsGoToTheEndOfTheFileAcrossReopening) {
  ScratchFolder scratch;
  const std::string path = scratch.File("keys.log");
  ASSERT_TRUE(StatusOk(WriteWholeFile(path, "first\n")));
  {
    AppendLog log;
    ASSERT_TRUE(StatusOk(log.Open(path)));
    EXPECT_TRUE(log.IsOpen());
    ASSERT_TRUE(StatusOk(log.Append("second\n", /*aDurable=*/true)));
    ASSERT_TRUE(StatusOk(log.Append("third\n", /*aDurable=*/false)));
    EXPECT_EQ(Content(path), "first\nsecond\nthird\n") << "each record is written when it returns";
  }
  AppendLog again;
  ASSERT_TRUE(StatusOk(again.Open(path)));
  ASSERT_TRUE(StatusOk(again.Append("fourth\n", /*aDurable=*/true)));
  again.Close();
  EXPECT_FALSE(again.IsOpen());
  EXPECT_EQ(Content(path), "first\nsecond\nthird\nfourth\n");
}

TEST(AppendLog, FileThatCannotBeOpenedOrAClosedLogIsReported) {
  ScratchFolder scratch;
  AppendLog log;
  std::string error;
  EXPECT_FALSE(Ok(log.Open(scratch.File("no-such-folder/keys.log")), error));
  EXPECT_THAT(error, HasSubstr("Cannot open"));
  EXPECT_THAT(error, HasSubstr("keys.log"));
  EXPECT_FALSE(log.IsOpen());
  EXPECT_FALSE(Ok(log.Append("lost\n", /*aDurable=*/true), error))
      << "a record written to a log that is not open";
  EXPECT_THAT(error, HasSubstr("the file is not open"));
}

}  // namespace
}  // namespace qv::platform
