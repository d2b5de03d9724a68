// The real VelkaDriverServer, headless, against velka-sim on a pseudo-terminal: both run as
// processes in a temporary program folder, and the jobs are checked by their files and by the
// simulator's transcript of the line.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <regex>

#include "platform/posix/poll_event_loop.h"
#include "platform/posix/posix_serial_port.h"
#include "platform/pseudo_terminal.h"
#include "platform/single_byte_text.h"
#include "tests/server/e2e_fixture.h"

#if defined(VELKA_SERVER_EXE) && defined(VELKA_SIM_EXE)

namespace velka::server {
namespace {

using testing::ChildProcess;
using testing::EndToEndTest;
using testing::Frame;
using testing::Frames;
using testing::kWaitMs;
using testing::ReadLines;
using testing::ReadText;
using testing::TempProgramFolder;
using testing::WaitFor;

bool MatchesLine(const std::string& text, const std::string& pattern) {
  return std::regex_match(text, std::regex(R"(\d\d/\d\d/\d{4} \d\d:\d\d)" + pattern + "\r\n"));
}

TEST_F(EndToEndTest, ReceiptJobSucceeds) {
  StartSim();
  WriteSettings();
  StartServer(server);
  Drop("Sale001.txt", "=R1/$1.5/*2/(CAFFE)\r\n=R1/$3/(CORNETTO)\r\n=T1/$10\r\n");
  ASSERT_TRUE(WaitFor([&] { return !Log().empty(); }, kWaitMs));

  // The status answer: its data field without the kind letter gives the receipt number at
  // characters 9 to 12 and the dump at its last four.
  std::string status;
  for (const Frame& f : Frames(root("sim.log"))) {
    if (!f.from_control && f.text.starts_with("s")) status = f.text.substr(1);
  }
  ASSERT_GE(status.size(), 12u);
  const int number = std::stoi(status.substr(8, 4));
  EXPECT_TRUE(
      MatchesLine(ReadText(input() + "Sale001.OK"), ";Dump=" + status.substr(status.size() - 4)))
      << ReadText(input() + "Sale001.OK");
  EXPECT_TRUE(MatchesLine(Log(), ";Ticket=" + std::to_string(number))) << Log();
  EXPECT_FALSE(Exists("Sale001.txt"));
  EXPECT_FALSE(Exists("Sale001.KO"));
  // The receipt status before the job (for its journal), its lines, and the two after it.
  EXPECT_EQ(SentCommands(),
            (std::vector<std::string>{"<</?s", "=R1/$1.5/*2/(CAFFE)", "=R1/$3/(CORNETTO)",
                                      "=T1/$10", "<</?s", "<</?s"}));
  EXPECT_NE(ReadText(root("paper.txt")).find("CORNETTO"), std::string::npos);
  EXPECT_TRUE(server.Printed("lblNumero: " + std::to_string(number)));
}

TEST_F(EndToEndTest, DataRequestAnswersGoIntoTheOkFileWhenAsked) {
  StartSim({"--clock", "06122026183000"});
  WriteSettings("DumpAnswers=1\r\n");
  StartServer(server);
  Drop("Ask.txt", "<</?d\r\n<</?0\r\n");
  ASSERT_TRUE(WaitFor([&] { return !Log().empty(); }, kWaitMs));
  const std::vector<std::string> lines = ReadLines(input() + "Ask.OK");
  ASSERT_EQ(lines.size(), 3u) << ReadText(input() + "Ask.OK");
  EXPECT_TRUE(MatchesLine(lines[0] + "\r\n", R"(;Dump=06/12/26 18:30:\d\d)")) << lines[0];
  EXPECT_TRUE(MatchesLine(lines[1] + "\r\n", ";Dump=VS00000001")) << lines[1];
  EXPECT_TRUE(MatchesLine(lines[2] + "\r\n", ";Dump=\\d{4}")) << lines[2];
}

TEST_F(EndToEndTest, ThirdOfFiveLinesTimesOut) {
  // Each answer comes 200 ms after its ACK, time enough to have the third frame refused. The
  // receipt left open is not cancelled here: the failure's own log line is what is checked.
  StartSim({"--pause", "200"});
  WriteSettings("CancelReceiptOnFailure=0\r\n");
  StartServer(server);
  const std::string content =
      "=R1/$1/(UNO)\r\n=R1/$2/(DUE)\r\n=R1/$3/(TRE)\r\n=R1/$4/(QUATTRO)\r\n"
      "=T1/$10\r\n";
  Drop("Sale002.txt", content);
  // The job's receipt status request, then its first two lines.
  ASSERT_TRUE(WaitFor([&] { return SentCommands().size() >= 3; }, kWaitMs));
  Channel("nack 3");  // the next three frames: the third line's transmissions
  ASSERT_TRUE(WaitForFile("Sale002.KO"));

  EXPECT_EQ(ReadText(input() + "Sale002.KO"), "Error=112;Errore generico;Row 3;=R1/$3/(TRE)\r\n");
  EXPECT_TRUE(MatchesLine(Log(), R"(;Error=112;Errore generico;Row 3;=R1/\$3/\(TRE\))")) << Log();
  EXPECT_FALSE(Exists("Sale002.txt"));
  const std::vector<std::string> unsent = TempProgramFolder::Names(folder.path("UNSENT"));
  ASSERT_EQ(unsent.size(), 1u);
  EXPECT_TRUE(std::regex_match(unsent[0], std::regex(R"(\d{12}Sale002\.txt)"))) << unsent[0];
  EXPECT_EQ(ReadText(folder.path("UNSENT/") + unsent[0]), content);
  for (const std::string& sent : SentCommands()) {
    EXPECT_EQ(sent.find("QUATTRO"), std::string::npos);
    EXPECT_NE(sent, "=T1/$10");
  }
  EXPECT_TRUE(server.Printed("lblErrore: Errore generico"));
  EXPECT_TRUE(server.Printed("tray icon: error"));
}

TEST_F(EndToEndTest, DataFileHoldsTheLastDataJobOnly) {
  StartSim();
  WriteSettings();
  StartServer(server);
  const std::string data_file = folder.path("ODATA/TMVVelkaData.OUT");
  Drop("a.txt", "=R1/$1/(PANE)\r\n=T1/$1\r\n<</?m\r\n");
  ASSERT_TRUE(WaitForFile("a.OK"));
  const std::vector<std::string> first = ReadLines(data_file);
  ASSERT_FALSE(first.empty());
  EXPECT_TRUE(first.front().starts_with("GI.EL.")) << first.front();

  Drop("b.txt", "=R1/$2/(LATTE)\r\n=T1/$2\r\n<</?m\r\n");
  ASSERT_TRUE(WaitForFile("b.OK"));
  const std::vector<std::string> second = ReadLines(data_file);
  EXPECT_EQ(std::count_if(second.begin(), second.end(),
                          [](const std::string& l) { return l.starts_with("GI.EL."); }),
            1);
  EXPECT_GT(second.size(), first.size());
  EXPECT_NE(ReadText(data_file).find("LATTE"), std::string::npos);
}

TEST_F(EndToEndTest, StopLineFinishesTheJobRunsTheStopFileAndExits) {
  StartSim();
  WriteSettings();
  TempProgramFolder::WriteFile(folder.path("Stop.txt"), "<</?d\r\n");
  StartServer(server);
  Drop("last.txt", "=R1/$1/(ACQUA)\r\n=T1/$1\r\nSTOP\r\n");
  const std::optional<int> status = server.WaitExit(kWaitMs);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(*status, 0);
  EXPECT_TRUE(Exists("last.OK"));
  EXPECT_FALSE(Exists("last.txt"));
  // The job's line, then the stop file's.
  EXPECT_TRUE(
      std::regex_match(Log(), std::regex(R"((\d\d/\d\d/\d{4} \d\d:\d\d;Ticket=\d+\r\n){2})")))
      << Log();
  const std::vector<std::string> sent = SentCommands();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.back(), "<</?s");  // the stop file's own status requests come last
  EXPECT_NE(std::find(sent.begin(), sent.end(), "<</?d"), sent.end());
  EXPECT_TRUE(TempProgramFolder::Exists(folder.path("Stop.OK")));
  EXPECT_TRUE(server.Printed("tray: hidden"));
}

TEST_F(EndToEndTest, SignalRunsTheNormalShutdown) {
  StartSim();
  WriteSettings();
  TempProgramFolder::WriteFile(folder.path("Stop.txt"), "<</?d\r\n");
  StartServer(server);
  server.Signal(SIGTERM);
  const std::optional<int> status = server.WaitExit(kWaitMs);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(*status, 0);
  EXPECT_EQ(SentCommands().front(), "<</?d");
  EXPECT_TRUE(TempProgramFolder::Exists(folder.path("Stop.OK")));
}

TEST_F(EndToEndTest, SameNameTwiceReplacesTheEarlierResult) {
  StartSim();
  WriteSettings();
  StartServer(server);
  Channel("error 19 2");  // the job's receipt status request, then its line
  ASSERT_TRUE(
      WaitFor([&] { return ReadText(root("sim.out")).find("ok") != std::string::npos; }, kWaitMs));
  Drop("Sale.txt", "=R1/$1/(X)\r\n");
  ASSERT_TRUE(WaitForFile("Sale.KO"));
  EXPECT_EQ(ReadText(input() + "Sale.KO"),
            "Error=114;Errore generico;Row 1;=R1/$1/(X);Err.Esteso=19\r\n");
  Drop("Sale.txt", "=R1/$1/(X)\r\n=T1/$1\r\n");
  ASSERT_TRUE(WaitForFile("Sale.OK"));
  EXPECT_FALSE(Exists("Sale.KO"));
}

// A job that fails half way through its receipt cancels the receipt, so that the next job's
// sale lands in a receipt of its own.
TEST_F(EndToEndTest, FailedJobCancelsItsReceiptForTheNextJob) {
  StartSim({"--record", root("record.txt")});
  WriteSettings();
  StartServer(server);
  Drop("a.txt", "=R1/$1/(UNO)\r\n=R9/$1/(BAD VAT)\r\n=T1\r\n");
  ASSERT_TRUE(WaitForFile("a.KO"));
  EXPECT_EQ(ReadText(input() + "a.KO"),
            "Error=114;Errore generico;Row 2;=R9/$1/(BAD VAT);Err.Esteso=37\r\n");
  Drop("b.txt", "=R1/$2/(DUE)\r\n=T1\r\n");
  ASSERT_TRUE(WaitForFile("b.OK"));
  ASSERT_TRUE(WaitFor([&] { return Log().find("Ticket=") != std::string::npos; }, kWaitMs));
  EXPECT_TRUE(MatchesLine(Log().substr(0, Log().find("\r\n") + 2), ";Cancel=0;a\\.txt")) << Log();
  EXPECT_EQ(ReadLines(root("record.txt")),
            (std::vector<std::string>{
                "exec <</?s", "exec =R1/$1/(UNO)", "refuse 37 =R9/$1/(BAD VAT)", "exec <</?s",
                "exec =k", "receipt 0001 cancelled", "exec <</?s", "exec =R1/$2/(DUE)", "exec =T1",
                "receipt 0002 closed", "exec <</?s", "exec <</?s"}));
}

// A server killed right after a frame, whose next control starts with the digit of that frame
// (its unflushed PackID lost, as after a power cut): the register takes that frame for a
// retransmission and answers it without carrying it out. The restarted server spends that frame
// on a status request, so the next job's first line is carried out.
TEST_F(EndToEndTest, RepeatedSequenceDigitAfterACrashSwallowsNoJobLine) {
  StartSim({"--record", root("record.txt")});
  WriteSettings();
  StartServer(server);
  Drop("one.txt", ">>/?H/$1/(PRIMA)\r\n");
  ASSERT_TRUE(WaitFor([&] { return Log().find("Ticket=") != std::string::npos; }, kWaitMs));
  server.Signal(SIGKILL);
  server.WaitExit(kWaitMs);

  // The digit each frame takes is kept: the next frame would not repeat the last one.
  const std::string kept = folder.root() + "/config/TMV SPA/VELKA.PACKID.value";
  const char last = LastSequenceDigit();
  const char next = last == '9' ? '0' : static_cast<char>(last + 1);
  EXPECT_EQ(ReadText(kept).substr(16, 3), std::string(" ") + next + " ") << ReadText(kept);
  std::filesystem::remove(kept);
  TempProgramFolder::WriteFile(folder.root() + "/config/TMV SPA/settings.ini",
                               std::string("[VELKA]\r\nPackID=") + last + "\r\n");

  ChildProcess restarted;
  StartServer(restarted, "restarted");
  Drop("two.txt", ">>/?H/$1/(SECONDA)\r\n");
  ASSERT_TRUE(WaitForFile("two.OK"));
  const std::vector<std::string> record = ReadLines(root("record.txt"));
  EXPECT_NE(std::find(record.begin(), record.end(), "exec >>/?H/$1/(SECONDA)"), record.end());
  EXPECT_NE(ReadText(root("sim.log")).find("repeated sequence digit: answered again"),
            std::string::npos);
  restarted.Signal(SIGTERM);
  EXPECT_EQ(restarted.WaitExit(kWaitMs), 0);
}

TEST_F(EndToEndTest, SecondServerInTheSameFolderIsRefused) {
  StartSim();
  WriteSettings();
  StartServer(server);
  ChildProcess second;
  ASSERT_TRUE(second.Start({VELKA_SERVER_EXE}, root("second.out"), root("second.err")));
  const std::optional<int> status = second.WaitExit(kWaitMs);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(*status, 2);
  EXPECT_EQ(ReadText(root("second.err")), "Questo programma \xC3\xA8 gi\xC3\xA0 stato caricato.\n");
  EXPECT_TRUE(server.running());
  EXPECT_FALSE(server.WaitExit(0).has_value());
}

TEST_F(EndToEndTest, LowerCaseStopIsSentAsACommand) {
  StartSim();
  WriteSettings();
  StartServer(server);
  Drop("s.txt", "stop\r\n");
  ASSERT_TRUE(WaitFor([&] { return Exists("s.KO") || Exists("s.OK"); }, kWaitMs));
  EXPECT_EQ(SentCommands().front(), "stop");
  EXPECT_FALSE(server.WaitExit(200).has_value());
}

TEST_F(EndToEndTest, EnglishTexts) {
  StartSim();
  WriteSettings("Language=English\r\n");
  StartServer(server);
  EXPECT_TRUE(server.Printed("lblStato: Idle"));
  EXPECT_TRUE(server.Printed("Frame1: Cash Register VELKA on COM1"));
  EXPECT_TRUE(server.Printed("MNU_FILE_ESCI: Exit"));
  Drop("e.txt", "=Q\r\n");  // not a register command
  ASSERT_TRUE(WaitForFile("e.KO"));
  EXPECT_TRUE(std::regex_match(ReadText(input() + "e.KO"),
                               std::regex(R"(Error=114;;Row 1;=Q;Err\.Esteso=\d+\r\n)")))
      << ReadText(input() + "e.KO");
}

TEST_F(EndToEndTest, ControlThatCannotOpenItsPortGives551) {
  WriteSettings("", "0");
  ChildProcess refused;
  ASSERT_TRUE(refused.Start({VELKA_SERVER_EXE}, root("refused.out"), root("refused.err")));
  const std::optional<int> status = refused.WaitExit(kWaitMs);
  ASSERT_TRUE(status.has_value()) << ReadText(root("refused.out")) << ReadText(root("refused.err"));
  EXPECT_EQ(*status, 3);
  EXPECT_TRUE(ReadText(root("refused.err"))
                  .starts_with("Impossibile caricare il programma gestione cassa.\n"));
}

// Start-up failures say why, after message 551, on standard error and in the log.
class StartFailureTest : public EndToEndTest {
 protected:
  // Runs a server that must fail to start; its standard error.
  std::string Refused() {
    ChildProcess refused;
    EXPECT_TRUE(refused.Start({VELKA_SERVER_EXE}, root("refused.out"), root("refused.err")));
    const std::optional<int> status = refused.WaitExit(kWaitMs);
    EXPECT_EQ(status, std::optional<int>(3)) << ReadText(root("refused.err"));
    return ReadText(root("refused.err"));
  }
  void LinkPort(const std::string& device) {
    std::filesystem::create_directories(ports);
    std::filesystem::create_symlink(device, ports + "/com1");
  }
  static std::string OwnName() {
    const std::vector<std::string> comm = ReadLines("/proc/self/comm");
    return comm.empty() ? "" : comm.front();
  }

