// Jobs exactly once while the server runs, with the fake control: a failed job's receipt
// cancelled, a payment whose answer was lost judged by the register's status, input that must
// not reach the register, a job rewritten while it runs, files kept across a restart, and jobs
// that cannot start because their files cannot be written.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include "tests/server/job_server_fixture.h"

namespace velka::server {
namespace {

using testing::JobServerTest;
using testing::TempProgramFolder;

constexpr char kStamp[] = "06/12/2006 18:30";

// A receipt status answer: document 0 none, 1 receipt open, 2 payment begun; a condition code
// (0 ready, 1 cover open); the last receipt's number.
std::string Status(int document, int number, int condition = 0) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d00%02d01%04d", condition, document, number);
  return text;
}

std::vector<std::string> LogLines(const std::string& log) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(log.substr(start, end - start));
  }
  return lines;
}

class ExactlyOnceTest : public JobServerTest {
 protected:
  // The status answers of the next requests: before the job, after a failing line, ...
  void StatusAnswers(std::vector<std::optional<std::string>> answers) {
    control->status_answers.assign(answers.begin(), answers.end());
  }
};

TEST_F(ExactlyOnceTest, FailedJobCancelsTheReceiptItOpened) {
  const struct {
    const char* name;
    const char* settings;
    std::string before;
    std::string after;
    Reply cancel;
    bool cancel_sent;
    const char* cancel_log;
  } rows[] = {
      {"open receipt", "", Status(0, 41), Status(1, 41), Reply{}, true, ";Cancel=0;c.txt"},
      {"payment begun: refused", "", Status(0, 41), Status(2, 41), Fail(114, 7), true,
       ";Cancel=114;c.txt;Err.Esteso=7"},
      {"turned off", "CancelReceiptOnFailure=0\r\n", Status(0, 41), Status(1, 41), Reply{}, false,
       nullptr},
      {"receipt open before the job", "", Status(1, 41), Status(1, 41), Reply{}, false, nullptr},
      {"no receipt left open", "", Status(0, 41), Status(0, 41), Reply{}, false, nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    server.reset();
    std::filesystem::remove_all(folder.path("TOSEND"));
    WriteSettings(row.settings);
    ASSERT_EQ(Start(), JobServer::StartResult::Running);
    StatusAnswers({row.before, row.after});
    const Reply cancel = row.cancel;
    script = [&](const std::string& line) {
      if (line == "=k") return cancel;
      return line == "=R1/$2/(B)" ? Fail(114, 37) : Reply{};
    };
    Job("c.txt", "=R1/$1/(A)\r\n=R1/$2/(B)\r\n=T1\r\n");
    server->Tick();
    std::vector<std::string> sent = {"=R1/$1/(A)", "=R1/$2/(B)"};
    if (row.cancel_sent) sent.push_back("=k");
    EXPECT_EQ(control->sent, sent);
    // The result keeps its exact form, with the failing line's extended code.
    const std::string ko = "Error=114;Errore generico;Row 2;=R1/$2/(B);Err.Esteso=37";
    EXPECT_EQ(InInput("c.KO"), ko + "\r\n");
    std::vector<std::string> log;
    if (row.cancel_log) log.push_back(kStamp + std::string(row.cancel_log));
    log.push_back(kStamp + (";" + ko));
    EXPECT_EQ(LogLines(Log()), log);
  }
}

TEST_F(ExactlyOnceTest, PaymentWhoseAnswerWasLostIsJudgedByTheReceiptStatus) {
  const struct {
    const char* name;
    std::int32_t failure;
    std::string after;
    bool success;
  } rows[] = {
      {"closed with a new number", 112, Status(0, 42), true},
      {"closed, answer refused", 111, Status(0, 42), true},
      {"still open", 112, Status(1, 41), false},
      {"status not had", 112, "", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    server.reset();
    std::filesystem::remove_all(folder.path("TOSEND"));
    ASSERT_EQ(Start(), JobServer::StartResult::Running);
    StatusAnswers({Status(0, 41), row.after});
    const std::int32_t failure = row.failure;
    script = [&](const std::string& line) { return line == "=T1" ? Fail(failure) : Reply{}; };
    Job("p.txt", "=R1/$1/(A)\r\n=T1\r\n=\"/(GRAZIE)\r\n");
    server->Tick();
    if (row.success) {
      EXPECT_EQ(control->sent, (std::vector<std::string>{"=R1/$1/(A)", "=T1", "=\"/(GRAZIE)"}));
      EXPECT_EQ(InInput("p.OK"), std::string(kStamp) + ";Dump=0042\r\n");
      EXPECT_FALSE(ExistsInInput("p.KO"));
    } else {
      EXPECT_EQ(InInput("p.KO"),
                "Error=" + std::to_string(failure) + ";Errore generico;Row 2;=T1\r\n");
      EXPECT_EQ(control->sent.back() == "=k", row.after == Status(1, 41));
    }
  }
}

TEST_F(ExactlyOnceTest, LineWithAFrameBreakingByteRefusesTheWholeJob) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  for (const char byte : {'\x00', '\x02', '\x03', '\x06', '\x15'}) {
    const std::string bad = std::string("=R1/$1/(B") + byte + ")";
    const std::string content = "=R1/$1/(A)\r\n\r\n" + bad + "\r\n=T1\r\n";
    Job("f.txt", content);
    server->Tick();
    EXPECT_TRUE(control->sent.empty()) << int(byte);
    EXPECT_EQ(InInput("f.KO"), "Error=106;Errore generico;Row 3;" + bad + "\r\n") << int(byte);
    EXPECT_FALSE(ExistsInInput("f.txt"));
    EXPECT_EQ(TempProgramFolder::ReadFile(unsent() + "200612061830f.txt"), content);
  }
  Job("t.txt", "=R1/$1/(A\tB)\r\n");  // a tab is sent as it is
  server->Tick();
  EXPECT_EQ(control->sent, (std::vector<std::string>{"=R1/$1/(A\tB)"}));
}

TEST_F(ExactlyOnceTest, ByteOrderMarkMakesTheFileUtf8) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  Job("u.txt", "\xEF\xBB\xBF=R1/$2/(CAFF\xC3\xA8 \xE2\x82\xAC)\r\n=\"/(\xE2\x9C\x93)\r\n");
  server->Tick();
  Job("b.txt", "=R1/$2/(\xE2\x82\xAC)\r\n");  // no mark: byte for byte
  server->Tick();
  EXPECT_EQ(control->sent, (std::vector<std::string>{"=R1/$2/(CAFF\xE8 \x80)", "=\"/(?)",
                                                     "=R1/$2/(\xE2\x82\xAC)"}));
}

