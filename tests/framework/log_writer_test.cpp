#include "framework/log_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/lock_file.h"
#include "support/file_status_assertions.h"
#include "support/scratch_folder.h"

namespace qv::framework {
namespace {

using test_support::FileContent;
using test_support::FileLines;
using test_support::ScratchFolder;

platform::LocalTime At(int aYear, int aMonth, int aDay, int aHour, int aMinute, int aSecond,
                       int aMillisecond) {
  platform::LocalTime time;
  time.year = aYear;
  time.month = aMonth;
  time.day = aDay;
  time.hour = aHour;
  time.minute = aMinute;
  time.second = aSecond;
  time.millisecond = aMillisecond;
  return time;
}

void SetClock(const platform::LocalTime& aTime) {
  platform::OverrideClock([aTime] { return aTime; });
}

// Waits (bounded) until aCondition holds; false when it never did.
template <typename Condition>
bool Eventually(Condition aCondition) {
  for (int i = 0; i < 400; ++i) {
    if (aCondition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return aCondition();
}

std::string ErrorOf(const std::function<void()>& aAction) {
  try {
    aAction();
  } catch (const Error& error) {
    return error.what();
  }
  return "<no error>";
}

class LogWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { SetClock(At(2023, 8, 9, 9, 39, 19, 42)); }
  void TearDown() override { platform::OverrideClock({}); }

  ScratchFolder fFolder;
};

// ----- file names

TEST_F(LogWriterTest, DailyFileCarriesTheCreationDate) {
  tQV_LogWriter writer("A", fFolder.Path(), 0, /*aDaily=*/true);
  EXPECT_EQ(writer.FileName(), fFolder / "A_20230809.log");
  EXPECT_EQ(writer.Directory(), fFolder.Path());
  EXPECT_TRUE(writer.Daily());
  EXPECT_EQ(writer.MaxLogFileSize(), 5000);
}

TEST_F(LogWriterTest, PlainFileHasOnlyTheExtension) {
  tQV_LogWriter writer("A", fFolder.Path(), 0, /*aDaily=*/false);
  EXPECT_EQ(writer.FileName(), fFolder / "A.log");
  EXPECT_FALSE(writer.Daily());
}

TEST_F(LogWriterTest, FolderWithTrailingDelimiterGetsNoSecondOne) {
  tQV_LogWriter writer("A", fFolder.Path() + "\\", 0, false);
  EXPECT_EQ(writer.FileName(), fFolder / "A.log");
}

// A writer that lives past midnight: each line goes to the file of the day it was written
// on, also when the thread appends it only after midnight, and each new day's file opens
// with the banner.
TEST_F(LogWriterTest, LinesGoToTheFileOfTheDayTheyAreWrittenOn) {
  {
    SetClock(At(2023, 8, 9, 23, 59, 59, 999));
    tQV_LogWriter writer("A", fFolder.Path(), 0, /*aDaily=*/true);
    writer.SetDailyBanner("START");
    std::atomic<bool> release{false};
    writer.SetFileAppender([&](std::string_view aPath, std::string_view aData) {
      while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return platform::AppendToFile(aPath, aData);
    });
    writer.Write(let_info, "before midnight");
    SetClock(At(2023, 8, 10, 0, 0, 1, 0));
    writer.Write(let_info, "after midnight");
    writer.Write(let_error, "still the tenth");
    EXPECT_EQ(writer.FileName(), fFolder / "A_20230810.log");
    release = true;
    SetClock(At(2023, 8, 11, 8, 0, 0, 0));
    writer.Write(let_info, "next morning");
  }
  EXPECT_EQ(FileLines(fFolder / "A_20230809.log"),
            std::vector<std::string>{"2023-08-09 23:59:59:999 - before midnight"});
  EXPECT_EQ(FileLines(fFolder / "A_20230810.log"),
            (std::vector<std::string>{"2023-08-10 00:00:01:000 - START",
                                      "2023-08-10 00:00:01:000 - after midnight",
                                      "2023-08-10 00:00:01:000 - ERROR - still the tenth"}));
  EXPECT_EQ(FileLines(fFolder / "A_20230811.log"),
            (std::vector<std::string>{"2023-08-11 08:00:00:000 - START",
                                      "2023-08-11 08:00:00:000 - next morning"}));
}

TEST_F(LogWriterTest, WithoutABannerANewDayStartsWithItsFirstLine) {
  {
    tQV_LogWriter writer("A", fFolder.Path(), 0, true);
    writer.Write(let_info, "ninth");
    SetClock(At(2023, 8, 10, 0, 0, 0, 0));
    writer.Write(let_info, "tenth");
  }
  EXPECT_EQ(FileLines(fFolder / "A_20230809.log"),
            std::vector<std::string>{"2023-08-09 09:39:19:042 - ninth"});
  EXPECT_EQ(FileLines(fFolder / "A_20230810.log"),
            std::vector<std::string>{"2023-08-10 00:00:00:000 - tenth"});
}

// A name given by SetFileName is the caller's; only the writer's own daily name follows the
// day. A plain writer never changes its name.
TEST_F(LogWriterTest, NamesThatAreNotTheDailyNameStayPastMidnight) {
  {
    tQV_LogWriter renamed("A", fFolder.Path(), 0, true);
    renamed.SetDailyBanner("START");
    renamed.SetFileName("fixed.log");
    tQV_LogWriter plain("P", fFolder.Path(), 0, false);
    SetClock(At(2023, 8, 10, 0, 0, 1, 0));
    renamed.Write(let_info, "renamed");
    plain.Write(let_info, "plain");
    EXPECT_EQ(renamed.FileName(), fFolder / "fixed.log");
  }
  EXPECT_EQ(FileLines(fFolder / "fixed.log"),
            std::vector<std::string>{"2023-08-10 00:00:01:000 - renamed"});
  EXPECT_EQ(FileLines(fFolder / "P.log"),
            std::vector<std::string>{"2023-08-10 00:00:01:000 - plain"});
  EXPECT_FALSE(platform::FileExists(fFolder / "A_20230810.log"));
}

TEST_F(LogWriterTest, CreationMakesTheFolderWithItsParents) {
  const std::string folder = fFolder / "logs\\FiscalPrinter";
  { tQV_LogWriter writer("A", folder, 0, false); }
  EXPECT_TRUE(platform::DirectoryExists(folder));
}

TEST_F(LogWriterTest, SetFileNameKeepsTheFolder) {
  {
    tQV_LogWriter writer("A", fFolder.Path(), 0, false);
    writer.SetFileName("D:\\X\\other.txt");
    EXPECT_EQ(writer.FileName(), fFolder / "other.txt");
    writer.Write(let_info, "moved");
  }
  EXPECT_EQ(FileLines(fFolder / "other.txt"),
            std::vector<std::string>{"2023-08-09 09:39:19:042 - moved"});
  EXPECT_FALSE(platform::FileExists(fFolder / "A.log"));
}

TEST_F(LogWriterTest, SetDirectoryMovesTheLogAndCreatesTheFolder) {
  const std::string other = fFolder / "second\\level";
  {
    tQV_LogWriter writer("A", fFolder.Path(), 0, true);
    writer.SetDirectory(other);
    EXPECT_EQ(writer.Directory(), other);
    EXPECT_EQ(writer.FileName(), other + "\\A_20230809.log");
    EXPECT_TRUE(platform::DirectoryExists(other));
    writer.Write(let_info, "there");
  }
  EXPECT_EQ(FileLines(other + "\\A_20230809.log").size(), 1u);
}

// ----- failures of the caller

TEST_F(LogWriterTest, EmptyFolderFailsCreation) {
  EXPECT_EQ(ErrorOf([] { tQV_LogWriter writer("A", "", 0, true); }), "Unable to create directory");
}

TEST_F(LogWriterTest, InvalidCharactersFailCreationAndSetters) {
  EXPECT_EQ(ErrorOf([&] { tQV_LogWriter writer("A|B", fFolder.Path(), 0, false); }),
            "Invalid characters in path");
  EXPECT_EQ(ErrorOf([&] { tQV_LogWriter writer("A", fFolder / "a<b", 0, false); }),
            "Invalid characters in path");
  tQV_LogWriter writer("A", fFolder.Path(), 0, false);
  EXPECT_EQ(ErrorOf([&] { writer.SetFileName("x\"y.log"); }), "Invalid characters in path");
  EXPECT_EQ(ErrorOf([&] { writer.SetDirectory(fFolder / "tab\there"); }),
            "Invalid characters in path");
  EXPECT_EQ(writer.FileName(), fFolder / "A.log");
}

TEST_F(LogWriterTest, EmptyDirectoryIsSetThenReported) {
  tQV_LogWriter writer("A", fFolder.Path(), 0, false);
  EXPECT_EQ(ErrorOf([&] { writer.SetDirectory(""); }), "Unable to create directory");
  EXPECT_EQ(writer.Directory(), "");
  EXPECT_EQ(writer.FileName(), "A.log");
}

TEST_F(LogWriterTest, EmptyFileNameFailsWriteAndQueuesNothing) {
  tQV_LogWriter writer("A", fFolder.Path(), 0, false);
  EXPECT_THROW(writer.SetDirectory(""), Error);
  writer.SetFileName("");
  EXPECT_EQ(writer.FileName(), "");
  EXPECT_EQ(ErrorOf([&] { writer.Write(let_info, "lost"); }), "Log filename is empty ");
  EXPECT_EQ(writer.QueuedLines(), 0u);
}

// ----- line format

TEST_F(LogWriterTest, LinesCarryTimeStampSeparatorAndCrLf) {
  {
    tQV_LogWriter writer("A", fFolder.Path(), 0, false);
    writer.Write(let_info, "OPEN:BEGIN");
    SetClock(At(2023, 8, 9, 9, 39, 19, 57));
    writer.Write(let_error, "Read Timeout:ABC");
  }
  EXPECT_EQ(FileContent(fFolder / "A.log"),
            "2023-08-09 09:39:19:042 - OPEN:BEGIN\r\n"
            "2023-08-09 09:39:19:057 - ERROR - Read Timeout:ABC\r\n");
}

TEST_F(LogWriterTest, TimeStampIsTakenAtWriteNotAtAppend) {
  tQV_LogWriter writer("A", fFolder.Path(), 0, false);
  std::atomic<bool> release{false};
  writer.SetFileAppender([&](std::string_view aPath, std::string_view aData) {
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return platform::AppendToFile(aPath, aData);
  });
  SetClock(At(2001, 2, 3, 4, 5, 6, 7));
  writer.Write(let_info, "early");
  SetClock(At(2030, 1, 1, 0, 0, 0, 0));
  release = true;
  writer.DrainAndStop();
  EXPECT_EQ(FileContent(fFolder / "A.log"), "2001-02-03 04:05:06:007 - early\r\n");
}

TEST_F(LogWriterTest, MessagesAreCutToTheMaximumLength) {
  {
    tQV_LogWriter cut("cut", fFolder.Path(), 5, false);
    cut.Write(let_info, "ABCDEFGH");
    // Characters count in UTF-16 code units: a Greek letter is one, an emoji two.
    cut.Write(let_info, "\xCE\x91\xCE\x92\xCE\x93\xCE\x94\xCE\x95\xCE\x96");
    cut.Write(let_info, "ABCD\xF0\x9F\x98\x80");
    cut.Write(let_info, "ABC\xF0\x9F\x98\x80Z");
    tQV_LogWriter whole("whole", fFolder.Path(), 0, false);
    whole.Write(let_info, "ABCDEFGH");
  }
  const std::string prefix = "2023-08-09 09:39:19:042 - ";
  EXPECT_EQ(FileLines(fFolder / "cut.log"),
            (std::vector<std::string>{
                prefix + "ABCDE", prefix + "\xCE\x91\xCE\x92\xCE\x93\xCE\x94\xCE\x95",
                prefix + "ABCD\xEF\xBF\xBD", prefix + "ABC\xF0\x9F\x98\x80"}));
  EXPECT_EQ(FileLines(fFolder / "whole.log"), std::vector<std::string>{prefix + "ABCDEFGH"});
}

TEST_F(LogWriterTest, MultiLineMessageKeepsItsBreaksAndUtf8HasNoBom) {
  {
    tQV_LogWriter writer("A", fFolder.Path(), 0, false);
    writer.Write(let_info, "Updated Receipt:\r\n<Receipt>\xCE\x9A\xCE\xB1</Receipt>");
  }
  EXPECT_EQ(
      FileContent(fFolder / "A.log"),
      "2023-08-09 09:39:19:042 - Updated Receipt:\r\n<Receipt>\xCE\x9A\xCE\xB1</Receipt>\r\n");
}

// ----- order and draining

TEST_F(LogWriterTest, DestructionWritesEveryQueuedLineInOrder) {
  {
    tQV_LogWriter writer("A", fFolder.Path(), 0, false);
    for (int i = 0; i < 1000; ++i) writer.Write(let_info, "line " + std::to_string(i));
  }
  const std::vector<std::string> lines = FileLines(fFolder / "A.log");
  ASSERT_EQ(lines.size(), 1000u);
  for (int i = 0; i < 1000; ++i) {
    ASSERT_EQ(lines[i], "2023-08-09 09:39:19:042 - line " + std::to_string(i));
  }
}

TEST_F(LogWriterTest, ConcurrentCallersLoseNothingAndKeepTheirOwnOrder) {
  constexpr int kThreads = 4, kLines = 250;
  {
    tQV_LogWriter writer("A", fFolder.Path(), 0, false);
    std::vector<std::thread> callers;
    for (int t = 0; t < kThreads; ++t) {
      callers.emplace_back([&writer, t] {
        for (int i = 0; i < kLines; ++i) {
          writer.Write(let_info, std::to_string(t) + ":" + std::to_string(i));
        }
      });
    }
    for (std::thread& caller : callers) caller.join();
  }
  const std::vector<std::string> lines = FileLines(fFolder / "A.log");
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLines));
  std::vector<int> next(kThreads, 0);
  for (const std::string& line : lines) {
    const std::string message = line.substr(std::string("2023-08-09 09:39:19:042 - ").size());
    const int thread = std::stoi(message.substr(0, message.find(':')));
    const int number = std::stoi(message.substr(message.find(':') + 1));
    ASSERT_EQ(number, next[thread]) << line;
    ++next[thread];
  }
}

TEST_F(LogWriterTest, WriteReturnsBeforeTheFileIsTouched) {
  tQV_LogWriter writer("A", fFolder.Path(), 0, false);
  std::atomic<bool> release{false};
  writer.SetFileAppender([&](std::string_view aPath, std::string_view aData) {
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return platform::AppendToFile(aPath, aData);
  });
  writer.Write(let_info, "one");
  writer.Write(let_info, "two");
  // The log thread is stuck on the first line; both calls came back regardless.
  EXPECT_EQ(writer.QueuedLines(), 2u);
  EXPECT_FALSE(platform::FileExists(fFolder / "A.log"));
  release = true;
  writer.DrainAndStop();
  EXPECT_EQ(writer.QueuedLines(), 0u);
  EXPECT_EQ(FileLines(fFolder / "A.log").size(), 2u);
}

TEST_F(LogWriterTest, FileRemovedByAnotherProgramIsCreatedAgain) {
  tQV_LogWriter writer("A", fFolder.Path(), 0, false);
  writer.Write(let_info, "first");
  ASSERT_TRUE(Eventually([&] { return writer.QueuedLines() == 0; }));
  ASSERT_TRUE(StatusOk(platform::DeleteFile(writer.FileName())));
  writer.Write(let_info, "second");
  writer.DrainAndStop();
  EXPECT_EQ(FileLines(fFolder / "A.log"),
            std::vector<std::string>{"2023-08-09 09:39:19:042 - second"});
}

TEST_F(LogWriterTest, TwoWritersOnOneFileBothAppend) {
  {
    tQV_LogWriter first("A", fFolder.Path(), 0, false);
    tQV_LogWriter second("A", fFolder.Path(), 0, false);
    for (int i = 0; i < 50; ++i) {
      first.Write(let_info, "first");
      second.Write(let_error, "second");
    }
  }
  const std::vector<std::string> lines = FileLines(fFolder / "A.log");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "2023-08-09 09:39:19:042 - first"), 50);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "2023-08-09 09:39:19:042 - ERROR - second"), 50);
}

