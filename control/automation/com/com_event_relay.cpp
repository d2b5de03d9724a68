#include "control/automation/com/com_event_relay.h"

#include <dispex.h>
#include <oaidl.h>
#include <ocidl.h>
#include <olectl.h>

#include <atomic>
#include <new>
#include <string>

#include "automation/identity.h"
#include "control/automation/com/com_library.h"
#include "control/automation/member_table.h"

namespace velka::com {

namespace {

constexpr DISPID kConnectId = 1;
constexpr DISPID kDisconnectId = 2;
// No event has more arguments.
constexpr UINT kMaxEventArguments = 4;

const GUID kEventIid = ToGuid(identity::kEventInterfaceId);
// IDispatchEx, which the compiler's uuid library leaves out.
const GUID kDispatchExIid = {
    0xA6EF9860, 0xC720, 0x11D0, {0x93, 0x37, 0x00, 0xA0, 0xC9, 0x0D, 0xCA, 0xA9}};

// A minimal IUnknown + IDispatch reference count.
template <typename Derived>
class DispatchObject : public IDispatch {
 public:
  DispatchObject() { ObjectCreated(); }
  virtual ~DispatchObject() { ObjectDestroyed(); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch &&
        !static_cast<Derived*>(this)->answers(riid)) {
      return E_NOINTERFACE;
    }
    AddRef();
    *object = static_cast<IDispatch*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
  }

 private:
  std::atomic<ULONG> references_{1};
};

// The handler's method of an event's name, by IDispatchEx when the handler has it.
bool MethodOf(IDispatch* handler, IDispatchEx* script_object, const std::wstring& name,
              DISPID& method) {
  if (script_object) {
    BSTR text = ::SysAllocString(name.c_str());
    const HRESULT status = script_object->GetDispID(text, fdexNameCaseInsensitive, &method);
    ::SysFreeString(text);
    return SUCCEEDED(status);
  }
  std::wstring copy = name;
  LPOLESTR names[] = {copy.data()};
  return SUCCEEDED(handler->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &method));
}

// The sink connected to the control: calls the script's function for each event.
class RelaySink final : public DispatchObject<RelaySink> {
 public:
  explicit RelaySink(IDispatch* handler) : handler_(handler) { handler_->AddRef(); }
  ~RelaySink() override { handler_->Release(); }
  bool answers(REFIID riid) const { return riid == kEventIid; }

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) override;

 private:
  IDispatch* handler_;
};

HRESULT RelaySink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                          UINT*) {
  const MemberInfo* event = nullptr;
  for (const MemberInfo& e : EventTable()) {
    if (e.id == id) event = &e;
  }
  if (!event || !params || params->cArgs > kMaxEventArguments) return DISP_E_MEMBERNOTFOUND;
  const std::wstring name(event->name.begin(), event->name.end());
  // Script objects answer by IDispatchEx (Wine's script classes by it alone).
  IDispatchEx* script_object = nullptr;
  if (FAILED(handler_->QueryInterface(kDispatchExIid, reinterpret_cast<void**>(&script_object)))) {
    script_object = nullptr;
  }
  DISPID method = DISPID_UNKNOWN;
  if (!MethodOf(handler_, script_object, name, method)) {
    if (script_object) script_object->Release();
    return S_OK;  // the handler does not take this event
  }
  // Each argument is a VARIANT of its own holding the event's value, passed by reference so
  // that the method may assign to it.
  const UINT count = params->cArgs;
  VARIANT slots[kMaxEventArguments];
  VARIANT handler_args[kMaxEventArguments];
  for (UINT i = 0; i < count; ++i) {
    ::VariantInit(&slots[i]);
    ::VariantCopyInd(&slots[i], &params->rgvarg[i]);
    ::VariantInit(&handler_args[i]);
    handler_args[i].vt = VT_BYREF | VT_VARIANT;
    handler_args[i].pvarVal = &slots[i];
  }
  DISPPARAMS call{handler_args, nullptr, count, 0};
  VARIANT ignored;
  ::VariantInit(&ignored);
  if (script_object) {
    script_object->InvokeEx(method, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &call, &ignored, nullptr,
                            nullptr);
    script_object->Release();
  } else {
    handler_->Invoke(method, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &call, &ignored,
                     nullptr, nullptr);
  }
  ::VariantClear(&ignored);
  // What the method assigned to a by-reference argument goes back to the control.
  for (UINT i = 0; i < count; ++i) {
    VARIANT& original = params->rgvarg[i];
    if (original.vt == (VT_BYREF | VT_I4) && original.plVal &&
        SUCCEEDED(::VariantChangeType(&slots[i], &slots[i], 0, VT_I4))) {
      *original.plVal = slots[i].lVal;
    } else if (original.vt == (VT_BYREF | VT_BSTR) && original.pbstrVal &&
               SUCCEEDED(::VariantChangeType(&slots[i], &slots[i], 0, VT_BSTR))) {
      ::SysFreeString(*original.pbstrVal);
      *original.pbstrVal = ::SysAllocStringLen(slots[i].bstrVal, ::SysStringLen(slots[i].bstrVal));
    }
    ::VariantClear(&slots[i]);
  }
  return S_OK;
}

