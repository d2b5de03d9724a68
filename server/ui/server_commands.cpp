// The menu commands "Configure..." and "Send...", and their waiting for a job in progress.
#include "server/ui/server_commands.h"

#include "platform/whole_file.h"
#include "server/jobs/status_display.h"
#include "server/resources/message_table.h"
#include "server/ui/dialog_provider.h"
#include "server/ui/document_editor.h"
#include "server/ui/settings_dialog.h"

namespace velka::server::ui {

ServerCommands::ServerCommands(JobServer& server, DialogProvider& dialogs, QWidget* owner)
    : server_(server), dialogs_(dialogs), owner_(owner) {
  retry_.setInterval(kCommandRetryMs);
  QObject::connect(&retry_, &QTimer::timeout, [this] { RunWaiting(); });
}

void ServerCommands::OpenSettingsDialog() {
  Run(Command::Configure);
}

void ServerCommands::SendConfigurationDocument() {
  Run(Command::Send);
}

void ServerCommands::Run(Command command) {
  if (!server_.running() || server_.closeRequested()) return;
  if (running_command_ || server_.jobInProgress()) {
    pending_ = command;
    retry_.start();
    return;
  }
  running_command_ = true;
  if (command == Command::Configure) {
    Configure();
  } else {
    Send();
  }
  running_command_ = false;
}

void ServerCommands::RunWaiting() {
  if (running_command_ || server_.jobInProgress()) return;
  retry_.stop();
  const Command command = pending_;
  pending_ = Command::None;
  if (command != Command::None) Run(command);
}

void ServerCommands::Configure() {
  std::vector<std::string> unwritten;
  std::string settings_path;
  const std::int32_t opened = server_.Reconfigure([&](ServerSettings& settings) {
    frmSetUp dialog(settings, server_.programFolder(), dialogs_, owner_);
    dialogs_.ShowModal(dialog);
    unwritten = dialog.unwrittenKeys();
    settings_path = dialog.settingsPath();
  });
  if (opened != 0) {
    dialogs_.ShowError(LoadString(msg::CannotStart), "TMVOpen on port " + server_.settings().Port +
                                                         " returned " + std::to_string(opened));
    server_.EndAtOnce();
    return;
  }
  if (!unwritten.empty()) server_.display().ShowFileNotWritten(settings_path);
}

void ServerCommands::Send() {
  AppendToFile(server_.settings().DirectoryInput + kDefaultDocumentName, "\r\n", false);
  const std::optional<QString> chosen = dialogs_.OpenFileName(
      owner_, {QString::fromLatin1(kOpenDocumentTitle), QString::fromLatin1(kDocumentFilter)});
  if (!chosen) return;
  document_path_ = chosen->toStdString();
  {
    frmEdit editor(document_path_, server_.settings().LanguageOffset, dialogs_, owner_);
    dialogs_.ShowModal(editor);
  }
  if (server_.closeRequested()) return;
  server_.SendDocument(document_path_);
}

}  // namespace velka::server::ui
