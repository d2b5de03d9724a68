#pragma once
// Which device a port number stands for, as Wine maps COM ports: com<N> in a ports folder is
// a symbolic link, or a one-line text file, naming the device; without one, port N is the
// system's N-th serial device (/dev/ttyS<N-1> on POSIX).
//
// The ports folders are searched in order: the user's own, "$XDG_CONFIG_HOME/TMV SPA/ports"
// (default ~/.config), then "TMV SPA/ports" under each machine-wide configuration folder
// ($XDG_CONFIG_DIRS, default /etc/xdg), so a service account finds the ports an administrator
// set up for the machine. The first folder holding com<N> decides.
#include <string>
#include <vector>

namespace velka {

// The user's own ports folder: where velka-sim and the user put their links.
std::string UserPortsFolder();
// Every ports folder, in the order of the search.
std::vector<std::string> PortsFolders();

struct PortLocation {
  // The path to open for the port: the link itself (opening follows it), the device a text
  // file names, or the default device; empty when the entry names no device (an empty file,
  // a folder) or the number is below 1.
  std::string device;
  // The ports-folder entry that decided; empty when none exists and the default applies.
  std::string entry;
  // What the entry names: a link's target as written, or a text file's device.
  std::string named;
  // The device as the system names it: `device` with its links resolved where they resolve
  // (/dev/ttyUSB0 rather than the ports link), else `device` itself.
  std::string resolved;
};

PortLocation LocatePort(int port_number);

}  // namespace velka
