// VelkaDriverServer: the job server's program.
//
// On a desktop (DISPLAY or WAYLAND_DISPLAY set) it shows its window and tray icon, on Qt's
// event loop; without one it runs headless: the system's event loop, and the console view
// that prints what the window would show.
//
// Exit status: 0 after a normal shutdown (SIGTERM, SIGINT, the exit command, closing the
// window, or a "STOP" line in a job); 2 when another server runs on the same program folder
// (message 550); 3 when the control cannot be created or opened (message 551, with the
// reason). The messages go to standard error, and on a desktop into a message box too.
// --help and --version print and end at once; any other argument ends with status 64
// (command_line.h).
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "server/jobs/dispatch_register_control.h"
#include "server/jobs/job_server.h"
#include "server/jobs/program_folder.h"
#include "server/resources/message_table.h"
#include "server/ui/command_line.h"
#include "server/ui/server_commands.h"
#include "server/ui/server_face.h"

namespace {

constexpr int kExitAlreadyRunning = 2;
constexpr int kExitCannotStart = 3;

// The write end of the self-pipe: a signal only writes a byte, the loop does the rest.
int g_signal_pipe = -1;

void OnShutdownSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] ssize_t ignored = ::write(g_signal_pipe, &byte, 1);
  errno = saved;
}

bool InstallShutdownSignals(int (&fds)[2]) {
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  g_signal_pipe = fds[1];
  struct sigaction action {};
  action.sa_handler = OnShutdownSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
  // A console reader that goes away must not end the server in the middle of a job.
  ::signal(SIGPIPE, SIG_IGN);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> end = velka::server::ui::HandleCommandLine(argc, argv)) return *end;
  using velka::server::JobServer;
  int signal_fds[2] = {-1, -1};
  if (!InstallShutdownSignals(signal_fds)) {
    std::perror("VelkaDriverServer: pipe");
    return 1;
  }

  namespace ui = velka::server::ui;
  const std::unique_ptr<ui::ServerFace> face =
      ui::DesktopPresent() ? ui::CreateWindowFace() : ui::CreateConsoleFace();
  velka::EventLoop& loop = face->loop();
  velka::server::ServerControlSite site(loop);

  velka::server::JobServerEnvironment env;
  env.program_folder = velka::server::ProgramFolder();
  env.log_name = velka::server::ExecutableName();
  env.loop = &loop;
  env.view = &face->view();
  env.create_control = [&site](std::string& error) {
    return velka::server::CreateHostedControl(site, error);
  };
  JobServer server(env);
  ui::ServerCommands commands(server);
  face->setMenuCommands(commands);

  // Signals are seen also while a job waits for the register: the control's waits run the
  // loop. They only ask for the shutdown; it runs once the job has finished.
  auto signal_watch = loop.watchReadable(signal_fds[0], [&] {
    char bytes[64];
    while (::read(signal_fds[0], bytes, sizeof bytes) > 0) {
    }
    server.RequestClose();
  });

  face->BeginStartUp();
  const JobServer::StartResult started = server.Start();
  face->EndStartUp(started == JobServer::StartResult::Running);
  switch (started) {
    case JobServer::StartResult::AlreadyRunning:
      face->ShowStartFailure(velka::server::LoadString(velka::server::msg::AlreadyRunning), "");
      return kExitAlreadyRunning;
    case JobServer::StartResult::CannotOpen:
      face->ShowStartFailure(velka::server::LoadString(velka::server::msg::CannotStart),
                             server.startFailure());
      return kExitCannotStart;
    case JobServer::StartResult::Running:
      break;
  }
  face->RunUntil([&] { return server.closeRequested(); });
  server.Shutdown();
  return 0;
}
