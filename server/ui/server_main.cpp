// VelkaDriverServer: the job server's program.
//
// On a desktop (DISPLAY or WAYLAND_DISPLAY set) it shows its window and tray icon, on Qt's
// event loop; without one it runs headless: the system's event loop, and the console view
// that prints what the window would show.
//
// Exit status: 0 after a normal shutdown (SIGTERM, SIGINT, Ctrl+C on Windows, the exit
// command, closing the window, or a "STOP" line in a job); 2 when another server runs on the
// same program folder (message 550); 3 when the control cannot be created or opened (message
// 551, with the reason). The messages go to standard error, and on a desktop into a message box
// too. --help and --version print and end at once; any other argument ends with status 64
// (command_line.h).
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "platform/shutdown_request.h"
#include "server/jobs/dispatch_register_control.h"
#include "server/jobs/job_server.h"
#include "server/jobs/program_folder.h"
#include "server/resources/message_table.h"
#include "server/ui/command_line.h"
#include "server/ui/server_face.h"

namespace {

constexpr int kExitAlreadyRunning = 2;
constexpr int kExitCannotStart = 3;

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> end = velka::server::ui::HandleCommandLine(argc, argv)) return *end;
  using velka::server::JobServer;
  std::string shutdown_error;
  const velka::NativeHandle shutdown_request = velka::InstallShutdownRequest(shutdown_error);
  if (shutdown_request == velka::kNoHandle) {
    std::fprintf(stderr, "VelkaDriverServer: %s\n", shutdown_error.c_str());
    return 1;
  }

  namespace ui = velka::server::ui;
  const bool desktop = ui::DesktopPresent();
  if (desktop && !ui::DesktopReachable()) {
    std::fputs(
        "VelkaDriverServer: the desktop named by DISPLAY/WAYLAND_DISPLAY cannot be "
        "reached; running without a window\n",
        stderr);
  }
  const std::unique_ptr<ui::ServerFace> face =
      desktop && ui::DesktopReachable() ? ui::CreateWindowFace() : ui::CreateConsoleFace();
  velka::EventLoop& loop = face->loop();
  velka::server::ServerControlSite site(loop);

  velka::server::JobServerEnvironment env;
  env.program_folder = velka::server::ProgramFolder();
  env.log_name = velka::server::ExecutableName();
  env.loop = &loop;
  env.view = &face->view();
  env.site = &site;
  env.create_control = [&site](std::string& error) {
    return velka::server::CreateHostedControl(site, error);
  };
  JobServer server(env);
  face->ConnectCommands(server);

  // Requests to stop are seen also while a job waits for the register: the control's waits
  // run the loop. They only ask for the shutdown; it runs once the job has finished.
  auto shutdown_watch = loop.watchReadable(shutdown_request, [&] {
    velka::AcknowledgeShutdownRequest();
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
  // The control did not reopen after the settings dialog: message 551 has been shown, and the
  // program ends as when it cannot start.
  return server.endedAtOnce() ? kExitCannotStart : 0;
}
