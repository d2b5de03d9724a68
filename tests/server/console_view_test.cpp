// The headless view: one UTF-8 line per change on its stream.
#include <gtest/gtest.h>

#include <cstdio>

#include "server/ui/console_view.h"

namespace velka::server {
namespace {

std::string Printed(const std::function<void(ConsoleView&)>& actions, bool* closed = nullptr) {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* out = ::open_memstream(&buffer, &size);
  {
    ConsoleView view(out, [closed] {
      if (closed) *closed = true;
    });
    actions(view);
  }
  std::fclose(out);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

TEST(ConsoleViewTest, EachChangeIsOneUtf8Line) {
  bool closed = false;
  const std::string text = Printed(
      [](ConsoleView& view) {
        view.setStatusText("La stampante \xE8 pronta");
        view.setStatusText("La stampante \xE8 pronta");  // no change: not printed
        view.setTrayIcon(TrayIcon::Error);
        view.setTrayIcon(TrayIcon::Normal);
        view.setCaption(Caption::Frame1, "Registratore di cassa VELKA su COM1");
        view.setLastReceiptNumber("1.234");
        view.bringToFront();
        view.bringToFront();  // an action each time
        view.requestClose();
      },
      &closed);
  EXPECT_EQ(text,
            "lblStato: La stampante \xC3\xA8 pronta\n"
            "tray icon: error\n"
            "tray icon: normal\n"
            "Frame1: Registratore di cassa VELKA su COM1\n"
            "lblNumero: 1.234\n"
            "window: brought to front\n"
            "window: brought to front\n"
            "window: close requested\n");
  EXPECT_TRUE(closed);
}

}  // namespace
}  // namespace velka::server
