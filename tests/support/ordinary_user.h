#pragma once
// Work done as an ordinary user, to see what the system refuses one: in a child process that
// drops to the account nobody (65534, no groups) when the test runs as root, and stays as it
// is otherwise. The child hands back a text; every wait is bounded.
#include <grp.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace velka::testing {

inline constexpr uid_t kNobody = 65534;

// What a child wrote before it closed its end of the pipe fd, waiting at most timeout_ms for
// each piece.
inline std::string ReadFromChild(int fd, int timeout_ms = 10000) {
  std::string text;
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) <= 0) break;
    char buffer[512];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text;
}

// The user work runs as: nobody for a root test, else the test's own.
inline uid_t OrdinaryUser() {
  return ::geteuid() == 0 ? kNobody : ::geteuid();
}

// Runs work in a child process as the ordinary user and returns the text it gave.
inline std::string AsOrdinaryUser(const std::function<std::string()>& work) {
  int out[2];
  if (::pipe(out) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(out[0]);
    const bool dropped = ::geteuid() != 0 || (::setgroups(0, nullptr) == 0 &&
                                              ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0);
    const std::string text = dropped ? work() : "cannot drop privileges";
    [[maybe_unused]] ssize_t ignored = ::write(out[1], text.data(), text.size());
    ::_exit(0);
  }
  ::close(out[1]);
  const std::string text = ReadFromChild(out[0]);
  ::close(out[0]);
  ::waitpid(child, nullptr, 0);
  return text;
}

}  // namespace velka::testing
