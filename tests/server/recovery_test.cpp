// Recovery at start-up, with the fake control: a journal left by a server that died in the
// middle of a job, the job's file, and the register's status now decide what the new server
// sends and reports.
#include <gtest/gtest.h>

#include "automation/result_codes.h"
#include "server/jobs/job_journal.h"
#include "tests/server/job_server_fixture.h"

namespace velka::server {
namespace {

using testing::JobServerTest;
using testing::TempProgramFolder;

constexpr char kStamp[] = "06/12/2006 18:30";
constexpr char kUnknown[] = "Error=120;Esito sconosciuto: controllare il registratore;Row ";

std::string Status(int document, int number) {
  return testing::ReceiptStatusAnswer(document, number);
}

const std::vector<std::string> kReceipt = {"=C1", "=R1/$1/(A)", "=R1/$2/(B)", "=T1/$10"};
const std::vector<std::string> kReport = {"=C2", "=C10", "=C1"};

class RecoveryTest : public JobServerTest {
 protected:
  struct Case {
    const char* name = "";
    std::vector<std::string> lines = {};
    std::string status_before = {};  // N0 and D0
    std::int32_t answered = 0;
    std::int32_t in_flight = 0;
    std::vector<std::optional<std::string>> register_now = {};  // the first requests' answers
    std::vector<std::string> sent = {};                         // DirectIO lines of the new run
    std::string result = {};                                    // "OK" or the ".KO" line
    bool cancel_logged = false;
    bool file_gone = false;
    std::function<void(JobRecord&)> more = {};  // anything else in the journal
  };

  // Leaves what a server killed in the middle of the job leaves: its journal and the job file.
  void LeaveInterruptedJob(const Case& c) {
    const std::string input = folder.path("TOSEND/");
    const std::string path = input + "Sale.txt";
    std::string content;
    for (const std::string& line : c.lines) content += line + "\r\n";
    TempProgramFolder::WriteFile(path, content);
    JobRecord record;
    record.job = IdentityOfJob(path, *EntryIdentityOf(path), content);
    record.base = input + "Sale";
    record.status_before = c.status_before;
    record.last_row = static_cast<std::int32_t>(c.lines.size());
    record.answered = c.answered;
    record.in_flight = c.in_flight;
    if (c.answered < static_cast<std::int32_t>(c.lines.size())) {
      record.next_line = c.lines[static_cast<std::size_t>(c.answered)];
    }
    if (c.more) c.more(record);
    JournalState state;
    state.job = record;
    state.clean = false;
    TempProgramFolder::WriteFile(folder.path("VelkaDriverServer.journal"), FormatJournal(state));
    if (c.file_gone) std::filesystem::remove(path);
  }