// ----- size limit and roll-over

TEST_F(LogWriterTest, FileAtExactlyTheLimitStays) {
  const std::string name = fFolder / "A_20230809.log";
  ASSERT_TRUE(StatusOk(platform::WriteWholeFile(name, std::string(5'120'000, 'x'))));
  {
    tQV_LogWriter writer("A", fFolder.Path(), 0, true);
    writer.Write(let_info, "next");
  }
  EXPECT_EQ(FileSizeOf(name), 5'120'000 + 32);
  const auto entries = std::filesystem::directory_iterator(fFolder.Path());
  EXPECT_EQ(std::distance(begin(entries), end(entries)), 1);  // nothing moved aside
}

TEST_F(LogWriterTest, FileOneByteOverTheLimitIsMovedAsideBeforeTheNextLine) {
  const std::string name = fFolder / "QVFP_CYKAVREN_10_A1_20230809.log";
  ASSERT_TRUE(StatusOk(platform::WriteWholeFile(name, std::string(5'120'001, 'x'))));
  {
    tQV_LogWriter writer("QVFP_CYKAVREN_10_A1", fFolder.Path(), 0, true);
    SetClock(At(2023, 8, 9, 15, 30, 12, 345));
    writer.Write(let_info, "fresh");
  }
  EXPECT_EQ(FileSizeOf(fFolder / "QVFP_CYKAVREN_10_A1_20230809_20230809153012345.log"), 5'120'001);
  EXPECT_EQ(FileContent(name), "2023-08-09 15:30:12:345 - fresh\r\n");
}

