// What the channel tests share: a fixed clock (so that the device log has a known name and
// time stamps), a scratch folder for the log, the log's messages without their time stamps,
// and the message of a failed call.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/support/scratch_folder.h"
#include "platform/clock.h"
#include "platform/error.h"

namespace qv::test_support {

inline const std::string kLogStamp = "2023-08-09 09:39:19:042 - ";
inline const std::string kStartLine =
    "*************************** START ***************************";
inline const std::string kStopLine =
    "*************************** STOP ****************************";
inline const std::string kBannerLine(61, '*');

// The message of the qv::Error that aAction raises, or "<no error>".
inline std::string ErrorOf(const std::function<void()>& aAction) {
  try {
    aAction();
  } catch (const Error& error) {
    return error.what();
  }
  return "<no error>";
}

class ChannelLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::LocalTime time;
    time.year = 2023, time.month = 8, time.day = 9;
    time.hour = 9, time.minute = 39, time.second = 19, time.millisecond = 42;
    platform::OverrideClock([time] { return time; });
  }
  void TearDown() override { platform::OverrideClock({}); }

  // The device log of a channel made with file name aFileName in the scratch folder.
  std::string LogFile(const std::string& aFileName = "DEV_A1") const {
    return fFolder / (aFileName + "_20230809.log");
  }
  // The log's messages without their time stamps; an error keeps its "ERROR - " mark. The
  // log is written by a background thread: destroy the channel first.
  std::vector<std::string> Messages(const std::string& aFileName = "DEV_A1") const {
    std::vector<std::string> messages;
    for (const std::string& line : FileLines(LogFile(aFileName))) {
      messages.push_back(line.rfind(kLogStamp, 0) == 0 ? line.substr(kLogStamp.size())
                                                       : "?" + line);
    }
    return messages;
  }

  ScratchFolder fFolder;
};

}  // namespace qv::test_support
