// The simulated signing device: its folder, key, counters and signatures.
#include "signing_device.h"

#include <cstdio>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "box_control.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/lock_file.h"
#include "signing_crypto.h"

namespace qv::standins {
namespace {

constexpr const char* kLockFileName = "C:\\AlgoBox\\box.lock";
constexpr int kLockWaitMilliseconds = 10000;
constexpr int kLockPollMilliseconds = 2;
constexpr const char* kVersion = "AlgoDll 1.0.0 stand-in";

std::string Digits(int64_t aValue, int aWidth) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*lld", aWidth, static_cast<long long>(aValue));
  return text;
}

auto Moment(const platform::LocalTime& aTime) {
  return std::make_tuple(aTime.year, aTime.month, aTime.day, aTime.hour, aTime.minute, aTime.second,
                         aTime.millisecond);
}

// Holds the box lock for one operation; false from Acquired when it stayed busy.
class tBoxLock {
 public:
  tBoxLock() {
    // A folder that cannot be made leaves the lock untaken, as a busy one does.
    platform::ForceDirectories(kBoxFolder).IgnoreFailure();
    for (int waited = 0; waited <= kLockWaitMilliseconds; waited += kLockPollMilliseconds) {
      if (fLock.TryAcquire(kLockFileName).IsOk()) return;
      platform::SleepMilliseconds(kLockPollMilliseconds);
    }
  }
  bool Acquired() const { return fLock.IsHeld(); }

 private:
  platform::LockFile fLock;
};

int64_t ParseCount(const std::string& aText, const char* aName) {
  std::size_t used = 0;
  long long value = -1;
  try {
    value = std::stoll(aText, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != aText.size() || value < 0) {
    throw std::runtime_error(std::string("The device state is damaged (") + aName + ")");
  }
  return value;
}

std::string FileText(const std::string& aPath) {
  std::string content;
  const platform::FileStatus read = platform::ReadWholeFile(aPath, content);
  if (!read.IsOk()) throw std::runtime_error(read.Message());
  return content;
}

void AppendLog(const std::string& aFolder, const std::string& aLine) {
  const platform::FileStatus appended =
      platform::AppendToFile(aFolder + "signatures.log", aLine + "\n");
  if (!appended.IsOk()) throw std::runtime_error(appended.Message());
}

}  // namespace

tSigningDevice::tSigningDevice(std::string aNewSerial, tDeviceKey& aKey)
    : fNewSerial(std::move(aNewSerial)), fKey(aKey) {}

template <class Work>
tDeviceAnswer tSigningDevice::WithDevice(Work aWork) {
  tBoxLock lock;
  if (!lock.Acquired()) return {kStatusBusy, "The signing device is busy"};
  try {
    const std::string folder = OpenCurrentDevice();
    tState state = ReadState(folder);
    return aWork(folder, state);
  } catch (const std::exception& failure) {
    return {kStatusNotReady, std::string("The signing device is not ready: ") + failure.what()};
  }
}

std::string tSigningDevice::OpenCurrentDevice() {
  const std::vector<platform::SubFolder> devices = platform::ListSubFolders(kBoxFolder);
  const platform::SubFolder* newest = nullptr;
  for (const platform::SubFolder& device : devices) {
    if (newest == nullptr || Moment(device.createdAt) > Moment(newest->createdAt)) {
      newest = &device;
    }
  }
  const std::string folder = std::string(kBoxFolder) + (newest ? newest->name : fNewSerial) + "\\";
  if (!platform::ForceDirectories(folder).IsOk()) {
    throw std::runtime_error("cannot create the device folder " + folder);
  }
  if (!platform::FileExists(folder + "key.pem")) {
    const tKeyPair keys = NewEd25519KeyPair();
    // Each file appears whole or not at all, and the private key last: a device killed while
    // it makes its key makes a new one at the next call instead of keeping half a key.
    platform::ReplaceFileAtomically(folder + "public.pem", keys.publicPem).ThrowIfFailed();
    platform::ReplaceFileAtomically(folder + "key.pem", keys.privatePem).ThrowIfFailed();
  }
  return folder;
}

tSigningDevice::tState tSigningDevice::ReadState(const std::string& aFolder) const {
  tState state;
  const std::string path = aFolder + "state.txt";
  std::string name = aFolder.substr(0, aFolder.size() - 1);
  state.serial = name.substr(name.find_last_of('\\') + 1);
  if (!platform::FileExists(path)) return state;
  const std::string content = FileText(path);
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    const std::string line = content.substr(start, end - start);
    start = end + 1;
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    if (key == "counter") state.counter = ParseCount(value, "counter");
    if (key == "day") state.day = ParseCount(value, "day");
    if (key == "daySignatures") state.daySignatures = ParseCount(value, "daySignatures");
  }
  return state;
}

