#pragma once
// RegisterControl over the control's automation interface: the hosted TmvEcrVelka, created by
// its programmatic identifier and called by dispatch identifier only (automation/
// dispatch_ids.h: TMVOpen, TMVClose, DirectIO, DirectIO2, ResultCodeExtended, the puts of
// TMVHighSpeed and AsyncMode), with the events StatusUpdateEvent, DirectIOEvent and
// ReceiveDataEvent handed on. Text is converted between the server's single-byte text
// and automation strings here, and nowhere else.
//
// A call the interface refuses (it should not happen with a well-formed library) gives result
// 106, so a job line fails instead of passing for sent.
#include <memory>
#include <string>

#include "automation/control_site.h"
#include "automation/dispatch.h"
#include "server/jobs/register_control.h"
#include "server/jobs/server_control_site.h"

namespace velka::server {

class DispatchRegisterControl : public RegisterControl, private EventSink {
 public:
  // Connects to the object's events.
  explicit DispatchRegisterControl(DispatchRef object);
  ~DispatchRegisterControl() override;
  DispatchRegisterControl(const DispatchRegisterControl&) = delete;
  DispatchRegisterControl& operator=(const DispatchRegisterControl&) = delete;

  void setEvents(RegisterControlEvents* events) override { events_ = events; }
  void setTMVHighSpeed(bool value) override;
  void setAsyncMode(bool value) override;
  std::int32_t TMVOpen(const std::string& DeviceName) override;
  std::int32_t TMVClose() override;
  std::int32_t DirectIO(std::int32_t Command, std::int32_t& pData, std::string& pString) override;
  std::int32_t DirectIO2(std::int32_t Command, std::int32_t& pData, std::string& pString,
                         std::string& pOString) override;
  std::int32_t ResultCodeExtended() override;

 private:
  HResult Invoke(DispId event_id, std::span<Variant> args) override;
  std::int32_t CallLong(DispId id, std::uint16_t kind, std::span<Variant> args);

  DispatchRef object_;
  std::uint32_t cookie_ = 0;
  bool advised_ = false;
  RegisterControlEvents* events_ = nullptr;
};

// The hosted control: the registered "TMVVelka.TmvEcrVelka", registering the libTMVVelka.so
// that lies beside the program first when the class is not registered or its registered
// library cannot be loaded. Null, with the reason in error, when neither works.
std::unique_ptr<RegisterControl> CreateHostedControl(ControlSite& site, std::string& error);

}  // namespace velka::server
