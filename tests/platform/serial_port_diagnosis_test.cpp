// The diagnosis of a port that does not open, on real devices: a pseudo-terminal held by
// another process, made unreadable to a non-root user, and ports entries leading nowhere.
#include "platform/serial_port_diagnosis.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/posix/poll_event_loop.h"
#include "platform/posix/posix_serial_port.h"
#include "platform/pseudo_terminal.h"
#include "tests/platform/temp_home.h"
#include "tests/support/ordinary_user.h"

namespace velka {
namespace {

namespace fs = std::filesystem;

using testing::AsOrdinaryUser;
using testing::OrdinaryUser;
using testing::ReadFromChild;

std::string NameOfUser(uid_t uid) {
  const passwd* entry = ::getpwuid(uid);
  return entry ? entry->pw_name : std::to_string(uid);
}

std::string NameOfGroup(gid_t gid) {
  const group* entry = ::getgrgid(gid);
  return entry ? entry->gr_name : std::to_string(gid);
}

std::string OwnProcessName() {
  std::string name = TempHome::ReadFile("/proc/self/comm");
  while (!name.empty() && name.back() == '\n') name.pop_back();
  return name;
}

class SerialPortDiagnosisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.ok()) << pty.error();
    fs::create_directories(ports);
  }
  void link(int port, const std::string& device) {
    fs::create_symlink(device, ports + "/com" + std::to_string(port));
  }

  TempHome home;
  const std::string ports = home.config() + "/TMV SPA/ports";
  PseudoTerminal pty;
};

TEST_F(SerialPortDiagnosisTest, EachCauseWithWhatTheUserNeedsToKnow) {
  link(1, pty.slavePath());
  link(2, home.root() + "/missing-adapter");
  TempHome::WriteFile(ports + "/com3", "\n");
  link(4, "/dev/null");
  const struct {
    int port;
    PortProblem problem;
    std::string device;
    std::string entry;
  } rows[] = {
      {1, PortProblem::None, ports + "/com1", ports + "/com1"},
      {2, PortProblem::LinkToNothing, ports + "/com2", ports + "/com2"},
      {3, PortProblem::EntryNamesNothing, "", ports + "/com3"},
      {4, PortProblem::NotSerial, ports + "/com4", ports + "/com4"},
      {999, PortProblem::NoDevice, "/dev/ttyS998", ""},
      {0, PortProblem::InvalidNumber, "", ""},
  };
  for (const auto& row : rows) {
    const PortDiagnosis d = DiagnoseSerialPort(row.port);
    EXPECT_EQ(d.problem, row.problem) << row.port;
    EXPECT_EQ(d.port_number, row.port);
    EXPECT_EQ(d.location.device, row.device) << row.port;
    EXPECT_EQ(d.location.entry, row.entry) << row.port;
    EXPECT_EQ(d.folders, (std::vector<std::string>{ports, home.systemConfig() + "/TMV SPA/ports"}));
  }
  EXPECT_EQ(DiagnoseSerialPort(2).location.named, home.root() + "/missing-adapter");
}

TEST_F(SerialPortDiagnosisTest, DeviceHeldByAnotherProgramNamesItsProcess) {
  link(1, pty.slavePath());
  int ready[2];
  int release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t holder = ::fork();
  if (holder == 0) {
    // The other program: the device open and locked, as a port holds it, until the test
    // closes the release pipe (or gives up).
    ::close(ready[0]);
    ::close(release[1]);
    const int fd = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    const char state = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 'y' : 'n';
    [[maybe_unused]] ssize_t ignored = ::write(ready[1], &state, 1);
    ::close(ready[1]);
    pollfd p{release[0], POLLIN, 0};
    ::poll(&p, 1, 10000);
    ::_exit(0);
  }
  ::close(ready[1]);
  ::close(release[0]);
  ASSERT_EQ(ReadFromChild(ready[0]), "y");

  const PortDiagnosis d = DiagnoseSerialPort(1);
  ::close(release[1]);
  ::close(ready[0]);
  ::waitpid(holder, nullptr, 0);
  EXPECT_EQ(d.problem, PortProblem::HeldByAnother);
  ASSERT_EQ(d.holders.size(), 1u);
  EXPECT_EQ(d.holders[0].pid, holder);
  EXPECT_EQ(d.holders[0].name, OwnProcessName());

  // Once it has gone, the device opens again.
  EXPECT_EQ(DiagnoseSerialPort(1).problem, PortProblem::None);

  // This process's own port (a control whose open failed after it took the port) is no
  // other program.
  PollEventLoop loop;
  PosixSerialPort own(loop);
  ASSERT_TRUE(own.openDevice(pty.slavePath(), 9600)) << own.lastError();
  EXPECT_EQ(DiagnoseSerialPort(1).problem, PortProblem::None);
}

TEST_F(SerialPortDiagnosisTest, PermissionDeniedNamesTheGroupToJoinOrTheOwner) {
  link(1, pty.slavePath());
  // The ordinary user must reach the link in the temporary home.
  fs::permissions(home.root(),
                  fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  struct stat device {};
  ASSERT_EQ(::stat(pty.slavePath().c_str(), &device), 0);
  const std::string user = NameOfUser(OrdinaryUser());
  const struct {
    mode_t mode;
    std::string group;  // empty: only the owner may
  } rows[] = {
      {0060, NameOfGroup(device.st_gid)},
      {0000, ""},
  };
  for (const auto& row : rows) {
    ASSERT_EQ(::chmod(pty.slavePath().c_str(), row.mode), 0);
    const std::string seen = AsOrdinaryUser([] {
      const PortDiagnosis d = DiagnoseSerialPort(1);
      return std::to_string(static_cast<int>(d.problem)) + "|" + d.user + "|" + d.group + "|" +
             d.owner;
    });
    EXPECT_EQ(seen, std::to_string(static_cast<int>(PortProblem::PermissionDenied)) + "|" + user +
                        "|" + row.group + "|" + NameOfUser(device.st_uid))
        << std::oct << row.mode;
  }
  ::chmod(pty.slavePath().c_str(), device.st_mode & 07777);
}

}  // namespace
}  // namespace velka
