// The register's link as the server keeps it, on virtual time with the fake control: taken
// down when the control reports its port gone, opened again with a bounded back-off, jobs
// waiting untouched meanwhile, and a job the link's end interrupted completed once by the
// recovery.
#include <gtest/gtest.h>

#include "tests/server/job_server_fixture.h"

namespace velka::server {
namespace {

using testing::JobServerTest;
using testing::ReceiptStatusAnswer;
using testing::TempProgramFolder;

constexpr char kNotAnswering[] = "La stampante non risponde";
constexpr char kReady[] = "La stampante \xE8 pronta";

class LinkKeepingTest : public JobServerTest {
 protected:
  void StartOnline(const std::string& keys = "Frequence=5\r\n") {
    WriteSettings(keys);
    ASSERT_EQ(Start(), JobServer::StartResult::Running);
    control->closed_gives_107 = true;
    // The recovery of a job the link's end interrupted needs a status it can read.
    control->status_answer = ReceiptStatusAnswer(0, 41);
  }
  // What the port reports when it hangs up, from the loop.
  void PortGoes() { control->events()->StatusUpdateEvent(status::PortGone); }
  // The failure of a line whose port went away while it was sent.
  static Reply Gone(std::int32_t code) {
    Reply reply = Fail(code);
    reply.statuses = {status::PortGone};
    return reply;
  }
  long Opens() const {
    return std::count_if(control->calls.begin(), control->calls.end(),
                         [](const std::string& c) { return c.starts_with("TMVOpen"); });
  }
  std::string Status() const { return view.last("lblStato").value_or(""); }
};

TEST_F(LinkKeepingTest, PortGoneTakesTheLinkDownAndJobsWaitUntilItIsBack) {
  StartOnline();
  control->calls.clear();
  PortGoes();
  loop.advance(10);
  EXPECT_EQ(control->calls, std::vector<std::string>{"TMVClose"});
  EXPECT_EQ(Status(), kNotAnswering);
  EXPECT_EQ(view.last("tray icon"), "error");
  EXPECT_EQ(view.last("tray tooltip"), kNotAnswering);

  // The register stays away: ticks take nothing, the job waits in the folder as it is.
  control->open_result = 115;
  const std::string job = Job("a.txt", "<</?d\r\n");
  loop.advance(20000);
  EXPECT_TRUE(control->sent.empty());
  EXPECT_TRUE(TempProgramFolder::Exists(job));
  EXPECT_FALSE(ExistsInInput("a.KO"));
  EXPECT_EQ(Status(), kNotAnswering);

  // Back: the status says so and the job runs at once, not at the next period.
  control->open_result = 0;
  const Millis back_at = loop.now();
  ASSERT_TRUE(loop.runUntil([&] { return !control->sent.empty(); }, 20000));
  EXPECT_EQ(Status(), kReady);
  EXPECT_EQ(view.last("tray icon"), "normal");
  const Millis reopened = loop.now() - back_at;
  EXPECT_LE(reopened, 16000);  // the next try, its interval doubled since
  loop.advance(10);
  EXPECT_TRUE(ExistsInInput("a.OK"));
  EXPECT_EQ(control->calls.back(), "DirectIO2 <</?s");
}

// Each try after the first waits twice as long as the one before, up to 30 s; the control is
// opened by its port each time, after the settings' speed, and closed again when it fails.
TEST_F(LinkKeepingTest, ReopeningBacksOffToThirtySeconds) {
  StartOnline("Frequence=5\r\nBaudRate=115200\r\nPort=4\r\n");
  control->open_result = 115;
  PortGoes();
  const Millis down_at = loop.now();
  std::vector<Millis> tries;
  const std::size_t wakes_before = static_cast<std::size_t>(loop.wakeCount());
  for (long seen = Opens(); loop.now() - down_at < 200'000;) {
    loop.advance(100);
    if (Opens() > seen) {
      seen = Opens();
      tries.push_back((loop.now() - down_at) / 1000);
    }
  }
  EXPECT_EQ(tries, (std::vector<Millis>{1, 3, 7, 15, 31, 61, 91, 121, 151, 181}));
  EXPECT_NE(std::find(control->calls.begin(), control->calls.end(), "TMVOpen 4"),
            control->calls.end());
  const std::vector<std::string> one_try(control->calls.end() - 4, control->calls.end());
  EXPECT_EQ(one_try, (std::vector<std::string>{"TMVHighSpeed=True", "AsyncMode=False", "TMVOpen 4",
                                               "TMVClose"}));
  // Asleep in between: the polling period and the tries, nothing more.
  EXPECT_LT(static_cast<std::size_t>(loop.wakeCount()) - wakes_before, 2000u + 200u / 5 + 20);
}

// A device that comes and goes every second: no job is taken twice, none is lost, and the
// loop does not spin.
TEST_F(LinkKeepingTest, DeviceComingAndGoingEverySecond) {
  StartOnline("Frequence=1\r\n");
  for (int n = 0; n < 6; ++n) Job("j" + std::to_string(n) + ".txt", "<</?d\r\n");
  int lines = 0;
  script = [&](const std::string&) { return ++lines % 2 == 0 ? Gone(112) : Reply{}; };
  for (int second = 0; second < 60; ++second) {
    if (server->linkUp()) PortGoes();
    loop.advance(1000);
  }
  script = nullptr;
  loop.advance(40000);
  for (int n = 0; n < 6; ++n) {
    const std::string name = "j" + std::to_string(n);
    EXPECT_TRUE(ExistsInInput(name + ".OK")) << name;
    EXPECT_FALSE(ExistsInInput(name + ".KO")) << name;
    EXPECT_FALSE(ExistsInInput(name + ".txt")) << name;
  }
  EXPECT_LE(control->sent.size(), 12u);  // each job once, or again after the link's end
  EXPECT_LT(loop.wakeCount(), 5000);
}

// The link ends in the middle of a receipt: the job is not judged then. Once the register is
// back, the recovery finds the receipt still open, cancels it and sends the job again into a
// new receipt, so that each sale ends in exactly one paid receipt.
TEST_F(LinkKeepingTest, ReceiptInterruptedByTheLinkIsCompletedByTheRecovery) {
  StartOnline();
  control->status_answers.assign({ReceiptStatusAnswer(0, 41)});
  bool gone_once = false;
  script = [&](const std::string& line) {
    if (line == "=R1/$2/(B)" && !std::exchange(gone_once, true)) return Gone(112);
    return Reply{};
  };
  const std::string job = Job("c.txt", "=R1/$1/(A)\r\n=R1/$2/(B)\r\n=T1\r\n");
  server->Tick();
  EXPECT_EQ(control->sent, (std::vector<std::string>{"=R1/$1/(A)", "=R1/$2/(B)"}));
  EXPECT_TRUE(TempProgramFolder::Exists(job));
  EXPECT_FALSE(ExistsInInput("c.OK"));
  EXPECT_FALSE(ExistsInInput("c.KO"));
  EXPECT_EQ(Status(), kNotAnswering);
  EXPECT_NE(TempProgramFolder::ReadFile(folder.path("VelkaDriverServer.journal")).find("c.txt"),
            std::string::npos);

  // Back: the receipt is still open (same number), then cancelled (number 42).
  control->status_answers.assign({ReceiptStatusAnswer(1, 41), ReceiptStatusAnswer(0, 42)});
  loop.advance(1100);
  EXPECT_EQ(control->sent, (std::vector<std::string>{"=R1/$1/(A)", "=R1/$2/(B)", "=k", "=R1/$1/(A)",
                                                     "=R1/$2/(B)", "=T1"}));
  EXPECT_TRUE(ExistsInInput("c.OK"));
  EXPECT_FALSE(ExistsInInput("c.KO"));
  EXPECT_FALSE(TempProgramFolder::Exists(job));
  EXPECT_NE(Log().find(";Cancel=0;c.txt"), std::string::npos) << Log();
}

// A line the control did not send because the port had gone (107) is sent once the link is
// back, also where a line in flight would leave the outcome unknown (a report).
TEST_F(LinkKeepingTest, LineNotSentForAPortGoneIsSentWhenItIsBack) {
  StartOnline();
  bool gone_once = false;
  script = [&](const std::string& line) {
    if (line == "=C10" && !std::exchange(gone_once, true)) return Gone(107);
    return Reply{};
  };
  Job("r.txt", "=C2\r\n=C10\r\n=C1\r\n");
  server->Tick();
  EXPECT_FALSE(ExistsInInput("r.KO"));
  loop.advance(1100);
  // The first "=C10" was refused by the control (107) and reached nothing.
  EXPECT_EQ(control->sent, (std::vector<std::string>{"=C2", "=C10", "=C10", "=C1"}));
  EXPECT_TRUE(ExistsInInput("r.OK"));
  EXPECT_FALSE(ExistsInInput("r.KO"));
}

// A job whose status request before its first line meets the port gone has sent nothing: it
// stays in the folder as it was, and runs once the link is back.
TEST_F(LinkKeepingTest, JobWhoseFirstExchangeMeetsThePortGoneWaitsUntouched) {
  StartOnline();
  bool gone_once = false;
  control->before_status = [&](testing::FakeRegisterControl& c) {
    if (std::exchange(gone_once, true)) return;
    c.is_open = false;  // the control raises the event from inside the request, and fails it
    c.events()->StatusUpdateEvent(status::PortGone);
  };
  const std::string job = Job("s.txt", "=R1/$1/(A)\r\n=T1\r\n");
  server->Tick();
  EXPECT_TRUE(control->sent.empty());
  EXPECT_TRUE(TempProgramFolder::Exists(job));
  EXPECT_FALSE(ExistsInInput("s.KO"));
  EXPECT_FALSE(view.saw("lblErrore: Disco pieno o cartella non scrivibile: il lavoro attende"));
  EXPECT_EQ(Status(), kNotAnswering);
  loop.advance(1100);
  EXPECT_EQ(control->sent, (std::vector<std::string>{"=R1/$1/(A)", "=T1"}));
  EXPECT_TRUE(ExistsInInput("s.OK"));
}

TEST_F(LinkKeepingTest, ShutdownTriesTheLinkOnceMoreForTheStopFile) {
  StartOnline();
  TempProgramFolder::WriteFile(folder.path("Stop.txt"), "=Z\r\n");
  PortGoes();
  loop.advance(10);
  control->calls.clear();
  server->RequestClose();
  server->Shutdown();
  EXPECT_EQ(control->calls.front(), "TMVHighSpeed=False");
  EXPECT_NE(std::find(control->calls.begin(), control->calls.end(), "DirectIO 1 =Z"),
            control->calls.end());
  EXPECT_EQ(control->sent, std::vector<std::string>{"=Z"});
}

}  // namespace
}  // namespace velka::server
