#pragma once
// What a program or a control gets when nobody hands it an event loop or a port: the
// implementations of this system (platform/posix/ on Linux). The one place that names them, so
// that code above platform/ never chooses a system.
#include <memory>

#include "platform/serial_port.h"
#include "platform/system_event_loop.h"
#include "platform/settings_store.h"

namespace velka {

// A new event loop of the system's own (poll(2) on POSIX), which a host can also turn from a
// loop of its own (system_event_loop.h).
std::unique_ptr<SystemEventLoop> CreateSystemEventLoop();

// Makes the system's serial ports (termios devices on POSIX, found by port number).
SerialPortFactory SystemSerialPortFactory();

// The per-user settings store of this system (INI files under ConfigHome() on POSIX, the
// current user's registry hive on Windows).
std::shared_ptr<SettingsStore> CreateUserSettingsStore();

}  // namespace velka