TEST_F(LogWriterTest, SmallerLimitRollsOverRepeatedlyAndKeepsTheName) {
  tQV_LogWriter writer("A", fFolder.Path(), 0, false);
  writer.SetMaxLogFileSize(1);  // 1024 bytes
  EXPECT_EQ(writer.GetLogFileSize(), -1);
  const std::string message(90, 'm');  // 26 + 90 + 2 = 118 bytes a line
  int millisecond = 0;
  writer.SetFileAppender([&](std::string_view aPath, std::string_view aData) {
    SetClock(At(2023, 8, 9, 10, 0, 0, ++millisecond));  // a distinct name for each move
    return platform::AppendToFile(aPath, aData);
  });
  for (int i = 0; i < 20; ++i) writer.Write(let_info, message);
  writer.DrainAndStop();
  // Nine lines make 1062 bytes (> 1024): the tenth line starts a new file.
  EXPECT_EQ(writer.FileName(), fFolder / "A.log");
  EXPECT_EQ(writer.GetLogFileSize(), 2 * 118);
  EXPECT_EQ(FileSizeOf(fFolder / "A_20230809100000009.log"), 9 * 118);
  EXPECT_EQ(FileSizeOf(fFolder / "A_20230809100000018.log"), 9 * 118);
}

// ----- busy files

