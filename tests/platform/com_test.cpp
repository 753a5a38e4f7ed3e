// Class ids, result texts, error objects and interface pointers of the COM-style layer.
#include "platform/com.h"

#include <gtest/gtest.h>

#include "platform/error.h"

namespace qv::platform {
namespace {

constexpr Guid kBoxClass = GuidOf("{27C3D64C-4341-11D7-AAF9-00D0592E132D}");

TEST(Guid, ReadsTheRegistryFormFieldByField) {
  EXPECT_EQ(kBoxClass.Data1, 0x27C3D64Cu);
  EXPECT_EQ(kBoxClass.Data2, 0x4341u);
  EXPECT_EQ(kBoxClass.Data3, 0x11D7u);
  const uint8_t tail[8] = {0xAA, 0xF9, 0x00, 0xD0, 0x59, 0x2E, 0x13, 0x2D};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(kBoxClass.Data4[i], tail[i]) << i;
}

TEST(Guid, WritesUpperCaseInBracesAndReadsBack) {
  EXPECT_EQ(GuidToString(kBoxClass), "{27C3D64C-4341-11D7-AAF9-00D0592E132D}");
  EXPECT_EQ(ParseGuid("{0354d8be-a006-4ed9-89bf-8118455c3102}"),
            GuidOf("{0354D8BE-A006-4ED9-89BF-8118455C3102}"));
  EXPECT_EQ(ParseGuid("27C3D64C-4341-11D7-AAF9-00D0592E132D"), kBoxClass);
  EXPECT_FALSE(ParseGuid("{0354D8BE-A006-4ED9-89BF-8118455C3103}") == kBoxClass);
}

TEST(Guid, RefusesMalformedTexts) {
  Guid guid = kBoxClass;
  for (const char* text :
       {"", "{27C3D64C-4341-11D7-AAF9-00D0592E132D", "{27C3D64C4341-11D7-AAF9-00D0592E132D}",
        "{27C3D64G-4341-11D7-AAF9-00D0592E132D}", "(27C3D64C-4341-11D7-AAF9-00D0592E132D)"}) {
    EXPECT_FALSE(TryParseGuid(text, guid)) << text;
  }
  EXPECT_EQ(guid, kBoxClass) << "a refused text leaves the id unchanged";
  try {
    ParseGuid("Box");
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "Invalid class string Box");
  }
}

TEST(HResult, SystemTextsOfCommonCodes) {
  EXPECT_EQ(HResultText(REGDB_E_CLASSNOTREG), "Class not registered");
  EXPECT_EQ(HResultText(E_FAIL), "Unspecified error");
  EXPECT_EQ(HResultText(E_NOINTERFACE), "No such interface supported");
  EXPECT_EQ(HResultText(HResultFromWin32(2)), "The system cannot find the file specified");
  EXPECT_EQ(HResultText(MakeHResult(0x80004021u)), "OLE error 80004021");
  EXPECT_TRUE(Failed(E_FAIL));
  EXPECT_TRUE(Succeeded(S_FALSE));
}

TEST(ErrorInfo, IsHandedOverOnceAndGivesTheMessageOfAFailedCall) {
  ComPtr<IErrorInfo> info =
      ComPtr<IErrorInfo>::Attach(NewErrorInfo("Box offline", "Test", kBoxClass));
  ASSERT_EQ(SetErrorInfo(0, info.Get()), S_OK);
  EXPECT_EQ(FailedCallMessage(E_FAIL), "Box offline");
  EXPECT_EQ(FailedCallMessage(E_FAIL), "Unspecified error");

  SetErrorInfo(0, info.Get());
  SetErrorInfo(0, nullptr);
  ComPtr<IErrorInfo> none;
  EXPECT_EQ(GetErrorInfo(0, none.Out()), S_FALSE);
  EXPECT_FALSE(none);

  ComPtr<IErrorInfo> empty = ComPtr<IErrorInfo>::Attach(NewErrorInfo("", "Test", kBoxClass));
  SetErrorInfo(0, empty.Get());
  EXPECT_EQ(FailedCallMessage(REGDB_E_CLASSNOTREG), "Class not registered");
}

TEST(ErrorInfo, ReportsItsFieldsAndInterfaces) {
  ComPtr<IErrorInfo> info =
      ComPtr<IErrorInfo>::Attach(NewErrorInfo("Lost", "AlgoDll.Box", kBoxClass));
  OleString source;
  ASSERT_EQ(info->GetSource(source.Out()), S_OK);
  EXPECT_EQ(source.ToUtf8(), "AlgoDll.Box");
  Guid guid;
  ASSERT_EQ(info->GetGUID(&guid), S_OK);
  EXPECT_EQ(guid, kBoxClass);
  ComPtr<IUnknown> unknown;
  EXPECT_EQ(info->QueryInterface(IID_IUnknown, unknown.OutVoid()), S_OK);
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(info->QueryInterface(IID_IClassFactory, factory.OutVoid()), E_NOINTERFACE);
  EXPECT_FALSE(factory);
}

// Counts references so that the interface pointer's bookkeeping can be seen.
class tCounted final : public IUnknown {
 public:
  HRESULT QV_COMCALL QueryInterface(const Guid&, void**) override { return E_NOINTERFACE; }
  uint32_t QV_COMCALL AddRef() override { return ++fReferences; }
  uint32_t QV_COMCALL Release() override { return --fReferences; }
  uint32_t fReferences = 1;
};

TEST(ComPtr, AddsAndReleasesReferencesAsItIsCopiedAndDropped) {
  tCounted object;
  {
    ComPtr<IUnknown> first = ComPtr<IUnknown>::Attach(&object);
    EXPECT_EQ(object.fReferences, 1u);
    ComPtr<IUnknown> copy = first;
    EXPECT_EQ(object.fReferences, 2u);
    ComPtr<IUnknown> moved = std::move(copy);
    EXPECT_EQ(object.fReferences, 2u);
    first.Reset();
    EXPECT_EQ(object.fReferences, 1u);
  }
  EXPECT_EQ(object.fReferences, 0u);
}

TEST(InProcessServer, MissingLibraryIsAnUnregisteredClass) {
  void* object = reinterpret_cast<void*>(1);
  std::string error;
  EXPECT_EQ(CreateInProcessObject("NoSuchServer.dll", kBoxClass, IID_IUnknown, &object, error),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);
  EXPECT_NE(error.find("NoSuchServer.so"), std::string::npos) << error;
}

// ----- the class factory of an in-process server

// The one object a test server makes: IUnknown only, its references counted.
class tMadeObject final : public IUnknown {
 public:
  HRESULT QV_COMCALL QueryInterface(const Guid& aIid, void** aObject) override {
    *aObject = aIid == IID_IUnknown ? this : nullptr;
    if (*aObject == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  uint32_t QV_COMCALL AddRef() override { return ++fReferences; }
  uint32_t QV_COMCALL Release() override { return --fReferences; }
  uint32_t fReferences = 0;
};

tMadeObject gMadeObject;
int gCreations = 0;

HRESULT MakeObject(const Guid& aIid, void** aObject) {
  ++gCreations;
  gMadeObject.fReferences = 1;
  return QueryNewObject(&gMadeObject, aIid, aObject);
}

TEST(InProcessClassFactory, GivesItselfOnlyForItsOwnClass) {
  InProcessClassFactory factory(kBoxClass, &MakeObject);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory.GetClassObject(&IID_IUnknown, &IID_IClassFactory, &object),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(factory.GetClassObject(nullptr, &IID_IClassFactory, &object), E_POINTER);
  EXPECT_EQ(factory.GetClassObject(&kBoxClass, &IID_IDispatch, &object), E_NOINTERFACE);
  EXPECT_FALSE(factory.Locked());

  ASSERT_EQ(factory.GetClassObject(&kBoxClass, &IID_IClassFactory, &object), S_OK);
  EXPECT_EQ(object, static_cast<IClassFactory*>(&factory));
  EXPECT_TRUE(factory.Locked()) << "a reference held by the caller keeps the library loaded";
  static_cast<IClassFactory*>(object)->Release();
  EXPECT_FALSE(factory.Locked());
}

TEST(InProcessClassFactory, LockServerKeepsTheLibraryUntilUnlocked) {
  InProcessClassFactory factory(kBoxClass, &MakeObject);
  EXPECT_EQ(factory.LockServer(1), S_OK);
  EXPECT_TRUE(factory.Locked());
  EXPECT_EQ(factory.LockServer(0), S_OK);
  EXPECT_FALSE(factory.Locked());
}

TEST(InProcessClassFactory, CreatesThroughTheCreatorWithTheErrorObjectCleared) {
  InProcessClassFactory factory(kBoxClass, &MakeObject);
  SetErrorInfo(0, ComPtr<IErrorInfo>::Attach(NewErrorInfo("old", "Test", kBoxClass)).Get());
  gCreations = 0;
  void* object = nullptr;
  ASSERT_EQ(factory.CreateInstance(nullptr, IID_IUnknown, &object), S_OK);
  EXPECT_EQ(object, static_cast<IUnknown*>(&gMadeObject));
  EXPECT_EQ(gMadeObject.fReferences, 1u) << "the caller holds the only reference";
  EXPECT_EQ(FailedCallMessage(E_FAIL), "Unspecified error") << "the old error object is gone";

  EXPECT_EQ(factory.CreateInstance(nullptr, IID_IDispatch, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(gMadeObject.fReferences, 0u) << "an object without the interface is dropped";

  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory.CreateInstance(&gMadeObject, IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(factory.CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(gCreations, 2) << "refused calls create nothing";
}

// Without a class registration no automation object can be named: creation says so instead
// of handing out an object that cannot be called.
TEST(Automation, NoRegisteredObjectsWithoutARegistry) {
  IDispatch* object = reinterpret_cast<IDispatch*>(&object);  // must be cleared
  std::string error;
  EXPECT_EQ(CreateAutomationObject("OPOS.FiscalPrinter", &object, error), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(error, "Class not registered");
  // The texts of late binding's own failures, as Windows words them.
  EXPECT_EQ(HResultText(DISP_E_UNKNOWNNAME), "Unknown name");
  EXPECT_EQ(HResultText(DISP_E_EXCEPTION), "Exception occurred");
}

}  // namespace
}  // namespace qv::platform
