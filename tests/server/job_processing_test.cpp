// The job protocol end to end inside the server, with the fake control: result files, log
// lines, unsent copies, special lines, limits and files that misbehave.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "server/jobs/command_file.h"
#include "tests/server/job_server_fixture.h"

namespace velka::server {
namespace {

using testing::JobServerTest;
using testing::TempProgramFolder;

constexpr char kStamp[] = "06/12/2006 18:30";

TEST_F(JobServerTest, SuccessfulJobWritesDumpAndTicket) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  Job("Sale017.txt", "=K\r\n=R1/$100/(Pane)\r\n=T1\r\n");
  server->Tick();

  EXPECT_EQ(control->sent, (std::vector<std::string>{"=K", "=R1/$100/(Pane)", "=T1"}));
  EXPECT_EQ(InInput("Sale017.OK"), std::string(kStamp) + ";Dump=0042\r\n");
  EXPECT_EQ(Log(), std::string(kStamp) + ";Ticket=1234\r\n");
  EXPECT_FALSE(ExistsInInput("Sale017.txt"));
  EXPECT_FALSE(ExistsInInput("Sale017.KO"));
  EXPECT_EQ(view.last("lblNumero"), "1.234");
  EXPECT_EQ(view.last("lblOra"), "18:30:15");
  EXPECT_EQ(view.last("lblErrore"), "");
  // Rows are the DirectIO commands; a job with receipt lines asks for the receipt status
  // before them (for its journal), and two status requests follow the job.
  EXPECT_TRUE(
      std::count(control->calls.begin(), control->calls.end(), "DirectIO 2 =R1/$100/(Pane)"));
  EXPECT_EQ(std::count(control->calls.begin(), control->calls.end(), "DirectIO2 <</?s"), 3);
}

TEST_F(JobServerTest, FailingLineStopsTheJobAndIsReported) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  script = [](const std::string& line) { return line == "=T1" ? Fail(112) : Reply{}; };
  const std::string content = "=K\r\n=R1/$100\r\n=T1\r\n=R2/$5\r\n=C1\r\n";
  Job("Sale017.txt", content);
  server->Tick();

  EXPECT_EQ(control->sent, (std::vector<std::string>{"=K", "=R1/$100", "=T1"}));
  EXPECT_EQ(InInput("Sale017.KO"), "Error=112;Errore generico;Row 3;=T1\r\n");
  EXPECT_EQ(Log(), std::string(kStamp) + ";Error=112;Errore generico;Row 3;=T1\r\n");
  EXPECT_FALSE(ExistsInInput("Sale017.txt"));
  EXPECT_FALSE(ExistsInInput("Sale017.OK"));
  EXPECT_EQ(TempProgramFolder::ReadFile(unsent() + "200612061830Sale017.txt"), content);
  EXPECT_EQ(view.last("lblErrore"), "Errore generico");
  EXPECT_EQ(view.last("tray icon"), "error");
  EXPECT_EQ(view.last("tray tooltip"), "Errore generico");
  EXPECT_TRUE(view.saw("window: brought to front"));
  // The status before the job and the one that judges the time-out; none of a success.
  EXPECT_EQ(std::count(control->calls.begin(), control->calls.end(), "DirectIO2 <</?s"), 2);
}

TEST_F(JobServerTest, FailureLinesByResultCodeAndLanguage) {
  const struct {
    const char* language;
    std::int32_t code;
    std::int32_t extended;
    const char* ko;
    const char* lblErrore;
  } rows[] = {
      {"Italiano", 114, 17, "Error=114;Errore generico;Row 1;=K;Err.Esteso=17", "Errore generico"},
      {"Italiano", 1, 0, "Error=1;Non trovato;Row 1;=K", "Non trovato"},
      {"Italiano", 999, 0, "Error=999;Errore generico;Row 1;=K", ""},  // falls back to text 70
      {"English", 112, 0, "Error=112;;Row 1;=K", ""},
      {"English", 114, 201, "Error=114;;Row 1;=K;Err.Esteso=201", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.language) + " " + std::to_string(row.code));
    server.reset();
    WriteSettings(std::string("Language=") + row.language + "\r\n");
    ASSERT_EQ(Start(), JobServer::StartResult::Running);
    std::filesystem::remove(input() + "VelkaDriverServer.LOG");
    const std::int32_t code = row.code, extended = row.extended;
    // The cover-open condition is retried; let the first retry clear it.
    int calls = 0;
    script = [&](const std::string&) { return ++calls == 1 ? Fail(code, extended) : Reply{}; };
    if (row.extended == 201) {
      script = [&](const std::string&) { return Fail(code, extended); };
    }
    Job("j.txt", "=K\r\n");
    server->Tick();
    EXPECT_EQ(InInput("j.KO"), std::string(row.ko) + "\r\n");
    EXPECT_EQ(Log().substr(Log().rfind(kStamp)), std::string(kStamp) + ";" + row.ko + "\r\n");
    EXPECT_EQ(view.last("lblErrore"), row.lblErrore);
  }
}

