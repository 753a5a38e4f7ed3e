// The box folder of the simulated signing device and its control file.
//
// The box folder is "C:\AlgoBox\" (drive C as the platform maps it: QVFP_DRIVE_C on Linux).
// It holds one subfolder per signing device, named by the device's serial number, and the
// control file "C:\AlgoBox\control.txt", through which a test tells the box how to answer.
// The control file is read afresh at every call; without it the box works normally.
//
// Control file format: one "key=value" per line; blank lines and lines starting with "#"
// are ignored; keys are compared without regard to letter case; values are taken as they
// stand (no trimming after the "="). Keys:
//
//   serial=<text>                  serial number of the device created when the box folder
//                                  has none (default KVB0000001)
//   <Operation>.hresult=<code>     the call fails with this result code and does nothing else;
//                                  hexadecimal with "0x" (0x80004005) or decimal (-2147467259)
//   <Operation>.error=<text>       the description of the error object left with that failure
//                                  (default "<Operation> failed: the signing device does not
//                                  answer")
//   <Operation>.errorinfo=0        fail without leaving an error object (the caller then sees
//                                  the system's text for the code)
//   <Operation>.status=<n>         answer with status n without doing the work (Sign signs
//                                  nothing, MakeZReport closes nothing)
//   <Operation>.delay=<ms>         the call waits that long first, then reads the control file
//                                  again (so a test can change the answer meanwhile)
//   <Operation>.text=<text>        replaces the text the call gives (for Sign: the signature);
//                                  "\r" and "\n" in the value stand for CR and LF
//   Installation.librarypath=<text>, Installation.boxfiles=<text>
//                                  replace the two answers of the installation call
//
// <Operation> is one of CreateInstance (the class factory's creation of a Box object),
// Installation, GetVersionInfo, CheckBoxSystem, Sign, MakeZReport. Example:
//
//   GetVersionInfo.status=3
//   Sign.hresult=0x80004005
//   Sign.error=Signing device disconnected
//
// Safe from any thread: a control object is a snapshot of the file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "shared/control_file.h"

namespace qv::standins {

inline constexpr const char* kBoxFolder = "C:\\AlgoBox\\";
inline constexpr const char* kControlFileName = "C:\\AlgoBox\\control.txt";
inline constexpr const char* kDefaultSerial = "KVB0000001";

class tBoxControl {
 public:
  // Reads the control file; a missing or unreadable file gives no instructions.
  static tBoxControl Read();
  // Parses control-file text (exposed for the tests of the format).
  static tBoxControl Parse(std::string_view aText);

  // The value of aOperation + "." + aKey (or of aKey alone when aOperation is empty).
  std::optional<std::string> Value(std::string_view aOperation, std::string_view aKey) const;
  // The forced result code of an operation, if any (malformed codes count as E_FAIL).
  std::optional<int32_t> ForcedResult(std::string_view aOperation) const;
  // The forced status of an operation, if any (malformed numbers count as 99).
  std::optional<int16_t> ForcedStatus(std::string_view aOperation) const;
  // The replacement text of an operation, with "\r" and "\n" turned into CR and LF.
  std::optional<std::string> ForcedText(std::string_view aOperation) const;
  // The description of the error object of a forced failure; nullopt when none is left.
  std::optional<std::string> ErrorDescription(std::string_view aOperation) const;
  std::string NewDeviceSerial() const;

 private:
  explicit tBoxControl(tControlFile aFile) : fFile(std::move(aFile)) {}

  tControlFile fFile;
};

}  // namespace qv::standins
