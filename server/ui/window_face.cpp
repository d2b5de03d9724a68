// The window face: Qt's application and event loop, frmMain with its tray icon, and the
// console lines beside them.
//
// On a desktop the window is what the operator looks at; the same changes also go to
// standard output as the console prints them, so a session log or a supervisor sees them.
#include <QApplication>
#include <QCoreApplication>

#include "server/ui/console_view.h"
#include "server/ui/main_window.h"
#include "server/ui/qt_dialog_provider.h"
#include "server/ui/qt_event_loop.h"
#include "server/ui/server_commands.h"
#include "server/ui/server_face.h"
#include "server/ui/start_failure_box.h"

namespace velka::server::ui {

namespace {

// Every change to both views.
class BothViews : public OperatorView {
 public:
  BothViews(OperatorView& first, OperatorView& second) : first_(first), second_(second) {}

  void setCaption(Caption caption, const std::string& text) override {
    first_.setCaption(caption, text);
    second_.setCaption(caption, text);
  }
  void setStatusText(const std::string& text) override {
    first_.setStatusText(text);
    second_.setStatusText(text);
  }
  void setErrorText(const std::string& text) override {
    first_.setErrorText(text);
    second_.setErrorText(text);
  }
  void setLastReceiptTime(const std::string& text) override {
    first_.setLastReceiptTime(text);
    second_.setLastReceiptTime(text);
  }
  void setLastReceiptNumber(const std::string& text) override {
    first_.setLastReceiptNumber(text);
    second_.setLastReceiptNumber(text);
  }
  void showTrayIcon() override {
    first_.showTrayIcon();
    second_.showTrayIcon();
  }
  void hideTrayIcon() override {
    first_.hideTrayIcon();
    second_.hideTrayIcon();
  }
  void setTrayIcon(server::TrayIcon icon) override {
    first_.setTrayIcon(icon);
    second_.setTrayIcon(icon);
  }
  void setTrayToolTip(const std::string& text) override {
    first_.setTrayToolTip(text);
    second_.setTrayToolTip(text);
  }
  void bringToFront() override {
    first_.bringToFront();
    second_.bringToFront();
  }
  void requestClose() override {
    first_.requestClose();
    second_.requestClose();
  }

 private:
  OperatorView& first_;
  OperatorView& second_;
};

// Qt's own options are not the server's: the program reads no command line.
int g_argc = 1;
char g_program_name[] = "VelkaDriverServer";
char* g_argv[] = {g_program_name, nullptr};

class WindowFace : public ServerFace {
 public:
  explicit WindowFace(std::unique_ptr<DialogProvider> dialogs) : dialogs_(std::move(dialogs)) {
    // The window's close and the exit command end the program through the shutdown.
    QApplication::setQuitOnLastWindowClosed(false);
  }
  ~WindowFace() override { window_.setMenuCommands(nullptr); }

  EventLoop& loop() override { return loop_; }
  OperatorView& view() override { return views_; }
  void ConnectCommands(JobServer& server) override {
    commands_ = std::make_unique<ServerCommands>(server, *dialogs_, &window_);
    window_.setMenuCommands(commands_.get());
  }

  void BeginStartUp() override { QApplication::setOverrideCursor(Qt::WaitCursor); }
  void EndStartUp(bool running) override {
    QApplication::restoreOverrideCursor();
    if (running) window_.ShowAtStartUp();
  }
  void ShowStartFailure(const std::string& message, const std::string& detail) override {
    PrintStartFailure(message, detail);
    ShowStartFailureBox(message, detail);
  }
  void RunUntil(const std::function<bool()>& done) override {
    while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }

 private:
  QApplication application_{g_argc, g_argv};
  QtEventLoop loop_;
  frmMain window_;
  ConsoleView console_{stdout};
  BothViews views_{window_, console_};
  std::unique_ptr<DialogProvider> dialogs_;
  std::unique_ptr<ServerCommands> commands_;
};

}  // namespace

std::unique_ptr<ServerFace> CreateWindowFace() {
  return CreateWindowFace(std::make_unique<QtDialogProvider>());
}

std::unique_ptr<ServerFace> CreateWindowFace(std::unique_ptr<DialogProvider> dialogs) {
  return std::make_unique<WindowFace>(std::move(dialogs));
}

}  // namespace velka::server::ui
