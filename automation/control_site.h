#pragma once
// The environment a host hands the control when it creates it, as a container hands a
// control its client site: the event loop to use, whether the host is in design mode, and
// the host's property store. A host that gives no site gets an event loop of the control's
// own (the system's, from platform/system_factory.h), run mode and an empty property store.
//
// A site is passed to ClassFactory::CreateInstance (or CreateObject) and must outlive the
// instance. Every entry has a default, so a host overrides only what it has. Header-only:
// it crosses the library boundary.
#include <map>
#include <optional>
#include <string>

#include "platform/event_loop.h"
#include "platform/serial_port.h"

namespace velka {

class EventLoop;

// How long the control waits, by default, for the operator to clear a condition of the
// printer (cover open, paper out) before a held command fails: two minutes.
inline constexpr Millis kDefaultOperatorWaitMs = 120000;

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
  // Null: the control runs the system's event loop of its own.
  virtual EventLoop* eventLoop() { return nullptr; }
  virtual bool designMode() const { return false; }
  // Null: no stored properties. When the store holds "AsyncMode", the instance is loaded
  // from it; otherwise it starts as a new instance.
  virtual PropertyStore* propertyStore() { return nullptr; }
  // Empty: the control opens the system's serial ports. A host (or a test) that brings its
  // own port implementation gives a factory here; it is called on the control's loop.
  virtual SerialPortFactory serialPortFactory() { return {}; }
  // The bound of a wait for the operator: while the register holds a command because its
  // cover is open or its paper has run out, the control waits this long for the condition to
  // be cleared. A host whose operator may need longer (a paper roll to fetch) gives more.
  // Read when the control is created.
  virtual Millis operatorWaitMs() const { return kDefaultOperatorWaitMs; }
};

// A property store kept in memory.
class MemoryPropertyStore : public PropertyStore {
 public:
  std::optional<bool> readBool(const std::string& name) override {
    auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  void writeBool(const std::string& name, bool value, bool /*default_value*/) override {
    values[name] = value;
  }
  std::map<std::string, bool> values;
};

// A site made of plain values, for hosts that need nothing more.
class SimpleControlSite : public ControlSite {
 public:
  EventLoop* eventLoop() override { return loop; }
  bool designMode() const override { return design_mode; }
  PropertyStore* propertyStore() override { return store; }
  SerialPortFactory serialPortFactory() override { return make_port; }
  Millis operatorWaitMs() const override { return operator_wait_ms; }

  EventLoop* loop = nullptr;
  bool design_mode = false;
  PropertyStore* store = nullptr;
  SerialPortFactory make_port;
  Millis operator_wait_ms = kDefaultOperatorWaitMs;
};

}  // namespace velka
