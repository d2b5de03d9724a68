// TMVVelka.dll as COM sees it, loaded from the build without registration: the class factory
// and DllCanUnloadNow, IDispatch over the member table (names, coercion, by-reference
// write-back, refusals with the argument's index), the embedded type library, and the
// connection point of the events.
#include <gtest/gtest.h>
#include <ocidl.h>
#include <olectl.h>
#include <windows.h>

#include <string>
#include <vector>

#include "automation/dispatch_ids.h"
#include "automation/identity.h"

namespace velka {
namespace {

GUID ToGuid(const Guid& id) {
  GUID g{id.data1, id.data2, id.data3, {}};
  for (int i = 0; i < 8; ++i) g.Data4[i] = id.data4[i];
  return g;
}

using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();

// The DLL of this build: ../../control/TMVVelka.dll from the test program.
HMODULE LoadControlDll() {
  wchar_t exe[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring path(exe, length);
  for (int up = 0; up < 3; ++up) path.erase(path.find_last_of(L"\\/"));
  return ::LoadLibraryW((path + L"\\control\\TMVVelka.dll").c_str());
}

class ComServer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
    dll = LoadControlDll();
    ASSERT_NE(dll, nullptr);
    get_class_object = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(::GetProcAddress(dll, "DllGetClassObject")));
    can_unload = reinterpret_cast<CanUnloadNow>(
        reinterpret_cast<void*>(::GetProcAddress(dll, "DllCanUnloadNow")));
    ASSERT_TRUE(get_class_object && can_unload);
    ASSERT_EQ(get_class_object(ToGuid(identity::kClassId), IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)),
              S_OK);
  }
  void TearDown() override {
    if (factory) factory->Release();
    ::CoUninitialize();
  }

  IDispatch* create() {
    IDispatch* object = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object)),
              S_OK);
    return object;
  }

  // Invoke with the arguments in declaration order (reversed for DISPPARAMS).
  HRESULT call(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result,
               UINT* arg_error = nullptr) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags & DISPATCH_PROPERTYPUT) {
      params.rgdispidNamedArgs = &put;
      params.cNamedArgs = 1;
    }
    UINT ignored = 0;
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr,
                          arg_error ? arg_error : &ignored);
  }

  // A text the test frees with VariantClear.
  static VARIANT Text(const wchar_t* text) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = ::SysAllocString(text);
    return v;
  }
  static VARIANT Long(LONG value) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
  }

  HMODULE dll = nullptr;
  GetClassObject get_class_object = nullptr;
  CanUnloadNow can_unload = nullptr;
  IClassFactory* factory = nullptr;
};

TEST_F(ComServer, UnloadsOnlyWithoutObjectsFactoriesOrLocks) {
  EXPECT_EQ(can_unload(), S_FALSE);  // the factory is held
  IDispatch* object = create();
  factory->Release();
  factory = nullptr;
  EXPECT_EQ(can_unload(), S_FALSE);  // an object is alive
  object->Release();
  EXPECT_EQ(can_unload(), S_OK);
  IClassFactory* again = nullptr;
  ASSERT_EQ(get_class_object(ToGuid(identity::kClassId), IID_IClassFactory,
                             reinterpret_cast<void**>(&again)),
            S_OK);
  again->LockServer(TRUE);
  again->Release();
  EXPECT_EQ(can_unload(), S_FALSE);  // locked
  ASSERT_EQ(get_class_object(ToGuid(identity::kClassId), IID_IClassFactory,
                             reinterpret_cast<void**>(&again)),
            S_OK);
  again->LockServer(FALSE);
  again->Release();
  EXPECT_EQ(can_unload(), S_OK);
}

TEST_F(ComServer, RefusesAggregationAndUnknownClasses) {
  IUnknown* object = nullptr;
  EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory), IID_IUnknown,
                                    reinterpret_cast<void**>(&object)),
            CLASS_E_NOAGGREGATION);
  IClassFactory* other = nullptr;
  EXPECT_EQ(get_class_object(IID_IUnknown, IID_IClassFactory, reinterpret_cast<void**>(&other)),
            CLASS_E_CLASSNOTAVAILABLE);
}

TEST_F(ComServer, DispatchesByNameAndIdentifier) {
  IDispatch* object = create();
  OLECHAR member[] = L"printrecitem";
  OLECHAR parameter[] = L"Quantity";
  LPOLESTR names[] = {member, parameter};
  DISPID ids[2] = {};
  ASSERT_EQ(object->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids), S_OK);
  EXPECT_EQ(ids[0], dispid::PrintRecItem);
  EXPECT_EQ(ids[1], 2);

  VARIANT result;
  ::VariantInit(&result);
  ASSERT_EQ(call(object, dispid::ResultCode, DISPATCH_PROPERTYGET, {}, &result), S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 101);

  VARIANT yes;
  ::VariantInit(&yes);
  yes.vt = VT_BOOL;
  yes.boolVal = VARIANT_TRUE;
  EXPECT_EQ(call(object, dispid::AsyncMode, DISPATCH_PROPERTYPUT, {yes}, nullptr), S_OK);
  ASSERT_EQ(call(object, dispid::AsyncMode, DISPATCH_PROPERTYGET, {}, &result), S_OK);
  EXPECT_EQ(result.vt, VT_BOOL);
  EXPECT_EQ(result.boolVal, VARIANT_TRUE);
  EXPECT_EQ(call(object, dispid::ResultCode, DISPATCH_PROPERTYPUT, {Long(0)}, nullptr),
            static_cast<HRESULT>(0x800A017F));  // read-only

  // A number where TMVOpen takes text is converted as type-library dispatch converts it:
  // port 0 fails to open.
  ASSERT_EQ(call(object, dispid::TMVOpen, DISPATCH_METHOD, {Long(0)}, &result), S_OK);
  EXPECT_EQ(result.lVal, 115);
  object->Release();
}

