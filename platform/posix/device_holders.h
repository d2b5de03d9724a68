#pragma once
// The processes that hold a device open, found as fuser finds them: every descriptor under
// /proc/<pid>/fd that is the same character device. Only processes whose descriptors this
// one may read are seen (all of them for the superuser, the user's own otherwise).
#include <string>
#include <vector>

#include "platform/serial_port_diagnosis.h"

namespace velka {

// The holders of the device at path, this process among them when it holds it; none when
// path is not a character device. The scan is bounded (processes and descriptors per process).
std::vector<DeviceHolder> DeviceHolders(const std::string& path);

}  // namespace velka
