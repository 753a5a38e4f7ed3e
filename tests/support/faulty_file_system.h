// A file system that refuses one chosen call, as a full disk, a failing controller or another
// holder of a lock would, and leaves every other call to the operating system's: the tests
// hand it to the counters store, the journal chain or the processor to prove what a failed
// write, flush, rename or lock leaves behind.
//
// After FailNth(op, n) the n-th following call of op fails with the code the system gives
// for such a refusal (n = 1: the next one; n = 0 disarms). One countdown per operation, kept
// under a mutex, so that a test may arm it while the store works on another thread.
#pragma once

#include <array>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace qv::testing {

class tFaultyFileSystem final : public platform::FileSystem {
 public:
  using FileOperation = platform::FileOperation;

  void FailNth(FileOperation aOperation, int aNth) {
    std::lock_guard<std::mutex> lock(fMutex);
    fCountdown[IndexOf(aOperation)] = aNth > 0 ? aNth : 0;
  }
  void DisarmAll() {
    std::lock_guard<std::mutex> lock(fMutex);
    fCountdown.fill(0);
  }

  int Write(platform::NativeFile aFile, std::string_view aData) override {
    if (Refuses(FileOperation::Write)) return RefusalCode(FileOperation::Write);
    return fReal.Write(aFile, aData);
  }
  int Flush(platform::NativeFile aFile) override {
    if (Refuses(FileOperation::Flush)) return RefusalCode(FileOperation::Flush);
    return fReal.Flush(aFile);
  }
  int Rename(const std::string& aFrom, const std::string& aTo, bool aKeepExisting) override {
    if (Refuses(FileOperation::Rename)) return RefusalCode(FileOperation::Rename);
    return fReal.Rename(aFrom, aTo, aKeepExisting);
  }
  int Lock(platform::NativeFile aFile) override {
    if (Refuses(FileOperation::Lock)) return RefusalCode(FileOperation::Lock);
    return fReal.Lock(aFile);
  }

 private:
  static std::size_t IndexOf(FileOperation aOperation) {
    return static_cast<std::size_t>(aOperation);
  }

  // True when this call of aOperation is the one to refuse.
  bool Refuses(FileOperation aOperation) {
    std::lock_guard<std::mutex> lock(fMutex);
    int& countdown = fCountdown[IndexOf(aOperation)];
    if (countdown == 0) return false;
    --countdown;
    return countdown == 0;
  }

  platform::FileSystem& fReal = platform::RealFileSystem();
  std::mutex fMutex;
  std::array<int, 4> fCountdown{};  // 0: disarmed
};

}  // namespace qv::testing