  void Check(const Case& c) {
    SCOPED_TRACE(c.name);
    server.reset();
    std::filesystem::remove_all(folder.home());
    std::filesystem::create_directories(folder.home());
    LeaveInterruptedJob(c);
    prepare = [&](testing::FakeRegisterControl& made) {
      made.status_answers.assign(c.register_now.begin(), c.register_now.end());
    };
    script = [](const std::string& line) { return line == "=k" ? Fail(114, 7) : Reply{}; };
    if (c.cancel_logged) script = nullptr;
    ASSERT_EQ(Start(), JobServer::StartResult::Running);
    EXPECT_EQ(control->sent, c.sent);
    if (c.result == "OK") {
      EXPECT_EQ(InInput("Sale.OK"), std::string(kStamp) + ";Dump=0042\r\n");
      EXPECT_FALSE(ExistsInInput("Sale.KO"));
    } else {
      EXPECT_EQ(InInput("Sale.KO"), c.result + "\r\n");
    }
    EXPECT_FALSE(ExistsInInput("Sale.txt"));
    EXPECT_EQ(Log().find(std::string(kStamp) + ";Cancel=0;Sale.txt\r\n") != std::string::npos,
              c.cancel_logged);
    // The journal holds no job any more.
    JobJournal journal(folder.path("VelkaDriverServer.journal"));
    ASSERT_TRUE(journal.Load());
    EXPECT_FALSE(journal.state().job.has_value());
  }
};

TEST_F(RecoveryTest, ReceiptJob) {
  const std::string before = Status(0, 41);
  const Case cases[] = {
      {.name = "receipt closed: done, nothing sent again",
       .lines = kReceipt,
       .status_before = before,
       .answered = 2,
       .register_now = {Status(0, 42)},
       .result = "OK"},
      {.name = "receipt still open: cancelled, sent again from the first line",
       .lines = kReceipt,
       .status_before = before,
       .answered = 2,
       .register_now = {Status(1, 41), Status(0, 42)},
       .sent = {"=k", "=C1", "=R1/$1/(A)", "=R1/$2/(B)", "=T1/$10"},
       .result = "OK",
       .cancel_logged = true},
      {.name = "receipt still open: sent again after a line that cannot be",
       .lines = {"=K", "=R1/$1/(A)", "=T1/$10"},
       .status_before = before,
       .answered = 2,
       .register_now = {Status(1, 41), Status(0, 42)},
       .sent = {"=k", "=R1/$1/(A)", "=T1/$10"},
       .result = "OK",
       .cancel_logged = true},
      {.name = "payment begun: the cancel is refused, the outcome unknown",
       .lines = kReceipt,
       .status_before = before,
       .answered = 3,
       .register_now = {Status(2, 41), Status(2, 41)},
       .sent = {"=k"},
       .result = kUnknown + std::string("4;=T1/$10")},
      {.name = "receipt never opened: sent from the interrupted line",
       .lines = kReceipt,
       .status_before = before,
       .answered = 1,
       .register_now = {Status(0, 41)},
       .sent = {"=R1/$1/(A)", "=R1/$2/(B)", "=T1/$10"},
       .result = "OK"},
      {.name = "a receipt open before the job: its line is not guessed",
       .lines = {"=R1/$1/(A)", "=T1/$10"},
       .status_before = Status(1, 41),
       .in_flight = 1,
       .register_now = {Status(1, 41)},
       .result = kUnknown + std::string("1;=R1/$1/(A)")},
      {.name = "the first answer is another frame's (a repeated digit): asked again",
       .lines = kReceipt,
       .status_before = before,
       .answered = 2,
       .register_now = {"", Status(0, 42)},
       .result = "OK"},
      {.name = "the cancel went out before the crash: not sent again",
       .lines = kReceipt,
       .status_before = before,
       .answered = 2,
       .register_now = {Status(0, 42), Status(0, 42)},
       .sent = {"=C1", "=R1/$1/(A)", "=R1/$2/(B)", "=T1/$10"},
       .result = "OK",
       .more =
           [](JobRecord& r) {
             r.cancelling = true;
             r.restart_row = 1;
           }},
  };
  for (const Case& c : cases) Check(c);
}

TEST_F(RecoveryTest, ReportJob) {
  const Case cases[] = {
      {.name = "the report line in flight: unknown",
       .lines = kReport,
       .answered = 1,
       .in_flight = 2,
       .register_now = {Status(0, 41)},
       .result = kUnknown + std::string("2;=C10")},
      {.name = "the report answered: the key line follows",
       .lines = kReport,
       .answered = 2,
       .register_now = {Status(0, 41)},
       .sent = {"=C1"},
       .result = "OK"},
      {.name = "a key line in flight is sent again",
       .lines = kReport,
       .register_now = {Status(0, 41)},
       .sent = {"=C2", "=C10", "=C1"},
       .result = "OK"},
  };
  for (const Case& c : cases) Check(c);
}

TEST_F(RecoveryTest, JobWhoseFileHasGoneIsFinishedFromTheJournal) {
  const Case cases[] = {
      {.name = "every line answered",
       .lines = kReport,
       .answered = 3,
       .register_now = {Status(0, 41)},
       .result = "OK",
       .file_gone = true},
      {.name = "a line in flight",
       .lines = kReport,
       .answered = 1,
       .in_flight = 2,
       .register_now = {Status(0, 41)},
       .result = kUnknown + std::string("2;=C10"),
       .file_gone = true},
  };
  for (const Case& c : cases) Check(c);
}

TEST_F(RecoveryTest, DecidedOutcomeReachesItsResultFile) {
  Check({.name = "decided, result not yet written",
         .lines = kReport,
         .answered = 1,
         .register_now = {Status(0, 41)},
         .result = "Error=112;Errore generico;Row 2;=C10",
         .more = [](JobRecord& r) {
           r.stage = JobRecord::Stage::Decided;
           r.code = result::Timeout;
           r.row = 2;
           r.line = "=C10";
         }});
  EXPECT_EQ(Log(), std::string(kStamp) + ";Error=112;Errore generico;Row 2;=C10\r\n");
  EXPECT_EQ(TempProgramFolder::Names(unsent()), (std::vector<std::string>{"200612061830Sale.txt"}));
}

// While the register does not answer, neither the start file nor any job runs; each tick
// tries again.
TEST_F(RecoveryTest, SilentRegisterHoldsEverythingBack) {
  const Case c{.name = "silent",
               .lines = kReceipt,
               .status_before = Status(0, 41),
               .answered = 2,
               .register_now = {std::nullopt, std::nullopt}};
  LeaveInterruptedJob(c);
  TempProgramFolder::WriteFile(folder.path("Avvio.txt"), "<</?d\r\n");
  prepare = [&](testing::FakeRegisterControl& made) {
    made.status_answers.assign(c.register_now.begin(), c.register_now.end());
  };
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  Job("next.txt", "=C1\r\n");
  EXPECT_TRUE(control->sent.empty());
  control->status_answers = {std::nullopt, std::nullopt};
  server->Tick();
  EXPECT_TRUE(control->sent.empty());
  EXPECT_FALSE(ExistsInInput("Sale.OK"));
  control->status_answers = {Status(0, 42)};
  server->Tick();
  EXPECT_TRUE(ExistsInInput("Sale.OK"));
  EXPECT_EQ(control->sent, (std::vector<std::string>{"<</?d", "=C1"}));
}

// A clean shutdown needs no look at the register at the next start; a crash does, even
// without a job in progress: the first frame after it may carry the last frame's digit.
TEST_F(RecoveryTest, StartAfterACrashAsksTheRegisterFirst) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  EXPECT_EQ(std::count(control->calls.begin(), control->calls.end(), "DirectIO2 <</?s"), 0);
  server.reset();
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  EXPECT_EQ(std::count(control->calls.begin(), control->calls.end(), "DirectIO2 <</?s"), 2);
  server->Shutdown();
  server.reset();
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  EXPECT_EQ(std::count(control->calls.begin(), control->calls.end(), "DirectIO2 <</?s"), 0);
}

}  // namespace
}  // namespace velka::server
