#pragma once
// The server's pictures, drawn for it and held in the program's resources: the application
// icon (the window's own icon) and the three pictures of the tray icon.
#include <QIcon>

#include "server/jobs/operator_view.h"

namespace velka::server::ui {

struct ServerIcons {
  QIcon application;
  QIcon normal;   // register ready
  QIcon error;    // cover open, paper out, a failed job
  QIcon warning;  // register busy

  const QIcon& ForTray(server::TrayIcon state) const;
};

// Loads them from the resources (the first call registers the resources).
ServerIcons LoadServerIcons();

}  // namespace velka::server::ui