TEST_F(JobServerTest, EmptyAndBlankFilesSucceedWithoutSending) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  Job("empty.txt", "");
  Job("blank.txt", "\r\n   \r\n\r\n");
  server->Tick();
  EXPECT_TRUE(control->sent.empty());
  EXPECT_EQ(InInput("empty.OK"), std::string(kStamp) + ";Dump=0042\r\n");
  EXPECT_EQ(InInput("blank.OK"), std::string(kStamp) + ";Dump=0042\r\n");
  EXPECT_EQ(std::count(control->calls.begin(), control->calls.end(), "DirectIO2 <</?s"), 4);
}

TEST_F(JobServerTest, OnlyAnExactStopLineIsNotSent) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  Job("s.txt", "stop\r\nSTOP \r\n STOP\r\n");
  server->Tick();
  EXPECT_EQ(control->sent, (std::vector<std::string>{"stop", "STOP ", " STOP"}));
  EXPECT_FALSE(server->closeRequested());
}

TEST_F(JobServerTest, StopLineFinishesTheJobThenAsksForTheShutdown) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  TempProgramFolder::WriteFile(folder.path("Stop.txt"), "=C\r\n");
  Job("a.txt", "");
  Job("b.txt", "");
  // The file the folder lists first asks for the shutdown; the other waits for the next run.
  const std::string first = std::filesystem::directory_iterator(input())->path().filename();
  const std::string second = first == "a.txt" ? "b.txt" : "a.txt";
  Job(first, "=K\r\nSTOP\r\n=T1\r\n");
  Job(second, "=X\r\n");
  server->Tick();

  EXPECT_EQ(control->sent, (std::vector<std::string>{"=K", "=T1"}));
  EXPECT_TRUE(ExistsInInput(first.substr(0, 1) + ".OK"));
  EXPECT_FALSE(ExistsInInput(first));
  EXPECT_TRUE(ExistsInInput(second));
  EXPECT_EQ(Log(), std::string(kStamp) + ";Ticket=1234\r\n");
  EXPECT_TRUE(server->closeRequested());
  EXPECT_TRUE(view.saw("window: close requested"));
  EXPECT_FALSE(server->tmrFile().isActive());

  server->Shutdown();
  EXPECT_EQ(control->sent.back(), "=C");
  EXPECT_EQ(control->calls.back(), "TMVClose");
  EXPECT_TRUE(TempProgramFolder::Exists(folder.path("Stop.OK")));
  EXPECT_TRUE(TempProgramFolder::Exists(folder.path("Stop.txt")));
}

TEST_F(JobServerTest, OldResultsAreRemovedBeforeTheFirstLine) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  Job("Sale.OK", "old\r\n");
  Job("Sale.KO", "old\r\n");
  bool old_results_seen = true;
  script = [&](const std::string&) {
    old_results_seen = ExistsInInput("Sale.OK") || ExistsInInput("Sale.KO");
    return Reply{};
  };
  Job("Sale.txt", "=K\r\n");
  server->Tick();
  EXPECT_FALSE(old_results_seen);
  EXPECT_EQ(InInput("Sale.OK"), std::string(kStamp) + ";Dump=0042\r\n");
}

TEST_F(JobServerTest, NameWithTwoExtensionsAndTheSameNameTwice) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  script = [](const std::string& line) { return line == "bad" ? Fail(112) : Reply{}; };
  Job("Sale.TXT.TXT", "bad\r\n");
  server->Tick();
  EXPECT_TRUE(ExistsInInput("Sale.KO"));
  Job("Sale.TXT.TXT", "good\r\n");
  server->Tick();
  EXPECT_FALSE(ExistsInInput("Sale.KO"));
  EXPECT_TRUE(ExistsInInput("Sale.OK"));
}

TEST_F(JobServerTest, TwoFailuresOfOneNameInAMinuteLeaveTheLaterCopy) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  script = [](const std::string&) { return Fail(112); };
  Job("Sale017.txt", "first\r\n");
  server->Tick();
  Job("Sale017.txt", "second\r\n");
  server->Tick();
  EXPECT_EQ(TempProgramFolder::Names(unsent()),
            (std::vector<std::string>{"200612061830Sale017.txt"}));
  EXPECT_EQ(TempProgramFolder::ReadFile(unsent() + "200612061830Sale017.txt"), "second\r\n");
}

