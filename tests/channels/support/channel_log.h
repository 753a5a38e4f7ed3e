// The fixture of the channel tests: a scratch folder for the device log, a fixed clock so
// that the log's name and time stamps are known, and the log's messages without their
// stamps. The log writer works on its own thread: destroy the channel (which writes out
// every queued line) before reading the messages.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/support/scratch_folder.h"
#include "platform/clock.h"

namespace qv::test_support {

inline const std::string kLogStamp = "2023-08-09 09:39:19:042 - ";
inline const std::string kStartLine = std::string(27, '*') + " START " + std::string(27, '*');
inline const std::string kStopLine = std::string(27, '*') + " STOP " + std::string(28, '*');

class ChannelLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::LocalTime time;
    time.year = 2023, time.month = 8, time.day = 9;
    time.hour = 9, time.minute = 39, time.second = 19, time.millisecond = 42;
    platform::OverrideClock([time] { return time; });
  }
  void TearDown() override { platform::OverrideClock({}); }

  // The log folder and base name to construct a channel with.
  const std::string& LogFolder() const { return fFolder.Path(); }
  static std::string LogName() { return "DEV_T1"; }
  std::string LogFile() const { return fFolder / "DEV_T1_20230809.log"; }

  // The log's messages without their time stamps (an error keeps its "ERROR - " mark). A
  // message that holds CR LF spans several lines of the file; it is put together again.
  std::vector<std::string> Messages() const {
    std::vector<std::string> messages;
    for (const std::string& line : FileLines(LogFile())) {
      if (line.rfind(kLogStamp, 0) == 0) {
        messages.push_back(line.substr(kLogStamp.size()));
      } else if (!messages.empty()) {
        messages.back() += "\r\n" + line;
      } else {
        messages.push_back("?" + line);
      }
    }
    return messages;
  }
  // The messages between the START line (and the connect banner, when aBannerLines is
  // given) and the STOP line.
  std::vector<std::string> Transfers(std::size_t aBannerLines = 0) const {
    std::vector<std::string> messages = Messages();
    if (messages.size() < 2 + aBannerLines || messages.front() != kStartLine ||
        messages.back() != kStopLine) {
      return {"<not framed by START and STOP>"};
    }
    return std::vector<std::string>(messages.begin() + 1 + aBannerLines, messages.end() - 1);
  }

  ScratchFolder fFolder;
};

}  // namespace qv::test_support
