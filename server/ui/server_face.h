#pragma once
// The two faces of VelkaDriverServer: the window on a desktop, the console on a machine
// without one. A face gives the program its event loop and its operator view, reports the
// start-up failures, and runs the loop until the server is asked to close.
//
// The window runs when DISPLAY or WAYLAND_DISPLAY is set, the console otherwise.
#include <functional>
#include <memory>
#include <string>

#include "platform/event_loop.h"
#include "server/jobs/operator_view.h"

namespace velka::server {
class JobServer;
}

namespace velka::server::ui {

class DialogProvider;

class ServerFace {
 public:
  virtual ~ServerFace() = default;

  virtual EventLoop& loop() = 0;
  virtual OperatorView& view() = 0;
  // The window's menu commands act on this server; the console has none.
  virtual void ConnectCommands(JobServer& /*server*/) {}

  // Around the server's start-up (the busy pointer of the window).
  virtual void BeginStartUp() {}
  virtual void EndStartUp(bool /*running*/) {}
  // A start-up failure: message is the single-byte text of message 550 or 551, detail the
  // reason for the operator (may be empty).
  virtual void ShowStartFailure(const std::string& message, const std::string& detail) = 0;

  // Dispatches events until done() holds.
  virtual void RunUntil(const std::function<bool()>& done) = 0;
};

// The desktop's presence, as the environment tells it.
bool DesktopPresent();
// The socket of the display the environment names, when it is on this machine: the Wayland
// socket (WAYLAND_DISPLAY, absolute or in the runtime folder), else the local X server's
// (/tmp/.X11-unix/XN for DISPLAY ":N" or ":N.S"); empty when it cannot be told from here.
std::string DisplaySocket(const std::string& display, const std::string& wayland,
                          const std::string& runtime_folder);
// The desktop that DesktopPresent() found can be reached: its socket exists, or it is not on
// this machine (the window system then has the last word). A DISPLAY left over from a closed
// session would otherwise end the program inside the window system's start-up.
bool DesktopReachable();

std::unique_ptr<ServerFace> CreateConsoleFace();
std::unique_ptr<ServerFace> CreateWindowFace();
// dialogs: who answers the window's dialogs instead of Qt's dialogs.
std::unique_ptr<ServerFace> CreateWindowFace(std::unique_ptr<DialogProvider> dialogs);

// The message and its reason, in UTF-8, one line each, on standard error.
void PrintStartFailure(const std::string& message, const std::string& detail);

}  // namespace velka::server::ui
