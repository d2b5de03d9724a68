// The device of a port number as the ports folder names it: a link's target is shown as the
// link holds it, a relative one taken from the ports folder as opening it would.
#include "platform/port_devices.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/posix_serial_port.h"

namespace velka {

namespace {

std::string LinkTarget(const std::string& link) {
  char target[PATH_MAX];
  const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) return "";
  std::string named(target, static_cast<std::size_t>(length));
  if (named.front() != '/') named = PosixSerialPort::PortsFolder() + "/" + named;
  return named;
}

}  // namespace

PortDevice DescribePortDevice(int port_number) {
  PortDevice described;
  if (port_number < 1) return described;
  const std::string entry = PosixSerialPort::PortsFolder() + "/com" + std::to_string(port_number);
  struct stat st {};
  described.named = ::lstat(entry.c_str(), &st) == 0;
  described.device = described.named && S_ISLNK(st.st_mode)
                         ? LinkTarget(entry)
                         : PosixSerialPort::DevicePathForPort(port_number);
  return described;
}

}  // namespace velka
