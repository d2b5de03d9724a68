#pragma once
// Which device a port number reaches, told to an operator who picks the register's port:
// on POSIX the entry com<N> of the ports folder (a link or a one-line file naming the device)
// or, without one, /dev/ttyS<N-1>.
#include <string>

namespace velka {

struct PortDevice {
  bool named = false;  // the ports folder has an entry for this port
  std::string device;  // the device it names, or the one used without an entry; may be empty
};

// Port numbers below 1 name nothing (device empty).
PortDevice DescribePortDevice(int port_number);

}  // namespace velka
