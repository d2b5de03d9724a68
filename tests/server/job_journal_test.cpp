// The pieces the server decides an interrupted job with: the journal's text and its kept
// files, the classes of job lines and the roles of a job's rows, the receipt status answer.
#include "server/jobs/job_journal.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "server/jobs/line_class.h"
#include "server/jobs/receipt_status.h"
#include "tests/server/server_test_support.h"

namespace velka::server {
namespace {

using testing::TempProgramFolder;

JournalState SampleState() {
  JobRecord job;
  job.stage = JobRecord::Stage::Decided;
  job.job = {"/srv/TOSEND/Sale 17.txt", 123, 1765208820123456789, 0xfedcba9876543210ULL};
  job.delete_after = false;
  job.base = "/srv/TOSEND/Sale 17";
  job.reservation = "/srv/TOSEND/Sale 17.OK.4242_0.tmp";
  job.status_before = "000000010041";
  job.last_row = 10;
  job.answered = 7;
  job.in_flight = 8;
  job.next_line = "=\"/(100% = x)";  // the escape character itself
  job.cancelling = true;
  job.restart_row = 2;
  job.code = 114;
  job.row = 8;
  job.extended = 37;
  job.line = "line\rwith\nends";  // cannot come from a file, but must not break the journal
  JournalState state;
  state.job = job;
  state.kept.push_back({{"/srv/TOSEND/ro one.txt", 4, 55, 0x1ULL}, std::nullopt});
  state.clean = false;
  return state;
}

TEST(JobJournalTest, TextRoundTripsEveryValue) {
  const JournalState state = SampleState();
  const std::string text = FormatJournal(state);
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_NE(text.find("kept=4 55 0000000000000001 /srv/TOSEND/ro one.txt\n"), std::string::npos);
  const JournalState back = ParseJournal(text);
  ASSERT_TRUE(back.job.has_value());
  const JobRecord& a = *state.job;
  const JobRecord& b = *back.job;
  EXPECT_EQ(b.stage, a.stage);
  EXPECT_EQ(b.job, a.job);
  EXPECT_EQ(b.delete_after, a.delete_after);
  EXPECT_EQ(b.base, a.base);
  EXPECT_EQ(b.reservation, a.reservation);
  EXPECT_EQ(b.status_before, a.status_before);
  EXPECT_EQ(b.last_row, a.last_row);
  EXPECT_EQ(b.answered, a.answered);
  EXPECT_EQ(b.in_flight, a.in_flight);
  EXPECT_EQ(b.next_line, a.next_line);
  EXPECT_EQ(b.cancelling, a.cancelling);
  EXPECT_EQ(b.restart_row, a.restart_row);
  EXPECT_EQ(b.code, a.code);
  EXPECT_EQ(b.row, a.row);
  EXPECT_EQ(b.extended, a.extended);
  EXPECT_EQ(b.line, a.line);
  ASSERT_EQ(back.kept.size(), 1u);
  EXPECT_EQ(back.kept[0].identity, state.kept[0].identity);
  EXPECT_FALSE(back.clean);
}

TEST(JobJournalTest, DamagedTextGivesNoJobRatherThanAWrongOne) {
  const struct {
    const char* text;
    bool job;
    bool clean;
  } rows[] = {
      {"", false, false},
      {"clean=1\n", false, true},
      {"garbage without equals\nclean=1\r\n", false, true},
      {"answered=3\nstage=running\n", false, false},  // no job path: no job
      {"job=/a.txt\nanswered=x\nunknown=1\n", true, false},
      {"kept=1 2\nkept=1 2 3\n", false, false},  // kept lines without a path are skipped
  };
  for (const auto& row : rows) {
    const JournalState state = ParseJournal(row.text);
    EXPECT_EQ(state.job.has_value(), row.job) << row.text;
    EXPECT_EQ(state.clean, row.clean) << row.text;
    EXPECT_TRUE(state.kept.empty()) << row.text;
  }
  EXPECT_EQ(ParseJournal("job=/a.txt\nanswered=x\n").job->answered, 0);
}

// The progress after each line is a record rewritten in place: the next run takes it when it
// belongs to the journal's last version and reads back whole, and never to name a row beyond a
// line in flight.
TEST(JobJournalTest, ProgressRecordCarriesTheLastRowAnswered) {
  TempProgramFolder folder;
  std::filesystem::create_directories(folder.home());
  const std::string path = folder.path("VelkaDriverServer.journal");
  auto next_run = [&] {
    JobJournal journal(path);
    EXPECT_TRUE(journal.Load());
    return journal.state().job ? journal.state().job->answered : -1;
  };
  JobJournal journal(path);
  journal.state().job = JobRecord{};
  journal.state().job->job.path = "/in/Sale.txt";
  journal.state().job->next_line = "=R1/$1";
  ASSERT_TRUE(journal.Write(JournalWrite::Durable));
  for (std::int32_t row = 1; row <= 4; ++row) ASSERT_TRUE(journal.WriteProgress(row));
  EXPECT_EQ(next_run(), 4);
  {
    JobJournal reread(path);
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(reread.state().job->next_line, "");  // known for the journal's own row only
  }

  journal.state().job->answered = 2;  // a later version of the journal (a restart at row 3)
  ASSERT_TRUE(journal.Write(JournalWrite::Cheap));
  EXPECT_EQ(next_run(), 2);  // the record of the earlier version is stale
  ASSERT_TRUE(journal.WriteProgress(3));
  EXPECT_EQ(next_run(), 3);

  const std::string record = TempProgramFolder::ReadFile(path + ".progress");
  std::string damaged = record;
  damaged[damaged.find(' ') + 1] = '9';  // a row the digest does not cover
  TempProgramFolder::WriteFile(path + ".progress", damaged);
  EXPECT_EQ(next_run(), 2);
  TempProgramFolder::WriteFile(path + ".progress", std::string(record.size(), '\0'));
  EXPECT_EQ(next_run(), 2);

  journal.state().job->answered = 2;
  journal.state().job->in_flight = 3;  // a line sent whose outcome the register cannot show
  ASSERT_TRUE(journal.Write(JournalWrite::Durable));
  TempProgramFolder::WriteFile(path + ".progress", "");
  ASSERT_TRUE(journal.WriteProgress(5));  // cannot happen, and would not be believed
  EXPECT_EQ(next_run(), 2);
}

TEST(JobJournalTest, KeptFileIsPassedOverUntilWrittenAnewAlsoByTheNextRun) {
  TempProgramFolder folder;
  const std::string path = folder.path("in/ro.txt");
  TempProgramFolder::WriteFile(path, "=K\r\n");
  const std::string journal_path = folder.path("VelkaDriverServer.journal");
  {
    JobJournal journal(journal_path);
    const std::optional<FileIdentity> file = EntryIdentityOf(path);
    ASSERT_TRUE(file.has_value());
    journal.Keep(IdentityOfJob(path, *file, "=K\r\n"), *file);
    ASSERT_TRUE(journal.Write(JournalWrite::Durable));
    EXPECT_TRUE(journal.IsKept(path));
  }
  JobJournal next_run(journal_path);
  ASSERT_TRUE(next_run.Load());
  EXPECT_TRUE(next_run.IsKept(path));  // its digest read again once
  EXPECT_FALSE(next_run.IsKept(folder.path("in/other.txt")));
  TempProgramFolder::WriteFile(path, "=C\r\n");  // same size: the digest tells
  EXPECT_FALSE(next_run.IsKept(path));
  JobJournal third_run(journal_path);
  ASSERT_TRUE(third_run.Load());
  EXPECT_TRUE(third_run.state().kept.empty());  // forgotten in the file too
}

TEST(LineClassTest, ClassesFromTheLinesText) {
  const std::pair<const char*, LineClass> rows[] = {
      {"<</?s", LineClass::Read},
      {"<</", LineClass::Read},
      {">>/?H/$1/(BAR)", LineClass::Setting},
      {"=C1", LineClass::Setting},
      {"=C4", LineClass::Setting},
      {"=C10", LineClass::Other},
      {"=C5", LineClass::Other},
      {"=R1/$1.5/(CAFFE)", LineClass::Receipt},
      {"=R/$1", LineClass::Receipt},
      {"=V/$1", LineClass::Receipt},
      {"=V+/$1", LineClass::Receipt},
      {"=%/*10", LineClass::Receipt},
      {"=%+/*5", LineClass::Receipt},
      {"=S", LineClass::Receipt},
      {"=S/$6", LineClass::Receipt},
      {"=S011226", LineClass::Other},
      {"=T", LineClass::Receipt},
      {"=T1/$10", LineClass::Receipt},
      {"=r", LineClass::Receipt},
      {"=s", LineClass::Receipt},
      {"=k", LineClass::Receipt},
      {"=k/(ANNULLATO)", LineClass::Receipt},
      {"=\"/(GRAZIE)", LineClass::Message},
      {"=K", LineClass::Other},
      {"=o", LineClass::Other},
      {"=c", LineClass::Other},
      {"=401", LineClass::Other},
      {"=Rx/$1", LineClass::Other},
      {"stop", LineClass::Other},
      {"", LineClass::Other},
  };
  for (const auto& [line, kind] : rows) EXPECT_EQ(ClassOfLine(line), kind) << line;
}

TEST(LineClassTest, TheJobsReceiptAndTheRolesOfItsRows) {
  using enum RowRole;
  const struct {
    const char* name;
    std::vector<std::string> lines;
    std::optional<DocumentState> before;
    std::vector<RowRole> roles;
    std::int32_t first, last;
  } rows[] = {
      {"receipt after a key position and a report",
       {"=C1", "=K", "", "=R1/$1", "<</?s", "=S", "=T1/$10", "=\"/(GRAZIE)", "STOP"},
       DocumentState::None,
       {Resendable, Unknowable, NotSent, InReceipt, Resendable, InReceipt, InReceipt, InReceipt,
        NotSent},
       4,
       8},
      {"a second receipt is not the job's receipt",
       {"=R/$1", "=T", "=R/$2", "=T"},
       DocumentState::None,
       {InReceipt, InReceipt, Unknowable, Unknowable},
       1,
       2},
      {"split payment stays in the receipt",
       {"=R/$9", "=T3/$5", "=T1", "=\"/(X)"},
       DocumentState::None,
       {InReceipt, InReceipt, InReceipt, InReceipt},
       1,
       4},
      {"another line ends the receipt",
       {"=R/$1", "=K", "=T1"},
       DocumentState::None,
       {InReceipt, Unknowable, Unknowable},
       1,
       1},
      {"a receipt open before the job",
       {"=R/$1", "=T1"},
       DocumentState::Receipt,
       {Unknowable, Unknowable},
       0,
       0},
      {"status unknown", {"=R/$1"}, std::nullopt, {Unknowable}, 0, 0},
      {"messages of a non-fiscal document",
       {"=o", "=\"/(A)", "=c", "=\"/(B)"},
       DocumentState::None,
       {Unknowable, Unknowable, Unknowable, InReceipt},
       4,
       4},
  };
  for (const auto& row : rows) {
    const JobPlan plan(row.lines, row.before);
    std::vector<RowRole> roles;
    for (std::int32_t r = 1; r <= plan.rows(); ++r) roles.push_back(plan.role(r));
    EXPECT_EQ(roles, row.roles) << row.name;
    EXPECT_EQ(plan.receiptFirstRow(), row.first) << row.name;
    EXPECT_EQ(plan.receiptLastRow(), row.last) << row.name;
  }
  const JobPlan plan({"=R/$1", "=T3/$1", "=k"}, DocumentState::None);
  EXPECT_FALSE(plan.mayCloseReceipt(1));
  EXPECT_TRUE(plan.mayCloseReceipt(2));
  EXPECT_TRUE(plan.mayCloseReceipt(3));
  EXPECT_FALSE(JobPlan::HasReceiptLines({"=C2", "=C10", "<</?s"}));
  EXPECT_TRUE(JobPlan::HasReceiptLines({"=\"/(HELLO)"}));
}

TEST(ReceiptStatusTest, OnlyAReceiptStatusAnswerIsRead) {
  const struct {
    const char* answer;
    bool valid;
    bool ready;
    DocumentState document;
    std::int32_t number;
  } rows[] = {
      {"000000010041", true, true, DocumentState::None, 41},
      {"000101010042", true, true, DocumentState::Receipt, 42},
      {"010002019999", true, false, DocumentState::PaymentBegun, 9999},
      {"030003020000", true, false, DocumentState::NonFiscal, 0},
      {"000000010041EXTRA", true, true, DocumentState::None, 41},
      {"", false, true, DocumentState::None, 0},                   // a bare status answer
      {"06/12/26 18:30:00", false, true, DocumentState::None, 0},  // another request's
      {"00000001004", false, true, DocumentState::None, 0},
      {"000004010041", false, true, DocumentState::None, 0},
      {"040000010041", false, true, DocumentState::None, 0},
      {"10000000123400000042", false, true, DocumentState::None, 0},
  };
  for (const auto& row : rows) {
    const std::optional<ReceiptStatus> status = ParseReceiptStatus(row.answer);
    ASSERT_EQ(status.has_value(), row.valid) << row.answer;
    if (!status) continue;
    EXPECT_EQ(status->ready, row.ready) << row.answer;
    EXPECT_EQ(status->document, row.document) << row.answer;
    EXPECT_EQ(status->number, row.number) << row.answer;
  }
}

}  // namespace
}  // namespace velka::server
