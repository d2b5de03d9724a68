// The ports folders: the user's own, then the machine's.
#include "platform/port_map.h"

#include "platform/system_folders.h"
#include "platform/user_folders.h"

namespace velka {

namespace {

constexpr char kPortsUnder[] = "/TMV SPA/ports";

}  // namespace

std::string UserPortsFolder() {
  return ConfigHome() + kPortsUnder;
}

std::vector<std::string> PortsFolders() {
  std::vector<std::string> folders{UserPortsFolder()};
  for (const std::string& config : SystemConfigFolders()) folders.push_back(config + kPortsUnder);
  return folders;
}

}  // namespace velka
