// The window under the running job server (fake control, virtual time): which job results and
// status events bring it to the front, and what its fields keep between jobs.
#include <gtest/gtest.h>

#include <QLabel>

#include "server/ui/main_window.h"
#include "tests/server/job_server_fixture.h"
#include "tests/ui/ui_test_support.h"

namespace velka::server::ui {
namespace {

using testing::RecordingArea;
using testing::Settle;

class WindowJobsTest : public server::testing::JobServerTest {
 protected:
  void SetUp() override {
    shown_on = &window;
    ASSERT_EQ(Start(), JobServer::StartResult::Running);
    Settle();
  }
  void RunJob(const std::string& name, const std::string& content) {
    Job(name, content);
    server->Tick();
    Settle();
  }
  QString label(const char* name) const { return window.findChild<QLabel*>(name)->text(); }
  bool onTop() const {
    return window.isVisible() && window.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
  }

  std::vector<RecordingArea::Call> calls;
  frmMain window{std::make_unique<RecordingArea>(calls)};
};

TEST_F(WindowJobsTest, SuccessfulReceiptLeavesTheWindowHidden) {
  RunJob("Sale001.txt", "=R1/$1/(PANE)\r\n=T1\r\n");
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(label("lblNumero"), "1.234");
  EXPECT_EQ(label("lblOra"), "18:30:15");
  EXPECT_EQ(calls.back().record.tipText(), "Velka Server - TMV S.P.A.");
}

TEST_F(WindowJobsTest, FailedJobBringsTheWindowToTheFrontAndItStaysThere) {
  script = [](const std::string& line) { return line == "=T1" ? Fail(112) : Reply{}; };
  RunJob("Sale002.txt", "=R1/$1/(PANE)\r\n=T1\r\n");
  EXPECT_TRUE(onTop());
  EXPECT_EQ(label("lblErrore"), "Errore generico");
  EXPECT_EQ(calls.back().record.icon.cacheKey(), window.icons().error.cacheKey());
  EXPECT_EQ(calls.back().record.tipText(), "Errore generico");

  // The register is ready again and a command succeeds outside a job: the error stays.
  control->events()->StatusUpdateEvent(1001);
  std::int32_t pData = 0;
  std::string answer;
  control->events()->DirectIOEvent(0, pData, answer);
  EXPECT_EQ(label("lblStato"), QString::fromUtf8("La stampante è pronta"));
  EXPECT_EQ(label("lblErrore"), "Errore generico");

  // Until a job succeeds; the window stays on top.
  script = nullptr;
  RunJob("Sale003.txt", "=R1/$1/(PANE)\r\n=T1\r\n");
  EXPECT_EQ(label("lblErrore"), "");
  EXPECT_TRUE(onTop());
}

TEST_F(WindowJobsTest, CoverOpenDuringAJobBringsTheWindowToTheFront) {
  script = [](const std::string&) {
    Reply reply;
    reply.statuses = {11, 12};
    return reply;
  };
  RunJob("Sale004.txt", "=R1/$1/(PANE)\r\n");
  EXPECT_TRUE(onTop());
  EXPECT_EQ(label("lblStato"), QString::fromUtf8("La stampante è pronta"));
}

}  // namespace
}  // namespace velka::server::ui
