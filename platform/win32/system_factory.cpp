// The Windows choices of the system factory: the message-queue loop, the Win32 port and the
// per-user settings in the registry.
#include "platform/system_factory.h"

#include "platform/win32/message_event_loop.h"
#include "platform/win32/registry_settings_store.h"
#include "platform/win32/win32_serial_port.h"

namespace velka {

std::unique_ptr<SystemEventLoop> CreateSystemEventLoop() {
  return std::make_unique<MessageEventLoop>();
}

SerialPortFactory SystemSerialPortFactory() {
  return Win32SerialPortFactory();
}

std::shared_ptr<SettingsStore> CreateUserSettingsStore() {
  return std::make_shared<RegistrySettingsStore>();
}

}  // namespace velka