TEST_F(LogWriterTest, FileLockedFor200MillisecondsLosesNoLine) {
  const std::string name = fFolder / "A.log";
  platform::LockFile holder;
  ASSERT_TRUE(StatusOk(holder.TryAcquire(platform::NativePath(name))));
  std::atomic<int> attempts{0};
  {
    tQV_LogWriter writer("A", fFolder.Path(), 0, false);
    writer.SetFileAppender([&](std::string_view aPath, std::string_view aData) {
      ++attempts;
      return platform::AppendToFile(aPath, aData);
    });
    for (int i = 0; i < 5; ++i) writer.Write(let_info, "line " + std::to_string(i));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(FileSizeOf(name), 0);  // nothing got past the lock
    holder.Release();
  }
  const std::vector<std::string> lines = FileLines(name);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[4], "2023-08-09 09:39:19:042 - line 4");
  EXPECT_GT(attempts.load(), 5);  // the first line really met the lock
}

TEST_F(LogWriterTest, LineIsGivenUpAfterTheTenthFailedAttempt) {
  const std::string name = fFolder / "A.log";
  platform::LockFile holder;
  ASSERT_TRUE(StatusOk(holder.TryAcquire(platform::NativePath(name))));
  std::atomic<int> attempts{0};
  tQV_LogWriter writer("A", fFolder.Path(), 0, false);
  writer.SetFileAppender([&](std::string_view aPath, std::string_view aData) {
    ++attempts;
    return platform::AppendToFile(aPath, aData);
  });
  writer.Write(let_info, "lost");
  ASSERT_TRUE(Eventually([&] { return attempts.load() >= 10; }));
  holder.Release();
  writer.Write(let_info, "kept");
  writer.DrainAndStop();
  EXPECT_EQ(FileLines(name), std::vector<std::string>{"2023-08-09 09:39:19:042 - kept"});
  EXPECT_EQ(attempts.load(), 11);
}

