#include "platform/lock_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "platform/file_system.h"
#include "platform/support/platform_test_support.h"
#include "support/faulty_file_system.h"
#include "support/file_status_assertions.h"

namespace qv::platform {
namespace {

namespace fs = std::filesystem;
using test::HelperProgram;
using test::RunningProgram;
using test::RunProgram;
using test::ScratchFolder;
using test::ShellQuote;

class LockFileTest : public ::testing::Test {
 protected:
  qv::testing::tFaultyFileSystem fFaulty;
  ScratchFolder fScratch;
  std::string fPath = fScratch.File("QVFP_CYKAVREN.Lock");
};

TEST_F(LockFileTest, SecondHolderInTheSameProcessIsRefused) {
  LockFile first, second;
  std::string error;
  ASSERT_TRUE(StatusOk(first.TryAcquire(fPath)));
  EXPECT_TRUE(first.IsHeld());
  EXPECT_FALSE(Ok(second.TryAcquire(fPath), error));
  EXPECT_FALSE(second.IsHeld());
  EXPECT_EQ(error, "Resource temporarily unavailable");

  first.Release();
  EXPECT_FALSE(first.IsHeld());
  EXPECT_TRUE(fs::exists(fPath)) << "the file stays on disk";
  EXPECT_TRUE(StatusOk(second.TryAcquire(fPath)));
}

TEST_F(LockFileTest, DestructionReleases) {
  {
    LockFile first;
    ASSERT_TRUE(StatusOk(first.TryAcquire(fPath)));
  }
  LockFile second;
  EXPECT_TRUE(StatusOk(second.TryAcquire(fPath)));
}

TEST_F(LockFileTest, AcquiringTruncatesTheFile) {
  std::ofstream(fPath) << "left over";
  LockFile lock;
  ASSERT_TRUE(StatusOk(lock.TryAcquire(fPath)));
  EXPECT_EQ(fs::file_size(fPath), 0u);
}

TEST_F(LockFileTest, HolderInAnotherProcessExcludesThisOne) {
  RunningProgram holder(HelperProgram("platform_lock_holder") + " hold " + ShellQuote(fPath) +
                        " 500");
  std::string line;
  ASSERT_TRUE(holder.ReadLine(line));
  ASSERT_EQ(line, "locked");
  LockFile lock;
  std::string error;
  EXPECT_FALSE(Ok(lock.TryAcquire(fPath), error));
  EXPECT_EQ(error, "Resource temporarily unavailable");
  ASSERT_TRUE(holder.ReadLine(line));
  EXPECT_EQ(line, "released");
  EXPECT_EQ(holder.Wait(), 0);
  EXPECT_TRUE(StatusOk(lock.TryAcquire(fPath)));
}

TEST_F(LockFileTest, HolderInThisProcessExcludesAnotherProcess) {
  LockFile lock;
  ASSERT_TRUE(StatusOk(lock.TryAcquire(fPath)));
  const std::string command = HelperProgram("platform_lock_holder") + " try " + ShellQuote(fPath);
  EXPECT_EQ(RunProgram(command).output, "refused: Resource temporarily unavailable\n");
  lock.Release();
  EXPECT_EQ(RunProgram(command).output, "locked\nreleased\n");
}

TEST_F(LockFileTest, InjectedFailureRefusesLikeAnotherHolder) {
  fFaulty.FailNth(FileOperation::Lock, 1);
  LockFile lock(fFaulty);
  std::string error;
  EXPECT_FALSE(Ok(lock.TryAcquire(fPath), error));
  EXPECT_EQ(error, "Resource temporarily unavailable");
  EXPECT_TRUE(StatusOk(lock.TryAcquire(fPath))) << "the fault hits one call only";
}

TEST_F(LockFileTest, WaitingTakesTheFileOnceAnotherProcessLetsGo) {
  RunningProgram holder(HelperProgram("platform_lock_holder") + " hold " + ShellQuote(fPath) +
                        " 300");
  std::string line;
  ASSERT_TRUE(holder.ReadLine(line));
  ASSERT_EQ(line, "locked");
  LockFile lock;
  EXPECT_TRUE(StatusOk(lock.TryAcquireWithin(fPath, 3000)));
  EXPECT_TRUE(lock.IsHeld());
  ASSERT_TRUE(holder.ReadLine(line));
  EXPECT_EQ(line, "released") << "held only after the other let go";
  EXPECT_EQ(holder.Wait(), 0);
}

TEST_F(LockFileTest, WaitingGivesUpAtItsDeadlineWithTheSystemsText) {
  LockFile holder, lock;
  std::string error;
  ASSERT_TRUE(StatusOk(holder.TryAcquire(fPath)));
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(Ok(lock.TryAcquireWithin(fPath, 200), error));
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(200));
  EXPECT_EQ(error, "Resource temporarily unavailable");
  EXPECT_FALSE(lock.IsHeld());
  holder.Release();
  EXPECT_TRUE(StatusOk(lock.TryAcquireWithin(fPath, 0))) << "a free file is taken at once";
}

TEST_F(LockFileTest, KnowsTheFileItHoldsUnderAnotherSpelling) {
  LockFile lock;
  EXPECT_FALSE(lock.HoldsFile(fPath)) << "nothing held";
  ASSERT_TRUE(StatusOk(lock.TryAcquire(fPath)));
  EXPECT_TRUE(lock.HoldsFile(fPath));
  fs::create_directories(fScratch.File("deeper"));
  EXPECT_TRUE(lock.HoldsFile(fScratch.File("deeper/../QVFP_CYKAVREN.Lock")));
  fs::create_symlink(fPath, fScratch.File("link.Lock"));
  EXPECT_TRUE(lock.HoldsFile(fScratch.File("link.Lock")));
  EXPECT_FALSE(lock.HoldsFile(fScratch.File("deeper/QVFP_CYKAVREN.Lock"))) << "missing";
  std::ofstream(fScratch.File("deeper/QVFP_CYKAVREN.Lock")) << "";
  EXPECT_FALSE(lock.HoldsFile(fScratch.File("deeper/QVFP_CYKAVREN.Lock"))) << "another file";
  lock.Release();
  EXPECT_FALSE(lock.HoldsFile(fPath));
}

TEST_F(LockFileTest, HeldRecordKeepsItsContentAndExcludesOthersUntilReleased) {
  const std::string record = fScratch.File("0001-0000042.fprq");
  LockFile writer, other;
  std::string error, content;
  ASSERT_TRUE(StatusOk(writer.TryCreateHeld(record, "<QueuedReceipt/>")));
  EXPECT_FALSE(Ok(other.TryAcquireExisting(record), error));
  EXPECT_EQ(error, "Resource temporarily unavailable");
  writer.Release();
  ASSERT_TRUE(StatusOk(other.TryAcquireExisting(record)));
  ASSERT_TRUE(StatusOk(other.ReadHeld(content)));
  EXPECT_EQ(content, "<QueuedReceipt/>");
  EXPECT_FALSE(Ok(writer.TryCreateHeld(record, "again"), error)) << "the record is held";
  other.Release();
  std::ifstream file(record);
  std::string onDisk((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_EQ(onDisk, "<QueuedReceipt/>") << "a refused creation changes nothing";
}

TEST_F(LockFileTest, AcquiringAnExistingFileNeverCreatesOne) {
  LockFile lock;
  std::string error;
  EXPECT_FALSE(Ok(lock.TryAcquireExisting(fScratch.File("0001-0000001.fprq")), error));
  EXPECT_EQ(error, "No such file or directory");
  EXPECT_FALSE(fs::exists(fScratch.File("0001-0000001.fprq")));
  std::string content;
  EXPECT_FALSE(Ok(lock.ReadHeld(content), error));
}

TEST_F(LockFileTest, ARecreatedRecordHoldsOnlyItsNewContentAndARefusedHoldChangesNothing) {
  const std::string record = fScratch.File("0001-0000043.fprq");
  std::ofstream(record) << "<QueuedReceipt>a longer old record</QueuedReceipt>";
  LockFile writer(fFaulty);
  std::string error, content;
  fFaulty.FailNth(FileOperation::Lock, 1);
  EXPECT_FALSE(Ok(writer.TryCreateHeld(record, "<QueuedReceipt/>"), error));
  EXPECT_EQ(error, "Resource temporarily unavailable");
  EXPECT_FALSE(writer.IsHeld());
  ASSERT_TRUE(StatusOk(ReadWholeFile(record, content)));
  EXPECT_EQ(content, "<QueuedReceipt>a longer old record</QueuedReceipt>");
  ASSERT_TRUE(StatusOk(writer.TryCreateHeld(record, "<QueuedReceipt/>")));
  ASSERT_TRUE(StatusOk(writer.ReadHeld(content)));
  EXPECT_EQ(content, "<QueuedReceipt/>");
}

TEST_F(LockFileTest, InjectedWriteFailureLeavesNoHold) {
  fFaulty.FailNth(FileOperation::Write, 1);
  LockFile lock(fFaulty);
  std::string error;
  EXPECT_FALSE(Ok(lock.TryCreateHeld(fScratch.File("0001-0000001.fprq"), "x"), error));
  EXPECT_EQ(error, "Input/output error");
  EXPECT_FALSE(lock.IsHeld());
}

// A queue record must be on disk before the counters count its receipt: a flush that fails
// refuses the record, so the receipt is never counted without one.
TEST_F(LockFileTest, InjectedFlushFailureRefusesTheRecord) {
  fFaulty.FailNth(FileOperation::Flush, 1);
  LockFile lock(fFaulty);
  std::string error;
  EXPECT_FALSE(Ok(lock.TryCreateHeld(fScratch.File("0001-0000001.fprq"), "x"), error));
  EXPECT_EQ(error, "Input/output error");
  EXPECT_FALSE(lock.IsHeld());
}

TEST_F(LockFileTest, MissingFolderIsReported) {
  LockFile lock;
  std::string error;
  EXPECT_FALSE(Ok(lock.TryAcquire(fScratch.File("gone/QVFP_CYKAVREN.Lock")), error));
  EXPECT_EQ(error, "No such file or directory");
  EXPECT_FALSE(lock.IsHeld());
}

}  // namespace
}  // namespace qv::platform
