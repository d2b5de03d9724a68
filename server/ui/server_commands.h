#pragma once
// The window's menu commands on the running job server.
#include "server/jobs/job_server.h"
#include "server/ui/menu_commands.h"

namespace velka::server::ui {

class ServerCommands : public MenuCommands {
 public:
  explicit ServerCommands(JobServer& server) : server_(server) {}

  // The settings dialog and the sending of configuration documents hook in here; until they
  // exist, the menu entries do nothing.
  void OpenSettingsDialog() override {}
  void SendConfigurationDocument() override {}
  void Exit() override { server_.RequestClose(); }

 private:
  JobServer& server_;
};

}  // namespace velka::server::ui
