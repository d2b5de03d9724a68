// VelkaDriverServer: the job server's program.
//
// On a machine without a desktop (neither DISPLAY nor WAYLAND_DISPLAY set) it runs headless:
// the system's event loop, and the console view that prints what the window would show. Until the
// window exists, it always runs headless.
//
// Exit status: 0 after a normal shutdown (SIGTERM, SIGINT, or a "STOP" line in a job);
// 2 when another server runs on the same program folder (message 550 on standard error);
// 3 when the control cannot be created or opened (message 551 on standard error, with the
// reason on the next line). The program reads no command line.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/single_byte_text.h"
#include "platform/system_factory.h"
#include "server/jobs/dispatch_register_control.h"
#include "server/jobs/job_server.h"
#include "server/jobs/program_folder.h"
#include "server/resources/message_table.h"
#include "server/ui/console_view.h"

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

void PrintMessage(int id, const std::string& detail) {
  std::string text = velka::SingleByteToUtf8(velka::server::LoadString(id)) + "\n";
  if (!detail.empty()) text += detail + "\n";
  std::fputs(text.c_str(), stderr);
}

}  // namespace

int main() {
  using velka::server::JobServer;
  int signal_fds[2] = {-1, -1};
  if (!InstallShutdownSignals(signal_fds)) {
    std::perror("VelkaDriverServer: pipe");
    return 1;
  }

  const std::unique_ptr<velka::EventLoop> system_loop = velka::CreateSystemEventLoop();
  velka::EventLoop& loop = *system_loop;
  velka::server::ConsoleView view(stdout);
  velka::server::ServerControlSite site(loop);

  velka::server::JobServerEnvironment env;
  env.program_folder = velka::server::ProgramFolder();
  env.log_name = velka::server::ExecutableName();
  env.loop = &loop;
  env.view = &view;
  env.site = &site;
  env.create_control = [&site](std::string& error) {
    return velka::server::CreateHostedControl(site, error);
  };
  JobServer server(env);

  // Signals are seen also while a job waits for the register: the control's waits run the
  // loop. They only ask for the shutdown; it runs once the job has finished.
  auto signal_watch = loop.watchReadable(signal_fds[0], [&] {
    char bytes[64];
    while (::read(signal_fds[0], bytes, sizeof bytes) > 0) {
    }
    server.RequestClose();
  });

  switch (server.Start()) {
    case JobServer::StartResult::AlreadyRunning:
      PrintMessage(velka::server::msg::AlreadyRunning, "");
      return kExitAlreadyRunning;
    case JobServer::StartResult::CannotOpen:
      PrintMessage(velka::server::msg::CannotStart, server.startFailure());
      return kExitCannotStart;
    case JobServer::StartResult::Running:
      break;
  }
  while (!server.closeRequested()) loop.waitForEvents();
  server.Shutdown();
  return 0;
}
