#include "shared/in_process_server.h"

#include "platform/export.h"

namespace qv::standins {

std::atomic<long> gLiveObjects{0};

platform::HRESULT FailWithErrorInfo(platform::HRESULT aResult, const char* aSource,
                                    const platform::Guid& aIid,
                                    const std::optional<std::string>& aDescription) {
  if (aDescription) {
    platform::ComPtr<platform::IErrorInfo> info = platform::ComPtr<platform::IErrorInfo>::Attach(
        platform::NewErrorInfo(*aDescription, aSource, aIid));
    platform::SetErrorInfo(0, info.Get());
  }
  return aResult;
}

}  // namespace qv::standins

extern "C" {

QV_EXPORT qv::platform::HRESULT QV_COMCALL DllGetClassObject(const qv::platform::Guid* aClsid,
                                                             const qv::platform::Guid* aIid,
                                                             void** aObject) {
  return qv::standins::gClassFactory.GetClassObject(aClsid, aIid, aObject);
}

QV_EXPORT qv::platform::HRESULT QV_COMCALL DllCanUnloadNow() {
  const bool inUse = qv::standins::gLiveObjects != 0 || qv::standins::gClassFactory.Locked();
  return inUse ? qv::platform::S_FALSE : qv::platform::S_OK;
}

// The error object that a failing call left on the calling thread (see platform/com.h).
QV_EXPORT qv::platform::HRESULT QV_COMCALL DllGetErrorInfo(uint32_t aReserved,
                                                           qv::platform::IErrorInfo** aInfo) {
  return qv::platform::GetErrorInfo(aReserved, aInfo);
}
}
