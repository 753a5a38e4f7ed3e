// Scratch drive C for the stand-in tests.
#include "standins/support/scratch_drive.h"

#include <filesystem>
#include <stdexcept>

#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "support/file_status_assertions.h"

namespace qv::testing {
namespace {
int gNextDrive = 0;
}

tScratchDrive::tScratchDrive() {
  fRoot = platform::TemporaryFolder() + "qv_standins_" + std::to_string(platform::ProcessId()) +
          "_" + std::to_string(++gNextDrive);
  std::filesystem::remove_all(fRoot);
  if (!platform::ForceDirectories(fRoot).IsOk()) throw std::runtime_error("cannot create " + fRoot);
  platform::SetEnvironmentVariable("QVFP_DRIVE_C", fRoot);
}

tScratchDrive::~tScratchDrive() {
  platform::SetEnvironmentVariable("QVFP_DRIVE_C", std::nullopt);
  std::error_code ignored;
  std::filesystem::remove_all(fRoot, ignored);
}

void tScratchDrive::WriteFile(const std::string& aPath, const std::string& aContent) const {
  const std::size_t slash = aPath.find_last_of('\\');
  if (slash != std::string::npos)
    platform::ForceDirectories(aPath.substr(0, slash + 1)).ThrowIfFailed();
  std::string error;
  if (!Ok(platform::WriteWholeFile(aPath, aContent), error)) throw std::runtime_error(error);
}

std::string tScratchDrive::ReadFile(const std::string& aPath) const {
  std::string content;
  std::string error;
  if (!Ok(platform::ReadWholeFile(aPath, content), error)) return {};
  return content;
}

std::string BinFolder() { return std::string(QV_BIN_DIR) + "/"; }

}  // namespace qv::testing
