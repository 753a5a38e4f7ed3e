// The simulated signing device of the box.
//
// A device is a subfolder of the box folder named by its serial number. It holds:
//   key.pem          its Ed25519 private key (PKCS#8 PEM), made on first use
//   public.pem       the matching public key, for whoever checks the signatures
//   state.txt        "serial=", "counter=" (signatures made in the device's life),
//                    "day=" (number of the open device day, from 1) and "daySignatures="
//   signatures.log   one line per signature and per day closing
// The box works with its most recently created device (the one the till's driver reports as
// the device serial number) and creates the device "serial" of the control file (default
// KVB0000001) when the box folder has none.
//
// A signature text is "<serial>-<counter, 8 digits> <base64 Ed25519 signature>"; the signed
// message is "<serial>-<counter, 8 digits>" + LF + the bytes of the receipt-text file.
//
// Statuses: 0 done; 1 the receipt-text file cannot be read; 2 it is empty; 3 the device is
// not ready (its folder, key or state cannot be read or written); 4 the device is busy
// (another caller held it for more than ten seconds).
//
// Every operation holds the box lock file "C:\AlgoBox\box.lock" while it works, so devices
// are shared safely by threads, Box objects and processes.
#pragma once

#include <cstdint>
#include <string>

#include "signing_crypto.h"

namespace qv::standins {

struct tDeviceAnswer {
  int16_t status = 0;
  std::string text;
};

enum : int16_t {
  kStatusDone = 0,
  kStatusFileUnreadable = 1,
  kStatusFileEmpty = 2,
  kStatusNotReady = 3,
  kStatusBusy = 4,
};

class tSigningDevice {
 public:
  // aNewSerial: the serial of the device to create when the box has none; aKey: the Box's
  // device key, which outlives this object.
  tSigningDevice(std::string aNewSerial, tDeviceKey& aKey);

  tDeviceAnswer VersionInfo(const std::string& aPort);
  tDeviceAnswer CheckSystem(const std::string& aPort);
  // Signs the receipt-text file aFileName; the text is the signature (or, for a status not
  // 0, the reason).
  tDeviceAnswer Sign(const std::string& aFileName);
  // Closes the device day; the text is the closing line to print.
  tDeviceAnswer CloseDay();

 private:
  struct tState {
    std::string serial;
    int64_t counter = 0;
    int64_t day = 1;
    int64_t daySignatures = 0;
  };

  // Runs aWork with the box lock held and the current device open; a failure of the device
  // (std::exception) becomes status 3 with its message.
  template <class Work>
  tDeviceAnswer WithDevice(Work aWork);
  std::string OpenCurrentDevice();  // the device folder, created when missing
  tState ReadState(const std::string& aFolder) const;
  void WriteState(const std::string& aFolder, const tState& aState) const;
  std::string PrivateKeyPem(const std::string& aFolder) const;

  std::string fNewSerial;
  tDeviceKey& fKey;
};

}  // namespace qv::standins
