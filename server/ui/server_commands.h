#pragma once
// The window's menu commands on the running job server: "Configure..." (the settings dialog)
// and "Send..." (a configuration document chosen, reviewed in the editor and sent), and the
// exit command.
//
// The menu answers while a job waits for the register. A command chosen then, or while
// another of these commands is still running, is not carried out inside the job: it waits
// until the job has ended (checked every kCommandRetryMs) and then runs. So a document is
// never sent into a busy link (which the control would refuse with 113), and the control is
// never closed under a job. While the document itself is being sent, the polling leaves out
// its ticks (JobServer::Tick).
//
// "Configure...": tmrFile off, TMVClose, frmSetUp shown modally, then the server comes back
// (JobServer::Reconfigure). A settings file that could not be written is told in lblErrore.
// When the control does not reopen, message 551 is shown and the program ends at once,
// without the shutdown.
//
// "Send...": one empty line appended to "Configurazione.tmv" in DirectoryInput (also when the
// operator then cancels), the open dialog, frmEdit shown modally, then the document the
// editor left is sent as a job that is not deleted. Result files are written only beside a
// document whose path holds ".txt"; the log line always.
#include <QTimer>
#include <string>

#include "server/jobs/job_server.h"
#include "server/ui/menu_commands.h"

class QWidget;

namespace velka::server::ui {

class DialogProvider;

inline constexpr char kDefaultDocumentName[] = "Configurazione.tmv";
inline constexpr char kOpenDocumentTitle[] = "Apri documento configurazione registratore";
inline constexpr int kCommandRetryMs = 250;

class ServerCommands : public MenuCommands {
 public:
  // owner: the window the dialogs belong to.
  ServerCommands(JobServer& server, DialogProvider& dialogs, QWidget* owner);

  void OpenSettingsDialog() override;
  void SendConfigurationDocument() override;
  void Exit() override { server_.RequestClose(); }

  // The document last chosen (or saved to), as the editor left it.
  const std::string& documentPath() const { return document_path_; }
  // A command waits for the job in progress.
  bool waiting() const { return pending_ != Command::None; }

 private:
  enum class Command { None, Configure, Send };
  void Run(Command command);
  void RunWaiting();
  void Configure();
  void Send();

  JobServer& server_;
  DialogProvider& dialogs_;
  QWidget* owner_;
  std::string document_path_;
  Command pending_ = Command::None;
  bool running_command_ = false;
  QTimer retry_;
};

}  // namespace velka::server::ui
