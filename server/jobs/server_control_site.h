#pragma once
// The server's site for the hosted control: its own event loop (so that the control's waits
// keep the server's timers and signal watch running), run mode, no stored properties, and the
// operator wait of TMVSERVER.INI (OperatorWaitMinutes), set from the settings before the
// control is created. Header-only.
#include "automation/control_site.h"

namespace velka::server {

class ServerControlSite : public ControlSite {
 public:
  explicit ServerControlSite(EventLoop& loop) : loop_(loop) {}
  EventLoop* eventLoop() override { return &loop_; }
  bool designMode() const override { return false; }
  PropertyStore* propertyStore() override { return nullptr; }
  Millis operatorWaitMs() const override { return operator_wait_ms_; }
  void setOperatorWaitMs(Millis wait_ms) { operator_wait_ms_ = wait_ms; }

 private:
  EventLoop& loop_;
  Millis operator_wait_ms_ = kDefaultOperatorWaitMs;
};

}  // namespace velka::server
