// The running program's file, from the kernel's /proc/self/exe link.
#include "platform/executable_path.h"

#include <unistd.h>

namespace velka {

std::string ExecutablePath() {
  char buffer[4096];
  const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return {};
  return std::string(buffer, static_cast<std::size_t>(length));
}

}  // namespace velka