// ----- library unload

TEST_F(LogWriterTest, DrainAndStopAllWritesOutLiveWritersAndKeepsThemUsable) {
  auto first = std::make_unique<tQV_LogWriter>("first", fFolder.Path(), 0, false);
  auto second = std::make_unique<tQV_LogWriter>("second", fFolder.Path(), 0, false);
  for (int i = 0; i < 200; ++i) {
    first->Write(let_info, "a" + std::to_string(i));
    second->Write(let_info, "b" + std::to_string(i));
  }
  DrainAndStopAllLogWriters();
  // Nothing is destroyed, yet every line is in the files.
  EXPECT_EQ(FileLines(fFolder / "first.log").size(), 200u);
  EXPECT_EQ(FileLines(fFolder / "second.log").size(), 200u);
  // A line written after the unload drain reaches the file before Write returns.
  first->Write(let_error, "late");
  EXPECT_EQ(FileLines(fFolder / "first.log").back(), "2023-08-09 09:39:19:042 - ERROR - late");
  DrainAndStopAllLogWriters();  // a second drain does no harm
  first.reset();
  second.reset();
  EXPECT_EQ(FileLines(fFolder / "first.log").size(), 201u);
}

// ----- the writer seen as the application's log sink

TEST_F(LogWriterTest, LogSinkMovesAndRenamesTheFileThroughTheWriter) {
  const std::string other = fFolder / "moved";
  {
    tQV_LogWriter writer("App", fFolder.Path(), 0, false);
    base::LogSink& sink = writer;
    EXPECT_EQ(sink.LogDirectory(), fFolder.Path());
    EXPECT_EQ(sink.LogFileName(), fFolder / "App.log");
    sink.Write(let_info, "before");
    // The thread takes the file name when it writes the line.
    ASSERT_TRUE(Eventually([&] { return writer.QueuedLines() == 0; }));
    sink.MoveToDirectory(other);
    EXPECT_TRUE(platform::DirectoryExists(other));
    EXPECT_EQ(sink.LogDirectory(), other);
    EXPECT_EQ(sink.LogFileName(), other + "\\App.log");
    sink.RenameFile("C:\\elsewhere\\Host.log");  // only the name part counts
    EXPECT_EQ(sink.LogFileName(), other + "\\Host.log");
    EXPECT_EQ(writer.FileName(), sink.LogFileName());
    sink.Write(let_error, "after");
    ASSERT_TRUE(Eventually([&] { return writer.QueuedLines() == 0; }));
    EXPECT_EQ(ErrorOf([&] { sink.RenameFile("bad|name.log"); }), "Invalid characters in path");
    EXPECT_EQ(sink.LogFileName(), other + "\\Host.log");
    EXPECT_EQ(ErrorOf([&] { sink.MoveToDirectory(""); }), "Unable to create directory");
    EXPECT_EQ(sink.LogDirectory(), "");
  }
  // Each line went to the file that was current when it was written.
  EXPECT_EQ(FileLines(fFolder / "App.log"),
            std::vector<std::string>{"2023-08-09 09:39:19:042 - before"});
  EXPECT_EQ(FileLines(other + "\\Host.log"),
            std::vector<std::string>{"2023-08-09 09:39:19:042 - ERROR - after"});
}

}  // namespace
}  // namespace qv::framework
