// One fresh folder per test for the runs of qvfp: drive C, the temporary folder and the
// working directory (where the counters lock file lies) of the runs, removed at the end.
//
// Threading: one object per test, used by the test's thread.
#pragma once

#include <string>
#include <vector>

#include "host/support/qvfp_process.h"

namespace qv::testing {

class tHostScratch {
 public:
  tHostScratch();
  ~tHostScratch();
  tHostScratch(const tHostScratch&) = delete;
  tHostScratch& operator=(const tHostScratch&) = delete;

  // Native paths, without a trailing "/".
  const std::string& Root() const { return fRoot; }
  std::string DriveC() const { return fRoot + "/C"; }
  std::string Work() const { return fRoot + "/work"; }
  std::string Temp() const { return fRoot + "/tmp"; }
  // The till folder "C:\QV_FPR_DB\<aTill>" on this drive C.
  std::string TillFolder(const std::string& aTill) const {
    return DriveC() + "/QV_FPR_DB/" + aTill;
  }

  // The environment of a run: drive C mapped here (nullopt when aMapDriveC is false, so that
  // qvfp maps it itself), the temporary folder here, and no leak report (the library keeps
  // its processors until it is unloaded, by design).
  tEnvironmentChanges Environment(bool aMapDriveC = true) const;

  // qvfp with aArguments in the working directory and the environment above.
  tQvfpRun Run(const std::vector<std::string>& aArguments, bool aMapDriveC = true) const;

  // Writes aContent to the native file aPath, creating its folder.
  static void WriteFile(const std::string& aPath, const std::string& aContent);
  // The content of a native file, "<missing>" when it cannot be read.
  static std::string ReadFile(const std::string& aPath);
  // The names of the regular files / subfolders of a native folder, sorted.
  static std::vector<std::string> FileNames(const std::string& aFolder);
  static std::vector<std::string> FolderNames(const std::string& aFolder);

  // Sets the signing box's control file "C:\AlgoBox\control.txt".
  void SetBoxControl(const std::string& aText) const;

 private:
  std::string fRoot;
};

// Today's date as the journal folders name it (yyyymmdd).
std::string TodayStamp();

}  // namespace qv::testing
