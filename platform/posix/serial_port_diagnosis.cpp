// The diagnosis of a port that does not open: the device opened for a moment with the flags
// and the lock a port uses, and the error it gives told apart.
#include "platform/serial_port_diagnosis.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/posix/device_holders.h"

namespace velka {

namespace {

constexpr std::size_t kAccountBuffer = 16 * 1024;

std::string UserName(uid_t uid) {
  std::vector<char> buffer(kAccountBuffer);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
    return found->pw_name;
  }
  return std::to_string(uid);
}

std::string GroupName(gid_t gid) {
  std::vector<char> buffer(kAccountBuffer);
  group entry{};
  group* found = nullptr;
  if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
    return found->gr_name;
  }
  return std::to_string(gid);
}

void DescribePermission(PortDiagnosis& d) {
  d.user = UserName(::geteuid());
  struct stat st {};
  if (::stat(d.location.resolved.c_str(), &st) != 0) return;
  d.owner = UserName(st.st_uid);
  constexpr mode_t kGroupReadWrite = S_IRGRP | S_IWGRP;
  if ((st.st_mode & kGroupReadWrite) == kGroupReadWrite) d.group = GroupName(st.st_gid);
}

// Held by another program, unless the only holder is this process (a control of its own that
// still has the device open).
void DescribeHolders(PortDiagnosis& d) {
  std::vector<DeviceHolder> holders = DeviceHolders(d.location.resolved);
  const int self = static_cast<int>(::getpid());
  const bool held_here =
      std::erase_if(holders, [self](const DeviceHolder& h) { return h.pid == self; }) > 0;
  if (held_here && holders.empty()) return;
  d.problem = PortProblem::HeldByAnother;
  d.holders = std::move(holders);
}

// The problem an open of the device gives, from its error.
void FromOpenError(PortDiagnosis& d, int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
      d.problem = d.location.entry.empty() ? PortProblem::NoDevice : PortProblem::LinkToNothing;
      return;
    case EACCES:
    case EPERM:
      d.problem = PortProblem::PermissionDenied;
      DescribePermission(d);
      return;
    case EBUSY:
      DescribeHolders(d);
      return;
    default:
      d.problem = PortProblem::OtherError;
      d.error = std::strerror(error);
      return;
  }
}

// What the open device shows: another's lock, or no terminal at all.
void FromOpenDevice(PortDiagnosis& d, int fd) {
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    DescribeHolders(d);
    return;
  }
  termios settings{};
  if (::tcgetattr(fd, &settings) != 0 && errno == ENOTTY) d.problem = PortProblem::NotSerial;
}

}  // namespace

PortDiagnosis DiagnoseSerialPort(int port_number) {
  PortDiagnosis d;
  d.port_number = port_number;
  d.folders = PortsFolders();
  if (port_number < 1) {
    d.problem = PortProblem::InvalidNumber;
    return d;
  }
  d.location = LocatePort(port_number);
  if (d.location.device.empty()) {
    d.problem = PortProblem::EntryNamesNothing;
    return d;
  }
  const int fd = ::open(d.location.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    FromOpenError(d, errno);
    return d;
  }
  FromOpenDevice(d, fd);
  ::close(fd);  // the lock, if taken, goes with it
  return d;
}

}  // namespace velka
