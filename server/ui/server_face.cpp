// What both faces share: which one the desktop asks for, and the start-up failure as text.
#include "server/ui/server_face.h"

#include <cstdio>
#include <cstdlib>

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

void PrintStartFailure(const std::string& message, const std::string& detail) {
  std::string text = SingleByteToUtf8(message) + "\n";
  if (!detail.empty()) text += detail + "\n";
  std::fputs(text.c_str(), stderr);
}

}  // namespace velka::server::ui
