// kBox: calls on the signing component's Box object with owned texts and raised failures.
#include "kavren/algo_dll.h"

#include "platform/error.h"
#include "platform/ole_string.h"

namespace qv::kavren {
namespace {

using platform::OleString;

// A status the component did not write counts as not ready, never as success.
constexpr int16_t kStatusNotAnswered = -1;

}  // namespace

kBox::kBox(const std::string& aLibraryName) {
  std::string details;
  const HRESULT result =
      platform::CreateInProcessObject(aLibraryName, CLSID_Box, IID__Box, fBox.OutVoid(), details);
  if (platform::Failed(result)) {
    throw Error(platform::HResultText(result) + ", ClassID: " + platform::GuidToString(CLSID_Box));
  }
}

void kBox::Check(HRESULT aResult) const {
  if (platform::Failed(aResult)) throw Error(platform::FailedCallMessage(aResult));
}

kBox::tInstallation kBox::Installation() {
  OleString libraryPath;
  OleString boxFiles;
  Check(fBox->Installation(libraryPath.Out(), boxFiles.Out()));
  return {libraryPath.ToUtf8(), boxFiles.ToUtf8()};
}

kBox::tAnswer kBox::CallPortOperation(tPortOperation aOperation, std::string& aPort,
                                      int16_t aInOut) {
  OleString port(aPort);
  OleString text;
  OleString unused;
  int16_t status = kStatusNotAnswered;
  int16_t inOut = aInOut;
  const HRESULT result =
      ((*fBox.Get()).*aOperation)(port.InOut(), &status, text.Out(), &inOut, unused.Out());
  aPort = port.ToUtf8();
  Check(result);
  return {status, text.ToUtf8()};
}

kBox::tAnswer kBox::GetVersionInfo(std::string& aPort) {
  return CallPortOperation(&_Box::GetVersionInfo, aPort, /*aInOut=*/-1);
}

kBox::tAnswer kBox::CheckBoxSystem(std::string& aPort) {
  return CallPortOperation(&_Box::CheckBoxSystem, aPort, /*aInOut=*/0);
}

kBox::tAnswer kBox::MakeZReport(std::string& aPort) {
  return CallPortOperation(&_Box::MakeZReport, aPort, /*aInOut=*/-1);
}

kBox::tAnswer kBox::Sign(std::string& aPort, const std::string& aFileName) {
  OleString port(aPort);
  OleString fileName(aFileName);
  OleString signature;
  OleString unused;
  int16_t status = kStatusNotAnswered;
  int16_t inOut1 = -1;
  int16_t inOut2 = 0;
  const HRESULT result = fBox->Sign(port.InOut(), fileName.InOut(), &status, signature.Out(),
                                    &inOut1, unused.Out(), &inOut2);
  aPort = port.ToUtf8();
  Check(result);
  return {status, signature.ToUtf8()};
}

}  // namespace qv::kavren
