// Port numbers on Windows: port N is the system's COM<N>; there is no ports folder (Wine maps
// its COM ports in the registry, outside the program).
#include "platform/port_map.h"

namespace velka {

std::string UserPortsFolder() {
  return {};
}

std::vector<std::string> PortsFolders() {
  return {};
}

PortLocation LocatePort(int port_number) {
  PortLocation location;
  if (port_number < 1) return location;
  location.resolved = "COM" + std::to_string(port_number);
  location.device = "\\\\.\\" + location.resolved;
  return location;
}

}  // namespace velka