class EventRelay final : public DispatchObject<EventRelay> {
 public:
  ~EventRelay() override { disconnect(); }
  bool answers(REFIID) const { return false; }

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    if (names[0] && ::lstrcmpiW(names[0], L"Connect") == 0) ids[0] = kConnectId;
    if (names[0] && ::lstrcmpiW(names[0], L"Disconnect") == 0) ids[0] = kDisconnectId;
    return ids[0] != DISPID_UNKNOWN && count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO*, UINT* arg_error) override {
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    const UINT count = params ? params->cArgs : 0;
    if (params && params->cNamedArgs > 0) return DISP_E_NONAMEDARGS;
    if (result) ::VariantInit(result);
    if (id == kDisconnectId) {
      if (count != 0) return DISP_E_BADPARAMCOUNT;
      disconnect();
      return S_OK;
    }
    if (id != kConnectId) return DISP_E_MEMBERNOTFOUND;
    if (count != 2) return DISP_E_BADPARAMCOUNT;
    IDispatch* control = ObjectOf(params->rgvarg[1]);
    IDispatch* handler = ObjectOf(params->rgvarg[0]);
    if (!control || !handler) {
      if (arg_error) *arg_error = control ? 0 : 1;
      return DISP_E_TYPEMISMATCH;
    }
    return connect(control, handler);
  }

 private:
  static IDispatch* ObjectOf(const VARIANT& v) {
    const VARIANT* value = v.vt == (VT_BYREF | VT_VARIANT) ? v.pvarVal : &v;
    if (!value || value->vt != VT_DISPATCH) return nullptr;
    return value->pdispVal;
  }

  HRESULT connect(IDispatch* control, IDispatch* handler) {
    disconnect();
    IConnectionPointContainer* container = nullptr;
    HRESULT status = control->QueryInterface(IID_IConnectionPointContainer,
                                             reinterpret_cast<void**>(&container));
    if (FAILED(status)) return status;
    status = container->FindConnectionPoint(kEventIid, &point_);
    container->Release();
    if (FAILED(status)) return status;
    auto* sink = new (std::nothrow) RelaySink(handler);
    if (!sink) return E_OUTOFMEMORY;
    status = point_->Advise(sink, &cookie_);
    sink->Release();  // the control holds it while connected
    if (FAILED(status)) {
      point_->Release();
      point_ = nullptr;
    }
    return status;
  }

  void disconnect() {
    if (!point_) return;
    IConnectionPoint* point = point_;
    point_ = nullptr;
    point->Unadvise(cookie_);
    point->Release();
  }

  IConnectionPoint* point_ = nullptr;
  DWORD cookie_ = 0;
};

}  // namespace

HRESULT CreateEventRelay(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  auto* created = new (std::nothrow) EventRelay();
  if (!created) return E_OUTOFMEMORY;
  const HRESULT status = created->QueryInterface(riid, object);
  created->Release();
  return status;
}

}  // namespace velka::com
