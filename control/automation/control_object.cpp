#include "control/automation/control_object.h"

#include <atomic>
#include <exception>
#include <new>

#include "automation/control_site.h"
#include "control/automation/member_dispatcher.h"
#include "control/automation/member_table.h"
#include "control/device/tmv_ecr_velka.h"
#include "platform/event_loop.h"

namespace velka {

namespace {

std::atomic<long> g_live_objects{0};

// The environment of the control from the host's site.
ControlEnvironment EnvironmentFrom(ControlSite* site) {
  ControlEnvironment environment;
  if (site) {
    environment.loop = site->eventLoop();
    environment.designMode = site->designMode();
    environment.makePort = site->serialPortFactory();
    environment.operatorWaitMs = site->operatorWaitMs();
  }
  return environment;
}

}  // namespace

HResult ControlObject::Create(ControlSite* site, Dispatch** object) {
  if (!object) return hresult::Pointer;
  *object = nullptr;
  try {
    auto* created = new ControlObject(site);
    *object = created;
    return hresult::Ok;
  } catch (const std::bad_alloc&) {
    return hresult::OutOfMemory;
  } catch (...) {
    return hresult::Fail;
  }
}

long ControlObject::LiveObjects() {
  return g_live_objects.load();
}

ControlObject::ControlObject(ControlSite* site)
    : site_(site), control_(std::make_unique<TmvEcrVelka>(EnvironmentFrom(site))) {
  PropertyStore* store = site ? site->propertyStore() : nullptr;
  if (store && store->readBool("AsyncMode").has_value()) {
    control_->LoadProperties(*store);
  } else {
    control_->InitNew();
  }
  control_->setEventSink(this);
  ++g_live_objects;
}

ControlObject::~ControlObject() {
  control_->setEventSink(nullptr);
  control_.reset();
  --g_live_objects;
}

std::uint32_t ControlObject::AddRef() {
  return ++references_;
}

std::uint32_t ControlObject::Release() {
  if (references_ == 0) return 0;  // already going away
  if (--references_ > 0) return references_;
  FinalRelease(false);
  return 0;
}

void ControlObject::FinalRelease(bool defer_to_loop) {
  released_ = true;
  connections_.clear();
  control_->setEventSink(nullptr);
  EventLoop* loop = site_ ? site_->eventLoop() : nullptr;
  if (!defer_to_loop || !loop) {
    delete this;
    return;
  }
  destruction_ = loop->createTimer([this] { delete this; });
  destruction_->setInterval(1);
  destruction_->start();
}

HResult ControlObject::GetIDsOfNames(std::span<const std::u16string> names, std::span<DispId> ids) {
  try {
    return IdsOfNames(names, ids);
  } catch (...) {
    return hresult::Unexpected;
  }
}

HResult ControlObject::Invoke(DispId id, std::uint16_t kind, std::span<Variant> args,
                              Variant* result, InvokeError* error) {
  InvokeError ignored;
  InvokeError& why = error ? *error : ignored;
  why = InvokeError{};
  HResult status = hresult::Unexpected;
  AddRef();
  ++holds_;
  ++invoke_depth_;
  try {
    status = InvokeMember(*control_, id, kind, args, result, why);
  } catch (const std::bad_alloc&) {
    status = hresult::OutOfMemory;
    why.description = "out of memory";
  } catch (const std::exception& e) {
    status = hresult::Exception;
    why.description = e.what();
  } catch (...) {
    status = hresult::Exception;
    why.description = "the member failed";
  }
  --invoke_depth_;
  --holds_;
  Release();  // may destroy the object: nothing of it is used below
  return status;
}

const TypeLibraryInfo& ControlObject::GetTypeInfo() {
  return TmvEcrVelkaTypeLibrary();
}

HResult ControlObject::Advise(EventSink* sink, std::uint32_t* cookie) {
  if (!sink || !cookie) return hresult::Pointer;
  *cookie = 0;
  if (connections_.size() >= kMaxConnections) return hresult::AdviseLimit;
  try {
    connections_.push_back({next_cookie_, sink});
  } catch (...) {
    return hresult::OutOfMemory;
  }
  *cookie = next_cookie_++;
  return hresult::Ok;
}

HResult ControlObject::Unadvise(std::uint32_t cookie) {
  for (auto it = connections_.begin(); it != connections_.end(); ++it) {
    if (it->cookie == cookie) {
      connections_.erase(it);
      return hresult::Ok;
    }
  }
  return hresult::NoConnection;
}

bool ControlObject::HostHoldsReference() const {
  return !released_ && references_ > holds_;
}

void ControlObject::Raise(DispId event_id, std::span<Variant> args) {
  if (!HostHoldsReference() || connections_.empty()) return;
  const bool from_event_loop = invoke_depth_ == 0;
  AddRef();
  ++holds_;
  // A handler may connect or disconnect sinks: deliver to those connected when the event
  // was raised and still connected when their turn comes.
  const std::vector<Connection> connections = connections_;
  for (const Connection& c : connections) {
    if (!HostHoldsReference()) break;
    bool connected = false;
    for (const Connection& now : connections_) connected = connected || now.cookie == c.cookie;
    if (!connected) continue;
    // Each sink gets its own copy of the by-value arguments; by-reference ones keep
    // referring to the control's values.
    std::vector<Variant> copy(args.begin(), args.end());
    try {
      c.sink->Invoke(event_id, copy);
    } catch (...) {
      // The host's failure stays with the host: the control goes on.
    }
  }
  --holds_;
  if (references_ == 1 && from_event_loop) {
    // The host let go inside the handler while the control's own code is on the stack.
    references_ = 0;
    FinalRelease(true);
    return;
  }
  Release();
}

void ControlObject::DataEvent(std::int32_t Status) {
  Variant args[] = {Variant::FromLong(Status)};
  Raise(event_id::DataEvent, args);
}

void ControlObject::StatusUpdateEvent(std::int32_t Status) {
  Variant args[] = {Variant::FromLong(Status)};
  Raise(event_id::StatusUpdateEvent, args);
}

void ControlObject::ErrorEvent(std::int32_t ResultCode, std::int32_t ResultCodeExtended,
                               std::int32_t ErrorLocus, std::int32_t& pErrorResponse) {
  Variant args[] = {Variant::FromLong(ResultCode), Variant::FromLong(ResultCodeExtended),
                    Variant::FromLong(ErrorLocus), Variant::RefLong(&pErrorResponse)};
  Raise(event_id::ErrorEvent, args);
}

void ControlObject::OutputCompleteEvent(std::int32_t OutputID) {
  Variant args[] = {Variant::FromLong(OutputID)};
  Raise(event_id::OutputCompleteEvent, args);
}

void ControlObject::DirectIOEvent(std::int32_t Command, std::int32_t& pData,
                                  std::u16string& pString) {
  Variant args[] = {Variant::FromLong(Command), Variant::RefLong(&pData),
                    Variant::RefString(&pString)};
  Raise(event_id::DirectIOEvent, args);
}

void ControlObject::ReceiveDataEvent(const std::u16string& pString) {
  Variant args[] = {Variant::FromString(pString)};
  Raise(event_id::ReceiveDataEvent, args);
}

}  // namespace velka
