#pragma once
// TrayIcon: the server's icon in the notification area, with its tooltip, and the mouse
// messages of the icon turned into events.
//
// The object keeps one notification-icon record and hands it to the notification area on
// every add, change and delete, as the shell's notification-icon service takes it:
// - I_ToolTipText and I_Icon store their value and send a change only while the icon is
//   shown; before I_Show they are only stored, and I_Show uses them.
// - I_Show adds the icon unless it is shown; I_Hide deletes it only when it is shown, so a
//   second I_Hide sends nothing. The destructor sends one more delete in any case.
// - The tooltip travels in a 64-character field: its first 63 single-byte characters and a
//   NUL, blanks after it.
// - The area's return value is not looked at: an add that failed still counts as shown, and
//   later changes go out as changes.
//
// Mouse messages (512 to 521, the numbers of the window system's mouse messages) become
// MouseMove, MouseDown, MouseUp and DoubleClick with the button 0 left, 1 right, 2 middle,
// while I_GeneraEventi is true.
#include <QIcon>
#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace velka::server::ui {

enum class NotifyIconOperation { Add = 0, Modify = 1, Delete = 2 };

struct NotifyIconRecord {
  static constexpr std::uint32_t kIconId = 1;
  static constexpr std::uint32_t kFlags = 7;  // callback message + icon + tooltip
  static constexpr std::uint32_t kCallbackMessage = 512;
  static constexpr std::size_t kTipSize = 64;

  QIcon icon;
  std::array<char, kTipSize> tip{};  // single-byte text, NUL, blanks

  // The text before the NUL.
  std::string tipText() const;
};

// The shell's notification-icon service: where the record goes.
class NotificationArea {
 public:
  virtual ~NotificationArea() = default;
  virtual void NotifyIcon(NotifyIconOperation operation, const NotifyIconRecord& record) = 0;
  // The desktop shows the area at all: without it, the owner keeps its window reachable
  // another way.
  virtual bool present() const { return true; }
};

// The mouse messages the area reports for the icon.
namespace tray_message {
inline constexpr int MouseMove = 512;
inline constexpr int LeftDown = 513;
inline constexpr int LeftUp = 514;
inline constexpr int LeftDoubleClick = 515;
inline constexpr int RightDown = 516;
inline constexpr int RightUp = 517;
inline constexpr int RightDoubleClick = 518;
inline constexpr int MiddleDown = 519;
inline constexpr int MiddleUp = 520;
inline constexpr int MiddleDoubleClick = 521;
}  // namespace tray_message

class TrayIcon {
 public:
  explicit TrayIcon(NotificationArea& area) : area_(area) {}
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // text: single-byte (Windows-1252).
  void I_ToolTipText(const std::string& text);
  void I_Visible(bool visible);
  void I_Icon(const QIcon& icon);
  void I_Show();
  void I_Hide();

  bool I_GeneraEventi = true;

  // Events, raised on the owner's side.
  std::function<void(std::int16_t& Shift)> MouseMove;
  std::function<void(std::int16_t& Button, std::int16_t& Shift)> MouseUp;
  std::function<void(std::int16_t& Button, std::int16_t& Shift)> MouseDown;
  std::function<void(std::int16_t& Button, std::int16_t& Shift)> DoubleClick;

  // A mouse message of the icon, with the keyboard state that came with it.
  void MouseMessage(int message, std::int16_t shift);

  bool visible() const { return visible_; }
  const NotifyIconRecord& record() const { return record_; }

 private:
  void FillRecord();

  NotificationArea& area_;
  NotifyIconRecord record_;
  bool visible_ = false;
  std::string tooltip_;
  QIcon icon_;
};

}  // namespace velka::server::ui
