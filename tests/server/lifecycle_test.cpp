// Start-up and shutdown of the server in their order, the polling timer, the single
// instance, and the data-download file.
#include <gtest/gtest.h>

#include "platform/posix/poll_event_loop.h"
#include "server/jobs/data_download.h"
#include "tests/server/job_server_fixture.h"

namespace velka::server {
namespace {

using testing::JobServerTest;
using testing::TempProgramFolder;

constexpr char kStamp[] = "06/12/2006 18:30";

TEST_F(JobServerTest, StartUpOrder) {
  WriteSettings("BaudRate= 115200 \r\nPort=3\r\nFrequence=2.5\r\n");
  TempProgramFolder::WriteFile(folder.path("Avvio.txt"), "=A\r\n");
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  EXPECT_EQ(control->calls,
            (std::vector<std::string>{"TMVHighSpeed=True", "AsyncMode=False", "TMVOpen 3",
                                      "DirectIO 1 =A", "DirectIO2 <</?s", "DirectIO2 <</?s"}));
  EXPECT_EQ(view.last("Frame1"), "Registratore di cassa VELKA su COM3");
  EXPECT_EQ(view.last("lblStato"), "La stampante \xE8 pronta");
  EXPECT_TRUE(view.saw("tray: shown"));
  EXPECT_EQ(view.last("tray tooltip"), "Velka Server - TMV S.P.A.");
  // The start file stays; its results lie beside it.
  EXPECT_TRUE(TempProgramFolder::Exists(folder.path("Avvio.txt")));
  EXPECT_EQ(TempProgramFolder::ReadFile(folder.path("Avvio.OK")),
            std::string(kStamp) + ";Dump=0042\r\n");
  EXPECT_EQ(server->tmrFile().interval(), 2500);
  EXPECT_TRUE(server->tmrFile().isActive());
}

TEST_F(JobServerTest, AbsentStartFileSendsAndWritesNothing) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  EXPECT_EQ(control->calls,
            (std::vector<std::string>{"TMVHighSpeed=False", "AsyncMode=False", "TMVOpen 1"}));
  EXPECT_EQ(Log(), "");
  EXPECT_FALSE(TempProgramFolder::Exists(folder.path("Avvio.OK")));
}

TEST_F(JobServerTest, ControlThatCannotBeMadeOrOpenedStopsTheStart) {
  can_create = false;
  EXPECT_EQ(Start(), JobServer::StartResult::CannotOpen);
  EXPECT_EQ(server->startFailure(), "not registered");
  server.reset();
  can_create = true;
  open_result = 115;
  TempProgramFolder::WriteFile(folder.path("Avvio.txt"), "=A\r\n");
  EXPECT_EQ(Start(), JobServer::StartResult::CannotOpen);
  EXPECT_TRUE(control->sent.empty());
  server->Shutdown();  // not running: the stop file is not run, the control not closed
  EXPECT_EQ(control->calls.back(), "TMVOpen 1");
}

TEST_F(JobServerTest, SecondServerOnTheSameFolderIsRefused) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  testing::RecordingView other_view;
  JobServerEnvironment env;
  env.program_folder = folder.home();
  env.loop = &loop;
  env.view = &other_view;
  env.create_control = [](std::string&) {
    return std::make_unique<testing::FakeRegisterControl>();
  };
  JobServer second(env);
  EXPECT_EQ(second.Start(), JobServer::StartResult::AlreadyRunning);
  EXPECT_TRUE(server->tmrFile().isActive());
}

TEST_F(JobServerTest, PollingTimerTakesJobsOnePeriodAfterTheLastTick) {
  WriteSettings("Frequence=1\r\n");
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  Job("a.txt", "=K\r\n");
  loop.advance(999);
  EXPECT_TRUE(control->sent.empty());
  loop.advance(1);
  EXPECT_EQ(control->sent.size(), 1u);
  EXPECT_TRUE(server->tmrFile().isActive());
}

TEST_F(JobServerTest, ZeroPeriodNeverPolls) {
  WriteSettings("Frequence=0\r\n");
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  Job("a.txt", "=K\r\n");
  loop.advance(60000);
  EXPECT_TRUE(control->sent.empty());
}

TEST_F(JobServerTest, ShutdownOrder) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  TempProgramFolder::WriteFile(folder.path("Stop.txt"), "=Z\r\n");
  control->calls.clear();
  server->RequestClose();
  EXPECT_TRUE(view.saw("window: close requested"));
  server->Shutdown();
  server->Shutdown();  // once only
  EXPECT_EQ(control->calls, (std::vector<std::string>{"DirectIO 1 =Z", "DirectIO2 <</?s",
                                                      "DirectIO2 <</?s", "TMVClose"}));
  EXPECT_FALSE(server->tmrFile().isActive());
  EXPECT_EQ(view.lines.back(), "tray: hidden");
}

