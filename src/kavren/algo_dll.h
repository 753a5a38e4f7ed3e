// The signing component of the till: the library AlgoDll with its coclass Box and the
// interface _Box, and kBox, the processor's owning wrapper around one Box object.
//
// _Box is declared as the component's type library declares it: the three IUnknown slots,
// the four IDispatch slots, then its ten own operations in the component's order. Every
// argument is passed by reference; texts are OLE strings that the caller frees, statuses are
// 16-bit integers; every operation returns a result code, negative for a failure.
//
// kBox is used by one thread at a time (the processor's caller); each processor owns one.
#pragma once

#include <cstdint>
#include <string>

#include "platform/com.h"

namespace qv::kavren {

using platform::HRESULT;
using platform::OleStr;

inline constexpr platform::Guid CLSID_Box =
    platform::GuidOf("{27C3D64C-4341-11D7-AAF9-00D0592E132D}");
inline constexpr platform::Guid IID__Box =
    platform::GuidOf("{0354D8BE-A006-4ED9-89BF-8118455C3102}");

// The component's file name; the Linux server is "AlgoDll.so".
inline constexpr const char* kAlgoDllLibraryName = "AlgoDll.dll";

class _Box : public platform::IDispatch {
 public:
  // 1: not used by the processor.
  virtual HRESULT QV_COMCALL Reserved1() = 0;
  // 2: signs the text of the file aFileName; *aStatus 0 = signed, *aSignature the signature.
  virtual HRESULT QV_COMCALL Sign(OleStr* aPort, OleStr* aFileName, int16_t* aStatus,
                                  OleStr* aSignature, int16_t* aInOut1, OleStr* aText,
                                  int16_t* aInOut2) = 0;
  // 3: closes the device's day; *aStatus 0 = closed, *aText the answer to print.
  virtual HRESULT QV_COMCALL MakeZReport(OleStr* aPort, int16_t* aStatus, OleStr* aText,
                                         int16_t* aInOut, OleStr* aText2) = 0;
  // 4: checks the signing system; status and text are informative.
  virtual HRESULT QV_COMCALL CheckBoxSystem(OleStr* aPort, int16_t* aStatus, OleStr* aText,
                                            int16_t* aInOut, OleStr* aText2) = 0;
  // 5: not used by the processor.
  virtual HRESULT QV_COMCALL Reserved5() = 0;
  // 6: *aStatus 0 = the device is ready.
  virtual HRESULT QV_COMCALL GetVersionInfo(OleStr* aPort, int16_t* aStatus, OleStr* aText,
                                            int16_t* aInOut, OleStr* aText2) = 0;
  // 7: where the component is installed: its library path and its box files
  // ("<box folder>$...;..." - the first ";" field up to its "$" is the box folder).
  virtual HRESULT QV_COMCALL Installation(OleStr* aLibraryPath, OleStr* aBoxFiles) = 0;
  // 8 to 10: not used by the processor.
  virtual HRESULT QV_COMCALL Reserved8() = 0;
  virtual HRESULT QV_COMCALL Reserved9() = 0;
  virtual HRESULT QV_COMCALL Reserved10() = 0;

 protected:
  ~_Box() = default;
};

// One Box object of the signing component.
//
// Every operation passes the port by reference, as the component may change it (aPort then
// holds the component's value afterwards), sets the in-out integers to the values the
// component expects (-1, or 0 where noted) and frees every text the component returned.
// A failure result raises qv::Error with the component's error description (or, without
// one, the system's text for the result code). Statuses are returned, never raised.
class kBox {
 public:
  struct tAnswer {
    int16_t status = 0;
    std::string text;
  };
  struct tInstallation {
    std::string libraryPath;
    std::string boxFiles;
  };

  // Creates the Box object of the library aLibraryName. When it cannot be created, raises
  // qv::Error with the system's text for the result followed by ", ClassID: {27C3D64C-...}".
  explicit kBox(const std::string& aLibraryName = kAlgoDllLibraryName);
  ~kBox() = default;
  kBox(const kBox&) = delete;
  kBox& operator=(const kBox&) = delete;

  // Operation 7.
  tInstallation Installation();
  // Operation 6, the in-out integer -1 on entry.
  tAnswer GetVersionInfo(std::string& aPort);
  // Operation 4, the in-out integer 0 on entry.
  tAnswer CheckBoxSystem(std::string& aPort);
  // Operation 2: status and signature text (the last text output is not read); the two
  // in-out integers are -1 and 0 on entry.
  tAnswer Sign(std::string& aPort, const std::string& aFileName);
  // Operation 3, the in-out integer -1 on entry: status and the text to print.
  tAnswer MakeZReport(std::string& aPort);

  // The interface itself, for callers that need it (not owned by the caller).
  _Box* Interface() const { return fBox.Get(); }

 private:
  using tPortOperation = HRESULT (QV_COMCALL _Box::*)(OleStr*, int16_t*, OleStr*, int16_t*,
                                                      OleStr*);
  tAnswer CallPortOperation(tPortOperation aOperation, std::string& aPort, int16_t aInOut);
  void Check(HRESULT aResult) const;

  platform::ComPtr<_Box> fBox;
};

}  // namespace qv::kavren