TEST_F(ExactlyOnceTest, SymbolicLinkInTheInputFolderIsNotFollowed) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  const std::string outside = folder.path("secret.txt");
  TempProgramFolder::WriteFile(outside, "=R1/$1/(SECRET)\r\n");
  std::filesystem::create_symlink(outside, input() + "l.txt");
  std::filesystem::create_symlink(folder.path("no-such-file"), input() + "dangling.txt");
  server->Tick();
  server->processor().ProcessCommandFile(input() + "l.txt", true);
  EXPECT_TRUE(control->sent.empty());
  EXPECT_TRUE(std::filesystem::is_symlink(input() + "l.txt"));
  EXPECT_EQ(TempProgramFolder::ReadFile(outside), "=R1/$1/(SECRET)\r\n");
  EXPECT_FALSE(ExistsInInput("l.KO"));
  EXPECT_FALSE(ExistsInInput("l.OK"));
  EXPECT_TRUE(TempProgramFolder::Names(unsent()).empty());
}

// The point-of-sale program writes a job under the name of one still in progress: the new
// version is a job of its own, not deleted unsent, and only the version read is copied.
TEST_F(ExactlyOnceTest, JobWrittenAnewWhileInProgressIsANewJob) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  script = [&](const std::string& line) {
    if (line == "=R1/$1/(OLD)") {
      TempProgramFolder::WriteFile(input() + "Same.new", "=R1/$2/(NEW)\r\n");
      std::filesystem::rename(input() + "Same.new", input() + "Same.txt");
      return Fail(112);
    }
    return Reply{};
  };
  Job("Same.txt", "=R1/$1/(OLD)\r\n");
  server->Tick();
  EXPECT_EQ(control->sent, (std::vector<std::string>{"=R1/$1/(OLD)", "=R1/$2/(NEW)"}));
  EXPECT_EQ(TempProgramFolder::ReadFile(unsent() + "200612061830Same.txt"), "=R1/$1/(OLD)\r\n");
  EXPECT_FALSE(ExistsInInput("Same.txt"));
  EXPECT_TRUE(ExistsInInput("Same.OK"));  // the new version's
  EXPECT_EQ(LogLines(Log()).size(), 2u);
}

