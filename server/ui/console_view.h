#pragma once
// The operator view of a machine without a desktop: every change the window and the tray icon
// would show becomes one line on standard output, in UTF-8, after the local time, such as
//   14:47:05 lblStato: La stampante è pronta
//   14:47:09 tray icon: error
// A field set to the text it already shows is no change and prints nothing. Each line is
// flushed at once, so a supervisor or a log collector sees it as it happens; lines are plain
// text without colours or control codes, as the system journal keeps them (it adds its own
// date).
#include <cstdio>
#include <functional>
#include <map>
#include <string>

#include "platform/local_time.h"
#include "server/jobs/operator_view.h"

namespace velka::server {

class ConsoleView : public OperatorView {
 public:
  // on_close_request runs after the close request has been printed; clock gives the time of
  // each line (empty: the computer's clock).
  explicit ConsoleView(std::FILE* out, std::function<void()> on_close_request = {},
                       WallClock clock = {})
      : out_(out),
        on_close_request_(std::move(on_close_request)),
        clock_(clock ? std::move(clock) : WallClock(CurrentLocalDateTime)) {}

  void setCaption(Caption caption, const std::string& text) override;
  void setStatusText(const std::string& text) override;
  void setErrorText(const std::string& text) override;
  void setLastReceiptTime(const std::string& text) override;
  void setLastReceiptNumber(const std::string& text) override;
  void showTrayIcon() override;
  void hideTrayIcon() override;
  void setTrayIcon(TrayIcon icon) override;
  void setTrayToolTip(const std::string& text) override;
  void bringToFront() override;
  void requestClose() override;

 private:
  // name: what changed; text: single-byte text of the server.
  void Print(const std::string& name, const std::string& text);
  // Print, unless the field already shows the text.
  void Change(const std::string& name, const std::string& text);

  std::FILE* out_;
  std::function<void()> on_close_request_;
  WallClock clock_;
  std::map<std::string, std::string> shown_;
};

}  // namespace velka::server
