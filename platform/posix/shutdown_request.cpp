// SIGTERM and SIGINT through a self-pipe: a signal only writes a byte, the loop does the rest.
#include "platform/shutdown_request.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace velka {

namespace {

int g_pipe[2] = {-1, -1};

void OnShutdownSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] ssize_t ignored = ::write(g_pipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

NativeHandle InstallShutdownRequest(std::string& error) {
  if (g_pipe[0] >= 0) return g_pipe[0];
  if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    return kNoHandle;
  }
  struct sigaction action {};
  action.sa_handler = OnShutdownSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
  // A console reader that goes away must not end the program in the middle of a job.
  ::signal(SIGPIPE, SIG_IGN);
  return g_pipe[0];
}

void AcknowledgeShutdownRequest() {
  char bytes[64];
  while (g_pipe[0] >= 0 && ::read(g_pipe[0], bytes, sizeof bytes) > 0) {
  }
}

}  // namespace velka
