// What both faces share: which one the desktop asks for, and the start-up failure as text.
#include "server/ui/server_face.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/single_byte_text.h"

namespace velka::server::ui {

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

bool DesktopPresent() {
  return Set("DISPLAY") || Set("WAYLAND_DISPLAY");
}

std::string DisplaySocket(const std::string& display, const std::string& wayland,
                          const std::string& runtime_folder) {
  if (!wayland.empty()) {
    if (wayland.front() == '/') return wayland;
    return runtime_folder.empty() ? std::string() : runtime_folder + "/" + wayland;
  }
  // ":N" or ":N.S" is an X server of this machine, listening on /tmp/.X11-unix/XN; a display
  // on another host (an ssh forwarding, "localhost:10.0") cannot be told from here.
  if (display.size() < 2 || display.front() != ':') return {};
  std::size_t end = 1;
  while (end < display.size() && std::isdigit(static_cast<unsigned char>(display[end]))) ++end;
  if (end == 1 || (end < display.size() && display[end] != '.')) return {};
  return "/tmp/.X11-unix/X" + display.substr(1, end - 1);
}

bool DesktopReachable() {
  auto value = [](const char* name) {
    const char* v = std::getenv(name);
    return std::string(v ? v : "");
  };
  const std::string socket =
      DisplaySocket(value("DISPLAY"), value("WAYLAND_DISPLAY"), value("XDG_RUNTIME_DIR"));
  std::error_code ignored;
  return socket.empty() || std::filesystem::exists(socket, ignored);
}

void PrintStartFailure(const std::string& message, const std::string& detail) {
  std::string text = SingleByteToUtf8(message) + "\n";
  if (!detail.empty()) text += detail + "\n";
  std::fputs(text.c_str(), stderr);
}

}  // namespace velka::server::ui