TEST_F(JobServerTest, UnsentCopyInTheInputFolderIsNotTakenAsAJob) {
  WriteSettings("DirectoryOutput=TOSEND\r\n");
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  script = [](const std::string&) { return Fail(112); };
  Job("Sale017.txt", "=K\r\n");
  server->Tick();
  server->Tick();
  EXPECT_EQ(control->sent, (std::vector<std::string>{"=K"}));
  EXPECT_EQ(InInput("200612061830Sale017.txt.unsent"), "=K\r\n");
}

TEST_F(JobServerTest, AllWaitingFilesAreTakenInOneTickInFolderOrder) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  for (const char* name : {"one.txt", "two.TXT", "three.Txt", "notes.md"}) Job(name, name);
  std::vector<std::string> listed;
  for (auto& entry : std::filesystem::directory_iterator(input())) {
    const std::string name = entry.path().filename().string();
    if (name != "notes.md") listed.push_back(name);
  }
  server->Tick();
  EXPECT_EQ(control->sent, listed);  // each file's one line is its own name
  EXPECT_TRUE(ExistsInInput("notes.md"));
}

TEST_F(JobServerTest, LogIsEmptiedOnceLargerThanItsLimit) {
  WriteSettings("MaxLogDimension=1\r\n");
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  Job("VelkaDriverServer.LOG", std::string(1024, 'x'));  // at the limit: kept
  Job("a.txt", "=K\r\n");
  server->Tick();
  EXPECT_EQ(Log(), std::string(1024, 'x') + kStamp + ";Ticket=1234\r\n");
  Job("b.txt", "=K\r\n");
  server->Tick();
  EXPECT_EQ(Log(), std::string(kStamp) + ";Ticket=1234\r\n");
}

TEST_F(JobServerTest, ReadOnlyJobIsNeverSentTwice) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  const std::string path = Job("ro.txt", "=K\r\n");
  ::chmod(path.c_str(), 0444);
  server->Tick();
  server->Tick();
  server->Tick();
  EXPECT_EQ(control->sent, (std::vector<std::string>{"=K"}));
  EXPECT_TRUE(ExistsInInput("ro.txt"));
  EXPECT_EQ(Log(), std::string(kStamp) + ";Ticket=1234\r\n");

  // Written anew by the point-of-sale program: a new job.
  ::chmod(path.c_str(), 0644);
  TempProgramFolder::WriteFile(path, "=C\r\n");
  server->Tick();
  EXPECT_EQ(control->sent, (std::vector<std::string>{"=K", "=C"}));
  EXPECT_FALSE(ExistsInInput("ro.txt"));
}

TEST_F(JobServerTest, MissingUnreadableAndOversizedFiles) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  // Gone before it was read: nothing at all.
  server->processor().ProcessCommandFile(input() + "gone.txt", true);
  EXPECT_FALSE(ExistsInInput("gone.KO"));
  EXPECT_EQ(Log(), "");

  // Exists but cannot be read: failed before anything is sent, and kept.
  std::filesystem::create_directories(input() + "odd.txt");
  JobOutcome outcome = server->processor().ProcessCommandFile(input() + "odd.txt", true);
  EXPECT_FALSE(outcome.kept.has_value());  // not a regular file: never a job anyway
  EXPECT_EQ(InInput("odd.KO"), "Error=106;Errore generico;Row 0;\r\n");
  EXPECT_TRUE(ExistsInInput("odd.txt"));

  // Too large: refused as a whole, copied aside and removed.
  Job("huge.txt", std::string(kMaxCommandFileBytes + 10, 'A'));
  server->Tick();
  EXPECT_TRUE(control->sent.empty());
  EXPECT_EQ(InInput("huge.KO"), "Error=106;Errore generico;Row 0;\r\n");
  EXPECT_FALSE(ExistsInInput("huge.txt"));
  EXPECT_EQ(TempProgramFolder::Names(unsent()), (std::vector<std::string>{"200612061830huge.txt"}));
}

TEST_F(JobServerTest, OverlongLineFailsTheJobAtItsRow) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  const std::string longline(kMaxCommandLineLength + 1, 'Z');
  Job("l.txt", "=K\r\n" + longline + "\r\n=T1\r\n");
  server->Tick();
  EXPECT_EQ(control->sent, (std::vector<std::string>{"=K"}));
  EXPECT_EQ(InInput("l.KO"), "Error=106;Errore generico;Row 2;" +
                                 longline.substr(0, kMaxCommandLineLength) + "\r\n");
}

