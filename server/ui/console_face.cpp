// The console face: the system's own event loop and the console view on standard output.
#include <cstdio>

#include "platform/system_factory.h"
#include "server/ui/console_view.h"
#include "server/ui/server_face.h"

namespace velka::server::ui {

namespace {

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

std::unique_ptr<ServerFace> CreateConsoleFace() {
  return std::make_unique<ConsoleFace>();
}

}  // namespace velka::server::ui
