#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/error.h"
#include "platform/lock_file.h"
#include "platform/support/platform_test_support.h"
#include "support/faulty_file_system.h"
#include "support/file_status_assertions.h"

namespace qv::platform {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnvironment;
using test::ScratchFolder;

std::string ContentOf(const fs::path& aPath) {
  std::ifstream file(aPath, std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

void WriteFile(const fs::path& aPath, const std::string& aContent) {
  std::ofstream(aPath, std::ios::binary) << aContent;
}

std::vector<std::string> NamesIn(const fs::path& aFolder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(aFolder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(DriveMapping, DriveLetterUsesItsEnvironmentVariable) {
  ScopedEnvironment driveC("QVFP_DRIVE_C", "/srv/till/c/");
  ScopedEnvironment driveD("QVFP_DRIVE_D", "/media/d");
  EXPECT_EQ(NativePath("C:\\QV_FPR_DB\\T1\\"), "/srv/till/c/QV_FPR_DB/T1/");
  EXPECT_EQ(NativePath("c:\\QV_FPR_DB\\T1\\Queue"), "/srv/till/c/QV_FPR_DB/T1/Queue");
  EXPECT_EQ(NativePath("D:/Box/AlgoDll"), "/media/d/Box/AlgoDll");
  EXPECT_EQ(NativePath("C:"), "/srv/till/c");
  EXPECT_EQ(NativePath("C:file.txt"), "/srv/till/c/file.txt");
}

TEST(DriveMapping, DriveCDefaultsToTheUsersDataFolder) {
  ScopedEnvironment driveC("QVFP_DRIVE_C", std::nullopt);
  ScopedEnvironment home("HOME", "/home/cashier");
  EXPECT_EQ(NativePath("C:\\QV_FPR_DB\\T1\\"), "/home/cashier/.local/share/qvfp/C/QV_FPR_DB/T1/");
  ScopedEnvironment emptyDriveC("QVFP_DRIVE_C", "");
  EXPECT_EQ(NativePath("C:\\x"), "/home/cashier/.local/share/qvfp/C/x");
}

TEST(DriveMapping, PathsWithoutDriveOnlyChangeDelimiters) {
  EXPECT_EQ(NativePath("LogFiles\\FiscalPrinter\\a.log"), "LogFiles/FiscalPrinter/a.log");
  EXPECT_EQ(NativePath("/var/tmp/x"), "/var/tmp/x");
  EXPECT_EQ(NativePath("QVFP_CYKAVREN.Lock"), "QVFP_CYKAVREN.Lock");
}

TEST(DriveMapping, AbsolutePathsAndDelimiters) {
  EXPECT_TRUE(IsAbsolutePath("C:\\QV_FPR_DB"));
  EXPECT_TRUE(IsAbsolutePath("c:/x"));
  EXPECT_TRUE(IsAbsolutePath("\\\\server\\share"));
  EXPECT_TRUE(IsAbsolutePath("/tmp"));
  EXPECT_FALSE(IsAbsolutePath("C:relative"));
  EXPECT_FALSE(IsAbsolutePath("LogFiles\\a.log"));
  EXPECT_FALSE(IsAbsolutePath(""));
  EXPECT_TRUE(IsPathDelimiter('\\'));
  EXPECT_TRUE(IsPathDelimiter('/'));
  EXPECT_FALSE(IsPathDelimiter(':'));
}

TEST(Folders, ForceDirectoriesCreatesTheTillTreeOnDriveC) {
  ScratchFolder scratch;
  ScopedEnvironment driveC("QVFP_DRIVE_C", scratch.Path().string());
  EXPECT_TRUE(StatusOk(ForceDirectories("C:\\QV_FPR_DB\\T1\\Queue\\")));
  EXPECT_TRUE(fs::is_directory(scratch.Path() / "QV_FPR_DB" / "T1" / "Queue"));
  EXPECT_TRUE(DirectoryExists("C:\\QV_FPR_DB\\T1"));
  EXPECT_TRUE(StatusOk(ForceDirectories("C:\\QV_FPR_DB\\T1\\Queue"))) << "existing folder";
  EXPECT_FALSE(FileExists("C:\\QV_FPR_DB\\T1"));

  WriteFile(scratch.Path() / "QV_FPR_DB" / "blocker", "x");
  EXPECT_FALSE(ForceDirectories("C:\\QV_FPR_DB\\blocker\\Journal").IsOk());
  EXPECT_TRUE(FileExists("C:\\QV_FPR_DB\\blocker"));
  EXPECT_FALSE(DirectoryExists("C:\\QV_FPR_DB\\blocker"));
}

TEST(Files, CopyWithoutOverwriteFailsOnAnExistingTarget) {
  ScratchFolder scratch;
  WriteFile(scratch.File("counters.actual.fprc"), "new");
  WriteFile(scratch.File("counters.previous.fprc"), "old");
  std::string error;
  EXPECT_FALSE(Ok(CopyFileNoOverwrite(scratch.File("counters.actual.fprc"),
                                      scratch.File("counters.previous.fprc")),
                  error));
  EXPECT_NE(error.find("File exists"), std::string::npos) << error;
  EXPECT_EQ(ContentOf(scratch.File("counters.previous.fprc")), "old");

  EXPECT_TRUE(
      StatusOk(CopyFileNoOverwrite(scratch.File("counters.actual.fprc"), scratch.File("copy"))));
  EXPECT_EQ(ContentOf(scratch.File("copy")), "new");

  EXPECT_FALSE(Ok(CopyFileNoOverwrite(scratch.File("missing"), scratch.File("other")), error));
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(scratch.File("other")));
}

TEST(Files, CopyReplaceOverwritesTheTarget) {
  ScratchFolder scratch;
  WriteFile(scratch.File("a"), std::string(200000, 'a'));
  WriteFile(scratch.File("b"), "old");
  EXPECT_TRUE(StatusOk(CopyFileReplace(scratch.File("a"), scratch.File("b"))));
  EXPECT_EQ(ContentOf(scratch.File("b")), std::string(200000, 'a'));
  EXPECT_EQ(NamesIn(scratch.Path()), (std::vector<std::string>{"a", "b"}));
}

TEST(Files, MoveAndDelete) {
  ScratchFolder scratch;
  WriteFile(scratch.File("request.xml"), "receipt");
  WriteFile(scratch.File("taken.xml"), "other");
  EXPECT_FALSE(MoveFile(scratch.File("request.xml"), scratch.File("taken.xml")).IsOk())
      << "an existing target is never replaced";
  EXPECT_EQ(ContentOf(scratch.File("taken.xml")), "other");
  EXPECT_TRUE(StatusOk(MoveFile(scratch.File("request.xml"), scratch.File("processed.xml"))));
  EXPECT_FALSE(fs::exists(scratch.File("request.xml")));
  EXPECT_EQ(ContentOf(scratch.File("processed.xml")), "receipt");
  EXPECT_TRUE(StatusOk(DeleteFile(scratch.File("processed.xml"))));
  EXPECT_FALSE(fs::exists(scratch.File("processed.xml")));
  EXPECT_FALSE(DeleteFile(scratch.File("processed.xml")).IsOk());
}

// The functions that once answered a bare yes or no now say which file and why.
TEST(FileFailures, FolderDeleteMoveAndSizeNameTheFileAndTheSystemsReason) {
  ScratchFolder scratch;
  WriteFile(scratch.File("plain"), "a file where a folder should be");
  EXPECT_EQ(
      ForceDirectories(scratch.File("plain") + "/Processed").Message(),
      "Cannot create the folder \"" + scratch.File("plain") + "/Processed\": Not a directory");
  EXPECT_EQ(ForceDirectories(scratch.File("plain")).Message(),
            "Cannot create the folder \"" + scratch.File("plain") + "\": Not a directory");
  EXPECT_TRUE(StatusOk(ForceDirectories(scratch.File("Queue"))));
  EXPECT_TRUE(StatusOk(ForceDirectories(scratch.File("Queue"))))
      << "a folder that exists already is a success";

  EXPECT_EQ(DeleteFile(scratch.File("gone.fprq")).Message(),
            "Cannot delete \"" + scratch.File("gone.fprq") + "\": No such file or directory");

  WriteFile(scratch.File("a.log"), "a");
  WriteFile(scratch.File("b.log"), "b");
  EXPECT_EQ(MoveFile(scratch.File("a.log"), scratch.File("b.log")).Message(),
            "Cannot move \"" + scratch.File("a.log") + "\" to \"" + scratch.File("b.log") +
                "\": File exists");
  EXPECT_EQ(ContentOf(scratch.File("b.log")), "b");
  EXPECT_EQ(MoveFile(scratch.File("none.log"), scratch.File("c.log")).Message(),
            "Cannot move \"" + scratch.File("none.log") + "\" to \"" + scratch.File("c.log") +
                "\": No such file or directory");

  int64_t size = 42;
  EXPECT_EQ(
      FileSize(scratch.File("none.log"), size).Message(),
      "Cannot read the size of \"" + scratch.File("none.log") + "\": No such file or directory");
  EXPECT_EQ(size, 42) << "a failure leaves the result as it was";
  ASSERT_TRUE(StatusOk(FileSize(scratch.File("a.log"), size)));
  EXPECT_EQ(size, 1);
}

TEST(FileFailures, AFailedReadLeavesTheContentAndAFailureRaisesItsOwnText) {
  ScratchFolder scratch;
  std::string content = "kept";
  const FileStatus read = ReadWholeFile(scratch.File("missing.fprc"), content);
  EXPECT_FALSE(read.IsOk());
  EXPECT_EQ(content, "kept");
  try {
    read.ThrowIfFailed();
    ADD_FAILURE() << "a failure that raises nothing";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), read.Message());
    EXPECT_EQ(read.Message(),
              "Cannot open \"" + scratch.File("missing.fprc") + "\": No such file or directory");
  }
  EXPECT_NO_THROW(ReadWholeFile(scratch.File("missing.fprc"), content).IgnoreFailure());
  EXPECT_NO_THROW(FileStatus().ThrowIfFailed());
  EXPECT_EQ(FileStatus().Message(), "");
}

TEST(FileFailures, CreatingAFileThatExistsIsASuccessThatCreatedNothing) {
  ScratchFolder scratch;
  const std::string journal = scratch.File("0001-0000001.fprd");
  bool created = false;
  ASSERT_TRUE(StatusOk(CreateFileAtomically(journal, "receipt", created)));
  EXPECT_TRUE(created);
  ASSERT_TRUE(StatusOk(CreateFileAtomically(journal, "another", created)));
  EXPECT_FALSE(created);
  EXPECT_EQ(ContentOf(journal), "receipt");
  const std::string elsewhere = scratch.File("missing/0001-0000002.fprd");
  EXPECT_EQ(CreateFileAtomically(elsewhere, "x", created).Message(),
            "Cannot write file \"" + elsewhere + "\". No such file or directory");
  EXPECT_FALSE(created);
}

TEST(FileFailures, TemporaryFileFailureNamesTheFolder) {
  ScratchFolder scratch;
  ScopedEnvironment tmpdir("TMPDIR", scratch.File("gone"));
  std::string path = "unchanged";
  EXPECT_EQ(CreateTemporaryFile("tmp", path).Message(), "Cannot create a temporary file in \"" +
                                                            scratch.File("gone") +
                                                            "/\": No such file or directory");
  EXPECT_EQ(path, "unchanged");
}

TEST(Files, AppendReadWriteAndSize) {
  ScratchFolder scratch;
  const std::string log = scratch.File("app.log");
  std::string error;
  EXPECT_TRUE(StatusOk(AppendToFile(log, "line 1\r\n")));
  EXPECT_TRUE(StatusOk(AppendToFile(log, "γραμμή 2\r\n")));
  std::string content;
  EXPECT_TRUE(StatusOk(ReadWholeFile(log, content)));
  EXPECT_EQ(content, "line 1\r\nγραμμή 2\r\n");
  EXPECT_EQ(FileSizeOf(log), static_cast<int64_t>(content.size()));

  EXPECT_TRUE(StatusOk(WriteWholeFile(log, "short")));
  EXPECT_EQ(ContentOf(log), "short");
  EXPECT_EQ(FileSizeOf(log), 5);

  EXPECT_EQ(FileSizeOf(scratch.File("missing")), -1);
  EXPECT_FALSE(Ok(ReadWholeFile(scratch.File("missing"), content), error));
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
  EXPECT_FALSE(Ok(AppendToFile(scratch.File("no/such/folder.log"), "x"), error));
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
}

TEST(Files, DurableAppendTailAndCut) {
  ScratchFolder scratch;
  const std::string chain = scratch.File("0001.fpch");
  std::string error;
  ASSERT_TRUE(StatusOk(AppendToFileDurably(chain, "first line\r\n")));
  ASSERT_TRUE(StatusOk(AppendToFileDurably(chain, "second")));
  EXPECT_EQ(ContentOf(chain), "first line\r\nsecond");

  std::string tail;
  int64_t size = 0;
  ASSERT_TRUE(StatusOk(ReadFileTail(chain, 8, tail, size)));
  EXPECT_EQ(tail, "\r\nsecond");
  EXPECT_EQ(size, 18);
  ASSERT_TRUE(StatusOk(ReadFileTail(chain, 100, tail, size)));
  EXPECT_EQ(tail, "first line\r\nsecond");

  ASSERT_TRUE(StatusOk(TruncateFile(chain, 12)));
  EXPECT_EQ(ContentOf(chain), "first line\r\n");

  EXPECT_FALSE(Ok(ReadFileTail(scratch.File("missing"), 8, tail, size), error));
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
  EXPECT_FALSE(Ok(TruncateFile(scratch.File("missing"), 0), error));
  EXPECT_FALSE(Ok(AppendToFileDurably(scratch.File("no/such/folder.fpch"), "x"), error));
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
}

TEST(Files, DurableAppendGoesThroughTheGivenFileSystem) {
  ScratchFolder scratch;
  qv::testing::tFaultyFileSystem faulty;
  const std::string chain = scratch.File("0001.fpch");
  std::string error;
  faulty.FailNth(FileOperation::Write, 1);
  EXPECT_FALSE(Ok(AppendToFileDurably(chain, "line\r\n", faulty), error));
  EXPECT_NE(error.find("Cannot write"), std::string::npos) << error;
  EXPECT_EQ(ContentOf(chain), "");
  faulty.FailNth(FileOperation::Flush, 1);
  EXPECT_FALSE(Ok(AppendToFileDurably(chain, "line\r\n", faulty), error));
  EXPECT_NE(error.find("Cannot flush"), std::string::npos) << error;
  EXPECT_TRUE(StatusOk(AppendToFileDurably(chain, "next\r\n", faulty)));
  EXPECT_EQ(ContentOf(chain), "line\r\nnext\r\n");
}

TEST(Files, AppendFailsWhileAnotherHolderHasTheFileExclusively) {
  ScratchFolder scratch;
  const std::string log = scratch.File("device.log");
  std::string error;
  ASSERT_TRUE(StatusOk(AppendToFile(log, "first\r\n")));
  LockFile holder;
  ASSERT_TRUE(StatusOk(holder.TryAcquireWithoutTruncating(log)));
  EXPECT_FALSE(Ok(AppendToFile(log, "second\r\n"), error));
  EXPECT_NE(error.find("Resource temporarily unavailable"), std::string::npos) << error;
  holder.Release();
  EXPECT_TRUE(StatusOk(AppendToFile(log, "third\r\n")));
  EXPECT_EQ(ContentOf(log), "first\r\nthird\r\n");
}

class AtomicReplace : public ::testing::Test {
 protected:
  void SetUp() override { WriteFile(fTarget, "<Counters>old</Counters>"); }

  // Replaces the counters file while aOperation is made to fail; the failure's message.
  std::string FailingReplace(FileOperation aOperation) {
    fFaulty.FailNth(aOperation, 1);
    const FileStatus replaced = ReplaceFileAtomically(fTarget, "<Counters>new</Counters>", fFaulty);
    return replaced.IsOk() ? "no error" : replaced.Message();
  }

  qv::testing::tFaultyFileSystem fFaulty;
  ScratchFolder fScratch;
  std::string fTarget = fScratch.File("counters.actual.fprc");
};

TEST_F(AtomicReplace, WritesTheNewContentAndLeavesNothingElse) {
  fs::permissions(fTarget, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_TRUE(StatusOk(ReplaceFileAtomically(fTarget, "<Counters>new</Counters>")));
  EXPECT_EQ(ContentOf(fTarget), "<Counters>new</Counters>");
  EXPECT_EQ(NamesIn(fScratch.Path()), (std::vector<std::string>{"counters.actual.fprc"}));
  EXPECT_EQ(fs::status(fTarget).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_TRUE(StatusOk(ReplaceFileAtomically(fScratch.File("new.fprc"), "created")));
  EXPECT_EQ(ContentOf(fScratch.File("new.fprc")), "created");
}

TEST_F(AtomicReplace, FailedWriteFlushOrRenameKeepsTheOldContent) {
  const std::string expected = "Cannot write file \"" + fTarget + "\". Input/output error";
  for (auto operation : {FileOperation::Write, FileOperation::Flush, FileOperation::Rename}) {
    SCOPED_TRACE(static_cast<int>(operation));
    EXPECT_EQ(FailingReplace(operation), expected);
    EXPECT_EQ(ContentOf(fTarget), "<Counters>old</Counters>");
    EXPECT_EQ(NamesIn(fScratch.Path()), (std::vector<std::string>{"counters.actual.fprc"}))
        << "the temporary file is removed";
  }
}

TEST_F(AtomicReplace, FaultHitsTheNthCallOnlyOnce) {
  fFaulty.FailNth(FileOperation::Rename, 2);
  ASSERT_TRUE(StatusOk(ReplaceFileAtomically(fTarget, "first", fFaulty)));
  EXPECT_EQ(ContentOf(fTarget), "first");
  EXPECT_FALSE(ReplaceFileAtomically(fTarget, "second", fFaulty).IsOk());
  EXPECT_EQ(ContentOf(fTarget), "first");
  ASSERT_TRUE(StatusOk(ReplaceFileAtomically(fTarget, "third", fFaulty)));
  EXPECT_EQ(ContentOf(fTarget), "third");
}

TEST_F(AtomicReplace, CopyReplaceGoesThroughTheSameSeam) {
  WriteFile(fScratch.File("source"), "copied");
  fFaulty.FailNth(FileOperation::Flush, 1);
  std::string error;
  EXPECT_FALSE(Ok(CopyFileReplace(fScratch.File("source"), fTarget, fFaulty), error));
  EXPECT_NE(error.find("Input/output error"), std::string::npos) << error;
  EXPECT_EQ(ContentOf(fTarget), "<Counters>old</Counters>");
  EXPECT_EQ(NamesIn(fScratch.Path()), (std::vector<std::string>{"counters.actual.fprc", "source"}));
}

TEST_F(AtomicReplace, CreateNeverReplacesAnExistingFile) {
  const std::string journal = fScratch.File("0001-0000002.fprd");
  EXPECT_TRUE(CreatedAtomically(journal, "first receipt"));
  EXPECT_FALSE(CreatedAtomically(journal, "second receipt"));
  EXPECT_FALSE(CreatedAtomically(fTarget, "new"));
  EXPECT_EQ(ContentOf(journal), "first receipt");
  EXPECT_EQ(ContentOf(fTarget), "<Counters>old</Counters>");
  fFaulty.FailNth(FileOperation::Rename, 1);
  EXPECT_THROW(CreatedAtomically(fScratch.File("0001-0000003.fprd"), "x", fFaulty), Error);
  EXPECT_EQ(NamesIn(fScratch.Path()),
            (std::vector<std::string>{"0001-0000002.fprd", "counters.actual.fprc"}));
}

TEST_F(AtomicReplace, DebrisOfInterruptedReplacesGoesButALivingReplaceKeepsItsFile) {
  WriteFile(fScratch.File(".counters.actual.fprc.Ab3xYz.tmp"), "half");
  WriteFile(fScratch.File(".0001-0000002.fprd.q1W2e3.tmp"), "");
  WriteFile(fScratch.File(".0001-0000002.fprd.tmp"), "not ours");
  WriteFile(fScratch.File("notes.Ab3xYz.tmp"), "not ours");
  // A replace at work holds its temporary file.
  WriteFile(fScratch.File(".counters.actual.fprc.Live99.tmp"), "being written");
  LockFile living;
  ASSERT_TRUE(StatusOk(
      living.TryAcquireWithoutTruncating(fScratch.File(".counters.actual.fprc.Live99.tmp"))));
  EXPECT_EQ(RemoveInterruptedReplaceFiles(fScratch.Path().string()), 2);
  EXPECT_EQ(NamesIn(fScratch.Path()),
            (std::vector<std::string>{".0001-0000002.fprd.tmp", ".counters.actual.fprc.Live99.tmp",
                                      "counters.actual.fprc", "notes.Ab3xYz.tmp"}));
  EXPECT_EQ(RemoveInterruptedReplaceFiles(fScratch.File("missing")), 0);
}

TEST(Files, ListFileNamesGivesTheFilesOfAFolderOnly) {
  ScratchFolder scratch;
  WriteFile(scratch.File("0001-0000001.fprq"), "");
  WriteFile(scratch.File("b.txt"), "x");
  fs::create_directory(scratch.File("20230809"));
  std::vector<std::string> names = ListFileNames(scratch.Path().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"0001-0000001.fprq", "b.txt"}));
  EXPECT_TRUE(ListFileNames(scratch.File("missing")).empty());
}

TEST_F(AtomicReplace, MissingFolderIsReported) {
  const std::string target = fScratch.File("missing/counters.actual.fprc");
  EXPECT_EQ(ReplaceFileAtomically(target, "x").Message(),
            "Cannot write file \"" + target + "\". No such file or directory");
}

TEST(TemporaryFiles, NewFileWithPrefixInTmpdir) {
  ScratchFolder scratch;
  ScopedEnvironment tmpdir("TMPDIR", scratch.Path().string());
  EXPECT_EQ(TemporaryFolder(), scratch.Path().string() + "/");
  const std::string first = NewTemporaryFile("tmp");
  const std::string second = NewTemporaryFile("tmp");
  EXPECT_NE(first, second);
  for (const std::string& path : {first, second}) {
    EXPECT_EQ(fs::path(path).parent_path(), scratch.Path());
    EXPECT_EQ(fs::path(path).filename().string().rfind("tmp", 0), 0u) << path;
    EXPECT_EQ(fs::path(path).extension(), ".tmp");
    EXPECT_TRUE(fs::is_regular_file(path));
    EXPECT_EQ(fs::file_size(path), 0u);
  }
  EXPECT_EQ(NamesIn(scratch.Path()).size(), 2u);
}

TEST(TemporaryFiles, DefaultFolderAndFailure) {
  {
    ScopedEnvironment tmpdir("TMPDIR", std::nullopt);
    EXPECT_EQ(TemporaryFolder(), "/tmp/");
  }
  ScratchFolder scratch;
  ScopedEnvironment tmpdir("TMPDIR", scratch.File("gone"));
  try {
    NewTemporaryFile("tmp");
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_NE(std::string(error.what()).find("No such file or directory"), std::string::npos)
        << error.what();
  }
}

TEST(SubFolders, ListsOnlyDirectSubfoldersWithCreationTimes) {
  ScratchFolder scratch;
  ScopedEnvironment driveC("QVFP_DRIVE_C", scratch.Path().string());
  fs::create_directories(scratch.Path() / "Box" / "CY0001" / "inner");
  fs::create_directories(scratch.Path() / "Box" / "CY0002");
  WriteFile(scratch.Path() / "Box" / "notes.txt", "not a folder");
  const LocalTime now = Now();

  std::vector<SubFolder> folders = ListSubFolders("C:\\Box\\");
  std::sort(folders.begin(), folders.end(),
            [](const SubFolder& a, const SubFolder& b) { return a.name < b.name; });
  ASSERT_EQ(folders.size(), 2u);
  EXPECT_EQ(folders[0].name, "CY0001");
  EXPECT_EQ(folders[1].name, "CY0002");
  for (const SubFolder& folder : folders) {
    // Created moments ago: the same local day and hour as now (or the minute just turned).
    EXPECT_EQ(folder.createdAt.year, now.year);
    EXPECT_EQ(folder.createdAt.month, now.month);
    EXPECT_EQ(folder.createdAt.day, now.day);
    EXPECT_LE(std::abs((now.hour * 60 + now.minute) -
                       (folder.createdAt.hour * 60 + folder.createdAt.minute)),
              1);
    EXPECT_GE(folder.createdAt.millisecond, 0);
    EXPECT_LT(folder.createdAt.millisecond, 1000);
  }
  EXPECT_EQ(ListSubFolders("C:\\Box\\CY0001").size(), 1u);
  EXPECT_TRUE(ListSubFolders("C:\\Box\\CY0002").empty());
  EXPECT_TRUE(ListSubFolders("C:\\NoSuchBox").empty());
}

}  // namespace
}  // namespace qv::platform
