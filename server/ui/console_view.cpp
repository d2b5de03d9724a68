#include "server/ui/console_view.h"

#include "platform/single_byte_text.h"

namespace velka::server {

namespace {

// A control character would break the line or colour a terminal: it shows as a blank.
std::string Plain(std::string text) {
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = ' ';
  }
  return text;
}

}  // namespace

void ConsoleView::Print(const std::string& name, const std::string& text) {
  const std::string line = FormatDateTime(clock_(), "hh:mm:ss") + " " + name + ": " +
                           Plain(SingleByteToUtf8(text)) + "\n";
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fflush(out_);
}

void ConsoleView::Change(const std::string& name, const std::string& text) {
  auto [entry, added] = shown_.try_emplace(name, text);
  if (!added && entry->second == text) return;
  entry->second = text;
  Print(name, text);
}

void ConsoleView::setCaption(Caption caption, const std::string& text) {
  Change(CaptionName(caption), text);
}

void ConsoleView::setStatusText(const std::string& text) {
  Change("lblStato", text);
}

void ConsoleView::setErrorText(const std::string& text) {
  Change("lblErrore", text);
}

void ConsoleView::setLastReceiptTime(const std::string& text) {
  Change("lblOra", text);
}

void ConsoleView::setLastReceiptNumber(const std::string& text) {
  Change("lblNumero", text);
}

void ConsoleView::showTrayIcon() {
  Change("tray", "shown");
}

void ConsoleView::hideTrayIcon() {
  Change("tray", "hidden");
}

void ConsoleView::setTrayIcon(TrayIcon icon) {
  Change("tray icon", TrayIconName(icon));
}

void ConsoleView::setTrayToolTip(const std::string& text) {
  Change("tray tooltip", text);
}

void ConsoleView::bringToFront() {
  Print("window", "brought to front");
}

void ConsoleView::requestClose() {
  Print("window", "close requested");
  if (on_close_request_) on_close_request_();
}

}  // namespace velka::server
