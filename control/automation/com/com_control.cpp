#include "control/automation/com/com_control.h"

#include <olectl.h>

#include <atomic>
#include <new>
#include <string>
#include <vector>

#include "automation/identity.h"
#include "control/automation/class_factory.h"
#include "control/automation/com/com_arguments.h"
#include "control/automation/com/com_library.h"
#include "control/automation/member_table.h"

namespace velka::com {

namespace {

// More sinks than this are refused with CONNECT_E_ADVISELIMIT.
constexpr std::size_t kMaxSinks = 16;
// Longest member name GetIDsOfNames reads.
constexpr std::size_t kMaxNameLength = 256;

const GUID kDispatchIid = ToGuid(identity::kDispatchInterfaceId);
const GUID kEventIid = ToGuid(identity::kEventInterfaceId);
const GUID kClassId = ToGuid(identity::kClassId);

std::uint16_t InvokeKindOf(WORD flags) {
  std::uint16_t kind = 0;
  if (flags & DISPATCH_METHOD) kind |= kInvokeMethod;
  if (flags & DISPATCH_PROPERTYGET) kind |= kInvokePropertyGet;
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) kind |= kInvokePropertyPut;
  return kind;
}

// The table's entry a call reaches, as the dispatcher chooses it.
const MemberInfo* MemberFor(DISPID id, WORD flags) {
  const auto& members = TmvEcrVelkaTypeLibrary().dispatch.members;
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    return FindMember(members, id, MemberKind::PropertyPut);
  }
  if (const MemberInfo* m = FindMember(members, id, MemberKind::Method)) return m;
  return FindMember(members, id, MemberKind::PropertyGet);
}

void FillException(EXCEPINFO* info, const std::string& why) {
  if (!info) return;
  *info = EXCEPINFO{};
  info->bstrSource = ::SysAllocString(L"TMVVelka.TmvEcrVelka");
  const std::wstring text(why.begin(), why.end());  // the dispatcher's texts are ASCII
  info->bstrDescription = ::SysAllocString(text.c_str());
  info->scode = DISP_E_EXCEPTION;
}

class ComControl;

// The connection point of __TmvEcrVelka: part of its control, whose references it shares.
class EventConnectionPoint final : public IConnectionPoint {
 public:
  explicit EventConnectionPoint(ComControl& owner) : owner_(owner) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
    if (!iid) return E_POINTER;
    *iid = kEventIid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** c) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** e) override {
    if (e) *e = nullptr;
    return E_NOTIMPL;
  }

  struct Sink {
    DWORD cookie;
    IDispatch* dispatch;
  };
  // The sinks connected now, each with a reference the caller releases.
  std::vector<Sink> snapshot() const {
    std::vector<Sink> copy = sinks_;
    for (const Sink& s : copy) s.dispatch->AddRef();
    return copy;
  }
  bool connected(DWORD cookie) const {
    for (const Sink& s : sinks_) {
      if (s.cookie == cookie) return true;
    }
    return false;
  }
  void disconnectAll() {
    std::vector<Sink> gone;
    gone.swap(sinks_);
    for (const Sink& s : gone) s.dispatch->Release();
  }

 private:
  ComControl& owner_;
  std::vector<Sink> sinks_;
  DWORD next_cookie_ = 1;
};

class ComControl final : public IDispatch,
                         public IConnectionPointContainer,
                         public IProvideClassInfo2,
                         private EventSink {
 public:
  ComControl() : point_(*this) { ObjectCreated(); }

  HRESULT init() {
    Dispatch* inner = nullptr;
    const HResult status = TmvEcrVelkaClassFactory().CreateInstance(ThreadSite(), &inner);
    if (Failed(status)) return status;
    inner_ = DispatchRef::Adopt(inner);
    return inner_->Advise(this, &inner_cookie_);
  }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kDispatchIid) {
      *object = static_cast<IDispatch*>(this);
    } else if (riid == IID_IConnectionPointContainer) {
      *object = static_cast<IConnectionPointContainer*>(this);
    } else if (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2) {
      *object = static_cast<IProvideClassInfo2*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return LibraryTypeInfo(kDispatchIid, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* arg_error) override;

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** e) override {
    if (e) *e = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) override {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (riid != kEventIid) return CONNECT_E_NOCONNECTION;
    point_.AddRef();
    *point = &point_;
    return S_OK;
  }

  // IProvideClassInfo2
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override {
    return LibraryTypeInfo(kClassId, info);
  }
  HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override {
    if (!guid) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
    *guid = kEventIid;
    return S_OK;
  }

 private:
  ~ComControl() {
    point_.disconnectAll();
    if (inner_) inner_->Unadvise(inner_cookie_);
    inner_.reset();
    ObjectDestroyed();
  }

  // EventSink: the control's events, handed to every connected sink.
  velka::HResult Invoke(DispId event_id, std::span<Variant> args) override;

  std::atomic<ULONG> references_{1};
  EventConnectionPoint point_;
  DispatchRef inner_;
  std::uint32_t inner_cookie_ = 0;

  friend class EventConnectionPoint;
};

