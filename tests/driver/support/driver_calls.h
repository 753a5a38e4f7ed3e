// Helpers of the driver's tests: the in-process set-up (processor tables with the test
// processor, drive C in a scratch folder), calls through the exports with their outputs
// turned into plain values, request texts and log file reading.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/ole_string.h"

namespace qv::driver::testing {

// What an exported call returned; a null OLE string is nullopt.
struct tCallResult {
  int32_t rc = 0;
  int32_t handle = 0;
  std::optional<std::string> output;
  std::optional<std::string> error;
};

using tProcessExport = int32_t (*)(platform::OleStr, platform::OleStr*, platform::OleStr*);

tCallResult CallOpen(const std::string& aRequest);
tCallResult CallProcess(tProcessExport aExport, const std::string& aRequest);

// A request for the test processor: aHandle (omitted when 0), aParameters inside
// Parameters after the processor name, aRest after Parameters.
std::string TestRequest(int32_t aHandle, const std::string& aParameters = "",
                        const std::string& aRest = "", const std::string& aLogId = "DRV");

// Opens a test processor and returns its handle (fails the test when it does not open).
int32_t OpenTestProcessor(const std::string& aParameters = "", const std::string& aLogId = "DRV");

// The drive C folder of this test program (a scratch folder), native form.
const std::string& DriveCFolder();

// Waits (up to 10 s) until the file at aPath holds aNeedle; returns the content it saw last.
std::string WaitForFileContaining(const std::string& aPath, const std::string& aNeedle);
std::string ReadFileOrEmpty(const std::string& aPath);

// "yyyymmdd" of today, as the daily log file names carry it.
std::string TodayStamp();

}  // namespace qv::driver::testing
