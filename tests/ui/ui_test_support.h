#pragma once
// Test doubles of the window face: a notification area that records what it is handed, and
// menu commands that record what the window asked for.
#include <QApplication>
#include <string>
#include <vector>

#include "server/ui/menu_commands.h"
#include "server/ui/tray_icon.h"

namespace velka::server::ui::testing {

class RecordingArea : public NotificationArea {
 public:
  struct Call {
    NotifyIconOperation operation;
    NotifyIconRecord record;
  };

  explicit RecordingArea(std::vector<Call>& calls, bool present = true)
      : calls_(calls), present_(present) {}
  void NotifyIcon(NotifyIconOperation operation, const NotifyIconRecord& record) override {
    calls_.push_back({operation, record});
  }
  bool present() const override { return present_; }

 private:
  std::vector<Call>& calls_;
  bool present_;
};

class RecordingCommands : public MenuCommands {
 public:
  void OpenSettingsDialog() override { asked.push_back("settings"); }
  void SendConfigurationDocument() override { asked.push_back("send"); }
  void Exit() override { asked.push_back("exit"); }
  std::vector<std::string> asked;
};

// Lets posted events (show, hide, state changes) reach the widgets.
inline void Settle() {
  QApplication::processEvents();
}

}  // namespace velka::server::ui::testing
