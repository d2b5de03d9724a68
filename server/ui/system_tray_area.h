#pragma once
// The desktop's notification area, through QSystemTrayIcon: where TrayIcon's record goes, and
// where the clicks on the icon come from, as the mouse messages TrayIcon turns into events.
//
// Qt reports a click as one activation, so each becomes the messages a button sends: a
// left click down and up, a double click the double-click message (after the messages of
// its first click), the context click of the right button down and up, the middle click
// down and up. Qt does not report the mouse moving over the icon: MouseMove never comes.
#include <QSystemTrayIcon>
#include <cstdint>
#include <functional>
#include <vector>

#include "server/ui/tray_icon.h"

namespace velka::server::ui {

// The mouse messages of one activation of the icon.
std::vector<int> TrayMessagesFor(QSystemTrayIcon::ActivationReason reason);

// The keyboard state as the events carry it: 1 Shift, 2 Ctrl, 4 Alt.
std::int16_t ShiftState(Qt::KeyboardModifiers modifiers);

class SystemTrayArea : public NotificationArea {
 public:
  using MessageHandler = std::function<void(int message, std::int16_t shift)>;
  explicit SystemTrayArea(MessageHandler on_message);

  void NotifyIcon(NotifyIconOperation operation, const NotifyIconRecord& record) override;
  // The desktop shows a notification area (a system tray).
  bool present() const override;

  QSystemTrayIcon& icon() { return icon_; }

 private:
  QSystemTrayIcon icon_;
  MessageHandler on_message_;
};

}  // namespace velka::server::ui
