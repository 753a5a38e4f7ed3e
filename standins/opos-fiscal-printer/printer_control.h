// The folder of the simulated fiscal printer and its control file.
//
// The folder is "C:\OposFiscalPrinter\" (drive C as the platform maps it: QVFP_DRIVE_C on
// Linux). It holds the control file "control.txt", through which a test tells the printer how
// to answer, and the record "calls.txt", to which every call that reaches the printer appends
// one line: "[<DeviceName>] <Operation>(<arguments as received>) = <result code>" (texts in
// single quotes, CR and LF written as \r and \n, amounts in their shortest decimal form).
// The control file is read afresh at every call; without it the printer works normally.
//
// Control file format: one "key=value" per line; blank lines and lines starting with "#"
// are ignored; keys are compared without regard to letter case. Keys:
//
//   <Operation>.result=<n>      the operation answers with result code n and does nothing else
//   <Operation>.extended=<n>    the ResultCodeExtended that goes with it (use with 114)
//   <Operation>.error=<text>    the ErrorString that goes with it (default "<Operation> refused
//                               by the simulated printer")
//   <Operation>.hresult=<code>  the call itself fails with this COM result code, hexadecimal
//                               with "0x" or decimal; its error object carries
//                               <Operation>.error (none with <Operation>.errorinfo=0)
//   <Operation>.text=<text>     GetDate and GetData answer this text instead of their own
//   cover=open                  the cover is open: printing answers 114 with 201
//   paper=empty | nearend       the receipt paper: empty answers 114 with 203; nearend only
//                               shows in RecNearEnd
//   memory=<n>                  RemainingFiscalMemory (default 1000); at 0 a fiscal receipt or
//                               a Z-report answers 114 with 210
//
// <Operation> is a method name of the control (Open, ClaimDevice, PrintRecItem, GetDate, ...),
// "DeviceEnabled" for setting that property, or, for .hresult alone, "CreateInstance" or a
// property name for reading it ("ResultCodeExtended", "ErrorString", "CoverOpen", ...).
// Example:
//
//   ClaimDevice.result=102
//   ClaimDevice.error=Claimed by the back-office program
//   PrintRecItem.result=114
//   PrintRecItem.extended=217
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

inline constexpr const char* kPrinterFolder = "C:\\OposFiscalPrinter\\";
inline constexpr const char* kPrinterControlFile = "C:\\OposFiscalPrinter\\control.txt";
inline constexpr const char* kPrinterCallsFile = "C:\\OposFiscalPrinter\\calls.txt";

class tPrinterControl {
 public:
  struct tForcedAnswer {
    int32_t result = 0;
    int32_t extended = 0;
    std::string error;
  };

  // Reads the control file; a missing or unreadable file gives no instructions.
  static tPrinterControl Read();
  // Parses control-file text (exposed for the tests of the format).
  static tPrinterControl Parse(std::string_view aText);

  // The value of aKey (compared in lower case), if given.
  std::optional<std::string> Value(std::string_view aKey) const;
  // The answer forced on aOperation by "<Operation>.result", if any (malformed numbers
  // count as 111, a failure).
  std::optional<tForcedAnswer> ForcedAnswer(std::string_view aOperation) const;
  // The COM failure forced on aOperation, if any (malformed codes count as E_FAIL).
  std::optional<int32_t> ForcedHResult(std::string_view aOperation) const;
  // The error object's description for a forced COM failure; nullopt when none is left.
  std::optional<std::string> ErrorDescription(std::string_view aOperation) const;
  // The text forced on GetDate or GetData, with "\r" and "\n" turned into CR and LF.
  std::optional<std::string> ForcedText(std::string_view aOperation) const;

  bool CoverOpen() const;
  bool PaperEmpty() const;
  bool PaperNearEnd() const;
  int32_t RemainingMemory() const;

 private:
  explicit tPrinterControl(tControlFile aFile) : fFile(std::move(aFile)) {}

  tControlFile fFile;
};

// Appends one line to the calls record; a record that cannot be written is skipped.
void RecordCall(std::string_view aDeviceName, std::string_view aCall, int32_t aResult);

}  // namespace qv::standins
