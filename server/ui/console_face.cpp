// The console face: the system's own event loop and the console view on standard output.
#include <cstdio>
#include <cstdlib>

#include "platform/single_byte_text.h"
#include "platform/system_factory.h"
#include "server/ui/console_view.h"
#include "server/ui/server_face.h"

namespace velka::server::ui {

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

class ConsoleFace : public ServerFace {
 public:
  EventLoop& loop() override { return *loop_; }
  OperatorView& view() override { return view_; }
  void ShowStartFailure(const std::string& message, const std::string& detail) override {
    PrintStartFailure(message, detail);
  }
  void RunUntil(const std::function<bool()>& done) override {
    while (!done()) loop_->waitForEvents();
  }

 private:
  std::unique_ptr<EventLoop> loop_ = CreateSystemEventLoop();
  ConsoleView view_{stdout};
};

}  // namespace

bool DesktopPresent() {
  return Set("DISPLAY") || Set("WAYLAND_DISPLAY");
}

std::unique_ptr<ServerFace> CreateConsoleFace() {
  return std::make_unique<ConsoleFace>();
}

void PrintStartFailure(const std::string& message, const std::string& detail) {
  std::string text = SingleByteToUtf8(message) + "\n";
  if (!detail.empty()) text += detail + "\n";
  std::fputs(text.c_str(), stderr);
}

}  // namespace velka::server::ui
