// DumpAnswers=1 in TMVSERVER.INI: each line's answer becomes a ";Dump=" line of the ".OK",
// written only once the job has succeeded; off by default.
#include <gtest/gtest.h>
#include <filesystem>

#include "server/jobs/answer_dumps.h"
#include "tests/server/job_server_fixture.h"

namespace velka::server {
namespace {

using testing::JobServerTest;
using testing::TempProgramFolder;

constexpr char kStamp[] = "06/12/2006 18:30";

std::string DumpLine(const std::string& text) {
  return std::string(kStamp) + ";Dump=" + text + "\r\n";
}

TEST(DumpAnswersSettingTest, NumbersOtherThanZeroAndTrueTurnItOn) {
  const struct {
    const char* value;
    bool on;
  } rows[] = {{"1", true}, {" 2 ", true}, {"TRUE", true},   {"true", true}, {"0", false},
              {"", false}, {"no", false}, {"False", false}, {"0.0", false}};
  for (const auto& row : rows) {
    EXPECT_EQ(DumpAnswersSelected(row.value), row.on) << '"' << row.value << '"';
  }
}

class AnswerDumpsTest : public JobServerTest {
 protected:
  // Each line is answered with "ANS " and the line.
  void AnswerEveryLine() {
    script = [](const std::string& line) {
      Reply reply;
      reply.answer = "ANS " + line;
      return reply;
    };
  }
};

TEST_F(AnswerDumpsTest, EachAnswerIsALineOfTheOkFileBeforeTheStatus) {
  WriteSettings("DumpAnswers=1\r\n");
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  EXPECT_TRUE(server->settings().DumpAnswers);
  AnswerEveryLine();
  Job("Sale.txt", "<</?d\r\n\r\n=K\r\n<</?s\r\n");
  server->Tick();
  EXPECT_EQ(InInput("Sale.OK"),
            DumpLine("ANS <</?d") + DumpLine("ANS =K") + DumpLine("ANS <</?s") + DumpLine("0042"));
}

TEST_F(AnswerDumpsTest, OffByDefaultTheOkFileHoldsTheStatusOnly) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  EXPECT_FALSE(server->settings().DumpAnswers);
  AnswerEveryLine();
  Job("Sale.txt", "<</?d\r\n=K\r\n");
  server->Tick();
  EXPECT_EQ(InInput("Sale.OK"), DumpLine("0042"));
}

TEST_F(AnswerDumpsTest, NoOkFileAppearsBeforeTheJobHasEnded) {
  WriteSettings("DumpAnswers=1\r\n");
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  std::vector<bool> ok_file_seen;
  script = [&](const std::string& line) {
    ok_file_seen.push_back(ExistsInInput("Sale.OK"));
    Reply reply;
    reply.answer = "ANS " + line;
    return reply;
  };
  Job("Sale.txt", "=K\r\n=R1/$1\r\n=T1\r\n");
  server->Tick();
  EXPECT_EQ(ok_file_seen, (std::vector<bool>{false, false, false}));
  EXPECT_TRUE(ExistsInInput("Sale.OK"));
}

TEST_F(AnswerDumpsTest, FailedJobGetsItsKoFileAndNoOkFile) {
  WriteSettings("DumpAnswers=1\r\n");
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  script = [](const std::string& line) {
    if (line == "=T1") return Fail(112);
    Reply reply;
    reply.answer = "ANS " + line;
    return reply;
  };
  Job("Sale.txt", "=K\r\n=R1/$1\r\n=T1\r\n");
  server->Tick();
  EXPECT_FALSE(ExistsInInput("Sale.OK"));
  EXPECT_EQ(InInput("Sale.KO"), "Error=112;Errore generico;Row 3;=T1\r\n");

  // The next job's answers are its own.
  AnswerEveryLine();
  Job("Next.txt", "=K\r\n");
  server->Tick();
  EXPECT_EQ(InInput("Next.OK"), DumpLine("ANS =K") + DumpLine("0042"));
}

// One job at a time: a job asked for while another waits for the register (the window holds
// its menu commands until then) is not started, and the other keeps its own answers.
TEST_F(AnswerDumpsTest, JobAskedForWhileAnotherWaitsIsNotStarted) {
  WriteSettings("DumpAnswers=1\r\n");
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  TempProgramFolder::WriteFile(folder.path("Inner.txt"), "<</?0\r\n");
  bool sent_inner = false;
  bool inner_started = true;
  script = [&](const std::string& line) {
    if (line == "=R1/$1" && !sent_inner) {
      sent_inner = true;  // the operator sends a document while the control waits
      inner_started =
          !server->processor().ProcessCommandFile(folder.path("Inner.txt"), false).not_started;
    }
    Reply reply;
    reply.answer = "ANS " + line;
    return reply;
  };
  Job("Outer.txt", "=K\r\n=R1/$1\r\n");
  server->Tick();
  EXPECT_TRUE(sent_inner);
  EXPECT_FALSE(inner_started);
  EXPECT_FALSE(std::filesystem::exists(folder.path("Inner.OK")));
  EXPECT_EQ(InInput("Outer.OK"), DumpLine("ANS =K") + DumpLine("ANS =R1/$1") + DumpLine("0042"));
}

}  // namespace
}  // namespace velka::server
