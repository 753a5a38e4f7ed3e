// The COM half of an object of a stand-in server: IUnknown over the one interface it serves
// (TInterface, with the id kIid, called through its table only), ISupportErrorInfo for that
// interface, and the server's count of living objects (shared/in_process_server.h).
// TObject is the object's own class, destroyed by the last Release; it declares this class
// a friend when its destructor is private.
//
// Threading: the reference count is atomic; everything else is the object's.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/com.h"
#include "shared/in_process_server.h"

namespace qv::standins {

template <class TObject, class TInterface, const platform::Guid& kIid>
class tServerObject : public platform::DispatchByTableOnly<TInterface>,
                      public platform::ISupportErrorInfo {
 public:
  tServerObject() { ++gLiveObjects; }
  tServerObject(const tServerObject&) = delete;
  tServerObject& operator=(const tServerObject&) = delete;

  // IUnknown, reached through either base.
  platform::HRESULT QV_COMCALL QueryInterface(const platform::Guid& aIid, void** aObject) override {
    if (aObject == nullptr) return platform::E_POINTER;
    if (aIid == platform::IID_IUnknown || aIid == platform::IID_IDispatch || aIid == kIid) {
      *aObject = static_cast<TInterface*>(this);
    } else if (aIid == platform::IID_ISupportErrorInfo) {
      *aObject = static_cast<platform::ISupportErrorInfo*>(this);
    } else {
      *aObject = nullptr;
      return platform::E_NOINTERFACE;
    }
    AddRef();
    return platform::S_OK;
  }
  uint32_t QV_COMCALL AddRef() override { return ++fReferences; }
  uint32_t QV_COMCALL Release() override {
    const uint32_t left = --fReferences;
    if (left == 0) delete static_cast<TObject*>(this);
    return left;
  }

  platform::HRESULT QV_COMCALL InterfaceSupportsErrorInfo(const platform::Guid& aIid) override {
    return aIid == kIid ? platform::S_OK : platform::S_FALSE;
  }

 protected:
  ~tServerObject() { --gLiveObjects; }

 private:
  std::atomic<uint32_t> fReferences{1};
};

}  // namespace qv::standins
