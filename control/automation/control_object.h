#pragma once
// One instance of the control as an automation object: the TmvEcrVelka behind a Dispatch,
// reference counted, with its event connections.
//
// Lifetime: an Invoke in progress and an event being delivered each hold a reference, so a
// host may release its last reference from inside an event handler. When that happens in an
// event the control raised from the event loop (no Invoke running), the control's own code is
// still on the stack after the handler returns; the object is then destroyed from the host's
// event loop at its next turn instead of at once. Once the host holds no reference, the
// object raises no more events (the host's sinks may be gone with it).
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "automation/dispatch.h"
#include "control/core/control_events.h"

namespace velka {

class ControlSite;
class TmvEcrVelka;
class Timer;

class ControlObject final : public Dispatch, private ControlEvents {
 public:
  // A new instance with one reference, or a failure status.
  static HResult Create(ControlSite* site, Dispatch** object);

  // Instances alive in the process (for DllCanUnloadNow).
  static long LiveObjects();

  std::uint32_t AddRef() override;
  std::uint32_t Release() override;
  HResult GetIDsOfNames(std::span<const std::u16string> names, std::span<DispId> ids) override;
  HResult Invoke(DispId id, std::uint16_t kind, std::span<Variant> args, Variant* result,
                 InvokeError* error) override;
  const TypeLibraryInfo& GetTypeInfo() override;
  HResult Advise(EventSink* sink, std::uint32_t* cookie) override;
  HResult Unadvise(std::uint32_t cookie) override;

  // More connections than this are refused with AdviseLimit.
  static constexpr std::size_t kMaxConnections = 16;

 private:
  explicit ControlObject(ControlSite* site);
  ~ControlObject();

  // ControlEvents: each builds the event's arguments and raises it.
  void DataEvent(std::int32_t Status) override;
  void StatusUpdateEvent(std::int32_t Status) override;
  void ErrorEvent(std::int32_t ResultCode, std::int32_t ResultCodeExtended, std::int32_t ErrorLocus,
                  std::int32_t& pErrorResponse) override;
  void OutputCompleteEvent(std::int32_t OutputID) override;
  void DirectIOEvent(std::int32_t Command, std::int32_t& pData, std::u16string& pString) override;
  void ReceiveDataEvent(const std::u16string& pString) override;

  void Raise(DispId event_id, std::span<Variant> args);
  bool HostHoldsReference() const;
  void FinalRelease(bool defer_to_loop);

  struct Connection {
    std::uint32_t cookie;
    EventSink* sink;
  };

  // Host references pass through AddRef/Release too; the object's own holds are counted in
  // holds_ as well, so references_ - holds_ is what the host still holds.
  std::uint32_t references_ = 1;
  std::uint32_t holds_ = 0;
  int invoke_depth_ = 0;
  bool released_ = false;
  ControlSite* site_;
  std::unique_ptr<TmvEcrVelka> control_;
  std::vector<Connection> connections_;
  std::uint32_t next_cookie_ = 1;
  std::unique_ptr<Timer> destruction_;
};

}  // namespace velka
