#include "platform/process.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "platform/support/platform_test_support.h"

namespace qv::platform {
namespace {

using test::HelperProgram;
using test::RunProgram;
using test::ScratchFolder;
using test::ShellQuote;

std::vector<std::string> LinesOf(const std::string& aText) {
  std::vector<std::string> lines;
  std::istringstream stream(aText);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> ValuesOf(const std::string& aOutput, const std::string& aName) {
  std::vector<std::string> values;
  for (const std::string& line : LinesOf(aOutput)) {
    if (line.rfind(aName + "=", 0) == 0) values.push_back(line.substr(aName.size() + 1));
  }
  return values;
}

TEST(Process, ThisProgramsPathAndFolder) {
  const std::string path = ExecutablePath();
  EXPECT_EQ(path, std::string(QV_BIN_DIR) + "/platform_tests");
  EXPECT_EQ(WorkingDirectory(), std::filesystem::current_path().string());
  EXPECT_GT(ProcessId(), 0);
}

TEST(Process, ChildProgramSeesItsOwnParametersPathAndFolder) {
  ScratchFolder scratch;
  const std::string program = HelperProgram("platform_show_process");
  const auto result = RunProgram("cd " + ShellQuote(scratch.Path().string()) + " && " +
                                 ShellQuote(program) + " /BATCH 'two words' '' 'Καλημέρα'");
  ASSERT_EQ(result.status, 0);
  EXPECT_EQ(ValuesOf(result.output, "executable"), std::vector<std::string>{program});
  EXPECT_EQ(ValuesOf(result.output, "directory"),
            std::vector<std::string>{std::filesystem::canonical(scratch.Path()).string()});
  EXPECT_EQ(ValuesOf(result.output, "parameter"),
            (std::vector<std::string>{"/BATCH", "two words", "", "Καλημέρα"}));
  const std::vector<std::string> process = ValuesOf(result.output, "process");
  ASSERT_EQ(process.size(), 1u);
  EXPECT_NE(process[0], std::to_string(ProcessId()));
}

// The counts move with the threads and files that the process really holds.
TEST(Process, ThreadAndOpenFileCountsFollowTheProcess) {
  const int threads = ThreadCount();
  const int files = OpenFileCount();
  ASSERT_GE(threads, 1);
  ASSERT_GE(files, 3);  // at least the standard streams
  {
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false, release = false;
    std::thread worker([&] {
      std::unique_lock lock(mutex);
      started = true;
      changed.notify_all();
      changed.wait(lock, [&] { return release; });
    });
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return started; });
    }
    EXPECT_EQ(ThreadCount(), threads + 1);
    {
      std::lock_guard lock(mutex);
      release = true;
    }
    changed.notify_all();
    worker.join();
  }
  EXPECT_EQ(ThreadCount(), threads);
  {
    ScratchFolder scratch;
    std::ofstream first(scratch.Path() / "a.txt");
    std::ofstream second(scratch.Path() / "b.txt");
    EXPECT_EQ(OpenFileCount(), files + 2);
  }
  EXPECT_EQ(OpenFileCount(), files);
}

TEST(Process, ChildProgramWithoutParameters) {
  const auto result = RunProgram(ShellQuote(HelperProgram("platform_show_process")));
  ASSERT_EQ(result.status, 0);
  EXPECT_TRUE(ValuesOf(result.output, "parameter").empty());
}

}  // namespace
}  // namespace qv::platform
