// A whole receipt queued in asynchronous mode through the real control, its serial port on a
// pseudo-terminal and its poll loop, against the simulated register served on the same loop:
// the queue is worked off by the pump and the receive events alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/sim_control_fixture.h"

namespace velka::testing {
namespace {

constexpr Millis kQueueLimitMs = 20'000;

SimControlOptions AtRegisterSpeed() {
  SimControlOptions options;
  options.port = 12;
  options.register_options = sim::SimOptions{9600, 200, LocalDateTime{2026, 12, 6, 18, 30, 0}};
  return options;
}

class AsyncReceiptE2E : public SimControlFixture {
 protected:
  AsyncReceiptE2E() : SimControlFixture(AtRegisterSpeed()) {}

  // Runs the loop until the queue has drained, within a bound.
  bool drained() {
    const Millis until = loop.now() + kQueueLimitMs;
    while (control->state().QueueLast != -1 && loop.now() < until)
      loop.waitForEvents(kNoHandle, 100);
    return control->state().QueueLast == -1;
  }
};

TEST_F(AsyncReceiptE2E, QueuedReceiptIsPrintedAndCompletedInOrder) {
  bool header = true;
  ASSERT_EQ(control->BeginFiscalReceipt(header), 0);
  control->setAsyncMode(true);
  // Every call returns at once: the commands are queued.
  ASSERT_EQ(sell(u"CAFFE", 15000, 2), 0);
  ASSERT_EQ(sell(u"ACQUA", 10000, 1), 0);
  Currency total = 40000, payment = 40000;
  std::u16string cash = u"1";
  ASSERT_EQ(control->PrintRecTotal(total, payment, cash), 0);  // the payment and "<</?s"
  std::u16string thanks = u"GRAZIE";
  ASSERT_EQ(control->PrintRecMessage(thanks), 0);
  ASSERT_EQ(control->EndFiscalReceipt(header), 0);
  EXPECT_EQ(control->state().QueueLast, 4);
  EXPECT_TRUE(events.log.empty());

  ASSERT_TRUE(drained()) << ::testing::PrintToString(events.log);
  EXPECT_EQ(events.log,
            (std::vector<std::string>{"OutputCompleteEvent 1", "OutputCompleteEvent 2",
                                      "OutputCompleteEvent 3", "OutputCompleteEvent 4",
                                      "OutputCompleteEvent 5", "StatusUpdateEvent 1001"}));

  // The register closed the receipt and counted it; the status request's answer came back.
  const auto& state = sim->model().state();
  EXPECT_EQ(state.day.receipts, 1);
  EXPECT_EQ(state.last.number, 1);
  EXPECT_EQ(state.last.total, 400);
  EXPECT_FALSE(state.last.cancelled);
  EXPECT_EQ(control->state().AnswerData.substr(8, 4), "0001");
  EXPECT_TRUE(printed("CAFFE"));
  EXPECT_TRUE(printed("SCONTRINO N. 0001"));
  EXPECT_TRUE(printed("GRAZIE"));
}

}  // namespace
}  // namespace velka::testing
