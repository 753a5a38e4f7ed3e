#include "driver/support/driver_calls.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/date_time.h"
#include "driver/exports.h"
#include "driver/processor_registry.h"
#include "driver/support/test_processor.h"
#include "framework/log_writer.h"
#include "platform/clock.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "support/file_status_assertions.h"

namespace qv::driver::testing {

namespace {

using platform::OleStr;

std::optional<std::string> TakeText(OleStr aText) {
  if (aText == nullptr) return std::nullopt;
  std::string text = platform::OleStringToUtf8(aText);
  SysFreeString(aText);
  return text;
}

// The tables exist for the whole test program, with the test processor registered, as the
// library's load creates them; drive C is a scratch folder.
class DriverEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    std::filesystem::remove_all(DriveCFolder());
    platform::ForceDirectories(DriveCFolder()).ThrowIfFailed();
    platform::SetEnvironmentVariable("QVFP_DRIVE_C", DriveCFolder());
    CreateProcessorTables();
    RegisterBuiltInProcessors();
    RegisterTestProcessor();
  }
  void TearDown() override {
    FreeProcessorTables();
    std::error_code ignored;
    std::filesystem::remove_all(DriveCFolder(), ignored);
  }
};

[[maybe_unused]] ::testing::Environment* const gEnvironment =
    ::testing::AddGlobalTestEnvironment(new DriverEnvironment());

}  // namespace

const std::string& DriveCFolder() {
  static const std::string folder = platform::TemporaryFolder() + "qv_driver_tests_" +
                                    std::to_string(platform::ProcessId()) + "_C";
  return folder;
}

tCallResult CallOpen(const std::string& aRequest) {
  platform::OleString request(aRequest);
  tCallResult result;
  OleStr error = nullptr;
  result.rc = OPEN(request.Get(), &result.handle, &error);
  result.error = TakeText(error);
  return result;
}

tCallResult CallProcess(tProcessExport aExport, const std::string& aRequest) {
  platform::OleString request(aRequest);
  tCallResult result;
  OleStr output = nullptr;
  OleStr error = nullptr;
  result.rc = aExport(request.Get(), &output, &error);
  result.output = TakeText(output);
  result.error = TakeText(error);
  return result;
}

std::string TestRequest(int32_t aHandle, const std::string& aParameters, const std::string& aRest,
                        const std::string& aLogId) {
  std::string xml =
      "<FiscalRequest><Type>FISCALPROCESSOR</Type><Driver>X</Driver><LogId>" + aLogId + "</LogId>";
  if (aHandle != 0) xml += "<Handle>" + std::to_string(aHandle) + "</Handle>";
  xml += "<Parameters><Processor>" + std::string(kTestDriverName) + "</Processor>" + aParameters +
         "</Parameters>" + aRest + "</FiscalRequest>";
  return xml;
}

int32_t OpenTestProcessor(const std::string& aParameters, const std::string& aLogId) {
  tCallResult result = CallOpen(TestRequest(0, aParameters, "", aLogId));
  EXPECT_EQ(result.rc, 0) << result.error.value_or("<null>");
  EXPECT_GT(result.handle, 0);
  return result.handle;
}

std::string ReadFileOrEmpty(const std::string& aPath) {
  std::string content;
  return platform::ReadWholeFile(aPath, content).IsOk() ? content : "";
}

std::string WaitForFileContaining(const std::string& aPath, const std::string& aNeedle) {
  std::string content;
  for (int attempt = 0; attempt < 200; ++attempt) {
    content = ReadFileOrEmpty(aPath);
    if (content.find(aNeedle) != std::string::npos) return content;
    platform::SleepMilliseconds(50);
  }
  return content;
}

std::string TodayStamp() { return base::FormatDateTime("yyyymmdd", base::NowDateTime()); }

}  // namespace qv::driver::testing
