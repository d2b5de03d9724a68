// The control tells its host that its port has gone (StatusUpdateEvent 2004): once, whether the
// port was idle or a call met the hang-up, before that call's failure returns, and again once
// the control has been closed and opened anew on a device that goes too.
#include <gtest/gtest.h>

#include <algorithm>

#include "automation/result_codes.h"
#include "tests/support/control_fixture.h"

namespace velka::testing {
namespace {

class PortGone : public ControlFixture {
 protected:
  long told() const {
    return std::count(events.statuses.begin(), events.statuses.end(), status::PortGone);
  }
  std::int32_t directIO(const std::string& command) {
    std::int32_t pData = 0;
    std::u16string text = U(command);
    return control->DirectIO(0, pData, text);
  }
};

TEST_F(PortGone, AnIdlePortThatHangsUpIsToldOnce) {
  open();
  port->hangUp();
  EXPECT_EQ(told(), 1);
  EXPECT_EQ(events.log.back(), "StatusUpdateEvent 2004");
  loop.advance(1000);
  EXPECT_EQ(directIO("<</?s"), result::Timeout);
  std::u16string one = u"1";
  control->TMVOpen(one);  // on the open device: only looks at it again
  EXPECT_EQ(told(), 1);
}

// A hang-up the port did not tell of (a read met it first): the call that meets it tells.
TEST_F(PortGone, ACallThatMeetsItTellsBeforeItsFailureReturns) {
  struct Row {
    bool cts_lost;  // the entry check finds it (107), else the exchange does (112)
    std::int32_t code;
  };
  for (const Row& row : {Row{true, result::NoRegister}, Row{false, result::Timeout}}) {
    open();
    port->setHangUpHandler(nullptr);
    port->setCts(!row.cts_lost);
    port->hangUp();
    const long before = told();
    long told_when_returning = -1;
    events.onEvent = [&](const std::string&) { told_when_returning = told(); };
    EXPECT_EQ(directIO("=R1/$1"), row.code);
    EXPECT_EQ(told(), before + 1) << row.code;
    EXPECT_EQ(told_when_returning, before + 1) << row.code;
    EXPECT_EQ(directIO("=R1/$1"), row.code);
    EXPECT_EQ(told(), before + 1) << "told once: " << row.code;
    events.onEvent = nullptr;
    port->setCts(true);
    control->TMVClose();
  }
}

TEST_F(PortGone, ToldAgainForTheDeviceOpenedAnew) {
  for (int round = 1; round <= 3; ++round) {
    open();
    EXPECT_EQ(directIO("<</?s"), result::Success);
    port->hangUp();
    EXPECT_EQ(told(), round);
    EXPECT_EQ(control->TMVClose(), result::Success);
  }
  port->hangUp();  // a closed port going away is no news
  EXPECT_EQ(told(), 3);
}

}  // namespace
}  // namespace velka::testing
