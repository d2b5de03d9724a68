#pragma once
// What the server shows the operator: the fields of the main window, the tray icon and the
// window's own state. The job logic writes through this interface only, so it runs the same
// with the window, with the console view of a headless machine, and in the tests.
//
// Texts are single-byte (Windows-1252); a view converts them for its display.
#include <string>

namespace velka::server {

enum class TrayIcon { Normal, Error, Warning };

// The captions of the main window that come from the message table.
enum class Caption {
  mnuNascondi,
  MNU_FILE_ESCI,
  MNU_FILE_INVIA,
  MNU_FILE_PERSONALIZZA,
  Frame1,  // the register frame: text 510, "COM" and the port
  Frame2,  // the last-receipt frame
  lblTitCol0,
  lblTitCol1,
  lblTitCol2,
  lblTitCol3,
};

const char* CaptionName(Caption caption);
const char* TrayIconName(TrayIcon icon);

class OperatorView {
 public:
  virtual ~OperatorView() = default;

  virtual void setCaption(Caption caption, const std::string& text) = 0;
  // lblStato: the register's status.
  virtual void setStatusText(const std::string& text) = 0;
  // lblErrore: the last job error, empty after a successful receipt.
  virtual void setErrorText(const std::string& text) = 0;
  // lblOra and lblNumero: time and number of the last successful receipt.
  virtual void setLastReceiptTime(const std::string& text) = 0;
  virtual void setLastReceiptNumber(const std::string& text) = 0;

  virtual void showTrayIcon() = 0;
  virtual void hideTrayIcon() = 0;
  virtual void setTrayIcon(TrayIcon icon) = 0;
  virtual void setTrayToolTip(const std::string& text) = 0;

  // Shows the main window (not modally) and keeps it above all other windows.
  virtual void bringToFront() = 0;
  // Asks for the normal shutdown. It is handled once the work in progress has returned to
  // the event loop, never from inside the call.
  virtual void requestClose() = 0;
};

}  // namespace velka::server
