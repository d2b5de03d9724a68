// The POSIX choices of the system factory: the poll(2) loop, the termios port and the INI
// settings store.
#include "platform/system_factory.h"

#include "platform/posix/poll_event_loop.h"
#include "platform/posix/posix_serial_port.h"

namespace velka {

std::unique_ptr<SystemEventLoop> CreateSystemEventLoop() {
  return std::make_unique<PollEventLoop>();
}

SerialPortFactory SystemSerialPortFactory() {
  return PosixSerialPortFactory();
}

std::shared_ptr<SettingsStore> CreateUserSettingsStore() {
  return std::make_shared<IniSettingsStore>();
}

}  // namespace velka
