#pragma once
// frmMain: the server's main window on a desktop, and its tray icon MyTray. It is the
// OperatorView of the window face: the job logic writes the register's status, the last
// error and the last receipt here, and the icon and tooltip of the tray icon.
//
// Its elements carry the names the server gives them, as object names too: Frame1 (the
// register frame) with lblTitCol(1) and lblStato, lblTitCol(0) and lblErrore; Frame2 (the
// last receipt) with lblTitCol(3) and lblOra, lblTitCol(2) and lblNumero; the hidden
// pictures imgErr and imgWarn; the menu MNU_FILE with MNU_FILE_PERSONALIZZA, MNU_FILE_INVIA,
// MNU_FILE_SEP and MNU_FILE_ESCI; the menu command mnuNascondi.
//
// Brought to the front, the window stays above the others until the program ends. Closing
// it asks for the server's shutdown, as the exit command does; the window goes with the
// program.
//
// On a desktop without a notification area the window is the indicator: it is shown at
// start-up, its icon follows the tray icon's picture, and mnuNascondi minimizes it instead of
// hiding it, so the operator can always get back to it.
#include <QMainWindow>
#include <array>
#include <memory>

#include "server/jobs/operator_view.h"
#include "server/ui/menu_commands.h"
#include "server/ui/server_icons.h"
#include "server/ui/tray_icon.h"

class QAction;
class QGroupBox;
class QLabel;
class QMenu;

namespace velka::server::ui {

inline constexpr char kWindowTitle[] = "Velka Server - TMV S.P.A.";

class frmMain : public QMainWindow, public OperatorView {
 public:
  // area: where MyTray's record goes; the desktop's notification area when not given.
  explicit frmMain(std::unique_ptr<NotificationArea> area = nullptr);
  ~frmMain() override;

  void setMenuCommands(MenuCommands* commands) { commands_ = commands; }

  // OperatorView.
  void setCaption(Caption caption, const std::string& text) override;
  void setStatusText(const std::string& text) override;
  void setErrorText(const std::string& text) override;
  void setLastReceiptTime(const std::string& text) override;
  void setLastReceiptNumber(const std::string& text) override;
  void showTrayIcon() override;
  void hideTrayIcon() override;
  void setTrayIcon(server::TrayIcon icon) override;
  void setTrayToolTip(const std::string& text) override;
  void bringToFront() override;
  void requestClose() override {}  // the face's loop sees the request and shuts down

  // After a successful start-up: the window appears only when no notification area does.
  void ShowAtStartUp();

  TrayIcon& MyTray() { return *MyTray_; }
  const ServerIcons& icons() const { return icons_; }

  void MNU_FILE_PERSONALIZZA_Click();
  void MNU_FILE_INVIA_Click();
  void MNU_FILE_ESCI_Click();
  void mnuNascondi_Click();
  void MyTray_DoubleClick();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void BuildFrames();
  // Shows the window, not modally; a minimized one comes back to its normal size.
  void ShowWindow();
  bool TrayReachable() const;

  ServerIcons icons_;
  QGroupBox* Frame1 = nullptr;
  QGroupBox* Frame2 = nullptr;
  std::array<QLabel*, 4> lblTitCol{};
  QLabel* lblStato = nullptr;
  QLabel* lblErrore = nullptr;
  QLabel* lblOra = nullptr;
  QLabel* lblNumero = nullptr;
  QLabel* imgErr = nullptr;
  QLabel* imgWarn = nullptr;
  QMenu* MNU_FILE = nullptr;
  QAction* MNU_FILE_PERSONALIZZA = nullptr;
  QAction* MNU_FILE_INVIA = nullptr;
  QAction* MNU_FILE_SEP = nullptr;
  QAction* MNU_FILE_ESCI = nullptr;
  QAction* mnuNascondi = nullptr;

  // The area outlives the icon: the icon's last delete goes to it.
  std::unique_ptr<NotificationArea> area_;
  std::unique_ptr<TrayIcon> MyTray_;
  MenuCommands* commands_ = nullptr;
};

}  // namespace velka::server::ui
