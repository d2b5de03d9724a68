// TrayIcon's record on QSystemTrayIcon, and the icon's activations as mouse messages.
#include "server/ui/system_tray_area.h"

#include <QGuiApplication>

#include "server/ui/qt_text.h"

namespace velka::server::ui {

std::vector<int> TrayMessagesFor(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::Trigger:
      return {tray_message::LeftDown, tray_message::LeftUp};
    case QSystemTrayIcon::DoubleClick:
      return {tray_message::LeftDoubleClick};
    case QSystemTrayIcon::Context:
      return {tray_message::RightDown, tray_message::RightUp};
    case QSystemTrayIcon::MiddleClick:
      return {tray_message::MiddleDown, tray_message::MiddleUp};
    case QSystemTrayIcon::Unknown:
      break;
  }
  return {};
}

std::int16_t ShiftState(Qt::KeyboardModifiers modifiers) {
  std::int16_t shift = 0;
  if (modifiers & Qt::ShiftModifier) shift |= 1;
  if (modifiers & Qt::ControlModifier) shift |= 2;
  if (modifiers & Qt::AltModifier) shift |= 4;
  return shift;
}

SystemTrayArea::SystemTrayArea(MessageHandler on_message) : on_message_(std::move(on_message)) {
  QObject::connect(&icon_, &QSystemTrayIcon::activated,
                   [this](QSystemTrayIcon::ActivationReason reason) {
                     const std::int16_t shift = ShiftState(QGuiApplication::keyboardModifiers());
                     for (int message : TrayMessagesFor(reason)) on_message_(message, shift);
                   });
}

void SystemTrayArea::NotifyIcon(NotifyIconOperation operation, const NotifyIconRecord& record) {
  if (operation == NotifyIconOperation::Delete) {
    icon_.hide();
    return;
  }
  icon_.setIcon(record.icon);
  icon_.setToolTip(ShownText(record.tipText()));
  if (operation == NotifyIconOperation::Add) icon_.show();
}

bool SystemTrayArea::present() const {
  return QSystemTrayIcon::isSystemTrayAvailable();
}

}  // namespace velka::server::ui
