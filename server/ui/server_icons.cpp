// The server's icons, from the resources compiled into the program.
#include "server/ui/server_icons.h"

// The resources of a static library are registered by name, outside any namespace.
static void RegisterIconResources() {
  Q_INIT_RESOURCE(server_icons);
}

namespace velka::server::ui {

const QIcon& ServerIcons::ForTray(server::TrayIcon state) const {
  switch (state) {
    case server::TrayIcon::Error:
      return error;
    case server::TrayIcon::Warning:
      return warning;
    case server::TrayIcon::Normal:
      break;
  }
  return normal;
}

ServerIcons LoadServerIcons() {
  static const bool registered = (RegisterIconResources(), true);
  (void)registered;
  return {QIcon(":/icons/velka-server.svg"), QIcon(":/icons/tray-normal.svg"),
          QIcon(":/icons/tray-error.svg"), QIcon(":/icons/tray-warning.svg")};
}

}  // namespace velka::server::ui
