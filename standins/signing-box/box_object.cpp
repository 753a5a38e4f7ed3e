// The in-process server AlgoDll: the class factory of Box (its exports are those of every
// stand-in server, shared/in_process_server.h) and the Box object, which serves the _Box
// interface with the simulated signing device and the box's control file.
//
// Failures are reported as COM does: a failure result code, with an error object (its
// description) left on the calling thread, which the caller takes through the exported
// DllGetErrorInfo. Every Box operation clears a previous error object first. No C++
// exception leaves the library.
#include <atomic>
#include <exception>
#include <optional>
#include <string>

#include "box_control.h"
#include "kavren/algo_dll.h"
#include "platform/clock.h"
#include "platform/com.h"
#include "shared/in_process_server.h"
#include "shared/server_object.h"
#include "signing_device.h"

namespace qv::standins {
namespace {

using kavren::_Box;
using kavren::IID__Box;
using platform::Guid;
using platform::HRESULT;
using platform::OleStr;

// Leaves an error object of the Box with aDescription and gives aResult back.
HRESULT Fail(HRESULT aResult, const std::optional<std::string>& aDescription) {
  return FailWithErrorInfo(aResult, "AlgoDll.Box", IID__Box, aDescription);
}

// Replaces an out-text with a new OLE string (the caller frees it).
void Give(OleStr* aOut, const std::string& aText) {
  if (aOut == nullptr) return;
  *aOut = platform::NewOleString(aText);
}

std::string TextOf(const OleStr* aText) {
  return aText == nullptr ? std::string() : platform::OleStringToUtf8(*aText);
}

class tBox final : public tServerObject<tBox, _Box, IID__Box> {
 public:
  // _Box
  HRESULT QV_COMCALL Reserved1() override { return platform::E_NOTIMPL; }
  HRESULT QV_COMCALL Reserved5() override { return platform::E_NOTIMPL; }
  HRESULT QV_COMCALL Reserved8() override { return platform::E_NOTIMPL; }
  HRESULT QV_COMCALL Reserved9() override { return platform::E_NOTIMPL; }
  HRESULT QV_COMCALL Reserved10() override { return platform::E_NOTIMPL; }

  HRESULT QV_COMCALL Installation(OleStr* aLibraryPath, OleStr* aBoxFiles) override {
    return Guarded("Installation", [&](const tBoxControl& aControl) {
      const std::string boxFiles = std::string(kBoxFolder) + "$SERIAL\\;" + kControlFileName;
      Give(aLibraryPath, aControl.Value("Installation", "librarypath")
                             .value_or(platform::ModulePathOf(&gLiveObjects)));
      Give(aBoxFiles, aControl.Value("Installation", "boxfiles").value_or(boxFiles));
      return platform::S_OK;
    });
  }

  HRESULT QV_COMCALL GetVersionInfo(OleStr* aPort, int16_t* aStatus, OleStr* aText, int16_t* aInOut,
                                    OleStr* aText2) override {
    return PortOperation("GetVersionInfo", aPort, aStatus, aText, aText2,
                         [](tSigningDevice& aDevice, const std::string& aPortText) {
                           return aDevice.VersionInfo(aPortText);
                         });
  }

  HRESULT QV_COMCALL CheckBoxSystem(OleStr* aPort, int16_t* aStatus, OleStr* aText, int16_t* aInOut,
                                    OleStr* aText2) override {
    return PortOperation("CheckBoxSystem", aPort, aStatus, aText, aText2,
                         [](tSigningDevice& aDevice, const std::string& aPortText) {
                           return aDevice.CheckSystem(aPortText);
                         });
  }

  HRESULT QV_COMCALL MakeZReport(OleStr* aPort, int16_t* aStatus, OleStr* aText, int16_t* aInOut,
                                 OleStr* aText2) override {
    return PortOperation(
        "MakeZReport", aPort, aStatus, aText, aText2,
        [](tSigningDevice& aDevice, const std::string&) { return aDevice.CloseDay(); });
  }

  HRESULT QV_COMCALL Sign(OleStr* aPort, OleStr* aFileName, int16_t* aStatus, OleStr* aSignature,
                          int16_t* aInOut1, OleStr* aText, int16_t* aInOut2) override {
    const std::string fileName = TextOf(aFileName);
    return PortOperation(
        "Sign", aPort, aStatus, aSignature, aText,
        [&](tSigningDevice& aDevice, const std::string&) { return aDevice.Sign(fileName); });
  }

 private:
  friend tServerObject;
  ~tBox() = default;

  // Clears the thread's error object, applies a forced result of the control file, runs
  // aWork and turns any exception into E_UNEXPECTED with its message.
  template <class Work>
  HRESULT Guarded(std::string_view aOperation, Work aWork) {
    platform::SetErrorInfo(0, nullptr);
    try {
      tBoxControl control = tBoxControl::Read();
      if (const auto delay = control.Value(aOperation, "delay")) {
        platform::SleepMilliseconds(std::stoi(*delay));
        control = tBoxControl::Read();  // the answer may have been changed meanwhile
      }
      if (const auto forced = control.ForcedResult(aOperation)) {
        return Fail(*forced, control.ErrorDescription(aOperation));
      }
      return aWork(control);
    } catch (const std::exception& failure) {
      return Fail(platform::E_UNEXPECTED, std::string(failure.what()));
    } catch (...) {
      return Fail(platform::E_UNEXPECTED, std::string("Unknown failure"));
    }
  }

  // The common shape of the device operations: port in and out unchanged, a status, the
  // answer text and a second text that tells what the status means.
  template <class DeviceCall>
  HRESULT PortOperation(std::string_view aOperation, OleStr* aPort, int16_t* aStatus, OleStr* aText,
                        OleStr* aText2, DeviceCall aCall) {
    if (aStatus == nullptr) return platform::E_POINTER;
    return Guarded(aOperation, [&](const tBoxControl& aControl) {
      tDeviceAnswer answer;
      if (const auto status = aControl.ForcedStatus(aOperation)) {
        answer = {*status, std::string(aOperation) + " refused by the signing device"};
      } else {
        tSigningDevice device(aControl.NewDeviceSerial(), fKey);
        answer = aCall(device, TextOf(aPort));
      }
      if (const auto text = aControl.ForcedText(aOperation)) answer.text = *text;
      *aStatus = answer.status;
      Give(aText, answer.text);
      Give(aText2, answer.status == kStatusDone ? "OK" : "Status " + std::to_string(answer.status));
      return platform::S_OK;
    });
  }

  tDeviceKey fKey;
};

// A new Box, unless the control file makes the creation fail.
HRESULT NewBox(const Guid& aIid, void** aObject) {
  try {
    const tBoxControl control = tBoxControl::Read();
    if (const auto forced = control.ForcedResult("CreateInstance")) {
      return Fail(*forced, control.ErrorDescription("CreateInstance"));
    }
    return platform::QueryNewObject(new tBox(), aIid, aObject);
  } catch (const std::exception& failure) {
    return Fail(platform::E_UNEXPECTED, std::string(failure.what()));
  }
}

}  // namespace

platform::InProcessClassFactory gClassFactory(kavren::CLSID_Box, &NewBox);

}  // namespace qv::standins
