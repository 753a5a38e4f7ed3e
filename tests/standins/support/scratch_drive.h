// A fresh folder standing for drive C during one test: QVFP_DRIVE_C points at it while the
// object lives, and it is removed afterwards. One at a time per process.
#pragma once

#include <string>

namespace qv::testing {

class tScratchDrive {
 public:
  tScratchDrive();
  ~tScratchDrive();
  tScratchDrive(const tScratchDrive&) = delete;
  tScratchDrive& operator=(const tScratchDrive&) = delete;

  // The native folder of drive C.
  const std::string& Root() const { return fRoot; }
  // Writes aContent to the file aPath (a "C:\..." path), creating its folder.
  void WriteFile(const std::string& aPath, const std::string& aContent) const;
  std::string ReadFile(const std::string& aPath) const;

 private:
  std::string fRoot;
};

// The folder of the built programs and libraries, with a trailing "/".
std::string BinFolder();

}  // namespace qv::testing