TEST_F(ComServer, WritesBackThroughAVariantReference) {
  IDispatch* object = create();
  VARIANT description = Text(L"CAFFE");
  VARIANT price;
  ::VariantInit(&price);
  price.vt = VT_R8;  // a script's 1.5: converted to Currency
  price.dblVal = 1.5;
  VARIANT quantity;  // a script's variable holding the Integer 0
  ::VariantInit(&quantity);
  quantity.vt = VT_I2;
  quantity.iVal = 0;
  VARIANT reference;
  ::VariantInit(&reference);
  reference.vt = VT_BYREF | VT_VARIANT;
  reference.pvarVal = &quantity;
  VARIANT result;
  ::VariantInit(&result);
  ASSERT_EQ(
      call(object, dispid::PrintRecItem, DISPATCH_METHOD, {description, price, reference}, &result),
      S_OK);
  EXPECT_EQ(result.lVal, 101);    // the device is closed
  EXPECT_EQ(quantity.vt, VT_I4);  // written back as the Long it is declared
  ::VariantClear(&description);
  object->Release();
}

TEST_F(ComServer, RefusesWhatCannotBeConvertedNamingTheArgument) {
  IDispatch* object = create();
  VARIANT description = Text(L"CAFFE");
  VARIANT price = Text(L"one euro");
  VARIANT result;
  ::VariantInit(&result);
  UINT bad = 99;
  EXPECT_EQ(
      call(object, dispid::PrintRecItem, DISPATCH_METHOD, {description, price}, &result, &bad),
      DISP_E_TYPEMISMATCH);
  EXPECT_EQ(bad, 0u);  // rgvarg index of the second of two arguments
  EXPECT_EQ(call(object, dispid::PrintRecTotal, DISPATCH_METHOD, {Long(1)}, &result, &bad),
            DISP_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(call(object, 12345, DISPATCH_METHOD, {}, &result), DISP_E_MEMBERNOTFOUND);
  ::VariantClear(&description);
  ::VariantClear(&price);
  object->Release();
}

TEST_F(ComServer, DescribesItselfFromTheEmbeddedTypeLibrary) {
  IDispatch* object = create();
  ITypeInfo* info = nullptr;
  ASSERT_EQ(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), S_OK);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
  EXPECT_EQ(attributes->typekind, TKIND_DISPATCH);
  EXPECT_TRUE(IsEqualGUID(attributes->guid, ToGuid(identity::kDispatchInterfaceId)));
  EXPECT_EQ(attributes->cFuncs, 53);
  info->ReleaseTypeAttr(attributes);
  info->Release();

  IProvideClassInfo2* class_info = nullptr;
  ASSERT_EQ(object->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&class_info)),
            S_OK);
  GUID source{};
  EXPECT_EQ(class_info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
  EXPECT_TRUE(IsEqualGUID(source, ToGuid(identity::kEventInterfaceId)));
  ASSERT_EQ(class_info->GetClassInfo(&info), S_OK);
  ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
  EXPECT_EQ(attributes->typekind, TKIND_COCLASS);
  info->ReleaseTypeAttr(attributes);
  info->Release();
  class_info->Release();
  object->Release();
}

// A sink that only counts its references.
class CountingSink : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    *out = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch) return E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return S_OK;
  }
  ULONG references = 1;
};

TEST_F(ComServer, ConnectsSinksToTheEventInterface) {
  IDispatch* object = create();
  IConnectionPointContainer* container = nullptr;
  ASSERT_EQ(
      object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)),
      S_OK);
  IConnectionPoint* point = nullptr;
  EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, &point), CONNECT_E_NOCONNECTION);
  ASSERT_EQ(container->FindConnectionPoint(ToGuid(identity::kEventInterfaceId), &point), S_OK);
  CountingSink sink;
  std::vector<DWORD> cookies;
  DWORD cookie = 0;
  while (point->Advise(&sink, &cookie) == S_OK && cookies.size() < 100) cookies.push_back(cookie);
  EXPECT_EQ(cookies.size(), 16u);  // then CONNECT_E_ADVISELIMIT
  EXPECT_EQ(point->Advise(&sink, &cookie), CONNECT_E_ADVISELIMIT);
  EXPECT_EQ(sink.references, 17u);
  for (DWORD c : cookies) EXPECT_EQ(point->Unadvise(c), S_OK);
  EXPECT_EQ(point->Unadvise(cookies.front()), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(sink.references, 1u);
  point->Release();
  container->Release();
  object->Release();
}

}  // namespace
}  // namespace velka
