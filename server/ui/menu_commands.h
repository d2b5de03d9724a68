#pragma once
// What the main window's File menu asks of the server. The window only forwards the
// operator's choice; the server decides what happens.
namespace velka::server::ui {

class MenuCommands {
 public:
  virtual ~MenuCommands() = default;
  // MNU_FILE_PERSONALIZZA: the settings dialog.
  virtual void OpenSettingsDialog() = 0;
  // MNU_FILE_INVIA: choose a configuration document and send it to the register.
  virtual void SendConfigurationDocument() = 0;
  // MNU_FILE_ESCI, and the operator closing the window: the normal shutdown.
  virtual void Exit() = 0;
};

}  // namespace velka::server::ui