// The register holds a line while its cover is open and carries it out once the cover is
// closed: the server never sends it again. The control has waited OperatorWaitMinutes already
// when it gives up.
TEST_F(JobServerTest, LineHeldForTheOperatorIsNeverSentAgain) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  script = [&](const std::string& line) { return line == "=R1" ? Fail(114, 201) : Reply{}; };
  control->status_answer = "010000010012";  // the cover is still open
  Job("c.txt", "=K\r\n=R1\r\n=T1\r\n");
  server->Tick();
  EXPECT_EQ(control->sent, (std::vector<std::string>{"=K", "=R1"}));
  // It may still print: the application has to look at the register.
  EXPECT_EQ(InInput("c.KO"),
            "Error=120;Esito sconosciuto: controllare il registratore;Row 2;=R1\r\n");
  EXPECT_EQ(Log(), std::string(kStamp) +
                       ";Error=120;Esito sconosciuto: controllare il registratore;Row 2;=R1\r\n");
}

TEST_F(JobServerTest, CoverOpenReportedByARegisterNoLongerHoldingTheLineStaysA114) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  script = [](const std::string&) { return Fail(114, 201); };
  Job("c.txt", "=K\r\n=T1\r\n");
  server->Tick();
  EXPECT_EQ(control->sent.size(), 1u);
  EXPECT_EQ(InInput("c.KO"), "Error=114;Errore generico;Row 1;=K;Err.Esteso=201\r\n");
}

TEST_F(JobServerTest, OtherExtendedErrorsAreNotRetried) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  script = [](const std::string&) { return Fail(114, 203); };
  Job("p.txt", "=K\r\n");
  server->Tick();
  EXPECT_EQ(control->sent.size(), 1u);
  EXPECT_EQ(InInput("p.KO"), "Error=114;Errore generico;Row 1;=K;Err.Esteso=203\r\n");
}

TEST_F(JobServerTest, FailedStatusRequestStillLeavesAnOkFile) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  control->status_result = 112;
  Job("s.txt", "=K\r\n");
  server->Tick();
  EXPECT_EQ(InInput("s.OK"), std::string(kStamp) + ";Dump=\r\n");
  EXPECT_EQ(Log(), std::string(kStamp) + ";Ticket=0\r\n");
  EXPECT_EQ(view.last("lblNumero"), "0");
}

TEST_F(JobServerTest, UnwritableLogAndResultFilesLoseOnlyThemselves) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  std::filesystem::create_directories(input() + "VelkaDriverServer.LOG");  // cannot be a file
  Job("a.txt", "=K\r\n");
  server->Tick();
  EXPECT_EQ(InInput("a.OK"), std::string(kStamp) + ";Dump=0042\r\n");
  EXPECT_FALSE(ExistsInInput("a.txt"));

  std::filesystem::remove(input() + "VelkaDriverServer.LOG");
  std::filesystem::create_directories(input() + "b.KO/x");  // neither removed nor replaced
  script = [](const std::string&) { return Fail(112); };
  Job("b.txt", "=K\r\n");
  server->Tick();
  EXPECT_EQ(Log(), std::string(kStamp) + ";Error=112;Errore generico;Row 1;=K\r\n");
  EXPECT_FALSE(ExistsInInput("b.txt"));
}

TEST_F(JobServerTest, NoTemporaryFileIsLeftBehind) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  Job("a.txt", "=K\r\n");
  server->Tick();
  std::int32_t pData = 1;
  std::string pString = "ABCD";
  server->DirectIOEvent(0, pData, pString);
  EXPECT_EQ(TempProgramFolder::Names(input()),
            (std::vector<std::string>{"VelkaDriverServer.LOG", "a.OK"}));
}

TEST_F(JobServerTest, DirectIOEventWithPositiveDataAppendsToTheCurrentResult) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  Job("a.txt", "=K\r\n");
  server->Tick();
  std::int32_t pData = 0;
  std::string pString = "IGNORED";
  server->DirectIOEvent(7, pData, pString);
  pData = 3;
  pString = "EXTRA";
  server->DirectIOEvent(7, pData, pString);
  pString = "   ";
  server->DirectIOEvent(7, pData, pString);
  EXPECT_EQ(InInput("a.OK"), std::string(kStamp) + ";Dump=0042\r\n" + kStamp + ";Dump=EXTRA\r\n");
}

}  // namespace
}  // namespace velka::server