void tSigningDevice::WriteState(const std::string& aFolder, const tState& aState) const {
  platform::ReplaceFileAtomically(
      aFolder + "state.txt", "serial=" + aState.serial +
                                 "\ncounter=" + std::to_string(aState.counter) +
                                 "\nday=" + std::to_string(aState.day) +
                                 "\ndaySignatures=" + std::to_string(aState.daySignatures) + "\n")
      .ThrowIfFailed();
}

std::string tSigningDevice::PrivateKeyPem(const std::string& aFolder) const {
  return FileText(aFolder + "key.pem");
}

tDeviceAnswer tSigningDevice::VersionInfo(const std::string& aPort) {
  return WithDevice([&](const std::string&, tState& aState) {
    return tDeviceAnswer{kStatusDone,
                         std::string(kVersion) + ", device " + aState.serial + ", port " + aPort};
  });
}

tDeviceAnswer tSigningDevice::CheckSystem(const std::string& aPort) {
  return WithDevice([&](const std::string&, tState& aState) {
    return tDeviceAnswer{kStatusDone, "Box system ready, device " + aState.serial + ", day " +
                                          Digits(aState.day, 4) + ", " +
                                          std::to_string(aState.daySignatures) +
                                          " signed today, counter " + Digits(aState.counter, 8)};
  });
}

tDeviceAnswer tSigningDevice::Sign(const std::string& aFileName) {
  std::string content;
  if (const platform::FileStatus read = platform::ReadWholeFile(aFileName, content); !read.IsOk()) {
    return {kStatusFileUnreadable, "Cannot read the receipt file: " + read.Message()};
  }
  if (content.empty()) return {kStatusFileEmpty, "The receipt file is empty: " + aFileName};
  return WithDevice([&](const std::string& aFolder, tState& aState) {
    tState next = aState;
    ++next.counter;
    ++next.daySignatures;
    const std::string id = next.serial + "-" + Digits(next.counter, 8);
    const std::string signature = fKey.Sign(PrivateKeyPem(aFolder), id + "\n" + content);
    WriteState(aFolder, next);
    AppendLog(aFolder, "SIGN;" + id + ";day=" + std::to_string(next.day) +
                           ";bytes=" + std::to_string(content.size()));
    return tDeviceAnswer{kStatusDone, id + " " + Base64(signature)};
  });
}

tDeviceAnswer tSigningDevice::CloseDay() {
  return WithDevice([&](const std::string& aFolder, tState& aState) {
    tState next = aState;
    ++next.day;
    next.daySignatures = 0;
    WriteState(aFolder, next);
    AppendLog(aFolder, "Z;day=" + std::to_string(aState.day) +
                           ";signatures=" + std::to_string(aState.daySignatures) +
                           ";counter=" + std::to_string(aState.counter));
    return tDeviceAnswer{kStatusDone, "Day " + Digits(aState.day, 4) + " closed, " +
                                          std::to_string(aState.daySignatures) +
                                          " receipts signed, counter " + Digits(aState.counter, 8)};
  });
}

}  // namespace qv::standins