  const std::string ports = folder.at("config") + "/TMV SPA/ports";
  const std::string cannot = "Impossibile caricare il programma gestione cassa.";
};

TEST_F(StartFailureTest, LinkToAMissingDeviceSaysWhichLinkAndWhere) {
  LinkPort(root("usb-adapter-unplugged"));
  WriteSettings();
  const std::string detail = "COM1: il collegamento " + ports + "/com1 punta a " +
                             root("usb-adapter-unplugged") + ", che non esiste.";
  EXPECT_EQ(Refused(), cannot + "\n" + detail + "\n");
  EXPECT_TRUE(MatchesLine(Log(), ";" + cannot + ";" + Utf8ToSingleByte(detail))) << Log();
}

TEST_F(StartFailureTest, DeviceHeldByAnotherProgramNamesItsProcess) {
  PseudoTerminal line;
  ASSERT_TRUE(line.ok()) << line.error();
  PollEventLoop loop;
  PosixSerialPort holder(loop);  // this test is the other program
  ASSERT_TRUE(holder.openDevice(line.slavePath(), 9600)) << holder.lastError();
  LinkPort(line.slavePath());
  WriteSettings("Language=English\r\n");
  EXPECT_EQ(Refused(), cannot + "\nCOM1: " + line.slavePath() +
                           " is in use by another program (process " + std::to_string(::getpid()) +
                           " (" + OwnName() + ")).\n");
}

TEST_F(StartFailureTest, NoDeviceAtAllNamesTheFoldersToLinkIt) {
  WriteSettings("Language=English\r\n", "999");
  EXPECT_EQ(Refused(), cannot +
                           "\nCOM999: the device /dev/ttyS998 does not exist (no link com999 in " +
                           ports + ", " + folder.systemConfig() + "/TMV SPA/ports).\n");
}

// --help and --version start nothing; any other argument is refused with status 64.
TEST_F(EndToEndTest, CommandLine) {
  const struct {
    std::string argument;
    int status;
    std::string out_starts;
    std::string err;
  } rows[] = {
      {"--help", 0, "usage: VelkaDriverServer [--help | --version]\n", ""},
      {"--version", 0, "VelkaDriverServer 1.0.0.10\n", ""},
      {"--port=1", 64, "",
       "VelkaDriverServer: unexpected argument --port=1\n"
       "usage: VelkaDriverServer [--help | --version]\n"},
  };
  for (const auto& row : rows) {
    ChildProcess program;
    ASSERT_TRUE(program.Start({VELKA_SERVER_EXE, row.argument}, root("cl.out"), root("cl.err")));
    EXPECT_EQ(program.WaitExit(kWaitMs), std::optional<int>(row.status)) << row.argument;
    EXPECT_TRUE(ReadText(root("cl.out")).starts_with(row.out_starts)) << row.argument;
    EXPECT_EQ(ReadText(root("cl.err")), row.err) << row.argument;
    // Nothing started: no folders, no lock, no log.
    EXPECT_TRUE(TempProgramFolder::Names(folder.home()).empty()) << row.argument;
  }
}

}  // namespace
}  // namespace velka::server

#endif
