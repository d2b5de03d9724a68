// The headless view: one UTF-8 line per change on its stream, after the local time.
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
    int second = 0;
    ConsoleView view(
        out,
        [closed] {
          if (closed) *closed = true;
        },
        [&second] { return LocalDateTime{2026, 12, 8, 9, 5, second++}; });
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
            "09:05:00 lblStato: La stampante \xC3\xA8 pronta\n"
            "09:05:01 tray icon: error\n"
            "09:05:02 tray icon: normal\n"
            "09:05:03 Frame1: Registratore di cassa VELKA su COM1\n"
            "09:05:04 lblNumero: 1.234\n"
            "09:05:05 window: brought to front\n"
            "09:05:06 window: brought to front\n"
            "09:05:07 window: close requested\n");
  EXPECT_TRUE(closed);
}

TEST(ConsoleViewTest, ControlCharactersNeverReachTheJournal) {
  const std::string text =
      Printed([](ConsoleView& view) { view.setErrorText("riga\r\n\x1B[31mrossa\x7F\t"); });
  EXPECT_EQ(text, "09:05:00 lblErrore: riga   [31mrossa  \n");
}

}  // namespace
}  // namespace velka::server
