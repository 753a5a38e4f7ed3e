#include "host/support/host_scratch.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <stdexcept>

#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "support/file_status_assertions.h"

namespace qv::testing {

namespace fs = std::filesystem;

tHostScratch::tHostScratch() {
  static int gNext = 0;
  fRoot = platform::TemporaryFolder() + "qv_host_" + std::to_string(platform::ProcessId()) + "_" +
          std::to_string(++gNext);
  std::error_code ignored;
  fs::remove_all(fRoot, ignored);
  for (const std::string& folder : {DriveC(), Work(), Temp()}) {
    if (!platform::ForceDirectories(folder).IsOk())
      throw std::runtime_error("cannot create " + folder);
  }
}

tHostScratch::~tHostScratch() {
  std::error_code ignored;
  fs::remove_all(fRoot, ignored);
}

tEnvironmentChanges tHostScratch::Environment(bool aMapDriveC) const {
  tEnvironmentChanges changes;
  changes["QVFP_DRIVE_C"] = aMapDriveC ? std::optional<std::string>(DriveC()) : std::nullopt;
  changes["TMPDIR"] = Temp();
  std::optional<std::string> sanitizer = platform::GetEnvironmentVariable("ASAN_OPTIONS");
  changes["ASAN_OPTIONS"] =
      (sanitizer && !sanitizer->empty() ? *sanitizer + ":" : std::string()) + "detect_leaks=0";
  return changes;
}

tQvfpRun tHostScratch::Run(const std::vector<std::string>& aArguments, bool aMapDriveC) const {
  return RunQvfp(aArguments, Work(), Environment(aMapDriveC));
}

void tHostScratch::WriteFile(const std::string& aPath, const std::string& aContent) {
  platform::ForceDirectories(fs::path(aPath).parent_path().string()).ThrowIfFailed();
  std::string error;
  if (!Ok(platform::WriteWholeFile(aPath, aContent), error)) throw std::runtime_error(error);
}

std::string tHostScratch::ReadFile(const std::string& aPath) {
  std::string content;
  return platform::ReadWholeFile(aPath, content).IsOk() ? content : "<missing>";
}

namespace {
std::vector<std::string> Names(const std::string& aFolder, bool aFolders) {
  std::vector<std::string> names;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(aFolder, error)) {
    if (aFolders ? entry.is_directory() : entry.is_regular_file()) {
      names.push_back(entry.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}
}  // namespace

std::vector<std::string> tHostScratch::FileNames(const std::string& aFolder) {
  return Names(aFolder, false);
}

std::vector<std::string> tHostScratch::FolderNames(const std::string& aFolder) {
  return Names(aFolder, true);
}

void tHostScratch::SetBoxControl(const std::string& aText) const {
  WriteFile(DriveC() + "/AlgoBox/control.txt", aText);
}

std::string TodayStamp() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%Y%m%d", &local);
  return text;
}

}  // namespace qv::testing
