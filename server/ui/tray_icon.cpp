// TrayIcon: the notification-icon record, its add, change and delete, and the mouse messages.
#include "server/ui/tray_icon.h"

#include <algorithm>

namespace velka::server::ui {

std::string NotifyIconRecord::tipText() const {
  const auto end = std::find(tip.begin(), tip.end(), '\0');
  return std::string(tip.begin(), end);
}

TrayIcon::~TrayIcon() {
  area_.NotifyIcon(NotifyIconOperation::Delete, record_);
}

void TrayIcon::FillRecord() {
  record_.icon = icon_;
  record_.tip.fill(' ');
  const std::size_t length = std::min(tooltip_.size(), NotifyIconRecord::kTipSize - 1);
  std::copy_n(tooltip_.begin(), length, record_.tip.begin());
  record_.tip[length] = '\0';
}

void TrayIcon::I_ToolTipText(const std::string& text) {
  tooltip_ = text;
  if (!visible_) return;
  FillRecord();
  area_.NotifyIcon(NotifyIconOperation::Modify, record_);
}

void TrayIcon::I_Visible(bool visible) {
  if (visible) {
    I_Show();
  } else {
    I_Hide();
  }
}

void TrayIcon::I_Icon(const QIcon& icon) {
  icon_ = icon;
  if (!visible_) return;
  FillRecord();
  area_.NotifyIcon(NotifyIconOperation::Modify, record_);
}

void TrayIcon::I_Show() {
  if (visible_) return;
  FillRecord();
  area_.NotifyIcon(NotifyIconOperation::Add, record_);
  visible_ = true;
}

void TrayIcon::I_Hide() {
  if (!visible_) return;
  area_.NotifyIcon(NotifyIconOperation::Delete, record_);
  visible_ = false;
}

void TrayIcon::MouseMessage(int message, std::int16_t shift) {
  if (!I_GeneraEventi) return;
  if (message == tray_message::MouseMove) {
    if (MouseMove) MouseMove(shift);
    return;
  }
  if (message < tray_message::LeftDown || message > tray_message::MiddleDoubleClick) return;
  // Three messages a button, in the order down, up, double click.
  const int offset = message - tray_message::LeftDown;
  std::int16_t button = static_cast<std::int16_t>(offset / 3);
  const auto& event = offset % 3 == 0 ? MouseDown : offset % 3 == 1 ? MouseUp : DoubleClick;
  if (event) event(button, shift);
}

}  // namespace velka::server::ui
