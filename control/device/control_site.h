#pragma once
// The environment a host hands the control when it creates it, as a container hands a
// control its client site: the event loop to use, whether the host is in design mode, and
// the host's property store. A host that gives no site gets a PollEventLoop of the
// control's own, run mode and an empty property store.
#include <optional>
#include <string>

namespace velka {

class EventLoop;

// The host's property store of one control instance (one entry: "AsyncMode").
class PropertyStore {
 public:
  virtual ~PropertyStore() = default;
  virtual std::optional<bool> readBool(const std::string& name) = 0;
  virtual void writeBool(const std::string& name, bool value, bool default_value) = 0;
};

class ControlSite {
 public:
  virtual ~ControlSite() = default;
  // Null: the control runs a PollEventLoop of its own.
  virtual EventLoop* eventLoop() = 0;
  virtual bool designMode() const = 0;
  // Null: no stored properties (a new instance).
  virtual PropertyStore* propertyStore() = 0;
};

}  // namespace velka
