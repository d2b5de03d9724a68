// The pseudo-terminal of the simulated register: posix_openpt, raw termios, inotify.
#include "platform/pseudo_terminal.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace velka {

PseudoTerminal::PseudoTerminal() {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master < 0) {
    error_ = std::string("posix_openpt: ") + ::strerror(errno);
    return;
  }
  char name[128];
  if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
      ::ptsname_r(master, name, sizeof name) != 0) {
    error_ = std::string("pseudo-terminal set-up: ") + ::strerror(errno);
    ::close(master);
    return;
  }
  slave_path_ = name;
  keeper_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (keeper_ < 0) {
    error_ = "open " + slave_path_ + ": " + ::strerror(errno);
    ::close(master);
    return;
  }
  // Raw bytes both ways, whatever the control sets or forgets to set.
  termios raw{};
  if (::tcgetattr(keeper_, &raw) == 0) {
    ::cfmakeraw(&raw);
    ::tcsetattr(keeper_, TCSANOW, &raw);
  }
  master_ = master;
  // The keeper was opened before the watch: its open is not counted.
  presence_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (presence_ >= 0 &&
      ::inotify_add_watch(presence_, name, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
    ::close(presence_);
    presence_ = kNoHandle;
  }
}

PseudoTerminal::~PseudoTerminal() {
  if (presence_ >= 0) ::close(presence_);
  if (keeper_ >= 0) ::close(keeper_);
  if (master_ >= 0) ::close(master_);
}

PseudoTerminal::Presence PseudoTerminal::readPresence() {
  Presence presence;
  if (presence_ < 0) return presence;
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(presence_, buffer, sizeof buffer);
    if (n <= 0) break;
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      if (event->mask & IN_Q_OVERFLOW) users_ = 1;  // lost count: assume someone is there
      if (event->mask & IN_OPEN) {
        ++users_;
        presence.opened = true;
      }
      if (event->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) {
        if (users_ > 0 && --users_ == 0) presence.last_closed = true;
      }
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  // Opened and closed again within one batch: the line is free now.
  if (presence.opened && users_ == 0) presence.last_closed = true;
  return presence;
}

void PseudoTerminal::clearAfterHangUp() {
  if (keeper_ < 0) return;
  // Only what the register wrote and nobody read: a new control's bytes are not touched.
  ::tcflush(keeper_, TCIFLUSH);
  ::ioctl(keeper_, TIOCNXCL);
  // A control may have left the line cooked; the register's bytes must pass unchanged.
  termios raw{};
  if (::tcgetattr(keeper_, &raw) == 0) {
    ::cfmakeraw(&raw);
    ::tcsetattr(keeper_, TCSANOW, &raw);
  }
}

Bytes PseudoTerminal::read(std::size_t limit) {
  Bytes bytes(limit);
  const ssize_t n = master_ >= 0 ? ::read(master_, bytes.data(), limit) : -1;
  bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return bytes;
}

std::size_t PseudoTerminal::write(const std::uint8_t* data, std::size_t size) {
  if (master_ < 0 || size == 0) return 0;
  const ssize_t n = ::write(master_, data, size);
  return n > 0 ? static_cast<std::size_t>(n) : 0;
}

}  // namespace velka
