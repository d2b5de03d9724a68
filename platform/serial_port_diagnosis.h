#pragma once
// Why a serial port cannot be opened, in terms a user can act on: which device the port number
// leads to (port_map.h), and what keeps it from being opened (no such device, a link to
// nothing, no permission and the group that has it, another program holding it and which, a
// device that is no serial port).
//
// The diagnosis opens the device for a moment, as a port would, and closes it again. A device
// that only this process holds (its own control, whose open failed after the port was taken)
// counts as no problem of the device.
#include <string>
#include <vector>

#include "platform/port_map.h"

namespace velka {

enum class PortProblem {
  None,               // the device opens: whatever failed, it was not the device
  InvalidNumber,      // port numbers start at 1
  NoDevice,           // no ports entry, and the default device does not exist
  LinkToNothing,      // the ports entry names a device that does not exist
  EntryNamesNothing,  // the ports entry is an empty file or a folder
  PermissionDenied,   // this user may not open the device
  HeldByAnother,      // another program has the device
  NotSerial,          // the device is no terminal device
  OtherError,         // the system's reason is in `error`
};

struct DeviceHolder {
  int pid = 0;
  std::string name;  // the program's name as the system knows it; may be empty
};

struct PortDiagnosis {
  PortProblem problem = PortProblem::None;
  int port_number = 0;
  PortLocation location;
  std::vector<std::string> folders;  // the ports folders searched, in order
  // PermissionDenied: the user running this program, the device's owner, and the group whose
  // members may read and write it (empty when its group may not).
  std::string user;
  std::string owner;
  std::string group;
  // HeldByAnother: the processes seen holding the device (none when they cannot be seen).
  std::vector<DeviceHolder> holders;
  std::string error;  // OtherError: the system's text
};

PortDiagnosis DiagnoseSerialPort(int port_number);

}  // namespace velka
