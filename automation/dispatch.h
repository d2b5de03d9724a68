#pragma once
// The automation face of the control, as a host sees it through the library boundary:
// abstract, reference-counted interfaces whose calls return an HResult and never throw.
//
// A host gets a Dispatch from CreateObject (activation/create_object.h) or from the class
// factory of DllGetClassObject, calls members by dispatch identifier with Invoke (names map to
// identifiers with GetIDsOfNames), reads the type information, and connects an EventSink to
// receive the six events. Header-only.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "automation/hresult.h"
#include "automation/type_info.h"
#include "automation/variant.h"

namespace velka {

class ControlSite;

class Unknown {
 public:
  // Each returns the new count of references (for diagnostics only). The object is destroyed
  // when the last reference goes; a call that is running (Invoke, an event being delivered)
  // holds a reference of its own, so releasing inside an event handler is safe.
  virtual std::uint32_t AddRef() = 0;
  virtual std::uint32_t Release() = 0;

 protected:
  ~Unknown() = default;  // destroyed only through Release
};

// What Invoke is asked to do: flags, combined with | when a client does not know (automation
// clients ask for Method | PropertyGet when they use a result).
enum InvokeKind : std::uint16_t {
  kInvokeMethod = 1,
  kInvokePropertyGet = 2,
  kInvokePropertyPut = 4,
};

// Why a call was refused, beyond its status.
struct InvokeError {
  // Index of the offending argument in declaration order; -1 when no single one is.
  std::int32_t argument = -1;
  std::string description;  // English, for logs and error messages
};

// Receives the control's events, raised synchronously on the host's thread with the event's
// dispatch identifier (1 DataEvent to 6 ReceiveDataEvent) and its arguments in declaration
// order. By-reference arguments (pErrorResponse of ErrorEvent, pData and pString of
// DirectIOEvent) refer to the control's values: the handler may write through them with
// Variant::setLong / setString and the control reads them back after the call. The sink is
// not owned: it stays valid until Unadvise or until the object is gone.
class EventSink {
 public:
  virtual ~EventSink() = default;
  virtual HResult Invoke(DispId event_id, std::span<Variant> args) = 0;
};

class Dispatch : public Unknown {
 public:
  // names[0] is a member name, names[1..] optional parameter names of that member; ids
  // receives the member's identifier and each parameter's index (0 = first). Letter case
  // does not matter. UnknownName when any name is not known (its id is then kDispIdUnknown).
  virtual HResult GetIDsOfNames(std::span<const std::u16string> names, std::span<DispId> ids) = 0;

  // Calls the member `id`. args are the arguments in DECLARATION ORDER (args[0] is the first
  // parameter; note that a native automation binding passes them reversed). Trailing optional
  // arguments may be left out, and an Empty variant stands for a left-out optional argument.
  // A property put takes exactly one argument, the new value. result (may be null) receives
  // the member's result. error (may be null) says why a call was refused.
  //
  // Refusals: MemberNotFound (unknown id, or a kind the member does not have),
  // ReadOnlyProperty (put on a get-only property), BadParamCount, ParamNotOptional,
  // TypeMismatch, Overflow, InvalidArgument (no kind flag), Exception (the member failed
  // unexpectedly). A refused call changes nothing.
  virtual HResult Invoke(DispId id, std::uint16_t kind, std::span<Variant> args, Variant* result,
                         InvokeError* error) = 0;

  // The type library of the object; valid while the object is alive.
  virtual const TypeLibraryInfo& GetTypeInfo() = 0;

  // Connects a sink to the object's events; cookie identifies the connection for Unadvise.
  // AdviseLimit when too many are connected.
  virtual HResult Advise(EventSink* sink, std::uint32_t* cookie) = 0;
  virtual HResult Unadvise(std::uint32_t cookie) = 0;
};

// The class factory of a class, from DllGetClassObject.
class ClassFactory : public Unknown {
 public:
  // A new instance with the host's site (may be null: an event loop of the control's own, run
  // mode, no stored properties). The site must outlive the instance.
  virtual HResult CreateInstance(ControlSite* site, Dispatch** object) = 0;
  // Keeps the library loaded (DllCanUnloadNow) while locked.
  virtual HResult LockServer(bool lock) = 0;
};

// An owning reference: releases on destruction.
template <typename T>
class Ref {
 public:
  Ref() = default;
  // Takes over a reference the caller already holds.
  static Ref Adopt(T* p) {
    Ref r;
    r.p_ = p;
    return r;
  }
  Ref(const Ref& other) : p_(other.p_) {
    if (p_) p_->AddRef();
  }
  Ref(Ref&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  Ref& operator=(Ref other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~Ref() { reset(); }
  void reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

using DispatchRef = Ref<Dispatch>;

}  // namespace velka