HRESULT ComControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!names || !ids || count == 0) return E_INVALIDARG;
  std::vector<std::u16string> wanted;
  for (UINT i = 0; i < count; ++i) {
    const std::size_t length = names[i] ? ::wcsnlen(names[i], kMaxNameLength + 1) : 0;
    if (length > kMaxNameLength) return DISP_E_UNKNOWNNAME;
    wanted.emplace_back(names[i], names[i] + length);
  }
  std::vector<DispId> found(count, kDispIdUnknown);
  const HResult status = inner_->GetIDsOfNames(wanted, found);
  for (UINT i = 0; i < count; ++i) ids[i] = found[i];
  return status;
}

HRESULT ComControl::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* exception, UINT* arg_error) {
  static DISPPARAMS kNoArguments{nullptr, nullptr, 0, 0};
  const DISPPARAMS& given = params ? *params : kNoArguments;
  const std::uint16_t kind = InvokeKindOf(flags);
  if (kind == 0) return E_INVALIDARG;
  AddRef();  // a handler of an event raised inside the call may release the object
  HRESULT status = S_OK;
  {
    const MemberInfo* member = MemberFor(id, flags);
    ComArguments arguments;
    UINT bad = 0;
    status = arguments.Read(member, given, bad);
    if (FAILED(status)) {
      if (arg_error) *arg_error = bad;
    } else {
      Variant value;
      InvokeError why;
      status = inner_->Invoke(id, kind, arguments.arguments(), &value, &why);
      if (FAILED(status)) {
        if (arg_error && why.argument >= 0 &&
            static_cast<UINT>(why.argument) < given.cArgs - given.cNamedArgs) {
          *arg_error = given.cArgs - 1 - static_cast<UINT>(why.argument);
        }
        if (status == DISP_E_EXCEPTION) FillException(exception, why.description);
      } else {
        arguments.WriteBack(member);
        ResultToVariant(value, result);
      }
    }
  }
  Release();
  return status;
}

velka::HResult ComControl::Invoke(DispId event_id, std::span<Variant> args) {
  AddRef();  // a sink may release the object from inside its handler
  std::vector<Variant> values(args.begin(), args.end());
  for (const EventConnectionPoint::Sink& sink : point_.snapshot()) {
    if (point_.connected(sink.cookie)) {
      std::vector<EventArgument> com_args;
      EventArgumentsFrom(values, com_args);
      std::vector<VARIANT> raw;
      for (EventArgument& a : com_args) raw.push_back(a.value);
      DISPPARAMS params{raw.data(), nullptr, static_cast<UINT>(raw.size()), 0};
      sink.dispatch->Invoke(event_id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                            nullptr, nullptr, nullptr);
      EventArgumentsBack(com_args, values);
      ClearEventArguments(com_args);
    }
    sink.dispatch->Release();
  }
  // By-reference arguments go back to the control.
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (!args[i].byRef()) continue;
    if (args[i].type() == VarType::Long) args[i].setLong(values[i].longValue());
    if (args[i].type() == VarType::String) args[i].setString(values[i].stringValue());
  }
  Release();
  return S_OK;
}

HRESULT EventConnectionPoint::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (riid != IID_IUnknown && riid != IID_IConnectionPoint) return E_NOINTERFACE;
  AddRef();
  *object = static_cast<IConnectionPoint*>(this);
  return S_OK;
}
ULONG EventConnectionPoint::AddRef() {
  return owner_.AddRef();
}
ULONG EventConnectionPoint::Release() {
  return owner_.Release();
}

HRESULT EventConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** c) {
  if (!c) return E_POINTER;
  owner_.AddRef();
  *c = &owner_;
  return S_OK;
}

HRESULT EventConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!sink || !cookie) return E_POINTER;
  *cookie = 0;
  if (sinks_.size() >= kMaxSinks) return CONNECT_E_ADVISELIMIT;
  // A sink of the event interface, or any dispatch interface (script engines' sinks).
  IDispatch* dispatch = nullptr;
  if (FAILED(sink->QueryInterface(kEventIid, reinterpret_cast<void**>(&dispatch))) &&
      FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) {
    return CONNECT_E_CANNOTCONNECT;
  }
  sinks_.push_back({next_cookie_, dispatch});
  *cookie = next_cookie_++;
  return S_OK;
}

HRESULT EventConnectionPoint::Unadvise(DWORD cookie) {
  for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
    if (it->cookie != cookie) continue;
    IDispatch* gone = it->dispatch;
    sinks_.erase(it);
    gone->Release();
    return S_OK;
  }
  return CONNECT_E_NOCONNECTION;
}

}  // namespace

HRESULT CreateComControl(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  auto* created = new (std::nothrow) ComControl();
  if (!created) return E_OUTOFMEMORY;
  HRESULT status = created->init();
  if (SUCCEEDED(status)) status = created->QueryInterface(riid, object);
  created->Release();
  return status;
}

}  // namespace velka::com