TEST_F(ExactlyOnceTest, ReadOnlyJobIsNotSentAgainAfterARestart) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  const std::string path = Job("ro.txt", "=K\r\n");
  ::chmod(path.c_str(), 0444);
  server->Tick();
  EXPECT_EQ(control->sent, (std::vector<std::string>{"=K"}));
  server.reset();  // as a crash leaves it
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  server->Tick();
  server->Shutdown();
  server.reset();
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  server->Tick();
  EXPECT_TRUE(control->sent.empty());
  EXPECT_TRUE(ExistsInInput("ro.txt"));
  ::chmod(path.c_str(), 0644);
  TempProgramFolder::WriteFile(path, "=C\r\n");
  server->Tick();
  EXPECT_EQ(control->sent, (std::vector<std::string>{"=C"}));
}

// Nothing of a job is sent while its journal cannot be written; the job waits, untouched, and
// runs once it can.
TEST_F(ExactlyOnceTest, JobWaitsWhileTheJournalCannotBeWritten) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  const std::string journal = folder.path("VelkaDriverServer.journal");
  std::filesystem::remove(journal);
  std::filesystem::create_directories(journal + "/in-the-way");
  Job("a.txt", "=R1/$1/(A)\r\n=T1\r\n");
  Job("a.OK", "old result\r\n");
  server->Tick();
  server->Tick();
  EXPECT_TRUE(control->sent.empty());
  EXPECT_EQ(InInput("a.txt"), "=R1/$1/(A)\r\n=T1\r\n");
  EXPECT_EQ(InInput("a.OK"), "old result\r\n");
  EXPECT_EQ(view.last("lblErrore"), "Disco pieno o cartella non scrivibile: il lavoro attende");
  EXPECT_EQ(LogLines(Log()),
            (std::vector<std::string>{
                std::string(kStamp) +
                ";Waiting=a.txt;Disco pieno o cartella non scrivibile: il lavoro attende"}));
  std::filesystem::remove_all(journal);
  server->Tick();
  EXPECT_EQ(control->sent, (std::vector<std::string>{"=R1/$1/(A)", "=T1"}));
  EXPECT_EQ(InInput("a.OK"), std::string(kStamp) + ";Dump=0042\r\n");
  EXPECT_EQ(view.last("lblErrore"), "");
}

// The input folder on a full disk: a small file system of its own, filled up.
TEST_F(ExactlyOnceTest, JobWaitsWhileTheDiskIsFull) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  if (::unshare(CLONE_NEWNS) != 0 ||
      ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      ::mount("tmpfs", input().c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "no private mount of a small file system here";
  }
  Job("a.txt", "=R1/$1/(A)\r\n=T1\r\n");
  {
    std::ofstream filler(input() + "filler", std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), block.size())) {
    }
  }
  server->Tick();
  EXPECT_TRUE(control->sent.empty());
  EXPECT_EQ(InInput("a.txt"), "=R1/$1/(A)\r\n=T1\r\n");
  EXPECT_FALSE(ExistsInInput("a.KO"));
  EXPECT_EQ(view.last("lblErrore"), "Disco pieno o cartella non scrivibile: il lavoro attende");
  std::filesystem::remove(input() + "filler");
  server->Tick();
  EXPECT_EQ(control->sent, (std::vector<std::string>{"=R1/$1/(A)", "=T1"}));
  EXPECT_EQ(InInput("a.OK"), std::string(kStamp) + ";Dump=0042\r\n");
  EXPECT_FALSE(ExistsInInput("a.txt"));
  ::umount2(input().c_str(), MNT_DETACH);
}

TEST_F(ExactlyOnceTest, OperatorWaitAndCancelSettings) {
  const struct {
    const char* text;
    Millis wait_ms;
  } waits[] = {{"10", 600000}, {" 2 ", 120000}, {"0.5", 30000}, {"0", 600000},
               {"-3", 600000}, {"abc", 600000}, {"", 600000},   {"100000", 86400000}};
  for (const auto& row : waits) EXPECT_EQ(OperatorWaitMs(row.text), row.wait_ms) << row.text;
  for (const char* on : {"1", "", "  ", "-1", "yes"}) EXPECT_TRUE(CancelReceiptOnFailure(on)) << on;
  for (const char* off : {"0", " 0 ", "0.0"}) EXPECT_FALSE(CancelReceiptOnFailure(off)) << off;

  WriteSettings("OperatorWaitMinutes=25\r\n");
  ServerControlSite made_with(loop);
  site = &made_with;
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  EXPECT_EQ(made_with.operatorWaitMs(), 25 * 60000);
  EXPECT_EQ(server->settings().CancelReceiptOnFailure, "1");
}

}  // namespace
}  // namespace velka::server
