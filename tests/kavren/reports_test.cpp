// The Z-report of a processor in this process, its log watched line by line: what the log
// says while the counters lock is held.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/request_context.h"
#include "framework/support/no_transport_channel.h"
#include "kavren/fiscal_processor_kavren.h"
#include "kavren/support/processor_session.h"

namespace qv::testing {
namespace {

// A log channel whose lines reach aOnLine as they are written, on the writer's caller's
// thread.
class tWatchedChannel : public framework::testing::kIOHandler_NoTransport {
 public:
  tWatchedChannel(const std::string& aFolder, std::function<void(const std::string&)> aOnLine)
      : kIOHandler_NoTransport(nullptr, aFolder, "WATCHED") {
    Logger()->DrainAndStop();  // from now on each line is appended by the call that writes it
    Logger()->SetFileAppender([aOnLine](std::string_view, std::string_view aData) {
      aOnLine(std::string(aData));
      return platform::FileStatus();
    });
  }
  bool Connected() override { return false; }
  std::string ClassName() const override { return "tWatchedChannel"; }
};

class tWatchedProcessor : public kavren::kFiscalProcessor_KAVREN {
 public:
  using kFiscalProcessor_KAVREN::kFiscalProcessor_KAVREN;
  void WatchLog(std::unique_ptr<framework::kIOHandler> aChannel) {
    fIOHandler = std::move(aChannel);
  }
};

class tWorkingDirectory {
 public:
  explicit tWorkingDirectory(const std::string& aFolder)
      : fPrevious(std::filesystem::current_path()) {
    std::filesystem::current_path(aFolder);
  }
  ~tWorkingDirectory() { std::filesystem::current_path(fPrevious); }

 private:
  std::filesystem::path fPrevious;
};

// Another host waits for the counters lock while the Z-report logs: the lock is released
// before the Z-report's last line.
TEST(ZReportLock, IsReleasedBeforeTheEndIsLogged) {
  tProcessorSession session;
  tWorkingDirectory work(session.WorkFolder());  // where the counters lock lies
  framework::kFiscalProcessorHandler opening;
  opening.Deserialize(session.Request(0), {});
  tWatchedProcessor processor(opening);
  std::vector<std::pair<std::string, bool>> lines;  // each line, and whether the lock was held
  bool watching = true;
  processor.WatchLog(
      std::make_unique<tWatchedChannel>(session.Folder(), [&](const std::string& aLine) {
        if (watching) lines.emplace_back(aLine, processor.FPCounters().IsLocked());
      }));
  ASSERT_TRUE(processor.Open(opening));
  framework::kFiscalProcessorHandler closing;
  closing.Deserialize(session.Request(1), {framework::dt_ZReport});
  EXPECT_TRUE(processor.ProcessZReport(closing));
  watching = false;

  auto lockHeldAt = [&](const std::string& aMessage) {
    for (const auto& [line, locked] : lines) {
      if (line.find(" - " + aMessage) != std::string::npos) return locked ? 1 : 0;
    }
    ADD_FAILURE() << "no line " << aMessage;
    return -1;
  };
  EXPECT_EQ(lockHeldAt("PROCESSZREPORT:BEGIN\r\n"), 0);
  EXPECT_EQ(lockHeldAt("MakeZReport:[0]\r\n"), 1);
  EXPECT_EQ(lockHeldAt("SerialNumber:"), 1);
  EXPECT_EQ(lockHeldAt("PROCESSZREPORT:END\r\n"), 0);
  EXPECT_EQ(session.Counters()["CurrentZReportNo"], "2");
}

}  // namespace
}  // namespace qv::testing