TEST_F(JobServerTest, DataLinesOfAJobOnly) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  script = [](const std::string& line) {
    Reply reply;
    if (line == "<</?1") reply.data_lines = {"first", "", "last"};
    if (line == "<</?2") reply.data_lines = {"other"};
    if (line == "<</?bad") {
      reply.data_lines = {"partial"};
      reply.code = 112;
    }
    return reply;
  };
  const std::string data = server->settings().DataFilePath;
  Job("d1.txt", "=K\r\n<</?1\r\n");
  server->Tick();
  EXPECT_EQ(TempProgramFolder::ReadFile(data), "first\r\n\r\nlast\r\n");
  Job("plain.txt", "=K\r\n");
  server->Tick();
  EXPECT_EQ(TempProgramFolder::ReadFile(data), "first\r\n\r\nlast\r\n");
  Job("d2.txt", "<</?2\r\n");
  server->Tick();
  EXPECT_EQ(TempProgramFolder::ReadFile(data), "other\r\n");
  Job("d3.txt", "<</?bad\r\n");
  server->Tick();
  EXPECT_EQ(TempProgramFolder::ReadFile(data), "partial\r\n");
  EXPECT_TRUE(ExistsInInput("d3.KO"));
}

TEST_F(JobServerTest, DataFileThatCannotBeOpenedLosesNoJob) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  std::filesystem::remove_all(folder.path("ODATA"));
  script = [](const std::string&) {
    Reply reply;
    reply.data_lines = {"line"};
    return reply;
  };
  Job("d.txt", "<</?1\r\n<</?1\r\n");
  server->Tick();
  EXPECT_EQ(control->sent.size(), 2u);
  EXPECT_TRUE(ExistsInInput("d.OK"));
  // Once the folder is back, the next job's data arrive.
  std::filesystem::create_directories(folder.path("ODATA"));
  Job("e.txt", "<</?1\r\n");
  server->Tick();
  EXPECT_EQ(TempProgramFolder::ReadFile(server->settings().DataFilePath), "line\r\n");
}

TEST_F(JobServerTest, DataFileIsClosedAtShutdown) {
  ASSERT_EQ(Start(), JobServer::StartResult::Running);
  TempProgramFolder::WriteFile(folder.path("Stop.txt"), "<</?1\r\n");
  script = [](const std::string&) {
    Reply reply;
    reply.data_lines = {"at stop"};
    return reply;
  };
  server->Shutdown();
  EXPECT_EQ(TempProgramFolder::ReadFile(server->settings().DataFilePath), "at stop\r\n");
}

TEST(DataDownloadTest, OpenFromTheFirstLineToTheEndOfTheJob) {
  testing::TempProgramFolder folder;
  std::filesystem::create_directories(folder.home());
  const std::string path = folder.path("TMVVelkaData.OUT");
  TempProgramFolder::WriteFile(path, "old\r\n");
  DataDownload data(path);
  EXPECT_FALSE(data.DataFileOpen());
  data.ReceiveDataEvent("x");
  EXPECT_TRUE(data.DataFileOpen());
  data.ReceiveDataEvent("caf\xE9");
  data.Close();
  EXPECT_FALSE(data.DataFileOpen());
  EXPECT_EQ(TempProgramFolder::ReadFile(path), "x\r\ncaf\xE9\r\n");
}

// A command file still being written is taken only once it has been left alone.
TEST(CommandFileFinderTest, HalfWrittenFileIsTakenWhole) {
  testing::TempProgramFolder folder;
  std::filesystem::create_directories(folder.path("in"));
  PollEventLoop loop;
  CommandFileFinder finder(loop, kSettleMs);
  const std::string path = folder.path("in/job.txt");
  TempProgramFolder::WriteFile(path, "=K\r\n");
  // The point-of-sale program writes the rest a moment later, while the finder waits.
  auto writer =
      loop.createTimer([&] { std::ofstream(path, std::ios::binary | std::ios::app) << "=T1\r\n"; });
  writer->setInterval(kSettleMs / 2);
  writer->start();
  auto stop_writer = loop.createTimer([&] { writer->stop(); });
  stop_writer->setInterval(kSettleMs / 2 + 20);
  stop_writer->start();

  std::optional<std::string> found = finder.FindCommandFile(folder.path("in/"));
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(*found, path);
  EXPECT_FALSE(writer->isActive());
  EXPECT_EQ(TempProgramFolder::ReadFile(path), "=K\r\n=T1\r\n");
}

}  // namespace
}  // namespace velka::server
