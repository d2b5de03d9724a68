// The detail line under message 551: each cause of a failed open in the operator's terms, in
// the language of the settings, and the same line in the job log.
#include "server/jobs/open_failure.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>

#include "automation/result_codes.h"
#include "platform/pseudo_terminal.h"
#include "server/resources/message_table.h"
#include "tests/server/job_server_fixture.h"
#include "tests/support/ordinary_user.h"

namespace velka::server {
namespace {

using testing::JobServerTest;
using testing::TempProgramFolder;

constexpr int kIt = kItalianOffset;
constexpr int kEn = kEnglishOffset;

PortDiagnosis Diagnosis(PortProblem problem) {
  PortDiagnosis d;
  d.problem = problem;
  d.port_number = 3;
  d.location.device = "/etc/xdg/TMV SPA/ports/com3";
  d.location.entry = "/etc/xdg/TMV SPA/ports/com3";
  d.location.named = "/dev/serial/by-id/usb-FTDI-port0";
  d.location.resolved = "/dev/ttyUSB0";
  d.folders = {"/home/cassa/.config/TMV SPA/ports", "/etc/xdg/TMV SPA/ports"};
  d.user = "velka";
  d.owner = "root";
  d.group = "dialout";
  d.holders = {{4321, "velka-sim"}, {4400, ""}};
  d.error = "Input/output error";
  return d;
}

TEST(OpenFailureTest, EachCauseInBothLanguages) {
  PortDiagnosis no_device = Diagnosis(PortProblem::NoDevice);
  no_device.location = {"/dev/ttyS2", "", "", "/dev/ttyS2"};
  PortDiagnosis owner_only = Diagnosis(PortProblem::PermissionDenied);
  owner_only.group.clear();
  PortDiagnosis unseen = Diagnosis(PortProblem::HeldByAnother);
  unseen.holders.clear();
  const PortDiagnosis fine = Diagnosis(PortProblem::None);
  const struct {
    PortDiagnosis diagnosis;
    std::int32_t open_result;
    int language;
    std::string detail;
  } rows[] = {
      {no_device, result::OpenFailed, kIt,
       "COM3: il dispositivo /dev/ttyS2 non esiste (nessun collegamento com3 in "
       "/home/cassa/.config/TMV SPA/ports, /etc/xdg/TMV SPA/ports)."},
      {no_device, result::OpenFailed, kEn,
       "COM3: the device /dev/ttyS2 does not exist (no link com3 in "
       "/home/cassa/.config/TMV SPA/ports, /etc/xdg/TMV SPA/ports)."},
      {Diagnosis(PortProblem::LinkToNothing), result::OpenFailed, kIt,
       "COM3: il collegamento /etc/xdg/TMV SPA/ports/com3 punta a "
       "/dev/serial/by-id/usb-FTDI-port0, che non esiste."},
      {Diagnosis(PortProblem::LinkToNothing), result::OpenFailed, kEn,
       "COM3: the link /etc/xdg/TMV SPA/ports/com3 points to /dev/serial/by-id/usb-FTDI-port0, "
       "which does not exist."},
      {Diagnosis(PortProblem::EntryNamesNothing), result::OpenFailed, kEn,
       "COM3: /etc/xdg/TMV SPA/ports/com3 names no device."},
      {Diagnosis(PortProblem::PermissionDenied), result::OpenFailed, kIt,
       "COM3: accesso negato a /dev/ttyUSB0 per l'utente velka; aggiungerlo al gruppo dialout "
       "(poi rientrare o riavviare il servizio)."},
      {Diagnosis(PortProblem::PermissionDenied), result::OpenFailed, kEn,
       "COM3: permission denied on /dev/ttyUSB0 for the user velka; add it to the group dialout "
       "(then log in again or restart the service)."},
      {owner_only, result::OpenFailed, kEn,
       "COM3: permission denied on /dev/ttyUSB0 for the user velka (the device belongs to "
       "root)."},
      {Diagnosis(PortProblem::HeldByAnother), result::OpenFailed, kIt,
       "COM3: /dev/ttyUSB0 è già in uso da un altro programma (processo 4321 (velka-sim), "
       "4400)."},
      {Diagnosis(PortProblem::HeldByAnother), result::OpenFailed, kEn,
       "COM3: /dev/ttyUSB0 is in use by another program (process 4321 (velka-sim), 4400)."},
      {unseen, result::OpenFailed, kEn, "COM3: /dev/ttyUSB0 is in use by another program."},
      {Diagnosis(PortProblem::NotSerial), result::OpenFailed, kEn,
       "COM3: /dev/ttyUSB0 is not a serial port."},
      {Diagnosis(PortProblem::OtherError), result::OpenFailed, kIt,
       "COM3: impossibile aprire /dev/ttyUSB0 (Input/output error)."},
      {fine, result::NoRegister, kIt,
       "COM3: nessun registratore risponde su /dev/ttyUSB0 (CTS non attivo): controllare che "
       "sia acceso e collegato."},
      {fine, result::NoRegister, kEn,
       "COM3: no register answers on /dev/ttyUSB0 (CTS not asserted): check that it is "
       "switched on and connected."},
      {fine, result::OpenFailed, kEn, "COM3: cannot open /dev/ttyUSB0 (TMVOpen 115)."},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(DescribePortDiagnosis(row.diagnosis, row.open_result, row.language), row.detail);
  }
}

TEST(OpenFailureTest, PortTextThatIsNoPortNumber) {
  EXPECT_EQ(OpenFailureDetail("COM1", result::OpenFailed, kEn),
            "Port COM1 is not valid: Port in TMVSERVER.INI must be a number from 1 to 32767.");
  EXPECT_EQ(OpenFailureDetail("40000", result::OpenFailed, kIt),
            "La porta 40000 non è valida: Port in TMVSERVER.INI deve essere un numero da 1 a "
            "32767.");
}

TEST(OpenFailureTest, FillInReplacesEachPlaceholderOnce) {
  EXPECT_EQ(FillIn("%1-%2-%1 %3 %9 100%", {"a", "%2"}), "a-%2-a %3 %9 100%");
  EXPECT_EQ(FillIn("", {"a"}), "");
}

// The whole line as an ordinary user sees it, on a real device it may not open: the test
// drops to nobody when it runs as root.
TEST(OpenFailureTest, PermissionDeniedAsAnOrdinaryUser) {
  TempProgramFolder folder;
  PseudoTerminal pty;
  ASSERT_TRUE(pty.ok()) << pty.error();
  const std::string ports = folder.at("config") + "/TMV SPA/ports";
  std::filesystem::create_directories(ports);
  std::filesystem::create_symlink(pty.slavePath(), ports + "/com2");
  std::filesystem::permissions(
      folder.root(), std::filesystem::perms::owner_all | std::filesystem::perms::others_exec);
  struct stat device {};
  ASSERT_EQ(::stat(pty.slavePath().c_str(), &device), 0);
  ASSERT_EQ(::chmod(pty.slavePath().c_str(), 0060), 0);
  const std::string detail = velka::testing::AsOrdinaryUser(
      [] { return OpenFailureDetail("2", result::OpenFailed, kEn); });
  ::chmod(pty.slavePath().c_str(), device.st_mode & 07777);

  const passwd* user = ::getpwuid(velka::testing::OrdinaryUser());
  const group* tty = ::getgrgid(device.st_gid);
  ASSERT_TRUE(user && tty);
  EXPECT_EQ(detail, "COM2: permission denied on " + pty.slavePath() + " for the user " +
                        user->pw_name + "; add it to the group " + tty->gr_name +
                        " (then log in again or restart the service).");
}

TEST_F(JobServerTest, FailedOpenGoesToTheLogAfterMessage551) {
  WriteSettings("Port=999\r\nLanguage=English\r\n");
  open_result = result::OpenFailed;
  ASSERT_EQ(Start(), JobServer::StartResult::CannotOpen);
  const std::string detail = "COM999: the device /dev/ttyS998 does not exist (no link com999 in " +
                             folder.at("config") + "/TMV SPA/ports, " + folder.systemConfig() +
                             "/TMV SPA/ports).";
  EXPECT_EQ(server->startFailure(), detail);
  EXPECT_EQ(Log(), "06/12/2006 18:30;Impossibile caricare il programma gestione cassa.;" + detail +
                       "\r\n");
}

TEST_F(JobServerTest, ControlThatCannotBeMadeIsLoggedToo) {
  can_create = false;
  ASSERT_EQ(Start(), JobServer::StartResult::CannotOpen);
  EXPECT_EQ(Log(),
            "06/12/2006 18:30;Impossibile caricare il programma gestione cassa.;not "
            "registered\r\n");
}

}  // namespace
}  // namespace velka::server
